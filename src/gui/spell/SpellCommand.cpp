#include "gui/spell/SpellCommand.h"

#include "base/MainView.h"
#include "base/Prompt.h"
#include "core/spell/SpellChecker.h"
#include "core/spell/SpellDictionary.h"
#include "gui/editing/EditCommands.h"
#include "gui/spell/SpellDialog.h"

#include <QLineEdit>
#include <QPlainTextEdit>

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

SpellCommand::SpellCommand(QWidget* window, EditCommands& edit, Boxes boxes, MainView& view)
    : QObject(window), m_window(window), m_edit(edit), m_boxes(boxes), m_view(view),
      m_factory([](QWidget* parent, const QString& language) {
          return std::unique_ptr<SpellAnswerer>(new SpellDialog(parent, language));
      }),
      m_languages(defaultSpellLanguages())
{
}

void SpellCommand::run()
{
    QString error;
    const std::unique_ptr<EnchantDictionary> dictionary =
        EnchantDictionary::open(m_languages, &error);
    if (!dictionary) {
        prompt().message(tr("Error opening the spell checker.\r\n") + error);
        return;
    }

    // The selection of the focused box, where the check puts it back: the
    // dialog takes the focus, so the selection is remembered here.
    QWidget* box = m_edit.focusedTextBox();
    EntryTexts entry;
    int lineStart = 0;
    QTextCursor plainSelection;
    if (box && EditCommands::isEditable(box) && !EditCommands::selectedText(box).isEmpty()) {
        entry.selection = EditCommands::selectedText(box);
        if (auto* line = qobject_cast<QLineEdit*>(box))
            lineStart = line->selectionStart();
        else if (auto* edit = qobject_cast<QPlainTextEdit*>(box))
            plainSelection = edit->textCursor();
    }
    entry.head = m_boxes.head ? m_boxes.head->text() : QString();
    entry.main = m_boxes.main->toPlainText();
    entry.urlTitle = m_boxes.urlTitle ? m_boxes.urlTitle->text() : QString();

    std::optional<EntryTexts> checked;
    QString failure;
    bool cancelled = false;
    {
        const std::unique_ptr<SpellAnswerer> answerer = m_factory(m_window, dictionary->language());
        SpellSession session(*dictionary, *answerer);
        checked = checkEntry(entry, session);
        failure = session.failure();
        cancelled = session.cancelled();
    }
    if (!checked) {
        if (!failure.isEmpty())
            prompt().message(tr("Error checking the spelling.\r\n") + failure);
        return;
    }

    if (entry.selection) {
        box->setFocus();
        if (auto* line = qobject_cast<QLineEdit*>(box))
            line->setSelection(lineStart, static_cast<int>(entry.selection->size()));
        else if (auto* edit = qobject_cast<QPlainTextEdit*>(box))
            edit->setTextCursor(plainSelection);
        if (*checked->selection != *entry.selection)
            EditCommands::replaceSelection(box, *checked->selection);
    } else {
        replaceText(m_boxes.head, checked->head);
        replaceText(m_boxes.main, checked->main);
        replaceText(m_boxes.urlTitle, checked->urlTitle);
    }
    // A cancelled check keeps the corrections the user made before it.
    if (!cancelled)
        m_view.appendStatus(tr("Spell Check Complete!"));
}
