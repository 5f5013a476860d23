#pragma once

#include "base/MainView.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class Prompt;
class QLineEdit;
class QPlainTextEdit;

// Keeps the entry being typed in the draft file (see core/entry/EntryDraft.h):
// every change of a watched box restarts a single-shot timer, and when the
// typing has paused for its interval the entry is written. Nothing is
// written until the start-up offer has been made, so a draft left by a
// crashed run is never overwritten before the user has seen it.
class EntryDraftKeeper final : public QObject
{
    Q_OBJECT
public:
    using Reader = std::function<EntryFields()>;

    // The draft is `path`; questions go to `prompt`.
    EntryDraftKeeper(QString path, Reader read, MainView& view, Prompt& prompt,
                     QObject* parent = nullptr);

    void watch(QLineEdit* box);
    void watch(QPlainTextEdit* box);

    // The pause after the last change before the draft is written
    // (3 seconds unless changed).
    void setDelay(int milliseconds) { m_timer.setInterval(milliseconds); }
    const QTimer& timer() const { return m_timer; }

    // At start-up: a damaged draft gets a status line and is left alone; a
    // draft holding an entry is offered back ("Restore the entry you were
    // writing?"). Returns the entry when the user takes it; a declined draft
    // is removed. From here on changes are saved.
    std::optional<EntryFields> offer();

    // Writes the entry now (a blank entry removes the draft instead).
    void saveNow();
    // Drops a pending save and removes the draft: the entry was published or
    // cleared.
    void discard();

private:
    void changed();

    QString m_path;
    Reader m_read;
    MainView& m_view;
    Prompt& m_prompt;
    QTimer m_timer;
    bool m_armed = false;
    bool m_saveFailed = false; // the last write failed; said once until one works
};
