// The entries of a page as byte ranges: listing them, replacing one entry's
// text and removing one, on pages with hand-made text between the entries.
// Whole pages are compared byte for byte.

#include "core/entry/PageEntries.h"

#include <QtTest>

using namespace PageEntries;

namespace {

const QByteArray kHead = "<html>\r\n<body>\r\n<h1>Caf\xE9</h1>\r\n<!--pagewick-->\r\n";
const QByteArray kFoot = "<p>footer <!--|1/1/1990|1:00 AM|--></p>\r\n</body>\r\n</html>\r\n";
// The newest entry, hand-made text, an entry without anchor or title, and the
// oldest with the end marker.
const QByteArray kE1 = "<!--|12/5/2000|5:44:36 PM|--><p><a name=\"e1\"></a><b>First</b> &amp; "
                       "best<!--Title--></p>\r\nText 1\r\n<p>hand-made</p>\r\n";
const QByteArray kE2 = "<!--|12/4/2000|9:00:00 AM|--><p>Typed by hand\r\n on a\tday</p>\r\n";
const QByteArray kE3 = "<!--|12/3/2000|8:00:00 AM|--><a name=e3></a>Third<!--Title-->\r\nText 3";
const QByteArray kEnd = "<!--**END**-->\r\n";

QByteArray page(const QByteArray& entries = kE1 + kE2 + kE3 + kEnd)
{
    return kHead + entries + kFoot;
}

QStringList rows(const Listing& l)
{
    QStringList out;
    for (const Entry& e : l.entries)
        out << QString::fromUtf8(e.anchor) + u'|' + e.date + u'|' + e.time + u'|' + e.title;
    return out;
}

} // namespace

class TestPageEntries : public QObject
{
    Q_OBJECT
private slots:
    // Anchor, date, time and title text of each entry; the marker in the
    // footer, after the end marker, is not an entry; the archive page is
    // read from its start marker on.
    void listing()
    {
        const QByteArray p = page();
        const Listing l = findEntries(p);
        QCOMPARE(rows(l), QStringList({"e1|12/5/2000|5:44:36 PM|First & best",
                                       "|12/4/2000|9:00:00 AM|Typed by hand on a day",
                                       "e3|12/3/2000|8:00:00 AM|Third"}));
        QCOMPARE(l.endMarkerAt, p.indexOf(kEnd));
        QCOMPARE(entryText(p, l.entries[0]), kE1.sliced(29).chopped(2));
        QCOMPARE(entryText(p, l.entries[2]),
                 QByteArray("<a name=e3></a>Third<!--Title-->\r\nText 3"));
        QVERIFY(l.entries[2].complete());

        const QByteArray archive =
            "<!--|1/1/1999|1:00 AM|-->x<!--PAGEWICKARCHIVESTART-->\r\n" + kE3;
        QCOMPARE(rows(findEntries(archive, true)), QStringList({"e3|12/3/2000|8:00:00 AM|Third"}));
        QVERIFY(findEntries(kHead + kE1, true).entries.isEmpty());

        // Without the end marker the oldest has no end; an unclosed marker
        // has no text.
        const QByteArray unended = kHead + kE1 + "<!--|12/4/2000|9:00 <b>x</b>\r\n" + kE3;
        const Listing open = findEntries(unended);
        QCOMPARE(open.entries.size(), 3);
        QVERIFY(open.entries[0].complete() && !open.entries[1].complete() &&
                !open.entries[2].complete());
        QCOMPARE(open.entries[1].textFrom, -1);
        QCOMPARE(replaceText(unended, open.entries[1], "x").status, Change::NoEnd);
        QCOMPARE(removeEntry(unended, open, 2).status, Change::NoEnd);
    }

    // One entry's text replaced: every other byte as it was; the marker, the
    // anchor and the closing line ends stay.
    void replacing()
    {
        const QByteArray p = page();
        const Listing l = findEntries(p);
        const QByteArray e1Text = "<p><a name=\"e1\"></a>New<!--Title--></p>\r\n\xC3\xA9";
        Change c = replaceText(p, l.entries[0], e1Text + "\r\n\r\n");
        QCOMPARE(c.status, Change::Changed);
        QCOMPARE(c.page, kHead + kE1.first(29) + e1Text + "\r\n" + kE2 + kE3 + kEnd + kFoot);
        QVERIFY(!c.anchorRestored);

        // The oldest keeps the end marker right after its text; the anchor
        // left out is put first.
        c = replaceText(p, l.entries[2], "Changed<!--Title-->\n");
        QCOMPARE(c.page, kHead + kE1 + kE2 + kE3.first(29) + "<a name=e3></a>Changed<!--Title-->" +
                             kEnd + kFoot);
        QVERIFY(c.anchorRestored);
        // An entry without anchor or title takes any text.
        QCOMPARE(replaceText(p, l.entries[1], "x").page,
                 kHead + kE1 + kE2.first(29) + "x\r\n" + kE3 + kEnd + kFoot);

        // Refused: what would split the page or lose the anchor or title.
        const std::pair<QByteArray, Change::Status> refused[] = {
            {"a<!--|12/1/2000|1:00 AM|-->b<!--Title-->", Change::MarkerInText},
            {"a<!--|b<!--Title-->", Change::MarkerInText},
            {"text<!--**end**--><!--Title-->", Change::MarkerInText},
            {"<a name=\"e1\"></a><a name='e1'>x<!--Title-->", Change::AnchorTwice},
            {"<a name=\"e1\"></a>no title marker", Change::TitleLost}};
        for (const auto& [text, status] : refused) {
            c = replaceText(p, l.entries[0], text);
            QVERIFY2(c.status == status && c.page.isEmpty(), text.constData());
        }
    }

    // Removing: the entry's bytes from its marker to the next one go; the
    // oldest leaves the end marker after the one before; the only entry
    // takes the end marker and the line end after the insertion marker.
    void removing()
    {
        const QByteArray p = page();
        const Listing l = findEntries(p);
        QCOMPARE(removeEntry(p, l, 0).page, kHead + kE2 + kE3 + kEnd + kFoot);
        QCOMPARE(removeEntry(p, l, 1).page, kHead + kE1 + kE3 + kEnd + kFoot);
        QCOMPARE(removeEntry(p, l, 2).page, kHead + kE1 + kE2 + kEnd + kFoot);
        const QByteArray only = kHead + kE3 + kEnd + kFoot;
        QCOMPARE(removeEntry(only, findEntries(only), 0).page, kHead.chopped(2) + kFoot);
    }

    // The anchors nearest to a mistyped one, nearest first, without
    // repeats; entries found by anchor.
    void anchors()
    {
        const QByteArray p = page(kE1 + kE3 + kE1 + kEnd);
        const Listing l = findEntries(p);
        QCOMPARE(entriesWithAnchor(l, "e1"), QList<int>({0, 2}));
        QCOMPARE(entriesWithAnchor(l, "E3"), QList<int>());
        QCOMPARE(nearestAnchors(l, "E3"), QStringList({"e3", "e1"}));
        QCOMPARE(nearestAnchors(l, "x1", 1), QStringList({"e1"}));
    }
};

QTEST_GUILESS_MAIN(TestPageEntries)
#include "tst_pageentries.moc"
