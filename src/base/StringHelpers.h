#pragma once

#include <QByteArray>
#include <QString>

// Small cutting helpers shared by the whole program, for text (QString) and
// page bytes (QByteArray) alike. Matching is exact (case-sensitive).

// The text before / after the first occurrence of `mark`; empty when absent.
template <typename S> S textBefore(const S& text, const S& mark)
{
    const qsizetype at = text.indexOf(mark);
    return at < 0 ? S() : text.left(at);
}
template <typename S> S textAfter(const S& text, const S& mark)
{
    const qsizetype at = text.indexOf(mark);
    return at < 0 ? S() : text.mid(at + mark.size());
}
// The same for the last occurrence.
template <typename S> S textBeforeLast(const S& text, const S& mark)
{
    const qsizetype at = text.lastIndexOf(mark);
    return at < 0 ? S() : text.left(at);
}
template <typename S> S textAfterLast(const S& text, const S& mark)
{
    const qsizetype at = text.lastIndexOf(mark);
    return at < 0 ? S() : text.mid(at + mark.size());
}
// The text with the first occurrence of `pattern` cut out; unchanged when the
// pattern does not occur.
template <typename S> S removeFirst(const S& text, const S& pattern)
{
    const qsizetype at = pattern.isEmpty() ? -1 : text.indexOf(pattern);
    if (at < 0)
        return text;
    S out = text;
    out.remove(at, pattern.size());
    return out;
}
// 1-based position of the last occurrence of `pattern` starting at or before
// `limit` (1-based; the whole text when limit <= 0); 0 when there is none.
template <typename S> qsizetype lastPosition(const S& text, const S& pattern, qsizetype limit = 0)
{
    if (pattern.isEmpty() || text.size() < pattern.size())
        return 0;
    const qsizetype from = limit <= 0 ? text.size() - 1 : qMin(limit - 1, text.size() - 1);
    const qsizetype at = text.lastIndexOf(pattern, from);
    return at < 0 ? 0 : at + 1;
}

// The text without the blanks (spaces only, not other white space) at either end.
inline QString trimBlanks(const QString& t)
{
    qsizetype b = 0, e = t.size();
    while (b < e && t[b] == QLatin1Char(' '))
        ++b;
    while (e > b && t[e - 1] == QLatin1Char(' '))
        --e;
    return t.mid(b, e - b);
}

// Overloads so that string literals can be passed as marks.
inline QString textBefore(const QString& t, const char* m)
{
    return textBefore(t, QString::fromUtf8(m));
}
inline QString textAfter(const QString& t, const char* m)
{
    return textAfter(t, QString::fromUtf8(m));
}
