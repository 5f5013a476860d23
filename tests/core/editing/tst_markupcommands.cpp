#include "core/editing/MarkupCommands.h"

#include <QTest>

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
        QTest::newRow("align center") << "mnualigncenter"
                                      << "<P align=center>"
                                      << "";
        QTest::newRow("align justify") << "mnualignjustify"
                                       << "<P align=justify>"
                                       << "";
        QTest::newRow("paragraph") << "mnuP"
                                   << "<P>"
                                   << "</P>";
        QTest::newRow("center") << "mnuCenter"
                                << "<center>"
                                << "</center>";
        QTest::newRow("line break") << "mnuBR"
                                    << ""
                                    << "<BR>";
        QTest::newRow("block quote") << "mnuBlockQuote"
                                     << "<BLOCKQUOTE>"
                                     << "</BLOCKQUOTE>";
        QTest::newRow("hard space") << "mnunbsp"
                                    << "&nbsp;"
                                    << "";
        QTest::newRow("size +2") << "mnuFontUp2"
                                 << "<font size=\"+2\">"
                                 << "</font>";
        QTest::newRow("size -1") << "mnuFontDown1"
                                 << "<font size=\"-1\">"
                                 << "</font>";
        QTest::newRow("H6") << "mnuh6"
                            << "<H6>"
                            << "</H6>";
        QTest::newRow("strike") << "mnuStrike"
                                << "<S>"
                                << "</S>";
        QTest::newRow("subscript") << "mnuSub"
                                   << "<SUB>"
                                   << "</SUB>";
        QTest::newRow("value tags are not fixed") << "mnuLink"
                                                  << "-"
                                                  << "-";
        QTest::newRow("unknown") << "mnuBolder"
                                 << "-"
                                 << "-";
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
        QCOMPARE(linkTag(QStringLiteral("help.html")).opening,
                 QStringLiteral("<a href=\"help.html\">"));
        QCOMPARE(linkTag({}).opening, QStringLiteral("<a href=\"\">"));
        QCOMPARE(fontFaceTag(QStringLiteral("DejaVu Sans")).opening,
                 QStringLiteral("<font face=\"DejaVu Sans\">"));
        // Red in the low byte comes first in the hexadecimal form.
        QCOMPARE(fontColorTag(0x0000FFu).opening, QStringLiteral("<font color=\"#FF0000\">"));
        QCOMPARE(fontColorTag(0x123456u).opening, QStringLiteral("<font color=\"#563412\">"));
        QCOMPARE(fontColorTag(0).closing, QStringLiteral("</font>"));
        QVERIFY(
            linkPromptText(QStringLiteral("https://example.org"))
                .contains(QStringLiteral("\r\n\r\nhttps://example.org/pagewick/\r\nhelp.html")));
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
        QTest::newRow("bold, empty: between") << "mnuBold"
                                              << "" << between << "<B></B>" << 3;
        QTest::newRow("bold, word: after") << "mnuBold"
                                           << "word" << between << "<B>word</B>" << 11;
        QTest::newRow("line break, empty: before <BR>") << "mnuBR"
                                                        << "" << between << "<BR>" << 0;
        QTest::newRow("template editor, empty: after") << "mnuBold"
                                                       << "" << after << "<B></B>" << 7;
        QTest::newRow("template editor, word") << "mnuh1"
                                               << "x" << after << "<H1>x</H1>" << 10;
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
        QCOMPARE(actionForKey(u"Center"), QStringLiteral("mnualigncenter"));
        QCOMPARE(actionForKey(u"Strikethru"), QStringLiteral("mnuStrike"));
        QVERIFY(actionForKey(u"Nothing").isEmpty());
        QVERIFY(actionForKey(u"Undo").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMarkupCommands)
#include "tst_markupcommands.moc"
