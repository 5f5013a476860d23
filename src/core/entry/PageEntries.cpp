#include "core/entry/PageEntries.h"

#include "core/entry/PageText.h"

#include <algorithm>

namespace PageEntries {

namespace {

using PageText::kEntryClose;
using PageText::kEntryOpen;

constexpr QByteArrayView kAnchorOpen{"<a name="};
constexpr QByteArrayView kAnchorClose{"</a>"};
constexpr QByteArrayView kTitleMarker{"<!--Title-->"};
constexpr qsizetype kUntitledLength = 60;

// The text of some HTML: comments and tags out, the usual references read,
// blanks and line breaks made single blanks.
QString plainText(QByteArrayView html, PageText::Encoding encoding)
{
    QString text = PageText::decodeText(html, encoding);
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] != u'<') {
            out += text[i++];
            continue;
        }
        const bool comment = QStringView(text).sliced(i).startsWith(u"<!--");
        const qsizetype close = comment ? text.indexOf(u"-->", i + 4) : text.indexOf(u'>', i);
        if (close < 0)
            break;
        out += u' ';
        i = close + (comment ? 3 : 1);
    }
    const std::pair<const char*, char16_t> references[] = {
        {"&nbsp;", u' '}, {"&lt;", u'<'}, {"&gt;", u'>'}, {"&quot;", u'"'}, {"&amp;", u'&'}};
    for (const auto& [name, character] : references)
        out.replace(QLatin1String(name), QString(QChar(character)));
    return out.simplified();
}

// The anchor element at or after `from` and before `to`: its name and where
// the element ends ("</a>" included when it follows at once).
struct AnchorHit
{
    qsizetype at = -1, end = -1;
    QByteArray name;
};

AnchorHit findAnchor(QByteArrayView page, qsizetype from, qsizetype to)
{
    AnchorHit hit;
    const qsizetype at = PageText::indexOfNoCase(page.first(to), kAnchorOpen, from);
    if (at < 0)
        return hit;
    qsizetype i = at + kAnchorOpen.size();
    const char quote = i < to && (page[i] == '"' || page[i] == '\'') ? page[i] : '\0';
    const qsizetype nameFrom = quote ? i + 1 : i;
    for (i = nameFrom; i < to; ++i) {
        const char c = page[i];
        if (quote ? c == quote : (c == '>' || c == ' ' || c == '\t' || c == '\r' || c == '\n'))
            break;
    }
    const qsizetype tagEnd = page.first(to).indexOf('>', i);
    if (i >= to || tagEnd < 0)
        return hit;
    hit.at = at;
    hit.name = page.sliced(nameFrom, i - nameFrom).toByteArray();
    hit.end = tagEnd + 1;
    if (page.sliced(hit.end).first(std::min(to - hit.end, kAnchorClose.size())) == kAnchorClose)
        hit.end += kAnchorClose.size();
    return hit;
}

int anchorCount(QByteArrayView text, QByteArrayView name)
{
    int count = 0;
    for (AnchorHit hit = findAnchor(text, 0, text.size()); hit.at >= 0;
         hit = findAnchor(text, hit.end, text.size()))
        count += hit.name == name;
    return count;
}

int editDistance(const QString& a, const QString& b)
{
    QList<int> row(b.size() + 1);
    for (qsizetype j = 0; j <= b.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                               diagonal + (a[i - 1].toLower() == b[j - 1].toLower() ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

Change failed(Change::Status status)
{
    Change change;
    change.status = status;
    return change;
}

} // namespace

Listing findEntries(QByteArrayView page, bool archive)
{
    Listing listing;
    qsizetype from = 0;
    if (archive) {
        from = PageText::indexOfNoCase(page, PageText::kArchiveStart);
        if (from < 0)
            return listing;
    }
    const PageText::Encoding encoding = PageText::pageEncoding(page);
    qsizetype at = page.indexOf(kEntryOpen, from);
    if (at >= 0)
        listing.endMarkerAt = PageText::indexOfNoCase(page, PageText::kEndMarker, at);
    const qsizetype limit = listing.endMarkerAt < 0 ? page.size() : listing.endMarkerAt;
    while (at >= 0 && at < limit) {
        Entry e;
        e.markerAt = at;
        const qsizetype close = page.first(limit).indexOf(kEntryClose, at + kEntryOpen.size());
        const qsizetype next = page.first(limit).indexOf(kEntryOpen, at + kEntryOpen.size());
        const bool closed = close >= 0 && (next < 0 || close < next);
        e.end = next >= 0 ? next : listing.endMarkerAt;
        const qsizetype stop = e.end < 0 ? page.size() : e.end;
        if (closed) {
            const QString stamp = PageText::decodeText(
                page.sliced(at + kEntryOpen.size(), close - at - kEntryOpen.size()), encoding);
            e.date = stamp.section(u'|', 0, 0);
            e.time = stamp.section(u'|', 1);
            e.textFrom = close + kEntryClose.size();
            e.textTo = stop;
            while (e.textTo > e.textFrom &&
                   (page[e.textTo - 1] == '\r' || page[e.textTo - 1] == '\n'))
                --e.textTo;
            const qsizetype title = page.first(stop).indexOf(kTitleMarker, e.textFrom);
            const AnchorHit anchor = findAnchor(page, e.textFrom, title < 0 ? stop : title);
            e.anchor = anchor.name;
            e.anchorAt = anchor.at;
            e.anchorEnd = anchor.end;
            if (title >= 0) {
                const qsizetype headFrom = anchor.at >= 0 ? anchor.end : e.textFrom;
                e.title = plainText(page.sliced(headFrom, title - headFrom), encoding);
            } else {
                e.title = plainText(page.sliced(e.textFrom, e.textTo - e.textFrom), encoding)
                              .left(kUntitledLength);
            }
        } else {
            e.textFrom = -1;
        }
        listing.entries << e;
        at = next;
    }
    return listing;
}

QList<int> entriesWithAnchor(const Listing& listing, QByteArrayView anchor)
{
    QList<int> found;
    for (qsizetype i = 0; i < listing.entries.size(); ++i)
        if (!anchor.isEmpty() && listing.entries[i].anchor == anchor)
            found << int(i);
    return found;
}

QStringList nearestAnchors(const Listing& listing, const QString& anchor, int count)
{
    QList<std::pair<int, QString>> ranked;
    for (const Entry& e : listing.entries)
        if (!e.anchor.isEmpty())
            ranked.append(
                {editDistance(anchor, QString::fromUtf8(e.anchor)), QString::fromUtf8(e.anchor)});
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QStringList nearest;
    for (const auto& [distance, name] : ranked)
        if (nearest.size() < count && !nearest.contains(name))
            nearest << name;
    return nearest;
}

QByteArray entryText(QByteArrayView page, const Entry& entry)
{
    if (entry.textFrom < 0)
        return {};
    return page.sliced(entry.textFrom, entry.textTo - entry.textFrom).toByteArray();
}

Change replaceText(QByteArrayView page, const Entry& entry, QByteArrayView text)
{
    if (!entry.complete())
        return failed(Change::NoEnd);
    if (text.indexOf(kEntryOpen) >= 0 || PageText::indexOfNoCase(text, PageText::kEndMarker) >= 0)
        return failed(Change::MarkerInText);
    while (text.endsWith('\n') || text.endsWith('\r'))
        text.chop(1);
    const QByteArrayView old = page.sliced(entry.textFrom, entry.textTo - entry.textFrom);
    if (old.indexOf(kTitleMarker) >= 0 && text.indexOf(kTitleMarker) < 0)
        return failed(Change::TitleLost);
    Change change;
    const int anchors = entry.anchor.isEmpty() ? 1 : anchorCount(text, entry.anchor);
    if (anchors > 1)
        return failed(Change::AnchorTwice);
    change.page.reserve(page.size() + text.size());
    change.page.append(page.first(entry.textFrom));
    if (anchors == 0) {
        change.anchorRestored = true;
        change.page.append(page.sliced(entry.anchorAt, entry.anchorEnd - entry.anchorAt));
    }
    change.page.append(text);
    change.page.append(page.sliced(entry.textTo));
    return change;
}

Change removeEntry(QByteArrayView page, const Listing& listing, qsizetype index)
{
    const Entry& entry = listing.entries[index];
    if (entry.end < 0)
        return failed(Change::NoEnd);
    Change change;
    if (listing.entries.size() == 1 && entry.end == listing.endMarkerAt) {
        // The page goes back to how it was before its first entry, as Delete
        // Last Entry leaves it.
        change.page = PageText::deleteNewestEntry(page).page;
        return change;
    }
    change.page.reserve(page.size());
    change.page.append(page.first(entry.markerAt));
    change.page.append(page.sliced(entry.end));
    return change;
}

} // namespace PageEntries
