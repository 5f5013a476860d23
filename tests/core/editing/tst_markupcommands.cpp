#include "core/editing/MarkupCommands.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace Markup;

class TestMarkupCommands : public QObject
{
    Q_OBJECT
private slots:
    void fixedTags_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("opening");
        QTest::addColumn<QString>("closing");
        QTest::newRow("align center") << u"mnualigncenter"_s << u"<P align=center>"_s << u""_s;
        QTest::newRow("align justify") << u"mnualignjustify"_s << u"<P align=justify>"_s << u""_s;
        QTest::newRow("paragraph") << u"mnuP"_s << u"<P>"_s << u"</P>"_s;
        QTest::newRow("center") << u"mnuCenter"_s << u"<center>"_s << u"</center>"_s;
        QTest::newRow("line break") << u"mnuBR"_s << u""_s << u"<BR>"_s;
        QTest::newRow("block quote")
            << u"mnuBlockQuote"_s << u"<BLOCKQUOTE>"_s << u"</BLOCKQUOTE>"_s;
        QTest::newRow("hard space") << u"mnunbsp"_s << u"&nbsp;"_s << u""_s;
        QTest::newRow("size +2") << u"mnuFontUp2"_s << u"<font size=\"+2\">"_s << u"</font>"_s;
        QTest::newRow("size -1") << u"mnuFontDown1"_s << u"<font size=\"-1\">"_s << u"</font>"_s;
        QTest::newRow("H6") << u"mnuh6"_s << u"<H6>"_s << u"</H6>"_s;
        QTest::newRow("strike") << u"mnuStrike"_s << u"<S>"_s << u"</S>"_s;
        QTest::newRow("subscript") << u"mnuSub"_s << u"<SUB>"_s << u"</SUB>"_s;
        QTest::newRow("value tags are not fixed") << u"mnuLink"_s << u"-"_s << u"-"_s;
        QTest::newRow("unknown") << u"mnuBolder"_s << u"-"_s << u"-"_s;
    }
    void fixedTags()
    {
        QFETCH(QString, command);
        QFETCH(QString, opening);
        QFETCH(QString, closing);
        const std::optional<Tag> tag = fixedTag(command);
        if (opening == QLatin1String("-")) {
            QVERIFY(!tag);
            return;
        }
        QVERIFY(tag);
        QCOMPARE(tag->opening, opening);
        QCOMPARE(tag->closing, closing);
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

    void caretRules_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("rule");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        const int between = int(CaretRule::BetweenTagsWhenEmpty);
        const int after = int(CaretRule::AfterInsertion);
        QTest::newRow("bold, empty: between")
            << u"mnuBold"_s << u""_s << between << u"<B></B>"_s << 3;
        QTest::newRow("bold, word: after")
            << u"mnuBold"_s << u"word"_s << between << u"<B>word</B>"_s << 11;
        QTest::newRow("line break, empty: before <BR>")
            << u"mnuBR"_s << u""_s << between << u"<BR>"_s << 0;
        QTest::newRow("template editor, empty: after")
            << u"mnuBold"_s << u""_s << after << u"<B></B>"_s << 7;
        QTest::newRow("template editor, word")
            << u"mnuh1"_s << u"x"_s << after << u"<H1>x</H1>"_s << 10;
    }
    void caretRules()
    {
        QFETCH(QString, command);
        QFETCH(QString, selected);
        QFETCH(int, rule);
        QFETCH(QString, text);
        QFETCH(int, caret);
        const Insertion ins = wrap(selected, *fixedTag(command), CaretRule(rule));
        QCOMPARE(ins.text, text);
        QCOMPARE(ins.caret, caret);
    }

    void toolbarKeys()
    {
        QCOMPARE(editCommandForKey(u"Paste"), std::optional(EditCommand::Paste));
        QVERIFY(!editCommandForKey(u"Bold"));
        // "Center" on the toolbar is the paragraph alignment, not <center>.
        QCOMPARE(actionForKey(u"Center"), u"mnualigncenter"_s);
        QCOMPARE(actionForKey(u"Strikethru"), u"mnuStrike"_s);
        QVERIFY(actionForKey(u"Nothing").isEmpty());
        QVERIFY(actionForKey(u"Undo").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMarkupCommands)
#include "tst_markupcommands.moc"
