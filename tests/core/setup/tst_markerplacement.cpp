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
    // The caret is found in the text the user sees; the markers land at the
    // matching byte of the page, whatever its encoding, and every other byte
    // stays.
    void placement_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("before");   // text left of the caret
        QTest::addColumn<QString>("selected"); // text replaced
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("UTF-8 page") << QByteArray("<p>Gr\xC3\xBC\xC3\x9F"
                                                  "e</p>\r\n<div>\r\n</div>\r\n")
                                    << QString::fromUtf8("<p>Gr\xC3\xBC\xC3\x9F"
                                                         "e</p>\n<div>")
                                    << QString() << int(MarkerKind::Main)
                                    << QByteArray("<p>Gr\xC3\xBC\xC3\x9F"
                                                  "e</p>\r\n<div>") +
                                           kMain + "\r\n</div>\r\n";
        QTest::newRow("Windows-1252 page") << QByteArray("<p>Gr\xFC\xDF"
                                                         "e</p>\r\n<div>\r\n</div>\r\n")
                                           << QString::fromUtf8("<p>Gr\xC3\xBC\xC3\x9F"
                                                                "e</p>\n<div>")
                                           << QString() << int(MarkerKind::Main)
                                           << QByteArray("<p>Gr\xFC\xDF"
                                                         "e</p>\r\n<div>") +
                                                  kMain + "\r\n</div>\r\n";
        QTest::newRow("a character outside the BMP before the caret")
            << QByteArray("<p>\xF0\x9F\x98\x80</p><div></div>")
            << QString::fromUtf8("<p>\xF0\x9F\x98\x80</p><div>") << QString()
            << int(MarkerKind::Archive)
            << QByteArray("<p>\xF0\x9F\x98\x80</p><div>") + kArchive + "</div>";
        QTest::newRow("the selection is replaced")
            << QByteArray("<body>\r\nold text\r\n</body>") << QString("<body>\n")
            << QString("old text") << int(MarkerKind::Main)
            << QByteArray("<body>\r\n") + kMain + "\r\n</body>";
        QTest::newRow("caret at the very start")
            << QByteArray("<html></html>") << QString() << QString() << int(MarkerKind::Main)
            << kMain + "<html></html>";
        QTest::newRow("caret at the very end")
            << QByteArray("<html></html>\r\n") << QString("<html></html>\n") << QString()
            << int(MarkerKind::Archive) << QByteArray("<html></html>\r\n") + kArchive;
    }
    void placement()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, before);
        QFETCH(QString, selected);
        QFETCH(int, kind);
        QFETCH(QByteArray, expected);
        const PageSource source(page);
        QVERIFY(source.text().startsWith(before + selected));
        const MarkedPage marked =
            placeMarkers(source, before.size(), before.size() + selected.size(), MarkerKind(kind));
        QCOMPARE(marked.page, expected);
        const QByteArray marker = previewMarker(MarkerKind(kind)).toUtf8();
        QCOMPARE(marked.page.mid(marked.markerEnd - marker.size(), marker.size()), marker);
        // The caret stands after the inserted text in the text box.
        const QString shown = markerText(MarkerKind(kind)).replace("\r\n", "\n");
        QCOMPARE(marked.textCaret, before.size() + shown.size());
    }

    void textShowsLineEndsAsOne()
    {
        const PageSource source(QByteArray("a\r\nb\rc\nd"));
        QCOMPARE(source.text(), u"a\nb\nc\nd"_s);
        QCOMPARE(source.byteOffset(2), qsizetype(3));
        QCOMPARE(source.byteOffset(6), qsizetype(7));
        QCOMPARE(source.byteOffset(99), qsizetype(8));
    }

    void previewAndUpload_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("example");
        QTest::newRow("main page") << int(MarkerKind::Main)
                                   << QByteArray("This is an example of one of the many templates");
        QTest::newRow("archive page") << int(MarkerKind::Archive)
                                      << QByteArray("This is an example of how pagewick will move");
    }
    void previewAndUpload()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, example);
        const QByteArray page = "<html><body>\r\n<h1>Blog</h1>\r\n</body></html>\r\n";
        const PageSource source(page);
        const qsizetype caret = source.text().indexOf(u"</body>"_s);
        const MarkedPage marked = placeMarkers(source, caret, caret, MarkerKind(kind));

        const QByteArray preview = previewFile(marked, MarkerKind(kind));
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

        const QByteArray upload = markedFile(marked);
        QCOMPARE(upload, marked.page + "\r\n");
        QVERIFY(!upload.contains("Welcome to the world of pagewick."));
        QVERIFY(!upload.contains(example));
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
