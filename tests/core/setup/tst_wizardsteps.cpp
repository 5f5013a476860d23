#include "core/setup/WizardSteps.h"

#include <QTest>

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

    void longListingIsComplete()
    {
        // Far beyond 32,767 characters.
        QByteArray listing;
        for (int i = 0; i < 5000; ++i)
            listing += "file-number-" + QByteArray::number(i) + ".html\r\n";
        QVERIFY(listing.size() > 100000);
        const QStringList items = listingItems(listing);
        QCOMPARE(items.size(), 5000);
        QCOMPARE(items.last(), QStringLiteral("file-number-4999.html"));
    }

    void paths_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("target");
        QTest::newRow("folder") << "/www"
                                << "blog/" << int(ItemKind::Folder) << "/www/blog/";
        QTest::newRow("folder at root") << "/"
                                        << "www/" << int(ItemKind::Folder) << "/www/";
        QTest::newRow("parent") << "/www"
                                << ".." << int(ItemKind::Parent) << "..";
        QTest::newRow("file") << "/www"
                              << "my page.html" << int(ItemKind::File) << "/www/my page.html";
        QTest::newRow("file at root") << "/"
                                      << "index.html" << int(ItemKind::File) << "/index.html";
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
                                 << "You must enter the name of the FTP site.";
        QTest::newRow("no user") << QStringList{"s", "", "p", "http://x"}
                                 << "You must enter your FTP username.";
        QTest::newRow("no password")
            << QStringList{"s", "u", "", "http://x"} << "You must enter your FTP password.";
        QTest::newRow("no address")
            << QStringList{"s", "u", "p", ""} << "You must enter the URL to your pagewick page.";
        QTest::newRow("address without scheme")
            << QStringList{"s", "u", "p", "www.example.com/index.html"}
            << "Please format the website entry like this:   "
               "http://www.example.com/~myname/index.html";
        QTest::newRow("upper-case H") << QStringList{"s", "u", "p", "HTTP://x/i.html"} << "";
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
        r.mainLocation = QStringLiteral("/www/index.html");
        QCOMPARE(
            summaryText(r),
            QStringLiteral("\r\nFTP location of main Pagewick File:\r\n/www/index.html\r\n\r\n"));
        r.archiveMode = true;
        r.archiveLocation = QStringLiteral("/www/archive.html");
        QVERIFY(summaryText(r).endsWith(
            QStringLiteral("\r\n\r\nFTP location of Archive Pagewick File:\r\n/www/archive.html")));
    }
};

QTEST_GUILESS_MAIN(TestWizardSteps)
#include "tst_wizardsteps.moc"
