// The markup commands without an editor: fixed tags, where the caret goes in the template
// editor, and the toolbar keys.

#include "core/editing/MarkupCommands.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace Markup;

class TestMarkupCommands : public QObject
{
    Q_OBJECT
private slots:
    // Opening and closing tag of each command; "-" for no fixed tag (the tags of P, BR,
    // BLOCKQUOTE, &nbsp; and the alignment are checked in the entry boxes).
    void fixedTags()
    {
        const std::array<QString, 3> table[] = {
            {u"mnualignjustify"_s, u"<P align=justify>"_s, QString()},
            {u"mnuCenter"_s, u"<center>"_s, u"</center>"_s},
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

    // In the template editor the caret always goes after the insertion (the entry boxes' rule
    // is checked with the main window).
    void caretRules()
    {
        for (const auto& [command, selected, text, caret] :
             {std::tuple(u"mnuBold"_s, QString(), u"<B></B>"_s, 7),
              std::tuple(u"mnuh1"_s, u"x"_s, u"<H1>x</H1>"_s, 10)}) {
            const Insertion ins = wrap(selected, *fixedTag(command), CaretRule::AfterInsertion);
            QCOMPARE(std::pair(ins.text, ins.caret), std::pair(text, caret));
        }
    }

    void toolbarKeys()
    {
        QCOMPARE(editCommandForKey(u"Paste"), std::optional(EditCommand::Paste));
        QVERIFY(!editCommandForKey(u"Bold"));
        QVERIFY(actionForKey(u"Nothing").isEmpty() && actionForKey(u"Undo").isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMarkupCommands)
#include "tst_markupcommands.moc"
