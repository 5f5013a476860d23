#include "gui/EntryDraftKeeper.h"

#include "base/Prompt.h"
#include "core/entry/EntryDraft.h"

#include <QLineEdit>
#include <QPlainTextEdit>

EntryDraftKeeper::EntryDraftKeeper(QString path, Reader read, MainView& view, Prompt& prompt,
                                   QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_read(std::move(read)), m_view(view),
      m_prompt(prompt)
{
    m_timer.setObjectName(QStringLiteral("draftTimer"));
    m_timer.setSingleShot(true);
    m_timer.setInterval(3000);
    connect(&m_timer, &QTimer::timeout, this, &EntryDraftKeeper::saveNow);
}

void EntryDraftKeeper::watch(QLineEdit* box)
{
    connect(box, &QLineEdit::textChanged, this, &EntryDraftKeeper::changed);
}

void EntryDraftKeeper::watch(QPlainTextEdit* box)
{
    connect(box, &QPlainTextEdit::textChanged, this, &EntryDraftKeeper::changed);
}

void EntryDraftKeeper::changed()
{
    if (m_armed)
        m_timer.start();
}

std::optional<EntryFields> EntryDraftKeeper::offer()
{
    m_armed = true;
    const EntryDraft::Loaded draft = EntryDraft::load(m_path);
    if (draft.status == EntryDraft::Loaded::Damaged) {
        m_view.appendStatus(tr("The saved entry draft could not be read (%1) and was "
                               "ignored.")
                                .arg(draft.error));
        return std::nullopt;
    }
    if (draft.status != EntryDraft::Loaded::Found)
        return std::nullopt;
    if (EntryDraft::isBlank(draft.fields)) {
        EntryDraft::remove(m_path);
        return std::nullopt;
    }
    if (m_prompt.message(tr("Restore the entry you were writing?"), Buttons::YesNo,
                         Icon::Question) != Answer::Yes) {
        EntryDraft::remove(m_path);
        return std::nullopt;
    }
    m_view.appendStatus(tr("Entry restored from the draft"));
    return draft.fields;
}

void EntryDraftKeeper::saveNow()
{
    m_timer.stop();
    if (!m_armed)
        return;
    const EntryFields fields = m_read();
    QString error;
    const bool ok = EntryDraft::isBlank(fields) ? EntryDraft::remove(m_path)
                                                : EntryDraft::save(m_path, fields, &error);
    if (!ok && !m_saveFailed)
        m_view.appendStatus(tr("The entry draft could not be saved: ") +
                            (error.isEmpty() ? tr("the old draft cannot be removed") : error));
    m_saveFailed = !ok;
}

void EntryDraftKeeper::discard()
{
    m_timer.stop();
    EntryDraft::remove(m_path);
}
