#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class SpellDictionary;

// A word of a text: where it starts and how long it is.
struct WordSpan
{
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const WordSpan&) const = default;
};

// The words a user wrote in an entry box, in order. HTML tags and comments,
// character entities (&nbsp;), web and e-mail addresses, host and file names
// (example.com, help.html) and words with digits in them are not words to
// check.
QList<WordSpan> wordsToCheck(const QString& text);

// The sentence around a word, on one line, and where the word starts in it.
struct WordContext
{
    QString sentence;
    qsizetype wordStart = 0;
};
WordContext sentenceAround(const QString& text, WordSpan word);

// A word the dictionary does not know, as the user is asked about it.
struct SpellQuestion
{
    QString word;
    WordContext context;
    QStringList suggestions;
};

struct SpellReply
{
    enum Action
    {
        Change,          // replace this occurrence by `replacement`
        ChangeAll,       // ... and every later one of the same word
        Ignore,          // leave this occurrence
        IgnoreAll,       // leave every occurrence
        AddToDictionary, // add the word to the personal word list
        Cancel           // stop; the changes made so far stay
    };
    Action action = Cancel;
    QString replacement;
};

class SpellSession;

// Whoever answers the questions of a check: the spelling dialog, or a script.
// The answer goes to the session's answer(), at once or later (the dialog
// answers when the user clicks).
class SpellAnswerer
{
public:
    virtual ~SpellAnswerer() = default;
    virtual void ask(const SpellQuestion& question, SpellSession& session) = 0;
    // The check is over (the dialog closes).
    virtual void checkEnded() {}
};

// One interactive check, over one or more texts, run as the answers come:
// it puts the next word the dictionary does not know to the answerer and
// goes on from its answer. Change All and Ignore All hold for the rest of
// the session.
class SpellSession
{
public:
    SpellSession(SpellDictionary& dictionary, SpellAnswerer& answerer);

    // Checks `texts` in order; `finished` runs once at the end, before
    // start() returns when no question is left waiting for an answer. Not
    // to be called while a check runs.
    void start(const QStringList& texts, std::function<void()> finished);
    // The answer to the question put last; ignored when none is waiting.
    void answer(const SpellReply& reply);
    bool isRunning() const { return m_running; }

    // After the end: the texts corrected, in order, with CR LF line breaks
    // (no line break is added at the end). After a cancel the corrections
    // made until then stay and the rest is left as it was (cancelled() says
    // so); nullopt when the dictionary failed, and failure() says why (when
    // it gave a reason).
    std::optional<QStringList> result() const;
    QString failure() const { return m_failure; }
    bool cancelled() const { return m_cancelled; }

private:
    enum class Step
    {
        Question, // a word was put to the answerer
        TextDone,
        Failed
    };
    void run();
    Step nextQuestion();
    void apply(const SpellReply& reply);
    void replaceWord(WordSpan span, const QString& replacement);
    void openText(qsizetype index);
    void finish();
    bool isInDictionaryScript(const QString& word) const;

    SpellDictionary& m_dictionary;
    SpellAnswerer& m_answerer;
    int m_script; // the writing system of the dictionary's language (QChar::Script)
    QSet<QString> m_ignored;
    QHash<QString, QString> m_changeAll;
    QString m_failure;
    bool m_failed = false, m_cancelled = false;

    // The check under way: the texts, those done, the one being read (LF
    // line breaks, corrected so far), its words and the next one to read.
    QStringList m_texts, m_done;
    qsizetype m_index = 0;
    QString m_text;
    QList<WordSpan> m_spans;
    qsizetype m_next = 0;
    QString m_lookup;                  // the word asked about, as the dictionary reads it
    std::optional<SpellReply> m_reply; // an answer not yet applied
    bool m_running = false, m_waiting = false, m_stepping = false;
    std::function<void()> m_finished;
};

// What the spell check of an entry covers: the selected text of the focused
// box when there is one (and nothing else), otherwise the title, the body and
// the link title. The signature, e-mail and address are never checked.
struct EntryTexts
{
    std::optional<QString> selection;
    QString head;
    QString main;
    QString urlTitle;
};

// Checks `entry` in `session`; `done` gets the entry with its checked texts
// corrected (as far as the user went before a cancel), or nullopt after a
// failure, so that the caller changes nothing.
void checkEntry(const EntryTexts& entry, SpellSession& session,
                std::function<void(const std::optional<EntryTexts>&)> done);
