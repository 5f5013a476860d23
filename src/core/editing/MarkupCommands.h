#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// The HTML tags the Format and Fonts commands put around the selected text,
// shared by the main window and the template editor. Commands are named by
// the objectName of their menu action ("mnuBold", "mnualigncenter", ...).
namespace Markup {

struct Tag
{
    QString opening;
    QString closing;
};

// The tags of a command whose tags are fixed; nullopt for other names
// (including mnuLink, mnufontface and mnuFontColor, whose tags carry a value).
std::optional<Tag> fixedTag(QStringView command);
// The same in the template editor, where Hard Space puts "&nbsp" (no
// semicolon) after the selection instead of "&nbsp;" before it.
std::optional<Tag> templateEditorTag(QStringView command);

// <a href="address"> ... </a>
Tag linkTag(const QString& address);
// <font face="face"> ... </font>
Tag fontFaceTag(const QString& face);
// <font color="#RRGGBB"> ... </font>; the colour has red in the low byte.
Tag fontColorTag(quint32 color);

// The link input box: its title and prompt text. `makerSite` is the maker's
// site address, used as the absolute example.
QString linkPromptTitle();
QString linkPromptText(const QString& makerSite);

// Where the caret goes after a wrap. The main window puts it between the two
// tags when nothing was selected; the template editor always puts it after
// the inserted text.
enum class CaretRule
{
    BetweenTagsWhenEmpty,
    AfterInsertion
};

struct Insertion
{
    QString text; // replaces the selection
    int caret;    // caret position, counted from the selection start
};

// opening + selected + closing, and where the caret goes.
Insertion wrap(const QString& selected, const Tag& tag,
               CaretRule rule = CaretRule::BetweenTagsWhenEmpty);

// The edit commands of the Edit menu and toolbar.
enum class EditCommand
{
    Undo,
    Cut,
    Copy,
    Paste,
    Delete
};

// A toolbar button's key ("Bold", "Undo", ...): its edit command, or the
// objectName of the menu action it runs. Unknown keys give neither.
std::optional<EditCommand> editCommandForKey(QStringView key);
QString actionForKey(QStringView key);

} // namespace Markup
