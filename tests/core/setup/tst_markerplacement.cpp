// Placing the markers in a page in the set-up wizard: the byte under the caret and the preview
// with its sample entries (the file uploaded is checked with the wizard window).

#include "core/setup/MarkerPlacement.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace Setup;

namespace {

const QByteArray kMain = "<!--pagewick-->\r\n<!--**END**-->";
const QByteArray kArchive = "<!--PagewickArchiveStart-->\r\n";

} // namespace

class TestMarkerPlacement : public QObject
{
    Q_OBJECT
private slots:
    // The caret is found in the text the user sees; the markers land at the matching byte of
    // the page, whatever its encoding, and every other byte stays.
    void placement()
    {
        const struct
        {
            QByteArray page;
            QString before, selected; // the text left of the caret, the text replaced
            MarkerKind kind;
            QByteArray expected;
        } table[] = {
            {"<p>Gr\xC3\xBC\xC3\x9F</p>\r\n<div>\r\n</div>\r\n", u"<p>Grüß</p>\n<div>"_s, QString(),
             MarkerKind::Main, "<p>Gr\xC3\xBC\xC3\x9F</p>\r\n<div>" + kMain + "\r\n</div>\r\n"},
            {"<p>Gr\xFC\xDF</p>\r\n<div>\r\n</div>\r\n", u"<p>Grüß</p>\n<div>"_s, QString(),
             MarkerKind::Main, "<p>Gr\xFC\xDF</p>\r\n<div>" + kMain + "\r\n</div>\r\n"},
            // A character outside the BMP before the caret.
            {"<p>\xF0\x9F\x98\x80</p><div></div>", u"<p>😀</p><div>"_s, QString(),
             MarkerKind::Archive, "<p>\xF0\x9F\x98\x80</p><div>" + kArchive + "</div>"},
            {"<body>\r\nold text\r\n</body>", u"<body>\n"_s, u"old text"_s, MarkerKind::Main,
             "<body>\r\n" + kMain + "\r\n</body>"},
            {"<html></html>", QString(), QString(), MarkerKind::Main, kMain + "<html></html>"},
            {"<html></html>\r\n", u"<html></html>\n"_s, QString(), MarkerKind::Archive,
             "<html></html>\r\n" + kArchive}};
        for (const auto& [page, before, selected, kind, expected] : table) {
            const PageSource source(page);
            QVERIFY(source.text().startsWith(before + selected));
            const MarkedPage marked =
                placeMarkers(source, before.size(), before.size() + selected.size(), kind);
            QCOMPARE(marked.page, expected);
            const QByteArray marker = previewMarker(kind).toUtf8();
            QCOMPARE(marked.page.mid(marked.markerEnd - marker.size(), marker.size()), marker);
            // The caret stands after the inserted text in the text box.
            const QString shown = markerText(kind).replace("\r\n", "\n");
            QCOMPARE(marked.textCaret, before.size() + shown.size());
        }
    }

    void textShowsLineEndsAsOne()
    {
        const PageSource source(QByteArray("a\r\nb\rc\nd"));
        QCOMPARE(source.text(), u"a\nb\nc\nd"_s);
        QCOMPARE(
            QList<qsizetype>({source.byteOffset(2), source.byteOffset(6), source.byteOffset(99)}),
            QList<qsizetype>({3, 7, 8}));
    }

    void previewAndUpload()
    {
        for (const auto& [kind, example] :
             {std::pair{MarkerKind::Main, "This is an example of one of the many templates"_ba},
              {MarkerKind::Archive, "This is an example of how pagewick will move"_ba}}) {
            const QByteArray page = "<html><body>\r\n<h1>Blog</h1>\r\n</body></html>\r\n";
            const PageSource source(page);
            const qsizetype caret = source.text().indexOf(u"</body>"_s);
            const MarkedPage marked = placeMarkers(source, caret, caret, kind);
            const QByteArray preview = previewFile(marked, kind);
            const QByteArray head = marked.page.left(marked.markerEnd) + "\r\n";
            QVERIFY(preview.startsWith(head));
            // Newer entry first: the example, then the welcome entry.
            const qsizetype exampleAt = preview.indexOf(example);
            const qsizetype welcomeAt = preview.indexOf("Welcome to the world of pagewick.");
            QVERIFY(exampleAt > head.size() && welcomeAt > exampleAt);
            QVERIFY(preview.contains("08:32 AM") && preview.contains("08:12 AM"));
            QVERIFY(preview.contains("cellpadding=\"2\"bgcolor=\"005F91\"><tr><td>"));
            QVERIFY(preview.endsWith(marked.page.mid(marked.markerEnd) + "\r\n"));
            QCOMPARE(preview.count("<center>"), 2);
        }
    }

    void sampleEntryIsOneLine()
    {
        const QByteArray entry = sampleEntry(u"Hello "_s, u"08:12 AM"_s);
        QVERIFY(!entry.contains('\r') && !entry.contains('\n'));
        QVERIFY(entry.contains("<Font Color=#BFBFBF>Hello <br><div align=\"right\">"));
        QVERIFY(entry.contains("URL: <a href="));
        QVERIFY(entry.endsWith(" @ 08:12 AM</font></div><font face=\"Verdana, Arial, Helvetica, "
                               "sans-serif\" size=\"1\" color=\"#000000\"></div></font></tr>"
                               "</table></center></Font></font>"));
    }
};

QTEST_GUILESS_MAIN(TestMarkerPlacement)
#include "tst_markerplacement.moc"
