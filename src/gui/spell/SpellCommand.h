#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Prompt;
class EditCommands;
class MainView;
class QLineEdit;
class QPlainTextEdit;
class QWidget;
class SpellAnswerer;
struct EntryTexts;

// Edit > Spell Check: checks the selection of the focused entry box, or else
// the title, the body and the link title, in the spelling dialog, and puts
// the corrections back, each box's as one step the user can undo. A cancel
// keeps the corrections made until then; a failure changes no box. The check
// runs while the dialog waits for the user: run() returns once it is shown.
class SpellCommand final : public QObject
{
    Q_OBJECT
public:
    // A window with one text box gives only `main`.
    struct Boxes
    {
        QLineEdit* head;
        QPlainTextEdit* main;
        QLineEdit* urlTitle;
    };
    // Makes whatever answers the questions of one check (the dialog).
    using AnswererFactory =
        std::function<std::unique_ptr<SpellAnswerer>(QWidget* parent, const QString& language)>;

    SpellCommand(QWidget* window, EditCommands& edit, Boxes boxes, MainView& view, Prompt& prompt);
    ~SpellCommand() override;

    void run();
    bool isRunning() const { return m_check != nullptr; }

    // Tests answer through a script, and try other dictionaries.
    void setAnswererFactory(AnswererFactory factory) { m_factory = std::move(factory); }
    void setLanguages(const QStringList& languages) { m_languages = languages; }

signals:
    // A check that was started has ended, and the boxes show its outcome.
    void finished();

private:
    struct Check;
    void finish(const std::optional<EntryTexts>& checked);

    QWidget* m_window;
    EditCommands& m_edit;
    Boxes m_boxes;
    MainView& m_view;
    AnswererFactory m_factory;
    QStringList m_languages;
    std::unique_ptr<Check> m_check; // the check under way
    Prompt& m_prompt;
};
