// The markup commands without an editor: fixed and value tags, where the caret goes, and the
// toolbar keys.

#include "core/editing/MarkupCommands.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace Markup;

class TestMarkupCommands : public QObject
{
    Q_OBJECT
private slots:
    // Opening and closing tag of each command; "-" for no fixed tag.
    void fixedTags()
    {
        const std::array<QString, 3> table[] = {
            {u"mnualigncenter"_s, u"<P align=center>"_s, QString()},
            {u"mnualignjustify"_s, u"<P align=justify>"_s, QString()},
            {u"mnuP"_s, u"<P>"_s, u"</P>"_s},
            {u"mnuCenter"_s, u"<center>"_s, u"</center>"_s},
            {u"mnuBR"_s, QString(), u"<BR>"_s},
            {u"mnuBlockQuote"_s, u"<BLOCKQUOTE>"_s, u"</BLOCKQUOTE>"_s},
            {u"mnunbsp"_s, u"&nbsp;"_s, QString()},
            {u"mnuFontUp2"_s, u"<font size=\"+2\">"_s, u"</font>"_s},
            {u"mnuFontDown1"_s, u"<font size=\"-1\">"_s, u"</font>"_s},
            {u"mnuh6"_s, u"<H6>"_s, u"</H6>"_s},
            {u"mnuStrike"_s, u"<S>"_s, u"</S>"_s},
            {u"mnuSub"_s, u"<SUB>"_s, u"</SUB>"_s},
            {u"mnuLink"_s, u"-"_s, u"-"_s}, // a value tag
            {u"mnuBolder"_s, u"-"_s, u"-"_s}};
        for (const auto& [command, opening, closing] : table) {
            const Tag tag = fixedTag(command).value_or(Tag{u"-"_s, u"-"_s});
            QCOMPARE(command + u' ' + tag.opening + tag.closing,
                     command + u' ' + opening + closing);
        }
    }

    void valueTags()
    {
        QCOMPARE(linkTag(u"help.html"_s).opening, u"<a href=\"help.html\">"_s);
        QCOMPARE(linkTag({}).opening, u"<a href=\"\">"_s);
        QCOMPARE(fontFaceTag(u"DejaVu Sans"_s).opening, u"<font face=\"DejaVu Sans\">"_s);
        // Red in the low byte comes first in the hexadecimal form.
        QCOMPARE(fontColorTag(0x0000FFu).opening, u"<font color=\"#FF0000\">"_s);
        QCOMPARE(fontColorTag(0x123456u).opening, u"<font color=\"#563412\">"_s);
        QCOMPARE(fontColorTag(0).closing, u"</font>"_s);
        QVERIFY(linkPromptText(u"https://example.org"_s)
                    .contains(u"\r\n\r\nhttps://example.org/pagewick/\r\nhelp.html"_s));
    }

    // In the entry boxes the caret goes between empty tags (before a lone <BR>), after a
    // selection; in the template editor always after the insertion.
    void caretRules()
    {
        const struct
        {
            const char* command;
            QString selected;
            CaretRule rule;
            QString text;
            int caret;
        } table[] = {{"mnuBold", {}, CaretRule::BetweenTagsWhenEmpty, u"<B></B>"_s, 3},
                     {"mnuBold", u"word"_s, CaretRule::BetweenTagsWhenEmpty, u"<B>word</B>"_s, 11},
                     {"mnuBR", {}, CaretRule::BetweenTagsWhenEmpty, u"<BR>"_s, 0},
                     {"mnuBold", {}, CaretRule::AfterInsertion, u"<B></B>"_s, 7},
                     {"mnuh1", u"x"_s, CaretRule::AfterInsertion, u"<H1>x</H1>"_s, 10}};
        for (const auto& row : table) {
            const Insertion ins =
                wrap(row.selected, *fixedTag(QString::fromLatin1(row.command)), row.rule);
            QCOMPARE(std::pair(ins.text, ins.caret), std::pair(row.text, row.caret));
        }
    }

    void toolbarKeys()
    {
        QCOMPARE(editCommandForKey(u"Paste"), std::optional(EditCommand::Paste));
        QVERIFY(!editCommandForKey(u"Bold"));
        // "Center" on the toolbar is the paragraph alignment, not <center>.
        QCOMPARE(actionForKey(u"Center"), u"mnualigncenter"_s);
        QCOMPARE(actionForKey(u"Strikethru"), u"mnuStrike"_s);
        QVERIFY(actionForKey(u"Nothing").isEmpty() && actionForKey(u"Undo").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMarkupCommands)
#include "tst_markupcommands.moc"
