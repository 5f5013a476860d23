// The spell check over the real enchant dictionary (en_US), answered by a
// script: which words are checked, what comes back, and what a cancel or a
// failing dictionary leaves.

#include "core/spell/SpellChecker.h"
#include "core/spell/SpellDictionary.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Answers from a list and records what it was asked.
class ScriptedAnswerer final : public SpellAnswerer
{
public:
    QList<SpellReply> replies;
    QList<SpellQuestion> questions;

    SpellReply ask(const SpellQuestion& q) override
    {
        questions << q;
        return replies.isEmpty() ? SpellReply{SpellReply::Cancel, {}} : replies.takeFirst();
    }
    QStringList words() const
    {
        QStringList out;
        for (const SpellQuestion& q : questions)
            out << q.word;
        return out;
    }
};

// The real dictionary, failing from the n-th word on.
class FailingDictionary final : public SpellDictionary
{
public:
    FailingDictionary(SpellDictionary& real, int failAt) : m_real(real), m_left(failAt) {}
    Verdict check(const QString& word) override
    {
        return --m_left <= 0 ? Verdict::Failed : m_real.check(word);
    }
    QStringList suggest(const QString& word) override { return m_real.suggest(word); }
    void addToPersonal(const QString& word) override { m_real.addToPersonal(word); }
    QString language() const override { return m_real.language(); }
    QString lastError() const override { return u"dictionary gone"_s; }

private:
    SpellDictionary& m_real;
    int m_left;
};

// "Change:world", "ChangeAll:world", "Ignore", "IgnoreAll", "Add", "Cancel".
SpellReply reply(const QString& script)
{
    const QString action = script.section(QLatin1Char(':'), 0, 0);
    const QString replacement = script.section(QLatin1Char(':'), 1);
    static const QHash<QString, SpellReply::Action> actions = {
        {u"Change"_s, SpellReply::Change},       {u"ChangeAll"_s, SpellReply::ChangeAll},
        {u"Ignore"_s, SpellReply::Ignore},       {u"IgnoreAll"_s, SpellReply::IgnoreAll},
        {u"Add"_s, SpellReply::AddToDictionary}, {u"Cancel"_s, SpellReply::Cancel}};
    return {actions.value(action, SpellReply::Cancel), replacement};
}

} // namespace

class TestSpellChecker : public QObject
{
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<EnchantDictionary> dict;

private slots:
    void initTestCase()
    {
        // The personal word list must not land in the real user's home.
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + u"/config"_s).toUtf8());
        qunsetenv("ENCHANT_CONFIG_DIR");
        QString error;
        dict = EnchantDictionary::open({u"en_US"_s}, &error);
        QVERIFY2(dict, qPrintable(error));
    }

    void words_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("words");
        QTest::newRow("tags and entities")
            << u"Hello <BLOCKQUOTE>wrold</BLOCKQUOTE>&nbsp;teh&#160;x"_s << u"Hello|wrold|teh|x"_s;
        QTest::newRow("attributes are markup")
            << u"<a href=\"help.html\" title=\"Clik\">Clik</a> here"_s << u"Clik|here"_s;
        QTest::newRow("comment") << u"<!-- no wrods here --> after"_s << u"after"_s;
        QTest::newRow("web addresses")
            << u"see http://exmaple.com/teh and www.foo.org."_s << u"see|and"_s;
        QTest::newRow("e-mail and host names")
            << u"mail me@exmaple.com (or exmaple.com) now"_s << u"mail|or|now"_s;
        QTest::newRow("paths and files")
            << u"/pagewick/ and images/teh.jpg or help.html"_s << u"and|or"_s;
        QTest::newRow("apostrophes")
            << u"don't say \u2018it\u2019s\u2019 'fine'"_s << u"don't|say|it\u2019s|fine"_s;
        QTest::newRow("digits") << u"mp3 2nd 42 word"_s << u"word"_s;
        QTest::newRow("hyphens split") << u"well-known"_s << u"well|known"_s;
        QTest::newRow("lone angle bracket") << u"a < b > c"_s << u"a|b|c"_s;
        QTest::newRow("ampersand without entity")
            << u"salt & pepper, AT&T"_s << u"salt|pepper|AT|T"_s;
        QTest::newRow("non-Latin and accents")
            << u"Привет, мир! naïve café"_s << u"Привет|мир|naïve|café"_s;
        QTest::newRow("outside the basic plane")
            << u"\U0001D400bc word"_s << u"\U0001D400bc|word"_s;
    }
    void words()
    {
        QFETCH(QString, text);
        QFETCH(QString, words);
        QStringList found;
        for (const WordSpan& w : wordsToCheck(text))
            found << text.mid(w.start, w.length);
        QCOMPARE(found.join(QLatin1Char('|')), words);
    }

    void sentence_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("middle sentence")
            << u"First one. Second wrod here! Third."_s << u"wrod"_s << u"Second wrod here!"_s;
        QTest::newRow("own line") << u"line one\nline twoo\nthree"_s << u"twoo"_s << u"line twoo"_s;
        QTest::newRow("first word") << u"Wrod first. Then"_s << u"Wrod"_s << u"Wrod first."_s;
    }
    void sentence()
    {
        QFETCH(QString, text);
        QFETCH(QString, word);
        QFETCH(QString, sentence);
        const WordSpan span{text.indexOf(word), word.size()};
        const WordContext c = sentenceAround(text, span);
        QCOMPARE(c.sentence, sentence);
        QCOMPARE(c.sentence.mid(c.wordStart, word.size()), word);
    }

    void session_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QStringList>("expected"); // {"<cancelled>"} for nullopt

        QTest::newRow("three lines, CR LF back, no final break added")
            << QStringList{"I lik cake\nand tea\nand mor"}
            << QStringList{"Change:like", "Change:more"} << QStringList{"lik", "mor"}
            << QStringList{"I like cake\r\nand tea\r\nand more"};
        QTest::newRow("a final break stays, CR LF stays")
            << QStringList{"one\r\ntwo\n"} << QStringList{} << QStringList{}
            << QStringList{"one\r\ntwo\r\n"};
        QTest::newRow("change all, across texts")
            << QStringList{"Teh wrold", "wrold again, wrold."}
            << QStringList{"Ignore", "ChangeAll:world"} << QStringList{"Teh", "wrold"}
            << QStringList{"Teh world", "world again, world."};
        QTest::newRow("ignore once asks again")
            << QStringList{"wrold wrold"} << QStringList{"Ignore", "Change:world"}
            << QStringList{"wrold", "wrold"} << QStringList{"wrold world"};
        QTest::newRow("ignore all")
            << QStringList{"wrold and wrold", "wrold"} << QStringList{"IgnoreAll"}
            << QStringList{"wrold"} << QStringList{"wrold and wrold", "wrold"};
        QTest::newRow("a longer replacement keeps later words in place")
            << QStringList{"<B>wrold</B> is big. tset"}
            << QStringList{"Change:whole world", "Change:test"} << QStringList{"wrold", "tset"}
            << QStringList{"<B>whole world</B> is big. test"};
        QTest::newRow("markup is never asked about")
            << QStringList{"<BLOCKQUOTE>Hello&nbsp;there</BLOCKQUOTE> <a "
                           "href=\"http://exmaple.com/teh\">link</a> me@exmaple.com"}
            << QStringList{} << QStringList{}
            << QStringList{"<BLOCKQUOTE>Hello&nbsp;there</BLOCKQUOTE> <a "
                           "href=\"http://exmaple.com/teh\">link</a> me@exmaple.com"};
        QTest::newRow("a word in another script is left alone")
            << QStringList{"Привет wrold"} << QStringList{"Change:world"} << QStringList{"wrold"}
            << QStringList{"Привет world"};
        QTest::newRow("cancel in the second text")
            << QStringList{"wrold", "tset"} << QStringList{"Change:world", "Cancel"}
            << QStringList{"wrold", "tset"} << QStringList{"<cancelled>"};
    }
    void session()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, replies);
        QFETCH(QStringList, asked);
        QFETCH(QStringList, expected);
        ScriptedAnswerer answers;
        for (const QString& r : replies)
            answers.replies << reply(r);
        SpellSession session(*dict, answers);
        const std::optional<QStringList> out = session.check(texts);
        QCOMPARE(answers.words(), asked);
        if (expected == QStringList{u"<cancelled>"_s}) {
            QVERIFY(!out);
            QCOMPARE(session.failure(), QString());
        } else {
            QVERIFY(out);
            QCOMPARE(*out, expected);
        }
        QVERIFY(answers.replies.isEmpty());
    }

    void questionShowsSentenceAndSuggestions()
    {
        ScriptedAnswerer answers;
        answers.replies << reply(u"Ignore"_s);
        SpellSession session(*dict, answers);
        QVERIFY(session.check({u"Hi. Hello wrold today!\nBye"_s}));
        QCOMPARE(answers.questions.size(), 1);
        const SpellQuestion& q = answers.questions.first();
        QCOMPARE(q.context.sentence, u"Hello wrold today!"_s);
        QCOMPARE(q.context.wordStart, 6);
        QVERIFY2(q.suggestions.contains(u"world"_s),
                 qPrintable(q.suggestions.join(QLatin1Char(','))));
    }

    void entryFieldsAndSelection()
    {
        const EntryTexts entry{std::nullopt, u"Teh title"_s, u"Body wrold\nline"_s, u"Lnk"_s};
        ScriptedAnswerer answers;
        answers.replies << reply(u"Change:The"_s) << reply(u"Change:world"_s)
                        << reply(u"Change:Link"_s);
        SpellSession session(*dict, answers);
        const std::optional<EntryTexts> out = checkEntry(entry, session);
        QVERIFY(out);
        QCOMPARE(answers.words(), QStringList({"Teh", "wrold", "Lnk"}));
        QCOMPARE(out->head, u"The title"_s);
        QCOMPARE(out->main, u"Body world\r\nline"_s);
        QCOMPARE(out->urlTitle, u"Link"_s);

        // With a selection only the selection is checked.
        EntryTexts selected = entry;
        selected.selection = u"tset"_s;
        ScriptedAnswerer one;
        one.replies << reply(u"Change:test"_s);
        SpellSession second(*dict, one);
        const std::optional<EntryTexts> part = checkEntry(selected, second);
        QVERIFY(part);
        QCOMPARE(one.words(), QStringList({"tset"}));
        QCOMPARE(part->selection, u"test"_s);
        QCOMPARE(part->head, entry.head);
        QCOMPARE(part->main, entry.main);
    }

    void failingDictionaryChangesNothing_data()
    {
        QTest::addColumn<int>("failAt");
        QTest::newRow("first word") << 1;
        QTest::newRow("in the body, after a change in the title") << 3;
        QTest::newRow("in the link title") << 5;
    }
    void failingDictionaryChangesNothing()
    {
        QFETCH(int, failAt);
        FailingDictionary failing(*dict, failAt);
        ScriptedAnswerer answers;
        for (int i = 0; i < 4; ++i)
            answers.replies << reply(u"Change:fixed"_s);
        SpellSession session(failing, answers);
        const EntryTexts entry{std::nullopt, u"Teh title"_s, u"Body wrold"_s, u"Lnk here"_s};
        QVERIFY(!checkEntry(entry, session));
        QCOMPARE(session.failure(), u"dictionary gone"_s);
    }

    void addToDictionaryKeepsTheWordInTheUsersList()
    {
        ScriptedAnswerer answers;
        answers.replies << reply(u"Add"_s);
        SpellSession session(*dict, answers);
        const QString text = u"Zorblax writes, Zorblax reads"_s;
        const std::optional<QStringList> out = session.check({text});
        QVERIFY(out);
        QCOMPARE(*out, QStringList{text});
        QCOMPARE(answers.words(), QStringList({"Zorblax"}));

        // A new dictionary knows it too: it was written to the personal list
        // under the test's own configuration folder.
        QString error;
        auto again = EnchantDictionary::open({u"en_US"_s}, &error);
        QVERIFY(again);
        QCOMPARE(again->check(u"Zorblax"_s), SpellDictionary::Verdict::Correct);
        bool found = false;
        QDirIterator it(home.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            found = found || f.readAll().contains("Zorblax");
        }
        QVERIFY(found);
    }

    void dictionaryLanguages()
    {
        QString error;
        auto fallback = EnchantDictionary::open({"xx_YY", "en_US"}, &error);
        QVERIFY(fallback);
        QCOMPARE(fallback->language(), u"en_US"_s);
        QVERIFY(!EnchantDictionary::open({"xx_YY", "yy_ZZ"}, &error));
        QCOMPARE(error, u"No spelling dictionary is installed for xx_YY or yy_ZZ."_s);
        QCOMPARE(defaultSpellLanguages().constLast(), u"en_US"_s);
    }
};

QTEST_GUILESS_MAIN(TestSpellChecker)
#include "tst_spellchecker.moc"
