// The spell check over the real en_US enchant dictionary, answered by a script: which words
// are checked, what comes back, and what a cancel or a failing dictionary leaves.

#include "PublishFixture.h"
#include "core/spell/SpellChecker.h"
#include "core/spell/SpellDictionary.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Answers from scripts ("Change:world", "ChangeAll:world", "Ignore", "IgnoreAll", "Add",
// "Cancel"; Cancel once they run out) and records the words asked about. It answers at once,
// or `later` from the event loop, as the dialog does.
class ScriptedAnswerer final : public SpellAnswerer
{
public:
    explicit ScriptedAnswerer(const QStringList& scripts, bool later = false)
        : scripts(scripts), later(later)
    {
    }
    QStringList scripts, words;
    bool later;

    void ask(const SpellQuestion& q, SpellSession& session) override
    {
        static const QHash<QString, SpellReply::Action> actions = {
            {u"Change"_s, SpellReply::Change},       {u"ChangeAll"_s, SpellReply::ChangeAll},
            {u"Ignore"_s, SpellReply::Ignore},       {u"IgnoreAll"_s, SpellReply::IgnoreAll},
            {u"Add"_s, SpellReply::AddToDictionary}, {u"Cancel"_s, SpellReply::Cancel}};
        words << q.word;
        const QString script = scripts.isEmpty() ? u"Cancel"_s : scripts.takeFirst();
        const SpellReply reply{actions.value(script.section(u':', 0, 0), SpellReply::Cancel),
                               script.section(u':', 1)};
        if (!later)
            return session.answer(reply);
        QTimer::singleShot(0, [&session, reply] { session.answer(reply); });
    }
};

// Runs the whole check of `texts`, however the answers come.
std::optional<QStringList> checked(SpellSession& session, const QStringList& texts)
{
    bool ended = false;
    session.start(texts, [&ended] { ended = true; });
    if (!QTest::qWaitFor([&] { return ended; }))
        return {{u"never ended"_s}};
    return session.result();
}

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

    void wordsAndSentences()
    {
        const std::pair<QString, QString> textAndWords[] = {
            {u"Hello <BLOCKQUOTE>wrold</BLOCKQUOTE>&nbsp;teh&#160;x"_s, u"Hello|wrold|teh|x"_s},
            {u"<a href=\"help.html\" title=\"Clik\">Clik</a> here"_s, u"Clik|here"_s},
            {u"<!-- no wrods here --> after"_s, u"after"_s},
            {u"see http://exmaple.com/teh and www.foo.org."_s, u"see|and"_s},
            {u"mail me@exmaple.com (or exmaple.com) now"_s, u"mail|or|now"_s},
            {u"/pagewick/ and images/teh.jpg or help.html"_s, u"and|or"_s},
            {u"don't say \u2018it\u2019s\u2019 'fine'"_s, u"don't|say|it\u2019s|fine"_s},
            {u"mp3 2nd 42 word"_s, u"word"_s},
            {u"well-known"_s, u"well|known"_s},
            {u"a < b > c"_s, u"a|b|c"_s},
            {u"salt & pepper, AT&T"_s, u"salt|pepper|AT|T"_s},
            {u"Привет, мир! naïve café"_s, u"Привет|мир|naïve|café"_s},
            {u"\U0001D400bc word"_s, u"\U0001D400bc|word"_s}};
        for (const auto& [text, words] : textAndWords) {
            QStringList found;
            for (const WordSpan& w : wordsToCheck(text))
                found << text.mid(w.start, w.length);
            QCOMPARE(found.join(u'|'), words);
        }
        const std::array<QString, 3> textWordSentence[] = {
            {u"First one. Second wrod here! Third."_s, u"wrod"_s, u"Second wrod here!"_s},
            {u"line one\nline twoo\nthree"_s, u"twoo"_s, u"line twoo"_s},
            {u"Wrod first. Then"_s, u"Wrod"_s, u"Wrod first."_s}};
        for (const auto& [text, word, sentence] : textWordSentence) {
            const WordContext c = sentenceAround(text, {text.indexOf(word), word.size()});
            QCOMPARE(c.sentence + u'|' + c.sentence.mid(c.wordStart, word.size()),
                     sentence + u'|' + word);
        }
    }

    // The texts, the replies, the words asked about and what comes back, each
    // list joined by "|". Change All, Ignore All, Cancel and the lines of the
    // body are checked with the main window.
    void session()
    {
        const QString markup = u"<BLOCKQUOTE>Hello&nbsp;there</BLOCKQUOTE> <a "
                               "href=\"http://exmaple.com/teh\">link</a> me@exmaple.com"_s;
        const std::array<QString, 4> table[] = {
            {u"one\r\ntwo\n"_s, QString(), QString(), u"one\r\ntwo\r\n"_s},
            {u"wrold wrold"_s, u"Ignore|Change:world"_s, u"wrold|wrold"_s, u"wrold world"_s},
            // A longer replacement keeps later words in place.
            {u"<B>wrold</B> is big. tset"_s, u"Change:whole world|Change:test"_s, u"wrold|tset"_s,
             u"<B>whole world</B> is big. test"_s},
            {markup, QString(), QString(), markup},
            {u"Привет wrold"_s, u"Change:world"_s, u"wrold"_s, u"Привет world"_s},
            // A cancel keeps what was changed; the rest is left unread.
            {u"Teh wrold tset|a\nlnie"_s, u"Change:The|Cancel"_s, u"Teh|wrold"_s,
             u"The wrold tset|a\r\nlnie"_s}};
        for (const auto& [texts, replies, asked, expected] : table)
            for (const bool later : {false, true}) {
                ScriptedAnswerer answers(replies.split(u'|', Qt::SkipEmptyParts), later);
                SpellSession session(*dict, answers);
                const std::optional<QStringList> out = checked(session, texts.split(u'|'));
                QCOMPARE(answers.words.join(u'|'), asked);
                QCOMPARE(out.value_or(QStringList()).join(u'|'), expected);
                QCOMPARE(out.has_value(), !expected.isEmpty());
                QVERIFY(answers.scripts.isEmpty() && session.failure().isEmpty());
                QCOMPARE(session.cancelled(), replies.contains(u"Cancel"_s));
                QVERIFY(!session.isRunning());
            }
    }

    // At the first word, in the body after a change in the title, in the link title.
    void failingDictionaryChangesNothing()
    {
        for (int failAt : {1, 3, 5}) {
            FailingDictionary failing(*dict, failAt);
            ScriptedAnswerer answers(QStringList(4, u"Change:fixed"_s), failAt == 3);
            SpellSession session(failing, answers);
            std::optional<std::optional<EntryTexts>> out;
            checkEntry({std::nullopt, u"Teh title"_s, u"Body wrold"_s, u"Lnk here"_s}, session,
                       [&out](const std::optional<EntryTexts>& entry) { out = entry; });
            QTRY_VERIFY(out);
            QVERIFY(!*out);
            QCOMPARE(session.failure(), u"dictionary gone"_s);
        }
    }

    void addToDictionaryKeepsTheWordInTheUsersList()
    {
        ScriptedAnswerer answers({u"Add"_s});
        SpellSession session(*dict, answers);
        const QString text = u"Zorblax writes, Zorblax reads"_s;
        QCOMPARE(checked(session, {text}).value_or(QStringList()), QStringList{text});
        QCOMPARE(answers.words, QStringList({"Zorblax"}));

        // A new dictionary knows it too: it was written to the personal list
        // under the test's own configuration folder.
        QString error;
        auto again = EnchantDictionary::open({u"en_US"_s}, &error);
        QVERIFY(again && again->check(u"Zorblax"_s) == SpellDictionary::Verdict::Correct);
        bool found = false;
        for (QDirIterator it(home.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
            found = found || PublishFixture::readFile(it.next()).contains("Zorblax");
        QVERIFY(found);
    }

    void dictionaryLanguages()
    {
        QString error;
        auto fallback = EnchantDictionary::open({"xx_YY", "en_US"}, &error);
        QVERIFY(fallback && fallback->language() == u"en_US"_s);
        QVERIFY(!EnchantDictionary::open({"xx_YY", "yy_ZZ"}, &error));
        QCOMPARE(error, u"No spelling dictionary is installed for xx_YY or yy_ZZ."_s);
        QCOMPARE(defaultSpellLanguages().constLast(), u"en_US"_s);
    }
};

QTEST_GUILESS_MAIN(TestSpellChecker)
#include "tst_spellchecker.moc"
