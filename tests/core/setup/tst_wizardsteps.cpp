#include "core/setup/WizardSteps.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace Setup;

class TestWizardSteps : public QObject
{
    Q_OBJECT
private slots:
    void listing_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("files and folders") << QByteArray("index.html\r\nwww/\r\nold pages/\r\n")
                                           << QStringList{"index.html", "www/", "old pages/"};
        QTest::newRow("text after the last line end is no line")
            << QByteArray("a.html\r\nb.ht") << QStringList{"a.html"};
        QTest::newRow("slash inside, bare CR or LF, dots and empty lines are not offered")
            << QByteArray("a/b.html\r\nx\ry.html\r\nx\ny.html\r\n.\r\n..\r\n../\r\n\r\n/\r\n"
                          "ok.html\r\n")
            << QStringList{"ok.html"};
        QTest::newRow("names stay as sent: blanks and UTF-8 letters")
            << QByteArray(" lead.html\r\nt\xC3\xA4gebuch.html\r\n")
            << QStringList{" lead.html", QString::fromUtf8("t\xC3\xA4gebuch.html")};
        QTest::newRow("Windows-1252 names")
            << QByteArray("t\xE4g.html\r\n") << QStringList{QString::fromUtf8("t\xC3\xA4g.html")};
    }
    void listing()
    {
        QFETCH(QByteArray, listing);
        QFETCH(QStringList, items);
        QCOMPARE(listingItems(listing), items);
    }

    void paths_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("target");
        QTest::newRow("folder") << u"/www"_s << u"blog/"_s << int(ItemKind::Folder)
                                << u"/www/blog/"_s;
        QTest::newRow("folder at root")
            << u"/"_s << u"www/"_s << int(ItemKind::Folder) << u"/www/"_s;
        QTest::newRow("parent") << u"/www"_s << u".."_s << int(ItemKind::Parent) << u".."_s;
        QTest::newRow("file") << u"/www"_s << u"my page.html"_s << int(ItemKind::File)
                              << u"/www/my page.html"_s;
        QTest::newRow("file at root")
            << u"/"_s << u"index.html"_s << int(ItemKind::File) << u"/index.html"_s;
    }
    void paths()
    {
        QFETCH(QString, directory);
        QFETCH(QString, item);
        QFETCH(int, kind);
        QFETCH(QString, target);
        QCOMPARE(int(itemKind(item)), kind);
        if (kind == int(ItemKind::File))
            QCOMPARE(remotePath(directory, item), target);
        else
            QCOMPARE(folderTarget(directory, item), target);
    }

    void downloadedPage_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QByteArray>("page");
        QTest::newRow("LF and CR line ends become CR LF")
            << QByteArray("<html>\n<body>\r</body>\r\n</html>")
            << QByteArray("<html>\r\n<body>\r\n</body>\r\n</html>\r\n");
        QTest::newRow("runs of empty lines shrink to three")
            << QByteArray("a\r\n\r\n\r\n\r\n\r\n\r\nb\n\n\nc\r\n")
            << QByteArray("a\r\n\r\n\r\n\r\nb\r\n\r\n\r\nc\r\n");
        QTest::newRow("bytes are kept")
            << QByteArray("caf\xE9 \xC3\xA9\r\n") << QByteArray("caf\xE9 \xC3\xA9\r\n");
        QTest::newRow("empty") << QByteArray() << QByteArray();
    }
    void downloadedPage()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QByteArray, page);
        QCOMPARE(readDownloadedPage(raw), page);
    }

    void markers_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<bool>("insertion");
        QTest::addColumn<bool>("archive");
        QTest::newRow("pagewick") << QByteArray("<p><!--pagewick--></p>") << true << false;
        QTest::newRow("Pagewick in any case") << QByteArray("<!--PageWick-->") << true << false;
        QTest::newRow("N tilde, Windows-1252") << QByteArray("<!--\xD1-->") << true << false;
        QTest::newRow("N tilde, UTF-8") << QByteArray("<!--\xC3\x91-->") << true << false;
        QTest::newRow("small n tilde") << QByteArray("<!--\xC3\xB1-->") << true << false;
        QTest::newRow("archive start any case")
            << QByteArray("<!--pagewickarchivestart-->") << false << true;
        QTest::newRow("end marker alone is not enough")
            << QByteArray("<!--**END**--><!-- pagewick -->") << false << false;
    }
    void markers()
    {
        QFETCH(QByteArray, page);
        QFETCH(bool, insertion);
        QFETCH(bool, archive);
        QCOMPARE(hasInsertionMarker(page), insertion);
        QCOMPARE(hasArchiveMarker(page), archive);
    }

    void accountChecks_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("problem");
        QTest::newRow("no site") << QStringList{"", "u", "p", "http://x"}
                                 << u"You must enter the name of the FTP site."_s;
        QTest::newRow("no user") << QStringList{"s", "", "p", "http://x"}
                                 << u"You must enter your FTP username."_s;
        QTest::newRow("no password")
            << QStringList{"s", "u", "", "http://x"} << u"You must enter your FTP password."_s;
        QTest::newRow("no address")
            << QStringList{"s", "u", "p", ""} << u"You must enter the URL to your pagewick page."_s;
        QTest::newRow("address without scheme")
            << QStringList{"s", "u", "p", "www.example.com/index.html"}
            << "Please format the website entry like this:   "
               "http://www.example.com/~myname/index.html";
        QTest::newRow("upper-case H") << QStringList{"s", "u", "p", "HTTP://x/i.html"} << u""_s;
    }
    void accountChecks()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, problem);
        QCOMPARE(accountProblem({fields[0], fields[1], fields[2], fields[3]}), problem);
    }

    void summary()
    {
        WizardResult r;
        r.mainLocation = u"/www/index.html"_s;
        QCOMPARE(summaryText(r),
                 u"\r\nFTP location of main Pagewick File:\r\n/www/index.html\r\n\r\n"_s);
        r.archiveMode = true;
        r.archiveLocation = u"/www/archive.html"_s;
        QVERIFY(summaryText(r).endsWith(
            u"\r\n\r\nFTP location of Archive Pagewick File:\r\n/www/archive.html"_s));
    }
};

QTEST_GUILESS_MAIN(TestWizardSteps)
#include "tst_wizardsteps.moc"
