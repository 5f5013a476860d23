#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

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

// Whoever answers the questions of a check: the spelling dialog, or a script.
class SpellAnswerer
{
public:
    virtual ~SpellAnswerer() = default;
    virtual SpellReply ask(const SpellQuestion& question) = 0;
};

// One interactive check, over one or more texts. Change All and Ignore All
// hold for the rest of the session.
class SpellSession
{
public:
    SpellSession(SpellDictionary& dictionary, SpellAnswerer& answerer);

    // The texts corrected, in order, with CR LF line breaks (no line break
    // is added at the end). After a cancel the corrections made until then
    // stay and the rest is left as it was (cancelled() says so); nullopt
    // when the dictionary failed, and failure() says why.
    std::optional<QStringList> check(const QStringList& texts);
    QString failure() const { return m_failure; }
    bool cancelled() const { return m_cancelled; }

private:
    std::optional<QString> checkText(const QString& text);
    bool isInDictionaryScript(const QString& word) const;

    SpellDictionary& m_dictionary;
    SpellAnswerer& m_answerer;
    int m_script; // the writing system of the dictionary's language (QChar::Script)
    QSet<QString> m_ignored;
    QHash<QString, QString> m_changeAll;
    QString m_failure;
    bool m_cancelled = false;
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

// The entry with its checked texts corrected (as far as the user went
// before a cancel); nullopt after a failure, so that the caller changes
// nothing.
std::optional<EntryTexts> checkEntry(const EntryTexts& entry, SpellSession& session);
