// The spell check over the real enchant dictionary (en_US), answered by a
// script: which words are checked, what comes back, and what a cancel or a
// failing dictionary leaves.

#include "core/spell/SpellChecker.h"
#include "core/spell/SpellDictionary.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

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
    QString lastError() const override { return QStringLiteral("dictionary gone"); }

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
        {QStringLiteral("Change"), SpellReply::Change},
        {QStringLiteral("ChangeAll"), SpellReply::ChangeAll},
        {QStringLiteral("Ignore"), SpellReply::Ignore},
        {QStringLiteral("IgnoreAll"), SpellReply::IgnoreAll},
        {QStringLiteral("Add"), SpellReply::AddToDictionary},
        {QStringLiteral("Cancel"), SpellReply::Cancel}};
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
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toUtf8());
        qunsetenv("ENCHANT_CONFIG_DIR");
        QString error;
        dict = EnchantDictionary::open({QStringLiteral("en_US")}, &error);
        QVERIFY2(dict, qPrintable(error));
    }

    void words_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("words");
        QTest::newRow("tags and entities") << "Hello <BLOCKQUOTE>wrold</BLOCKQUOTE>&nbsp;teh&#160;x"
                                           << "Hello|wrold|teh|x";
        QTest::newRow("attributes are markup")
            << "<a href=\"help.html\" title=\"Clik\">Clik</a> here"
            << "Clik|here";
        QTest::newRow("comment") << "<!-- no wrods here --> after"
                                 << "after";
        QTest::newRow("web addresses") << "see http://exmaple.com/teh and www.foo.org."
                                       << "see|and";
        QTest::newRow("e-mail and host names") << "mail me@exmaple.com (or exmaple.com) now"
                                               << "mail|or|now";
        QTest::newRow("paths and files") << "/pagewick/ and images/teh.jpg or help.html"
                                         << "and|or";
        QTest::newRow("apostrophes") << "don't say \u2018it\u2019s\u2019 'fine'"
                                     << "don't|say|it\u2019s|fine";
        QTest::newRow("digits") << "mp3 2nd 42 word"
                                << "word";
        QTest::newRow("hyphens split") << "well-known"
                                       << "well|known";
        QTest::newRow("lone angle bracket") << "a < b > c"
                                            << "a|b|c";
        QTest::newRow("ampersand without entity") << "salt & pepper, AT&T"
                                                  << "salt|pepper|AT|T";
        QTest::newRow("non-Latin and accents") << "Привет, мир! naïve café"
                                               << "Привет|мир|naïve|café";
        QTest::newRow("outside the basic plane") << "\U0001D400bc word"
                                                 << "\U0001D400bc|word";
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
        QTest::newRow("middle sentence") << "First one. Second wrod here! Third."
                                         << "wrod"
                                         << "Second wrod here!";
        QTest::newRow("own line") << "line one\nline twoo\nthree"
                                  << "twoo"
                                  << "line twoo";
        QTest::newRow("first word") << "Wrod first. Then"
                                    << "Wrod"
                                    << "Wrod first.";
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
        if (expected == QStringList{QStringLiteral("<cancelled>")}) {
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
        answers.replies << reply(QStringLiteral("Ignore"));
        SpellSession session(*dict, answers);
        QVERIFY(session.check({QStringLiteral("Hi. Hello wrold today!\nBye")}));
        QCOMPARE(answers.questions.size(), 1);
        const SpellQuestion& q = answers.questions.first();
        QCOMPARE(q.context.sentence, QStringLiteral("Hello wrold today!"));
        QCOMPARE(q.context.wordStart, 6);
        QVERIFY2(q.suggestions.contains(QStringLiteral("world")),
                 qPrintable(q.suggestions.join(QLatin1Char(','))));
    }

    void entryFieldsAndSelection()
    {
        const EntryTexts entry{std::nullopt, QStringLiteral("Teh title"),
                               QStringLiteral("Body wrold\nline"), QStringLiteral("Lnk")};
        ScriptedAnswerer answers;
        answers.replies << reply(QStringLiteral("Change:The"))
                        << reply(QStringLiteral("Change:world"))
                        << reply(QStringLiteral("Change:Link"));
        SpellSession session(*dict, answers);
        const std::optional<EntryTexts> out = checkEntry(entry, session);
        QVERIFY(out);
        QCOMPARE(answers.words(), QStringList({"Teh", "wrold", "Lnk"}));
        QCOMPARE(out->head, QStringLiteral("The title"));
        QCOMPARE(out->main, QStringLiteral("Body world\r\nline"));
        QCOMPARE(out->urlTitle, QStringLiteral("Link"));

        // With a selection only the selection is checked.
        EntryTexts selected = entry;
        selected.selection = QStringLiteral("tset");
        ScriptedAnswerer one;
        one.replies << reply(QStringLiteral("Change:test"));
        SpellSession second(*dict, one);
        const std::optional<EntryTexts> part = checkEntry(selected, second);
        QVERIFY(part);
        QCOMPARE(one.words(), QStringList({"tset"}));
        QCOMPARE(part->selection, QStringLiteral("test"));
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
            answers.replies << reply(QStringLiteral("Change:fixed"));
        SpellSession session(failing, answers);
        const EntryTexts entry{std::nullopt, QStringLiteral("Teh title"),
                               QStringLiteral("Body wrold"), QStringLiteral("Lnk here")};
        QVERIFY(!checkEntry(entry, session));
        QCOMPARE(session.failure(), QStringLiteral("dictionary gone"));
    }

    void addToDictionaryKeepsTheWordInTheUsersList()
    {
        ScriptedAnswerer answers;
        answers.replies << reply(QStringLiteral("Add"));
        SpellSession session(*dict, answers);
        const QString text = QStringLiteral("Zorblax writes, Zorblax reads");
        const std::optional<QStringList> out = session.check({text});
        QVERIFY(out);
        QCOMPARE(*out, QStringList{text});
        QCOMPARE(answers.words(), QStringList({"Zorblax"}));

        // A new dictionary knows it too: it was written to the personal list
        // under the test's own configuration folder.
        QString error;
        auto again = EnchantDictionary::open({QStringLiteral("en_US")}, &error);
        QVERIFY(again);
        QCOMPARE(again->check(QStringLiteral("Zorblax")), SpellDictionary::Verdict::Correct);
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
        QCOMPARE(fallback->language(), QStringLiteral("en_US"));
        QVERIFY(!EnchantDictionary::open({"xx_YY", "yy_ZZ"}, &error));
        QCOMPARE(error, QStringLiteral("No spelling dictionary is installed for xx_YY or yy_ZZ."));
        QCOMPARE(defaultSpellLanguages().constLast(), QStringLiteral("en_US"));
    }
};

QTEST_GUILESS_MAIN(TestSpellChecker)
#include "tst_spellchecker.moc"
