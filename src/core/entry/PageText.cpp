#include "core/entry/PageText.h"

#include "base/TextCodec.h"

#include <algorithm>
#include <cstring>

namespace PageText {

namespace {

inline char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

inline bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool equalsNoCase(const char* a, const char* b, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

// Length of the needle's leading bytes without letters: they are searched
// exactly (fast), the rest compared without regard to case.
qsizetype exactPrefix(QByteArrayView needle)
{
    qsizetype k = 0;
    while (k < needle.size() && !isLetter(needle[k]))
        ++k;
    return k;
}

// How common a byte is in HTML: searches jump between occurrences of the
// needle's rarest byte.
int commonness(char c)
{
    switch (c) {
    case '<':
    case '>':
    case '-':
    case '!':
    case '/':
    case ' ':
    case '"':
    case '=':
    case '\r':
    case '\n':
    case '\t':
        return 3;
    default:
        break;
    }
    if (c >= 'a' && c <= 'z')
        return 2;
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return 1;
    return 0;
}

// First exact occurrence of `needle` at or after `from`; -1 when absent.
qsizetype findExact(QByteArrayView text, QByteArrayView needle, qsizetype from)
{
    const qsizetype n = text.size(), m = needle.size();
    if (from < 0)
        from = 0;
    if (m == 0 || n - from < m)
        return -1;
    qsizetype k = 0;
    for (qsizetype i = 1; i < m; ++i)
        if (commonness(needle[i]) < commonness(needle[k]))
            k = i;
    const char* base = text.data();
    const char* at = base + from + k;
    const char* last = base + n - m + k; // the anchor of the last possible match
    while (at <= last) {
        at = static_cast<const char*>(
            std::memchr(at, needle[k], static_cast<size_t>(last - at + 1)));
        if (!at)
            return -1;
        if (std::memcmp(at - k, needle.data(), static_cast<size_t>(m)) == 0)
            return at - k - base;
        ++at;
    }
    return -1;
}

bool endsWith(QByteArrayView text, qsizetype end, QByteArrayView tail)
{
    return end >= tail.size() && std::memcmp(text.data() + end - tail.size(), tail.data(),
                                             static_cast<size_t>(tail.size())) == 0;
}

void appendCodePoint(QByteArray& out, char32_t cp, Encoding encoding)
{
    if (encoding == Encoding::Utf8) {
        if (cp < 0x80) {
            out.append(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.append(static_cast<char>(0xC0 | (cp >> 6)));
            out.append(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.append(static_cast<char>(0xE0 | (cp >> 12)));
            out.append(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.append(static_cast<char>(0xF0 | (cp >> 18)));
            out.append(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.append(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.append(static_cast<char>(0x80 | (cp & 0x3F)));
        }
        return;
    }
    if (cp < 0x10000) {
        const char16_t c = static_cast<char16_t>(cp);
        if (TextCodec::fitsCp1252(QStringView(&c, 1))) {
            out.append(TextCodec::toCp1252(QStringView(&c, 1)));
            return;
        }
    }
    out.append("&#");
    out.append(QByteArray::number(static_cast<quint32>(cp)));
    out.append(';');
}

} // namespace

Pieces::Pieces(std::initializer_list<QByteArrayView> parts)
{
    for (QByteArrayView part : parts)
        append(part);
}

void Pieces::append(QByteArrayView part)
{
    if (part.isEmpty())
        return;
    m_parts.append(part);
    m_starts.append(m_size);
    m_size += part.size();
}

template <typename Search>
qsizetype Pieces::search(QByteArrayView needle, qsizetype from, Search inPiece) const
{
    const qsizetype m = needle.size();
    if (from < 0)
        from = 0;
    if (m == 0 || m_size - from < m)
        return -1;
    for (qsizetype i = 0; i < m_parts.size(); ++i) {
        const qsizetype start = m_starts[i], end = start + m_parts[i].size();
        if (end <= from)
            continue;
        const qsizetype hit = inPiece(m_parts[i], needle, qMax<qsizetype>(0, from - start));
        if (hit >= 0)
            return start + hit;
        // A match across the end of this piece: look in the few bytes around it.
        if (i + 1 < m_parts.size() && m > 1) {
            const qsizetype a = qMax(from, end - (m - 1)), b = qMin(m_size, end + (m - 1));
            QByteArray window;
            appendTo(window, a, b);
            const qsizetype w = inPiece(QByteArrayView(window), needle, 0);
            if (w >= 0 && a + w < end)
                return a + w;
        }
    }
    return -1;
}

qsizetype Pieces::find(QByteArrayView needle, qsizetype from) const
{
    return search(needle, from, findExact);
}

qsizetype Pieces::findNoCase(QByteArrayView needle, qsizetype from) const
{
    return search(needle, from, indexOfNoCase);
}

Pieces Pieces::slice(qsizetype from, qsizetype to) const
{
    Pieces out;
    for (qsizetype i = 0; i < m_parts.size(); ++i) {
        const qsizetype start = m_starts[i], end = start + m_parts[i].size();
        const qsizetype a = qMax(from, start), b = qMin(to, end);
        if (a < b)
            out.append(m_parts[i].sliced(a - start, b - a));
    }
    return out;
}

void Pieces::appendTo(QByteArray& out, qsizetype from, qsizetype to) const
{
    const Pieces range = slice(from, to);
    for (QByteArrayView part : range.parts())
        out.append(part);
}

QByteArray Pieces::join() const
{
    QByteArray out;
    out.reserve(m_size);
    for (QByteArrayView part : m_parts)
        out.append(part);
    return out;
}

qsizetype indexOfNoCase(QByteArrayView text, QByteArrayView needle, qsizetype from)
{
    if (from < 0)
        from = 0;
    const qsizetype n = needle.size();
    if (n == 0 || text.size() - from < n)
        return -1;
    const qsizetype k = exactPrefix(needle);
    if (k == 0) {
        for (qsizetype i = from; i + n <= text.size(); ++i)
            if (equalsNoCase(text.data() + i, needle.data(), n))
                return i;
        return -1;
    }
    const QByteArrayView prefix = needle.first(k);
    for (qsizetype i = findExact(text, prefix, from); i >= 0 && i + n <= text.size();
         i = findExact(text, prefix, i + 1)) {
        if (equalsNoCase(text.data() + i + k, needle.data() + k, n - k))
            return i;
    }
    return -1;
}

qsizetype lastIndexOfNoCase(QByteArrayView text, QByteArrayView needle, qsizetype from)
{
    if (from < 0)
        from = 0;
    const qsizetype n = needle.size();
    if (n == 0 || text.size() - from < n)
        return -1;
    if (isLetter(needle[0])) {
        for (qsizetype i = text.size() - n; i >= from; --i)
            if (equalsNoCase(text.data() + i, needle.data(), n))
                return i;
        return -1;
    }
    for (qsizetype i = text.size() - n; i >= from; --i) {
        // Jump to the previous candidate by its first byte.
        const void* hit = memrchr(text.data() + from, needle[0], static_cast<size_t>(i - from + 1));
        if (!hit)
            return -1;
        i = static_cast<const char*>(hit) - text.data();
        if (equalsNoCase(text.data() + i, needle.data(), n))
            return i;
    }
    return -1;
}

MarkerHit findInsertionMarker(QByteArrayView text)
{
    MarkerHit hit;
    const qsizetype a = findExact(text, kInsertMarker1252, 0);
    // The UTF-8 form is only looked for before a single-byte one.
    const qsizetype b = findExact(text.first(a < 0 ? text.size() : a), kInsertMarkerUtf8, 0);
    if (b >= 0)
        return {b, kInsertMarkerUtf8.size()};
    if (a >= 0)
        return {a, kInsertMarker1252.size()};
    const qsizetype c = findExact(text, kPagewickMarker, 0);
    if (c >= 0)
        hit = {c, kPagewickMarker.size()};
    return hit;
}

qsizetype htmlCutPoint(QByteArrayView text, qsizetype from)
{
    const qsizetype close = lastIndexOfNoCase(text, "</html>", from);
    if (close < 0)
        return -1;
    const qsizetype cut = close + 7;
    if (indexOfNoCase(text, kEndMarker, cut) >= 0)
        return -1;
    return cut;
}

namespace {

qsizetype findByte(const char* p, qsizetype n, char c, qsizetype from)
{
    const void* hit = from < n ? std::memchr(p + from, c, static_cast<size_t>(n - from)) : nullptr;
    return hit ? static_cast<const char*>(hit) - p : n;
}

// Lines kept as they are: the text from `lt` on, with each lone CR made
// CR LF and CR LF after a last line that has no line end. Bare LFs are part
// of their line. Usually nothing but the end changes, and the page stays in
// its buffer.
QByteArray keepLines(QByteArray raw, qsizetype lt)
{
    const qsizetype n = raw.size();
    const char* p = raw.constData();
    qsizetype loneCr = 0;
    for (qsizetype at = findByte(p, n, '\r', lt); at < n; at = findByte(p, n, '\r', at + 1))
        if (at + 1 == n || p[at + 1] != '\n')
            ++loneCr;
    const bool endless =
        n > lt && p[n - 1] != '\r' && !(n >= 2 && p[n - 2] == '\r' && p[n - 1] == '\n');
    if (loneCr == 0) {
        raw.remove(0, lt); // moves the start of the text, not the bytes
        if (endless)
            raw.append("\r\n");
        return raw;
    }
    QByteArray out(n - lt + loneCr + (endless ? 2 : 0), Qt::Uninitialized);
    char* o = out.data();
    qsizetype from = lt;
    for (qsizetype at = findByte(p, n, '\r', lt); at < n; at = findByte(p, n, '\r', at + 1)) {
        if (at + 1 < n && p[at + 1] == '\n')
            continue;
        std::memcpy(o, p + from, static_cast<size_t>(at + 1 - from));
        o += at + 1 - from;
        *o++ = '\n';
        from = at + 1;
    }
    std::memcpy(o, p + from, static_cast<size_t>(n - from));
    o += n - from;
    if (endless) {
        *o++ = '\r';
        *o++ = '\n';
    }
    return out;
}

// Lines as the marker reader cleans them: every LF inside a line becomes
// CR LF, every non-empty line is followed by CR LF, and of the empty lines
// of the whole file only the first three stay. Output before `lt` is dropped.
QByteArray firstThreeLines(QByteArrayView raw, qsizetype lt)
{
    const char* p = raw.data();
    const qsizetype n = raw.size();
    qsizetype lf = 0;
    for (qsizetype at = findByte(p, n, '\n', lt); at < n; at = findByte(p, n, '\n', at + 1))
        ++lf;
    qsizetype cr = 0;
    for (qsizetype at = findByte(p, n, '\r', lt); at < n; at = findByte(p, n, '\r', at + 1))
        ++cr;
    // Worst case: every LF and CR grows by one byte, and a last line end.
    QByteArray out(n - lt + lf + cr + 2, Qt::Uninitialized);
    char* o = out.data();
    auto put = [&](qsizetype from, qsizetype to) {
        std::memcpy(o, p + from, static_cast<size_t>(to - from));
        o += to - from;
    };
    auto crlf = [&] {
        *o++ = '\r';
        *o++ = '\n';
    };
    int emptyLines = 0;
    for (qsizetype i = 0; i < n;) {
        const qsizetype lineEnd = findByte(p, n, '\r', i);
        const qsizetype next =
            lineEnd == n ? n
                         : (lineEnd + 1 < n && p[lineEnd + 1] == '\n' ? lineEnd + 2 : lineEnd + 1);
        if (lineEnd == i) {
            if (++emptyLines <= 3 && i >= lt)
                crlf();
        } else if (lineEnd > lt) {
            qsizetype from = std::max(i, lt);
            for (qsizetype at = findByte(p, lineEnd, '\n', from); at < lineEnd;
                 at = findByte(p, lineEnd, '\n', from)) {
                put(from, at);
                crlf();
                from = at + 1;
            }
            put(from, lineEnd);
            crlf();
        }
        i = next;
    }
    out.truncate(o - out.constData());
    return out;
}

} // namespace

Lines readLines(QByteArray raw, EmptyLines rule, Start start)
{
    Lines lines;
    qsizetype lt = 0;
    if (start == Start::FromFirstLt) {
        lt = raw.indexOf('<');
        if (lt < 0) {
            lines.text = QByteArray("<");
            return lines;
        }
    }
    lines.hasHtml = true;
    lines.text =
        rule == EmptyLines::Keep ? keepLines(std::move(raw), lt) : firstThreeLines(raw, lt);
    return lines;
}

Encoding pageEncoding(QByteArrayView page)
{
    // Runs of ASCII are skipped eight bytes at a time; each other sequence is
    // checked the strict way (no overlong forms, surrogates or code points
    // past U+10FFFF).
    const auto* p = reinterpret_cast<const unsigned char*>(page.data());
    const qsizetype n = page.size();
    qsizetype i = 0;
    while (i < n) {
        if (n - i >= 8) {
            quint64 word;
            std::memcpy(&word, p + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        qsizetype length = 1;
        while (length < 4 && i + length < n && (p[i + length] & 0xC0) == 0x80)
            ++length;
        if (!TextCodec::isUtf8(page.sliced(i, length)))
            return Encoding::Windows1252;
        i += length;
    }
    return Encoding::Utf8;
}

QByteArray encodeText(QStringView text, Encoding encoding)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t cp = text[i].unicode();
        if (QChar::isHighSurrogate(cp) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(cp)) {
            cp = 0xFFFD; // half a pair is no character
        }
        appendCodePoint(out, cp, encoding);
    }
    return out;
}

QString decodeText(QByteArrayView bytes, Encoding encoding)
{
    const QString text =
        encoding == Encoding::Utf8 ? QString::fromUtf8(bytes) : TextCodec::fromCp1252(bytes);
    if (!text.contains(QLatin1String("&#")))
        return text;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 2 < text.size() && text[i + 1] == QLatin1Char('#')) {
            qsizetype j = i + 2;
            char32_t cp = 0;
            while (j < text.size() && j - i < 10 && text[j].isDigit() && text[j].unicode() < 0x80)
                cp = cp * 10 + static_cast<char32_t>(text[j++].unicode() - '0');
            if (j > i + 2 && j < text.size() && text[j] == QLatin1Char(';') && cp <= 0x10FFFF) {
                out += QString::fromUcs4(&cp, 1);
                i = j;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

MarkerReading readMarkers(QByteArrayView raw, bool autoFtp, const QString& lastDate,
                          const QString& lastTime)
{
    MarkerReading r;
    r.cleaned.hasHtml = raw.contains('<');
    r.cleaned.text = r.cleaned.hasHtml ? firstThreeLines(raw, raw.indexOf('<')) : QByteArray("<");
    const QByteArrayView text(r.cleaned.text);
    const qsizetype open = findExact(text, kEntryOpen, 0);
    if (open < 0) {
        r.firstEntry = true;
        return r;
    }
    const qsizetype close = findExact(text, kEntryClose, open + kEntryOpen.size());
    const QByteArrayView marker =
        close < 0 ? QByteArrayView()
                  : text.sliced(open + kEntryOpen.size(), close - open - kEntryOpen.size());
    // Only a marker with non-ASCII text needs the page's encoding.
    bool ascii = true;
    for (char c : marker)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    const QString stamp = decodeText(marker, ascii ? Encoding::Utf8 : pageEncoding(text));
    const qsizetype bar = stamp.indexOf(QLatin1Char('|'));
    r.newestDate = bar < 0 ? QString() : stamp.left(bar);
    r.newestTime = bar < 0 ? QString() : stamp.mid(bar + 1);
    r.askLocalOrServer = !autoFtp && r.newestDate == lastDate && r.newestTime != lastTime;
    return r;
}

Pieces Placement::pieces(QByteArrayView base) const
{
    if (!placed)
        return {};
    return {base.first(markerEnd), kCrLf, entry, base.sliced(markerEnd, restEnd - markerEnd)};
}

Placement placeEntry(QByteArrayView base, QStringView entryHtml)
{
    Placement placement;
    const MarkerHit marker = findInsertionMarker(base);
    if (!marker.found())
        return placement;
    bool ascii = true;
    for (QChar c : entryHtml)
        ascii = ascii && c.unicode() < 0x80;
    // A pure ASCII entry is the same bytes in both encodings: the page is
    // only checked when it matters.
    placement.entry = encodeText(entryHtml, ascii ? Encoding::Utf8 : pageEncoding(base));
    const qsizetype cut = htmlCutPoint(base, marker.end());
    placement.markerEnd = marker.end();
    placement.restEnd = cut < 0 ? base.size() : cut;
    placement.placed = true;
    return placement;
}

Lines deleteSource(QByteArray raw)
{
    Lines lines;
    const qsizetype lt = raw.indexOf('<');
    if (lt < 0) {
        lines.text = QByteArray("<");
        return lines;
    }
    lines.hasHtml = true;
    raw.remove(0, lt);
    const qsizetype cut = htmlCutPoint(raw);
    if (cut >= 0)
        raw.truncate(cut);
    lines.text = std::move(raw);
    return lines;
}

Trim trimEntries(const Pieces& text, int keepCount)
{
    Trim trim;
    if (keepCount < 1)
        return trim;
    // Walk the entries newest first, each search going on from the last hit.
    qsizetype from = 0, markerAt = -1, closeAt = -1;
    for (int k = 0; k < keepCount; ++k) {
        markerAt = text.find(kEntryOpen, from);
        if (markerAt < 0)
            return trim; // fewer entries than the keep count
        closeAt = text.find(kEntryClose, markerAt + kEntryOpen.size());
        if (closeAt < 0)
            closeAt = markerAt + kEntryOpen.size();
        from = closeAt;
    }
    trim.lastEntry = text.find(kEntryOpen, closeAt) < 0;
    const qsizetype end = text.findNoCase(kEndMarker, closeAt);
    if (end < 0) {
        trim.status = Trim::EndMarkerMissing;
        return trim;
    }
    trim.status = Trim::Trimmed;
    trim.cutFrom = markerAt;
    trim.cutTo = end;
    trim.page.reserve(markerAt + text.size() - end);
    text.appendTo(trim.page, 0, markerAt);
    text.appendTo(trim.page, end, text.size());
    return trim;
}

DeleteLast deleteNewestEntry(QByteArrayView text)
{
    DeleteLast result;
    const qsizetype markerAt = findExact(text, kEntryOpen, 0);
    if (markerAt < 0)
        return result;
    qsizetype closeAt = findExact(text, kEntryClose, markerAt + kEntryOpen.size());
    if (closeAt < 0)
        closeAt = markerAt + kEntryOpen.size();
    const qsizetype end = indexOfNoCase(text, kEndMarker, closeAt);
    if (end < 0) {
        result.status = DeleteLast::EndMarkerMissing;
        return result;
    }
    result.status = DeleteLast::Deleted;
    const qsizetype next = findExact(text, kEntryOpen, closeAt);
    if (next >= 0 && next < end) {
        result.page.append(text.first(markerAt));
        result.page.append(text.sliced(next));
        return result;
    }
    // The only entry: it goes with the end marker, and so do the line end the
    // first entry brought after the insertion marker and the one after the
    // end marker.
    qsizetype from = markerAt;
    if (endsWith(text, markerAt, kCrLf)) {
        const qsizetype before = markerAt - 2;
        if (endsWith(text, before, kInsertMarker1252) ||
            endsWith(text, before, kInsertMarkerUtf8) || endsWith(text, before, kPagewickMarker))
            from = before;
    }
    qsizetype to = end + kEndMarker.size();
    if (text.sliced(to).startsWith(kCrLf))
        to += 2;
    result.page.append(text.first(from));
    result.page.append(text.sliced(to));
    return result;
}

QByteArray insertAfterMarkerBytes(QByteArrayView text, QByteArrayView marker,
                                  QByteArrayView insertion, bool* found)
{
    const Pieces pieces = insertAfterMarker(text, marker, Pieces{insertion});
    if (found)
        *found = pieces.size() > 0;
    return pieces.size() > 0 ? pieces.join() : text.toByteArray();
}

Pieces insertAfterMarker(QByteArrayView text, QByteArrayView marker, const Pieces& insertion)
{
    const qsizetype at = indexOfNoCase(text, marker);
    if (at < 0)
        return {};
    const qsizetype end = at + marker.size();
    Pieces out{text.first(end)};
    for (QByteArrayView part : insertion.parts())
        out.append(part);
    out.append(text.sliced(end));
    return out;
}

} // namespace PageText
