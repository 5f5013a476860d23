#pragma once

// The entries of a weblog page as byte ranges: where each one starts (its
// time/date marker) and ends (the next marker, or the end marker after the
// oldest), its anchor, date, time and title; and a page with one entry's
// text replaced or one entry removed. Every byte outside the changed range
// stays as it was; the page is never transcoded.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

namespace PageEntries {

struct Entry
{
    qsizetype markerAt = 0; // "<!--|"
    qsizetype textFrom = 0; // after "|-->"; -1 when the marker is not closed
    qsizetype textTo = 0;   // before the line ends that close the entry
    qsizetype end = -1;     // the next time/date marker or the end marker; -1: none
    QByteArray anchor;      // the name of its "<a name=...>", empty when it has none
    qsizetype anchorAt = -1, anchorEnd = -1; // the anchor element, "</a>" included
    QString date, time, title;

    // The entry's extent is known: its marker is closed and something ends it.
    bool complete() const { return textFrom >= 0 && end >= 0; }
};

struct Listing
{
    QList<Entry> entries;
    qsizetype endMarkerAt = -1; // "<!--**END**-->" after the first entry; -1 when absent
};

// The entries of `page`, newest first. With `archive` they are those after
// the archive start marker (none when it is absent). Markers after the end
// marker are not entries.
Listing findEntries(QByteArrayView page, bool archive = false);

// The entries whose anchor is `anchor`, by index.
QList<int> entriesWithAnchor(const Listing& listing, QByteArrayView anchor);
// Up to `count` anchors of the page nearest to `anchor` (fewest letters to
// change), nearest first.
QStringList nearestAnchors(const Listing& listing, const QString& anchor, int count = 3);

// A changed page, or why there is none.
struct Change
{
    enum Status
    {
        Changed,
        NoEnd,        // the entry's marker is not closed, or nothing ends the entry
        MarkerInText, // the new text holds a time/date marker or the end marker
        AnchorTwice,  // the new text holds the entry's anchor more than once
        TitleLost,    // the entry had a title marker "<!--Title-->", the new text has none
    };
    Status status = Changed;
    QByteArray page;
    bool anchorRestored = false; // the new text lacked the anchor: it was put first
};

// The entry's text: from its time/date marker to its closing line ends.
QByteArray entryText(QByteArrayView page, const Entry& entry);
// The page with the entry's text replaced by `text` (bytes in the page's
// encoding; its closing line ends are the entry's own). The date marker
// stays; so does the anchor, which is put first when `text` lacks it. A
// title marker the entry had must stay: it ends the title the entry list and
// the RSS file show.
Change replaceText(QByteArrayView page, const Entry& entry, QByteArrayView text);
// The page without the entry. The oldest entry leaves the end marker after
// the one before it; the only entry takes the end marker with it.
Change removeEntry(QByteArrayView page, const Listing& listing, qsizetype index);

} // namespace PageEntries
