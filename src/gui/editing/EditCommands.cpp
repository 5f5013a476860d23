#include "gui/editing/EditCommands.h"

#include "base/ProgramDir.h"
#include "base/Prompt.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>

#include <algorithm>

using Markup::EditCommand;

EditCommands::EditCommands(Prompt& prompt, QWidget* window)
    : QObject(window), m_window(window), m_prompt(prompt)
{
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { follow(now); });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &EditCommands::refresh);
}

void EditCommands::bind(EditCommand command, QAction* action)
{
    m_actions.insert(static_cast<int>(command), action);
    connect(action, &QAction::triggered, this, [this, command] { run(command); });
    refresh();
}

void EditCommands::addShortcutKeys(QWidget* box)
{
    box->installEventFilter(this);
}

bool EditCommands::isTextBox(const QWidget* w)
{
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w);
}

bool EditCommands::isEditable(const QWidget* box)
{
    if (auto* line = qobject_cast<const QLineEdit*>(box))
        return !line->isReadOnly();
    if (auto* edit = qobject_cast<const QPlainTextEdit*>(box))
        return !edit->isReadOnly();
    return false;
}

QWidget* EditCommands::focusedTextBox() const
{
    QWidget* w = QApplication::focusWidget();
    if (isTextBox(w) && m_window->isAncestorOf(w))
        return w;
    return nullptr;
}

QString EditCommands::selectedText(const QWidget* box)
{
    if (auto* line = qobject_cast<const QLineEdit*>(box))
        return line->selectedText();
    if (auto* edit = qobject_cast<const QPlainTextEdit*>(box))
        return edit->textCursor().selectedText().replace(QChar::ParagraphSeparator,
                                                         QLatin1Char('\n'));
    return {};
}

void EditCommands::replaceSelection(QWidget* box, const QString& text, int caret)
{
    const QString plain = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const int offset = caret < 0 ? static_cast<int>(plain.size()) : caret;
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        const int start = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
        line->insert(plain);
        line->setCursorPosition(start + offset);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(box)) {
        QTextCursor c = edit->textCursor();
        const int start = c.selectionStart();
        c.insertText(plain);
        c.setPosition(start + offset);
        edit->setTextCursor(c);
    }
}

EditCommands::Target EditCommands::target() const
{
    Target t;
    QWidget* box = focusedTextBox();
    if (!box || !isEditable(box))
        return t;
    t.box = box;
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        t.start = line->hasSelectedText() ? line->selectionStart() : line->cursorPosition();
        t.end = line->hasSelectedText() ? line->selectionEnd() : t.start;
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(box)) {
        t.start = edit->textCursor().selectionStart();
        t.end = edit->textCursor().selectionEnd();
    }
    return t;
}

void EditCommands::insertInto(const Target& t, const Markup::Tag& tag)
{
    QWidget* box = t.box;
    if (!box || !isEditable(box))
        return;
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->setSelection(t.start, t.end - t.start);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(box)) {
        QTextCursor c = edit->textCursor();
        c.setPosition(t.start);
        c.setPosition(t.end, QTextCursor::KeepAnchor);
        edit->setTextCursor(c);
    }
    box->setFocus();
    const Markup::Insertion ins = Markup::wrap(selectedText(box), tag);
    replaceSelection(box, ins.text, ins.caret);
}

void EditCommands::insert(const Markup::Tag& tag)
{
    insertInto(target(), tag);
}

void EditCommands::insertLink()
{
    const Target t = target();
    if (!t.box)
        return;
    const QString link =
        m_prompt.input(Markup::linkPromptText(makerSite()), Markup::linkPromptTitle())
            .value_or(QString())
            .trimmed();
    insertInto(t, Markup::linkTag(link));
}

void EditCommands::insertFontFace()
{
    const Target t = target();
    if (!t.box)
        return;
    if (const std::optional<QString> face = m_prompt.chooseFont())
        insertInto(t, Markup::fontFaceTag(*face));
}

void EditCommands::insertFontColor()
{
    const Target t = target();
    if (!t.box)
        return;
    const std::optional<quint32> color = m_prompt.chooseColor(m_lastColor);
    if (!color)
        return;
    m_lastColor = *color;
    insertInto(t, Markup::fontColorTag(*color));
}

void EditCommands::run(EditCommand command)
{
    QWidget* box = focusedTextBox();
    if (!box) {
        m_prompt.beep();
        return;
    }
    if (command != EditCommand::Copy && !isEditable(box))
        return;
    auto* line = qobject_cast<QLineEdit*>(box);
    auto* edit = qobject_cast<QPlainTextEdit*>(box);
    switch (command) {
    case EditCommand::Undo:
        line ? line->undo() : edit->undo();
        break;
    case EditCommand::Cut:
        line ? line->cut() : edit->cut();
        break;
    case EditCommand::Copy:
        line ? line->copy() : edit->copy();
        break;
    case EditCommand::Paste:
        line ? line->paste() : edit->paste();
        break;
    case EditCommand::Delete:
        if (line)
            line->del();
        else
            edit->textCursor().removeSelectedText();
        break;
    }
    refresh();
}

void EditCommands::follow(QWidget* now)
{
    for (const QMetaObject::Connection& c : std::as_const(m_boxConnections))
        disconnect(c);
    m_boxConnections.clear();
    m_followed = nullptr;
    if (isTextBox(now) && m_window->isAncestorOf(now)) {
        m_followed = now;
        if (auto* line = qobject_cast<QLineEdit*>(now)) {
            // A line edit has no undo signal; its undo history changes only
            // with its text.
            m_boxConnections << connect(line, &QLineEdit::selectionChanged, this,
                                        &EditCommands::refresh)
                             << connect(line, &QLineEdit::textChanged, this,
                                        &EditCommands::refresh);
        } else if (auto* edit = qobject_cast<QPlainTextEdit*>(now)) {
            m_boxConnections
                << connect(edit, &QPlainTextEdit::selectionChanged, this, &EditCommands::refresh)
                << connect(edit, &QPlainTextEdit::undoAvailable, this, &EditCommands::refresh)
                << connect(edit, &QPlainTextEdit::copyAvailable, this, &EditCommands::refresh);
        }
    }
    refresh();
}

void EditCommands::refresh()
{
    QWidget* box = focusedTextBox();
    const bool editable = isEditable(box);
    bool canUndo = false;
    bool hasSelection = false;
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        canUndo = line->isUndoAvailable();
        hasSelection = line->hasSelectedText();
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(box)) {
        canUndo = edit->document()->isUndoAvailable();
        hasSelection = edit->textCursor().hasSelection();
    }
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    const bool clipHasText = clip && clip->hasText();
    const std::pair<EditCommand, bool> states[] = {{EditCommand::Undo, editable && canUndo},
                                                   {EditCommand::Cut, editable && hasSelection},
                                                   {EditCommand::Copy, hasSelection},
                                                   {EditCommand::Paste, editable && clipHasText},
                                                   {EditCommand::Delete, editable && hasSelection}};
    for (const auto& [command, on] : states) {
        const auto actions = m_actions.values(static_cast<int>(command));
        for (QAction* a : actions)
            a->setEnabled(on);
    }
}

bool EditCommands::isWindowShortcut(const QKeyEvent* key) const
{
    if (!(key->modifiers() & Qt::ControlModifier))
        return false;
    const QKeySequence pressed(key->keyCombination());
    const auto actions = m_window->findChildren<QAction*>();
    return std::any_of(actions.begin(), actions.end(), [&](const QAction* a) {
        return a->isEnabled() && a->shortcuts().contains(pressed);
    });
}

bool EditCommands::eventFilter(QObject* watched, QEvent* event)
{
    // A box would take some of the window's keys for itself (Ctrl+U clears
    // the line on X11): left unaccepted, the key goes to the window's command.
    if (event->type() == QEvent::ShortcutOverride &&
        isWindowShortcut(static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    // The keys are taken before the box sees them, so Ctrl+Enter gives
    // "<BR>" rather than a new line as well.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            if (key->key() == Qt::Key_Space) {
                insert(*Markup::fixedTag(u"mnunbsp"));
                return true;
            }
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                insert(*Markup::fixedTag(u"mnuBR"));
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
