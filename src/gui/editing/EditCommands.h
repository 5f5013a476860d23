#pragma once

#include "core/editing/MarkupCommands.h"

#include <QList>
#include <QMultiHash>
#include <QObject>
#include <QPointer>

class Prompt;
class QAction;
class QKeyEvent;
class QWidget;

// The Edit and markup commands of one window, applied to the text box of
// that window which has the focus (a QLineEdit or QPlainTextEdit).
//
// The enabled states of Undo, Cut, Copy, Paste and Delete follow Qt's
// signals: the application's focus changes, the focused box's selection,
// text and undo history, and the clipboard. No timer is needed: every state
// the commands depend on has a signal.
class EditCommands final : public QObject
{
    Q_OBJECT
public:
    EditCommands(Prompt& prompt, QWidget* window);

    // Lets `action` run `command` and take its enabled state. A command may
    // have several actions (the menu item and the toolbar button).
    void bind(Markup::EditCommand command, QAction* action);
    // Ctrl+Space puts a hard space and Ctrl+Enter a line break into `box`;
    // the window's own shortcuts go to the window's commands, not the box.
    void addShortcutKeys(QWidget* box);

    // Runs an edit command on the focused box; beeps when no text box has
    // the focus.
    void run(Markup::EditCommand command);
    // Wraps the selection of the focused box in the tag; with nothing
    // selected the caret lands between the opening and the closing text.
    void insert(const Markup::Tag& tag);
    // The Link, Font Face and Font Color commands: ask, then wrap what was
    // selected when the command started (the dialog takes the focus).
    void insertLink();
    void insertFontFace();
    void insertFontColor();

    // The focused text box of the window, or nullptr.
    QWidget* focusedTextBox() const;

    // An editable box and its selection, remembered while a dialog has the
    // focus; `box` is null when no editable box had it.
    struct Target
    {
        QPointer<QWidget> box;
        int start = 0;
        int end = 0;
    };
    Target target() const;
    // Selects the remembered text again and wraps it in the tag.
    static void insertInto(const Target& target, const Markup::Tag& tag);

    // Re-reads the states of the bound actions.
    void refresh();

    // Helpers over either kind of text box.
    static bool isTextBox(const QWidget* w);
    static bool isEditable(const QWidget* box);
    // The selected text with line breaks as "\n".
    static QString selectedText(const QWidget* box);
    // Replaces the selection by `text` (line breaks "\r\n" or "\n"). The
    // caret goes `caret` characters after the start of the selection,
    // counting a line break as one; -1 puts it after the new text.
    static void replaceSelection(QWidget* box, const QString& text, int caret = -1);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QWidget* now);
    // A key with Ctrl that one of the window's commands has as its shortcut.
    bool isWindowShortcut(const QKeyEvent* key) const;

    QWidget* m_window;
    QPointer<QWidget> m_followed;
    QList<QMetaObject::Connection> m_boxConnections;
    QMultiHash<int, QAction*> m_actions;
    quint32 m_lastColor = 0; // the colour dialog starts from the last colour chosen
    Prompt& m_prompt;
};
