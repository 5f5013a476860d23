#include "core/spell/SpellChecker.h"

#include "core/spell/SpellDictionary.h"

#include <QLocale>
#include <QRegularExpression>

#include <vector>

namespace {

// The code point at `i` (a surrogate pair counts as one); `size` gets its
// length in UTF-16 units.
char32_t codePointAt(const QString& text, qsizetype i, qsizetype* size)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        *size = 2;
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    }
    *size = 1;
    return c.unicode();
}

bool isWordCharacter(char32_t c)
{
    return QChar::isLetterOrNumber(c) || QChar::isMark(c) || c == U'_';
}

bool isApostrophe(char32_t c)
{
    return c == U'\'' || c == U'\u2019';
}

// Marks what is markup rather than prose: tags, comments and entities.
std::vector<bool> markupMask(const QString& text)
{
    const qsizetype n = text.size();
    std::vector<bool> mask(static_cast<size_t>(n), false);
    auto mark = [&mask](qsizetype from, qsizetype to) {
        for (qsizetype k = from; k < to; ++k)
            mask[static_cast<size_t>(k)] = true;
    };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('<')) {
            if (QStringView(text).mid(i).startsWith(u"<!--")) {
                const qsizetype close = text.indexOf(QStringLiteral("-->"), i + 4);
                const qsizetype end = close < 0 ? n : close + 3;
                mark(i, end);
                i = end;
                continue;
            }
            const QChar next = i + 1 < n ? text.at(i + 1) : QChar();
            if (next.isLetter() || next == QLatin1Char('/') || next == QLatin1Char('!') ||
                next == QLatin1Char('?')) {
                const qsizetype close = text.indexOf(QLatin1Char('>'), i + 1);
                if (close >= 0) {
                    mark(i, close + 1);
                    i = close + 1;
                    continue;
                }
            }
        } else if (c == QLatin1Char('&')) {
            qsizetype j = i + 1;
            if (j < n && text.at(j) == QLatin1Char('#'))
                ++j;
            qsizetype k = j;
            while (k < n && k - i <= 32 && text.at(k).unicode() < 128 &&
                   text.at(k).isLetterOrNumber())
                ++k;
            if (k > j && k < n && text.at(k) == QLatin1Char(';')) {
                mark(i, k + 1);
                i = k + 1;
                continue;
            }
        }
        ++i;
    }
    return mask;
}

// Web and e-mail addresses, host names and file paths: not prose.
bool isAddress(QStringView chunk)
{
    if (chunk.contains(u"://"))
        return true;
    if (chunk.startsWith(u"www.", Qt::CaseInsensitive) ||
        chunk.startsWith(u"mailto:", Qt::CaseInsensitive))
        return true;
    const qsizetype at = chunk.indexOf(QLatin1Char('@'));
    if (at > 0 && at < chunk.size() - 1)
        return true;
    static const QRegularExpression host(
        QStringLiteral("^[A-Za-z0-9_-]+(\\.[A-Za-z0-9_-]+)*\\.[a-z]{2,4}$"));
    if (host.match(chunk).hasMatch())
        return true;
    static const QRegularExpression path(QStringLiteral("^[A-Za-z0-9_./~-]*/[A-Za-z0-9_./~-]*$"));
    return path.match(chunk).hasMatch() &&
           (chunk.startsWith(QLatin1Char('/')) || chunk.contains(QLatin1Char('.')));
}

const QString kLeadingPunctuation = QStringLiteral("([{\"'\u00BF\u00A1\u201C\u2018");
const QString kTrailingPunctuation = QStringLiteral(".,;:!?)]}\"'\u201D\u2019");

void addWords(const QString& text, qsizetype from, qsizetype to, QList<WordSpan>& out)
{
    qsizetype i = from;
    while (i < to) {
        qsizetype size = 0;
        char32_t c = codePointAt(text, i, &size);
        if (!isWordCharacter(c)) {
            i += size;
            continue;
        }
        const qsizetype start = i;
        bool skip = false;
        while (i < to) {
            c = codePointAt(text, i, &size);
            if (isWordCharacter(c)) {
                skip = skip || QChar::isDigit(c) || c == U'_';
                i += size;
                continue;
            }
            // An apostrophe inside a word ("don't") belongs to it.
            qsizetype nextSize = 0;
            if (isApostrophe(c) && i + size < to &&
                QChar::isLetter(codePointAt(text, i + size, &nextSize))) {
                i += size;
                continue;
            }
            break;
        }
        if (!skip)
            out << WordSpan{start, i - start};
    }
}

} // namespace

QList<WordSpan> wordsToCheck(const QString& text)
{
    const std::vector<bool> mask = markupMask(text);
    QList<WordSpan> out;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (mask[static_cast<size_t>(i)] || text.at(i).isSpace()) {
            ++i;
            continue;
        }
        // A chunk: everything up to the next blank or piece of markup.
        qsizetype end = i;
        while (end < n && !mask[static_cast<size_t>(end)] && !text.at(end).isSpace())
            ++end;
        qsizetype a = i;
        qsizetype b = end;
        while (a < b && kLeadingPunctuation.contains(text.at(a)))
            ++a;
        while (b > a && kTrailingPunctuation.contains(text.at(b - 1)))
            --b;
        if (!isAddress(QStringView(text).mid(a, b - a)))
            addWords(text, a, b, out);
        i = end;
    }
    return out;
}

WordContext sentenceAround(const QString& text, WordSpan word)
{
    auto endsSentence = [&text](qsizetype k) {
        const QChar c = text.at(k);
        return c == QLatin1Char('.') || c == QLatin1Char('!') || c == QLatin1Char('?');
    };
    qsizetype start = word.start;
    while (start > 0) {
        const QChar before = text.at(start - 1);
        if (before == QLatin1Char('\n') || before == QLatin1Char('\r'))
            break;
        if (before.isSpace() && start >= 2 && endsSentence(start - 2))
            break;
        --start;
    }
    qsizetype end = word.start + word.length;
    while (end < text.size()) {
        const QChar c = text.at(end);
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            break;
        ++end;
        if (endsSentence(end - 1) && (end == text.size() || text.at(end).isSpace()))
            break;
    }
    // A very long line is cut to a window around the word.
    constexpr qsizetype kAround = 90;
    QString prefix;
    QString suffix;
    if (word.start - start > kAround) {
        start = word.start - kAround;
        prefix = QStringLiteral("...");
    }
    if (end - (word.start + word.length) > kAround) {
        end = word.start + word.length + kAround;
        suffix = QStringLiteral("...");
    }
    while (start < word.start && text.at(start).isSpace())
        ++start;
    WordContext out;
    out.sentence = prefix + text.mid(start, end - start).trimmed() + suffix;
    out.wordStart = prefix.size() + word.start - start;
    return out;
}

SpellSession::SpellSession(SpellDictionary& dictionary, SpellAnswerer& answerer)
    : m_dictionary(dictionary), m_answerer(answerer), m_script(QChar::Script_Latin)
{
    // The writing system of the dictionary, read from its language's own
    // name ("English", "русский", "Ελληνικά").
    const QString name = QLocale(dictionary.language()).nativeLanguageName();
    for (const QChar c : name)
        if (c.isLetter()) {
            m_script = c.script();
            break;
        }
}

bool SpellSession::isInDictionaryScript(const QString& word) const
{
    for (qsizetype i = 0; i < word.size();) {
        qsizetype size = 0;
        const char32_t c = codePointAt(word, i, &size);
        if (QChar::isLetter(c) && QChar::script(c) == m_script)
            return true;
        i += size;
    }
    return false;
}

namespace {

QString withLfOnly(const QString& text)
{
    return QString(text)
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

QString withCrLf(const QString& lfText)
{
    return QString(lfText).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

} // namespace

void SpellSession::start(const QStringList& texts, std::function<void()> finished)
{
    Q_ASSERT(!m_running);
    m_failure.clear();
    m_failed = m_cancelled = false;
    m_texts = texts;
    m_done.clear();
    m_reply.reset();
    m_waiting = false;
    m_running = true;
    m_finished = std::move(finished);
    openText(0);
    run();
}

void SpellSession::answer(const SpellReply& reply)
{
    if (!m_waiting || m_reply)
        return;
    m_reply = reply;
    if (!m_stepping) // an answer given at once is taken by the loop below
        run();
}

std::optional<QStringList> SpellSession::result() const
{
    if (m_running || m_failed)
        return std::nullopt;
    return m_done;
}

void SpellSession::openText(qsizetype index)
{
    m_index = index;
    m_text = index < m_texts.size() ? withLfOnly(m_texts.at(index)) : QString();
    m_spans = wordsToCheck(m_text);
    m_next = 0;
}

// Goes on until a question waits for its answer or the check ends. An
// answerer that answers at once is served here rather than from inside
// ask(), so a long text does not stack one call per question.
void SpellSession::run()
{
    m_stepping = true;
    for (;;) {
        if (m_reply) {
            const SpellReply reply = *std::exchange(m_reply, std::nullopt);
            m_waiting = false;
            apply(reply);
        }
        if (m_waiting)
            break;
        if (m_cancelled || m_index >= m_texts.size())
            return finish();
        const Step step = nextQuestion();
        if (step == Step::Failed)
            return finish();
        if (step == Step::TextDone) {
            m_done << withCrLf(m_text);
            openText(m_index + 1);
        }
    }
    m_stepping = false;
}

SpellSession::Step SpellSession::nextQuestion()
{
    while (m_next < m_spans.size()) {
        const WordSpan span = m_spans.at(m_next);
        const QString word = m_text.mid(span.start, span.length);
        // A word in another writing system (a Greek word in an English
        // entry) is not this dictionary's to judge.
        if (m_ignored.contains(word) || !isInDictionaryScript(word)) {
            ++m_next;
            continue;
        }
        if (const auto it = m_changeAll.constFind(word); it != m_changeAll.constEnd()) {
            replaceWord(span, *it);
            continue;
        }
        QString lookup = word;
        lookup.replace(QChar(0x2019), QLatin1Char('\''));
        const SpellDictionary::Verdict verdict = m_dictionary.check(lookup);
        if (verdict == SpellDictionary::Verdict::Failed) {
            m_failed = true;
            m_failure = m_dictionary.lastError();
            return Step::Failed;
        }
        if (verdict == SpellDictionary::Verdict::Correct) {
            ++m_next;
            continue;
        }
        m_lookup = lookup;
        m_waiting = true;
        m_answerer.ask({word, sentenceAround(m_text, span), m_dictionary.suggest(lookup)}, *this);
        return Step::Question;
    }
    return Step::TextDone;
}

void SpellSession::replaceWord(WordSpan span, const QString& replacement)
{
    m_text.replace(span.start, span.length, replacement);
    const qsizetype resume = span.start + replacement.size();
    m_spans = wordsToCheck(m_text);
    m_next = 0;
    while (m_next < m_spans.size() && m_spans.at(m_next).start < resume)
        ++m_next;
}

void SpellSession::apply(const SpellReply& reply)
{
    const WordSpan span = m_spans.at(m_next);
    const QString word = m_text.mid(span.start, span.length);
    switch (reply.action) {
    case SpellReply::Change:
        replaceWord(span, reply.replacement);
        return;
    case SpellReply::ChangeAll:
        m_changeAll.insert(word, reply.replacement);
        replaceWord(span, reply.replacement);
        return;
    case SpellReply::Ignore:
        break;
    case SpellReply::IgnoreAll:
        m_ignored.insert(word);
        break;
    case SpellReply::AddToDictionary:
        m_dictionary.addToPersonal(m_lookup);
        m_ignored.insert(word);
        break;
    case SpellReply::Cancel:
        m_cancelled = true;
        return;
    }
    ++m_next;
}

// The texts after a cancel are not looked at. The session may be destroyed
// from `finished`, so nothing follows it.
void SpellSession::finish()
{
    if (!m_failed) {
        if (m_index < m_texts.size())
            m_done << withCrLf(m_text);
        for (qsizetype i = m_index + 1; i < m_texts.size(); ++i)
            m_done << withCrLf(withLfOnly(m_texts.at(i)));
    }
    m_running = m_waiting = m_stepping = false;
    m_answerer.checkEnded();
    if (auto finished = std::exchange(m_finished, nullptr))
        finished();
}

void checkEntry(const EntryTexts& entry, SpellSession& session,
                std::function<void(const std::optional<EntryTexts>&)> done)
{
    const bool selection = entry.selection && !entry.selection->isEmpty();
    const QStringList texts = selection ? QStringList{*entry.selection}
                                        : QStringList{entry.head, entry.main, entry.urlTitle};
    session.start(texts, [entry, selection, &session, done = std::move(done)] {
        const std::optional<QStringList> checked = session.result();
        if (!checked)
            return done(std::nullopt);
        EntryTexts out = entry;
        if (selection) {
            out.selection = checked->constFirst();
        } else {
            out.head = checked->at(0);
            out.main = checked->at(1);
            out.urlTitle = checked->at(2);
        }
        done(out);
    });
}
