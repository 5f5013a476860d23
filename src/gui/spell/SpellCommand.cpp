#include "gui/spell/SpellCommand.h"

#include "base/MainView.h"
#include "base/Prompt.h"
#include "core/spell/SpellChecker.h"
#include "core/spell/SpellDictionary.h"
#include "gui/editing/EditCommands.h"
#include "gui/spell/SpellDialog.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTimer>

namespace {

// Replaces the whole text as one step the user can undo.
void replaceText(QLineEdit* box, const QString& text)
{
    if (!box || box->text() == text)
        return;
    box->selectAll();
    box->insert(text);
}

void replaceText(QPlainTextEdit* box, const QString& text)
{
    const QString plain = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (box->toPlainText() == plain)
        return;
    QTextCursor c(box->document());
    c.select(QTextCursor::Document);
    c.insertText(plain);
}

} // namespace

// One check: the dictionary, whatever answers, and where a selection goes
// back. The focused box is remembered here because the dialog takes the focus.
struct SpellCommand::Check
{
    std::unique_ptr<EnchantDictionary> dictionary;
    std::unique_ptr<SpellAnswerer> answerer;
    std::unique_ptr<SpellSession> session;
    EntryTexts entry;
    QPointer<QWidget> box;
    int lineStart = 0;
    QTextCursor plainSelection;
};

SpellCommand::SpellCommand(QWidget* window, EditCommands& edit, Boxes boxes, MainView& view,
                           Prompt& prompt)
    : QObject(window), m_window(window), m_edit(edit), m_boxes(boxes), m_view(view),
      m_factory([](QWidget* parent, const QString& language) {
          return std::unique_ptr<SpellAnswerer>(new SpellDialog(parent, language));
      }),
      m_languages(defaultSpellLanguages()), m_prompt(prompt)
{
}

SpellCommand::~SpellCommand() = default;

void SpellCommand::run()
{
    if (m_check) // one at a time (the dialog keeps the user in it anyway)
        return;
    QString error;
    std::unique_ptr<EnchantDictionary> dictionary = EnchantDictionary::open(m_languages, &error);
    if (!dictionary) {
        m_prompt.message(tr("Error opening the spell checker.\r\n") + error);
        return;
    }

    auto check = std::make_unique<Check>();
    QWidget* box = m_edit.focusedTextBox();
    EntryTexts& entry = check->entry;
    if (box && EditCommands::isEditable(box) && !EditCommands::selectedText(box).isEmpty()) {
        entry.selection = EditCommands::selectedText(box);
        check->box = box;
        if (auto* line = qobject_cast<QLineEdit*>(box))
            check->lineStart = line->selectionStart();
        else if (auto* edit = qobject_cast<QPlainTextEdit*>(box))
            check->plainSelection = edit->textCursor();
    }
    entry.head = m_boxes.head ? m_boxes.head->text() : QString();
    entry.main = m_boxes.main->toPlainText();
    entry.urlTitle = m_boxes.urlTitle ? m_boxes.urlTitle->text() : QString();

    check->answerer = m_factory(m_window, dictionary->language());
    check->session = std::make_unique<SpellSession>(*dictionary, *check->answerer);
    check->dictionary = std::move(dictionary);
    m_check = std::move(check);
    checkEntry(m_check->entry, *m_check->session,
               [this](const std::optional<EntryTexts>& checked) { finish(checked); });
}

void SpellCommand::finish(const std::optional<EntryTexts>& checked)
{
    // Called from inside the session, maybe from a click in the dialog: the
    // check is let go once they are done with it.
    const std::shared_ptr<Check> check(std::move(m_check));
    QTimer::singleShot(0, this, [check] {});
    const QString failure = check->session->failure();
    const bool cancelled = check->session->cancelled();
    const EntryTexts& entry = check->entry;
    if (!checked) {
        if (!failure.isEmpty())
            m_prompt.message(tr("Error checking the spelling.\r\n") + failure);
    } else if (entry.selection) {
        if (QWidget* box = check->box) {
            box->setFocus();
            if (auto* line = qobject_cast<QLineEdit*>(box))
                line->setSelection(check->lineStart, static_cast<int>(entry.selection->size()));
            else if (auto* edit = qobject_cast<QPlainTextEdit*>(box))
                edit->setTextCursor(check->plainSelection);
            if (*checked->selection != *entry.selection)
                EditCommands::replaceSelection(box, *checked->selection);
        }
    } else {
        replaceText(m_boxes.head, checked->head);
        replaceText(m_boxes.main, checked->main);
        replaceText(m_boxes.urlTitle, checked->urlTitle);
    }
    // A cancelled check keeps the corrections the user made before it.
    if (checked && !cancelled)
        m_view.appendStatus(tr("Spell Check Complete!"));
    emit finished();
}
