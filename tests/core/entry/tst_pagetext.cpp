// The page as bytes: reading and cleaning, markers, placing an entry,
// trimming with the archive block, Delete Last Entry, encodings and line ends.
// Inputs and expected outputs are whole page texts, compared byte for byte.

#include "core/entry/PageText.h"

#include <QtTest>

using namespace Qt::StringLiterals;

using namespace PageText;
namespace {

// A Windows-1252 page (the insertion marker is the one byte 0xD1) with
// `entries` between the marker and the footer.
QByteArray page(const QByteArray& entries)
{
    return "<html>\r\n<body>\r\n<h1>Caf\xE9 notes</h1>\r\n<!--\xD1-->\r\n" + entries +
           "<p>Powered by Pagewick</p>\r\n</body>\r\n</html>\r\n";
}

QByteArray entry(int n, bool last = false)
{
    const QByteArray d = QByteArray::number(n);
    return "<!--|12/" + d + "/2000|5:44:36 PM|--><a name=\"12" + d + "200054436PM\"></a>Post " + d +
           "\r\n<!--Title-->\r\nBy: Ann\r\nText " + d + (last ? "<!--**END**-->" : "") + "\r\n";
}

// The edited page Preview writes: the base copy with the entry placed.
QByteArray placed(QByteArrayView base, QStringView entryHtml)
{
    return placeEntry(base, entryHtml).page(base);
}

} // namespace

class TestPageText : public QObject
{
    Q_OBJECT
private slots:
    // The raw page, whether the first three empty lines of each run are kept (or all), the
    // text read and whether it holds HTML.
    void readingLines()
    {
        // A line ends at CR LF or a lone CR; a bare LF is part of its line. The cleaning makes
        // each LF CR LF, so a LF-only page is one long line: no empty line is dropped from it
        // and one CR LF follows its end. Without the cleaning the LFs stay.
        const QByteArray
            crlf = "<html>\r\n<body>\r\n\r\n\r\n\r\n\r\n\r\n<p>1</p>\r\n</body>\r\n</html>\r\n",
            three = "<html>\r\n<body>\r\n\r\n\r\n\r\n<p>1</p>\r\n</body>\r\n</html>\r\n";
        QByteArray lf = crlf, cr = crlf, mixed = crlf;
        lf.replace("\r\n", "\n");
        cr.replace("\r\n", "\r");
        mixed.replace("<body>\r\n", "<body>\n").replace("</body>\r\n", "</body>\r");
        const std::tuple<QByteArray, EmptyLines, QByteArray, bool> table[] = {
            // A byte-order mark and five empty lines.
            {"\xEF\xBB\xBF<html>\r\n\r\n\r\n\r\n\r\n\r\n<body>\r\n</html>\r\n",
             EmptyLines::FirstThree, "<html>\r\n\r\n\r\n\r\n<body>\r\n</html>\r\n", true},
            // Empty lines before the first "<" count, text before it goes.
            {"\r\n\r\n<html>\r\n\r\n\r\n\r\n</html>", EmptyLines::FirstThree,
             "<html>\r\n\r\n</html>\r\n", true},
            {"<a>\r\n\r\n\r\n\r\n\r\n<b>", EmptyLines::Keep, "<a>\r\n\r\n\r\n\r\n\r\n<b>\r\n",
             true},
            {"<p>a\0b\xD1\xFF</p>\r\n"_ba, EmptyLines::FirstThree, "<p>a\0b\xD1\xFF</p>\r\n"_ba,
             true},
            {QByteArray(), EmptyLines::FirstThree, "<", false},
            {lf, EmptyLines::FirstThree, crlf + "\r\n", true},
            {cr, EmptyLines::FirstThree, three, true},
            // "<body>" + LF is a non-empty line: four empty lines follow it, three stay.
            {mixed, EmptyLines::FirstThree,
             "<html>\r\n<body>\r\n\r\n\r\n\r\n\r\n<p>1</p>\r\n</body>\r\n</html>\r\n", true},
            {lf, EmptyLines::Keep, lf + "\r\n", true},
            {cr, EmptyLines::Keep, crlf, true},
            {"junk\n\n\n\n<p>\n</p>", EmptyLines::FirstThree, "<p>\r\n</p>\r\n", true}};
        for (const auto& [raw, emptyLines, expected, hasHtml] : table) {
            const Lines lines = readLines(raw, emptyLines);
            QCOMPARE(lines.text, expected);
            QCOMPARE(lines.hasHtml, hasHtml);
        }
    }

    void markerReading()
    {
        const QByteArray text = page(entry(5) + "\r\n" + entry(4, true));
        MarkerReading r = readMarkers(text, false, u"12/5/2000"_s, u"5:44:36 PM"_s);
        QCOMPARE(r.cleaned.text, text);
        QVERIFY(!r.firstEntry && !r.askLocalOrServer);
        QCOMPARE(r.newestDate + u'|' + r.newestTime, u"12/5/2000|5:44:36 PM"_s);
        // Same date, other time: the newest entry is not the one last published;
        // asked only with "False" (exactly) and the same date.
        QVERIFY(readMarkers(text, false, u"12/5/2000"_s, u"x"_s).askLocalOrServer);
        QVERIFY(!readMarkers(text, true, u"12/5/2000"_s, u"x"_s).askLocalOrServer);
        QVERIFY(!readMarkers(text, false, u"12/6/2000"_s, u"x"_s).askLocalOrServer);
        // No marker, or one split over two lines: the next entry is the first.
        QVERIFY(readMarkers(page({}), false, {}, {}).firstEntry);
        QVERIFY(readMarkers("<p><!--\r\n|1|2|--></p>", false, {}, {}).firstEntry);
        // A date written with a character reference in a Windows-1252 page.
        r = readMarkers("<!--\xD1-->\r\n<!--|2000&#24180;|caf\xE9|-->x", false, u"2000年"_s,
                        u"café"_s);
        QCOMPARE(r.newestDate + u'|' + r.newestTime, u"2000年|café"_s);
        QVERIFY(!r.askLocalOrServer);
    }

    void insertionMarkers()
    {
        // Both, in either order: "<!--Ñ-->" wins.
        QCOMPARE(findInsertionMarker("<!--pagewick--><br><!--\xD1-->").at, 19);
        QCOMPARE(findInsertionMarker("<br><!--\xD1--><!--pagewick-->").at, 4);
        // Capitals and split markers are none.
        QVERIFY(!findInsertionMarker("<!--PAGEWICK--><!--\xF1--><!--\xD1\r\n-->").found());
    }

    void placingAndHtmlEnd()
    {
        // A whole page is checked with Preview.
        QCOMPARE(placed("<body>\r\n<!--pagewick-->\r\n</body>", u"<!--|d|t|-->A<!--**END**-->\r\n"),
                 "<body>\r\n<!--pagewick-->\r\n<!--|d|t|-->A<!--**END**-->\r\n\r\n</body>"_ba);
        QVERIFY(!placeEntry("<html><!--PAGEWICK--></html>", u"x").placed);

        const QString e = u"<!--|d|t|-->E\r\n"_s;
        // Whatever follows the last "</html>" (any case) goes; without one, nothing.
        QCOMPARE(placed("<html><!--\xD1--></html>x</HTML>\r\n<script>ad()</script>", e),
                 "<html><!--\xD1-->\r\n<!--|d|t|-->E\r\n</html>x</HTML>"_ba);
        QCOMPARE(placed("<html><!--\xD1-->tail", e),
                 "<html><!--\xD1-->\r\n<!--|d|t|-->E\r\ntail"_ba);
        // A "</html>" in the new entry, in an old one (the end marker follows) or
        // before the insertion marker never cuts entries away.
        QCOMPARE(placed("<b><!--\xD1-->\r\n<p>old</p><!--**END**-->", u"<!--|d|t|--></html>\r\n"),
                 "<b><!--\xD1-->\r\n<!--|d|t|--></html>\r\n\r\n<p>old</p><!--**END**-->"_ba);
        QCOMPARE(placed("<b><!--\xD1-->\r\n<p></html></p><!--**END**-->", e),
                 "<b><!--\xD1-->\r\n<!--|d|t|-->E\r\n\r\n<p></html></p><!--**END**-->"_ba);
        QCOMPARE(placed("<html></html>\r\n<!--\xD1-->\r\nx", e),
                 "<html></html>\r\n<!--\xD1-->\r\n<!--|d|t|-->E\r\n\r\nx"_ba);
    }

    void entryEncoding()
    {
        const QString typed = u"café € 中 😀 Ñ"_s;
        // Windows-1252 page: what the code page holds is its byte, the rest a reference.
        QCOMPARE(placed("<p>\xE9</p><!--\xD1-->", typed),
                 "<p>\xE9</p><!--\xD1-->\r\ncaf\xE9 \x80 &#20013; &#128512; \xD1"_ba);
        // UTF-8 page (and a pure ASCII one): the entry in UTF-8.
        QCOMPARE(placed("<p>\xC3\xA9</p><!--\xC3\x91-->", typed),
                 "<p>\xC3\xA9</p><!--\xC3\x91-->\r\n"_ba + typed.toUtf8());
        QCOMPARE(placed("<p>x</p><!--pagewick-->", u"é"), "<p>x</p><!--pagewick-->\r\n\xC3\xA9"_ba);
        // Overlong or cut sequences make a page Windows-1252.
        QCOMPARE(pageEncoding("\xC0\xAF"), Encoding::Windows1252);
        QCOMPARE(pageEncoding("aaaaaaaaaaaaaaaa\xE2\x82"), Encoding::Windows1252);
        QCOMPARE(pageEncoding("aaaaaaaaaaaaaaaa\xE2\x82\xAC\xF0\x9F\x98\x80"), Encoding::Utf8);
        const QChar half(0xD83D);
        QCOMPARE(encodeText(QStringView(&half, 1), Encoding::Windows1252), "&#65533;"_ba);
        QCOMPARE(decodeText("caf\xE9 &#128512; &#x41; &#;", Encoding::Windows1252),
                 u"café 😀 &#x41; &#;"_s);
    }

    void trimming()
    {
        // Keep count 2: from the second entry down, the cut entries become the archive block
        // (the Preview test trims a whole page with its archive).
        const QByteArray text =
            page(entry(9) + "\r\n" + entry(8) + "\r\n" + entry(7) + "\r\n" + entry(6, true));
        const Trim two = trimEntries(text, 2);
        QCOMPARE(two.status, Trim::Trimmed);
        QCOMPARE(two.page, page(entry(9) + "\r\n<!--**END**-->\r\n"));
        QCOMPARE(text.mid(two.cutFrom, two.cutTo - two.cutFrom),
                 entry(8) + "\r\n" + entry(7) + "\r\n" + entry(6).chopped(2));
        // The end marker in small letters counts.
        QVERIFY(trimEntries(QByteArray(text).replace("**END**", "**end**"), 4)
                    .page.endsWith("\r\n<!--**end**-->\r\n<p>Powered by Pagewick</p>"
                                   "\r\n</body>\r\n</html>\r\n"));

        QCOMPARE(trimEntries(text, 5).status, Trim::NothingToCut);
        QCOMPARE(trimEntries(page({}), 2).status, Trim::NothingToCut);
        QCOMPARE(trimEntries(QByteArray(text).replace("<!--**END**-->", ""), 3).status,
                 Trim::EndMarkerMissing);
        // An end marker above the cut does not count.
        QCOMPARE(trimEntries("<!--|a|1|-->A<!--**END**-->\r\n<!--|b|2|-->B\r\n", 2).status,
                 Trim::EndMarkerMissing);
        // A time/date marker without its close neither hangs nor crashes.
        QCOMPARE(trimEntries("<!--\xD1--><!--|a<!--|b<!--**END**-->", 2).page,
                 "<!--\xD1--><!--|a<!--**END**-->"_ba);
    }

    void archiveInsertion()
    {
        // Right after the first marker, in any letter case.
        QCOMPARE(insertAfterMarkerBytes("a<!--pagewickARCHIVEstart-->b<!--PagewickArchiveStart-->",
                                        kArchiveStart, "X"),
                 "a<!--pagewickARCHIVEstart-->Xb<!--PagewickArchiveStart-->"_ba);
        // No marker: unchanged, and reported.
        bool found = true;
        QCOMPARE(insertAfterMarkerBytes("<html>old</html>", kArchiveStart, "X", &found),
                 "<html>old</html>"_ba);
        QVERIFY(!found);
    }

    void deleteLast()
    {
        // Placing entries and deleting the newest gives back exactly the page
        // before it, down to the very first entry (end marker and all).
        const QByteArray base = page({});
        QList<QByteArray> history{base.left(htmlCutPoint(base))};
        for (int n = 1; n <= 3; ++n)
            history << placed(history.last(), QString::fromLatin1(entry(n, n == 1)));
        for (int n = 3; n >= 1; --n) {
            const DeleteLast d = deleteNewestEntry(history[n]);
            QCOMPARE(d.status, DeleteLast::Deleted);
            QCOMPARE(d.page, history[n - 1]);
        }
        QCOMPARE(deleteNewestEntry(base).status, DeleteLast::NoEntry);
        QCOMPARE(deleteNewestEntry(page(entry(2) + entry(1))).status, DeleteLast::EndMarkerMissing);
        // The end marker right after the newest entry: it was the only one in the
        // list, and what follows the list stays.
        QCOMPARE(deleteNewestEntry(
                     "<p><!--pagewick-->\r\n<!--|a|1|-->A<!--**end**-->\r\n<div><!--|o|2|-->"
                     "</div>")
                     .page,
                 "<p><!--pagewick--><div><!--|o|2|--></div>"_ba);
        // Its source is cut after the last "</html>" unless the end marker follows.
        QCOMPARE(deleteSource("junk<html><!--|a|1|-->A<!--**END**--></html>\r\nad").text,
                 "<html><!--|a|1|-->A<!--**END**--></html>"_ba);
        QCOMPARE(deleteSource("<html></html><!--|a|1|-->A<!--**END**-->").text,
                 "<html></html><!--|a|1|-->A<!--**END**-->"_ba);
        // Its bytes are not read as lines: a lone CR or LF stays as it is.
        QCOMPARE(deleteSource("x<p>a\rb\nc</p>").text, "<p>a\rb\nc</p>"_ba);
    }

    void largePagesAndPieces()
    {
        // 100,000 entries: nothing lost, nothing doubled, the cut where it belongs.
        QByteArray entries;
        for (int n = 100000; n >= 1; --n)
            entries += "<!--|" + QByteArray::number(n) + "|t|-->e" + QByteArray::number(n) +
                       (n == 1 ? "<!--**END**-->" : "") + "\r\n";
        const QByteArray base = page(entries);
        QByteArray lf = base;
        lf.replace("\r\n", "\n");
        QCOMPARE(readLines(lf, EmptyLines::FirstThree).text, base + "\r\n");
        const Placement p = placeEntry(base, u"<!--|new|t|-->new\r\n");
        const Pieces pieces = p.pieces(base);
        QCOMPARE(pieces.size(), base.size() + 19);
        const Trim t = trimEntries(pieces, 51);
        QCOMPARE(t.page.count("<!--|"), 50);
        QVERIFY(t.page.contains("<!--|99952|t|-->e99952\r\n<!--**END**-->\r\n<p>Powered"));
        const QByteArray block = pieces.slice(t.cutFrom, t.cutTo).join();
        QCOMPARE(block.count("<!--|"), 99951);
        QVERIFY(block.startsWith("<!--|99951|t|-->") && block.endsWith("<!--|1|t|-->e1"));

        // Markers cut in two by piece boundaries are found all the same.
        const QByteArrayView w("<p><!--|a|1|-->A\r\n<!--|b|2|-->B<!--**end**-->\r\n</p>");
        for (qsizetype i = 1; i < w.size(); ++i) {
            for (qsizetype j = i; j < w.size(); ++j) {
                const Pieces cut{w.first(i), w.sliced(i, j - i), w.sliced(j)};
                const Trim tt = trimEntries(cut, 2);
                QCOMPARE(tt.page, "<p><!--|a|1|-->A\r\n<!--**end**-->\r\n</p>"_ba);
                QCOMPARE(cut.slice(tt.cutFrom, tt.cutTo).join(), "<!--|b|2|-->B"_ba);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestPageText)
#include "tst_pagetext.moc"
