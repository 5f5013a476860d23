#include "core/editing/MarkupCommands.h"

#include "core/entry/EntryBuilder.h"

#include <array>

namespace Markup {

namespace {

const QString kQuote = QStringLiteral("\"");

struct FixedTag
{
    const char* command;
    const char* opening;
    const char* closing;
};

constexpr std::array<FixedTag, 26> kFixedTags = {{
    {"mnualigncenter", "<P align=center>", ""},
    {"mnualignleft", "<P align=left>", ""},
    {"mnualignright", "<P align=right>", ""},
    {"mnualignjustify", "<P align=justify>", ""},
    {"mnuP", "<P>", "</P>"},
    {"mnuCenter", "<center>", "</center>"},
    {"mnuBR", "", "<BR>"},
    {"mnuBlockQuote", "<BLOCKQUOTE>", "</BLOCKQUOTE>"},
    {"mnunbsp", "&nbsp;", ""},
    {"mnuFontUp1", "<font size=\"+1\">", "</font>"},
    {"mnuFontUp2", "<font size=\"+2\">", "</font>"},
    {"mnuFontDown1", "<font size=\"-1\">", "</font>"},
    {"mnuFontDown2", "<font size=\"-2\">", "</font>"},
    {"mnuh1", "<H1>", "</H1>"},
    {"mnuh2", "<H2>", "</H2>"},
    {"mnuh3", "<H3>", "</H3>"},
    {"mnuh4", "<H4>", "</H4>"},
    {"mnuh5", "<H5>", "</H5>"},
    {"mnuh6", "<H6>", "</H6>"},
    {"mnuBold", "<B>", "</B>"},
    {"mnuItalics", "<I>", "</I>"},
    {"mnuUnder", "<U>", "</U>"},
    {"mnuStrike", "<S>", "</S>"},
    {"mnuTT", "<TT>", "</TT>"},
    {"mnuSuper", "<SUP>", "</SUP>"},
    {"mnuSub", "<SUB>", "</SUB>"},
}};

Tag valueTag(const char* attribute, const QString& value, const char* closing)
{
    return {QLatin1Char('<') + QLatin1String(attribute) + kQuote + value + kQuote +
                QLatin1Char('>'),
            QLatin1String(closing)};
}

} // namespace

std::optional<Tag> fixedTag(QStringView command)
{
    for (const FixedTag& t : kFixedTags)
        if (command == QLatin1String(t.command))
            return Tag{QLatin1String(t.opening), QLatin1String(t.closing)};
    return std::nullopt;
}

std::optional<Tag> templateEditorTag(QStringView command)
{
    if (command == QLatin1String("mnunbsp"))
        return Tag{QString(), QStringLiteral("&nbsp")};
    return fixedTag(command);
}

Tag linkTag(const QString& address)
{
    return valueTag("a href=", address, "</a>");
}

Tag fontFaceTag(const QString& face)
{
    return valueTag("font face=", face, "</font>");
}

Tag fontColorTag(quint32 color)
{
    return valueTag("font color=", colorToHex(color), "</font>");
}

QString linkPromptTitle()
{
    return QStringLiteral("Place a link");
}

QString linkPromptText(const QString& makerSite)
{
    return QStringLiteral("Type the absolute or relative link here.\r\nExamples...\r\n\r\n") +
           makerSite + QStringLiteral("/pagewick/\r\nhelp.html");
}

Insertion wrap(const QString& selected, const Tag& tag, CaretRule rule)
{
    Insertion out{tag.opening + selected + tag.closing, 0};
    const bool between = rule == CaretRule::BetweenTagsWhenEmpty && selected.isEmpty();
    out.caret = static_cast<int>(between ? tag.opening.size() : out.text.size());
    return out;
}

std::optional<EditCommand> editCommandForKey(QStringView key)
{
    if (key == QLatin1String("Undo"))
        return EditCommand::Undo;
    if (key == QLatin1String("Cut"))
        return EditCommand::Cut;
    if (key == QLatin1String("Copy"))
        return EditCommand::Copy;
    if (key == QLatin1String("Paste"))
        return EditCommand::Paste;
    if (key == QLatin1String("Delete"))
        return EditCommand::Delete;
    return std::nullopt;
}

QString actionForKey(QStringView key)
{
    static const std::pair<const char*, const char*> kKeys[] = {{"Bold", "mnuBold"},
                                                                {"Italics", "mnuItalics"},
                                                                {"Underline", "mnuUnder"},
                                                                {"Strikethru", "mnuStrike"},
                                                                {"Left", "mnualignleft"},
                                                                {"Right", "mnualignright"},
                                                                {"Justify", "mnualignjustify"},
                                                                {"Center", "mnualigncenter"},
                                                                {"Help", "mnuHelp"},
                                                                {"Spell", "mnuSpell"},
                                                                {"Picture", "mnuPicture"}};
    for (const auto& [k, action] : kKeys)
        if (key == QLatin1String(k))
            return QLatin1String(action);
    return {};
}

} // namespace Markup
