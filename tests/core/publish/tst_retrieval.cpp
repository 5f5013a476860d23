// Getting the page before an edit, against the local FTP and HTTP test
// servers: the retrieve modes, the offline decision and every fault of a
// download. A failed retrieval says why once and leaves the local copies be.

#include "PublishFixture.h"

#include <QScopeGuard>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace PublishFixture;

const QString kNoArchiveBackup =
    u"Pagewick: Normally in No-Retrieve Mode pagewick assumes the last archive backup file is the "
    "latest local version of your archive.  However, this backup file was not found.  Next, an "
    "open file dialog box will open.  Please select the file you wish to use as your archive "
    "file."_s;

class TestRetrieval : public QObject, public Servers
{
    Q_OBJECT

private slots:
    void initTestCase() { pinClockAndLocale(); }
    void init() { SERVERS_START(); }

    void retrieveByFtp()
    {
        Session s;
        QVERIFY(s.start(publishKeys(ftp())));
        QVERIFY(s.retrieve(false));
        SHOWN(s.prompt, {});
        QCOMPARE(s.file("indexbackup") + s.file("archive"), page(2) + archivePage());
        // Page and archive over one connection.
        QVERIFY(runState().pageRetrieved && s.idle() && ftp().loginCount() == 1);
        SAID(s, {"FTP Retrieve Mode Detected...", "Local Page Updated", "Disconnected"});
        s.flows->preview(); // the page is read: the entry goes in at once
        QVERIFY(s.settle());
        QVERIFY(s.view.finishEnabled && s.file("webbie").contains("></a>Hello"));

        // A download broken off in the middle, then a page missing on the
        // server: each message once; the local copies stay.
        for (const bool dropped : {true, false}) {
            if (dropped) {
                QVERIFY(ftp().writeFile("www/index.html", page(5, 200000)));
                ftp().setDropAfter(30000);
            } else {
                ftp().resetBehaviour();
                settings().ftpremote = u"www/missing.html"_s;
            }
            s.again();
            QVERIFY(s.retrieve(false));
            if (dropped)
                SHOWN(s.prompt, {u"Transfer Error: 35781 *"_s,
                                 u"Pagewick: An error has occur while trying to download the "
                                 "html files off your server.  If this continues, you may wish "
                                 "to switch to a different retrieve mode."_s});
            else
                SHOWN(s.prompt, {u"Error Response Received: Error Code 550\r\n*"_s,
                                 u"Pagewick: Error attempting to FTP download."_s});
            QCOMPARE(s.file("indexbackup") + s.file("archive"), page(2) + archivePage());
            QVERIFY(!runState().pageRetrieved && s.idle() && !s.view.resendVisible);
        }

        // Auto FTP switched off after loading: the FTP retrieve mode is
        // refused before any connection; the commands stay as they were.
        settings().autoftp = u"False"_s;
        s.again();
        s.view.setPublishingEnabled(false);
        ftp().clearLog();
        QVERIFY(s.retrieve(true));
        SHOWN(s.prompt, {u"Auto FTP not enabled: You can not use FTP Retrieve Mode if you have "
                         "Auto FTP disabled in the setup menu.  Please correct this and try "
                         "again."_s});
        QVERIFY(s.prompt.messages[0].icon == Icon::Critical && s.view.preferencesEnabled &&
                s.hooks.preferences == 1 && !s.view.previewEnabled);
        QCOMPARE(ftp().newSessionLines(), QStringList());
    }

    void retrieveByHttp_data()
    {
        // The page's answer (see HttpTestServer::setAnswer) or "down", the archive's ("off": no
        // archive), the message (%1: the page's address, %2: the archive's).
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<QString>("message");
        const auto row = [](const char* name, const char* how, const char* archive,
                            const QString& message = {}) {
            QTest::newRow(name) << QString(how) << QString(archive) << message;
        };
        const QString unexpected =
            u"Download Error: The server returned the following unexpected response:\r\r"_s;
        const QString interrupted = u"Download Error: The download of %1 was interrupted: "_s;
        const QString unchanged = u"\r\rYour local files were not changed."_s;
        row("page", "", "off");
        row("no Content-Length", "no length", "off");
        row("longer than Content-Length", "extra 700", "off");
        row("page and archive", "", "");
        row("archive missing", "", "404", u"File Not Found: %2was not found."_s);
        row("401", "401", "off",
            u"Unauthorized: 401 error.  You are not authorized to get this file."_s);
        row("404", "404", "off", u"File Not Found: %1was not found."_s);
        row("500", "500", "off", unexpected + u"HTTP/1.1 500 Internal Server Error\r"_s);
        row("closed without answer", "close", "off", unexpected + u"*"_s);
        row("server not running", "down", "off",
            u"Unable to Establish Connection: Connection cannot be established.\r\rPlease check "
            "your Internet connection."_s);
        row("stalled mid-body", "stall 20000", "off", interrupted + u"*"_s + unchanged);
        // The announced length is never reached: the server closes early.
        row("dropped mid-body", "cut 100000", "off", interrupted + u"*"_s + unchanged);
        // No download brings more than 64 MB (the last base copy is smaller
        // than a quarter of that) nor runs longer than ten times the
        // time-out, here 1 s, however steadily the bytes come.
        row("endless body", "endless 70000000", "off",
            interrupted +
                u"The document is larger than 67108864 bytes, so the download was stopped."_s +
                unchanged);
        row("slower than ten times the time-out", "slow", "off",
            interrupted + u"The request took longer than 10 seconds in all and was stopped."_s +
                unchanged);
        // A web site in a local folder (file://) is read the same way.
        row("file page and archive", "file", "file");
        row("file missing", "file gone", "off", u"File Not Found: %1was not found."_s);
        row("file archive missing", "file", "file gone", u"File Not Found: %2was not found."_s);
    }

    void retrieveByHttp()
    {
        QFETCH(QString, how);
        QFETCH(QString, archive);
        QFETCH(QString, message);
        // The page's markers were read (also when only the archive failed).
        const bool read = message.isEmpty() || archive == u"404" || archive == u"file gone";
        const QByteArray served = page(3, 37000);
        QVERIFY(http().writeFile("index.html", served));
        // file: the server's folder read as a local one; "file gone": a name not there.
        const auto local = [&](const QString& mode, const char* name) {
            return QUrl::fromLocalFile(http().rootPath(mode == u"file" ? name : "gone.html"))
                .toString();
        };
        const bool file = how.startsWith(u"file");
        if (how != u"down" && !file)
            http().setAnswer("/index.html", how);
        const QString address = file ? local(how, "index.html")
                                     : u"http://127.0.0.1:%1/index.html"_s.arg(
                                           how == u"down" ? closedPort() : http().port());
        Keys keys = httpKeys(address);
        if (how == u"slow")
            keys["timeout"] = "1";
        const QString archiveAddress = archive.startsWith(u"file") ? local(archive, "archive.html")
                                                                   : http().url("/archive.html");
        if (archive != u"off") {
            if (!archive.startsWith(u"file"))
                http().setAnswer("/archive.html", archive);
            keys.insert({{"archive", "true"}, {"archiveurl", archiveAddress}});
        }
        Session s;
        QVERIFY(s.start(keys));
        // The files of an earlier session: the base copy older and longer,
        // so that it must be replaced, not appended to.
        const QByteArray base = page(9, 90000), backup = page(1) + "<!-- published -->\r\n";
        const QByteArray oldArchive = archivePage() + "<!-- kept -->\r\n";
        QVERIFY(s.put("indexbackup", base) && s.put("backup", backup));
        QVERIFY(s.put("archive", oldArchive));

        QVERIFY(s.retrieve(false));
        message.replace("%1", address).replace("%2", archiveAddress);
        SHOWN(s.prompt, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(s.file("indexbackup"), read ? served : base);
        const bool archiveRead = archive.isEmpty() || archive == u"file";
        QCOMPARE(s.file("archive"), archiveRead ? archivePage() : oldArchive);
        QCOMPARE(s.file("backup"), backup);
        QVERIFY(runState().pageRetrieved == read && s.idle());
        if (!read) {
            QCOMPARE(s.prompt.messages[0].icon,
                     how == u"down" ? Icon::Exclamation : Icon::Critical);
            SAID(s, {"Error retrieving URL"});
            QVERIFY(!s.view.progressVisible && !s.exists("webbie"));
            return;
        }
        if (!file)
            SAID(s, {u"Attempting 127.0.0.1:%1"_s.arg(http().port())});
        SAID(s, {"indexbackup1.html updated via HTTP"});
        QVERIFY(s.view.progress <= s.view.progressMax); // the bar never runs past its end
        if (archiveRead)
            SAID(s, {"archive1.html updated via HTTP"});
        s.flows->preview();
        QVERIFY(s.settle());
        QVERIFY(s.view.finishEnabled);
    }

    void retrieveFromBackupOrChosenFile()
    {
        Keys keys = httpKeys(kWebsite);
        keys.insert({{"retreivemode", "none"}, {"archive", "true"}});
        Session s;
        QVERIFY(s.start(keys));
        const QString mine = s.dir.filePath("mine.html"), myArchive = s.dir.filePath("old.html");
        QVERIFY(writeFile(mine, page(3)) && writeFile(myArchive, archivePage()));

        // No backup: the explanation, then the file dialog until a file is
        // chosen; the same for the archive.
        s.prompt.files << std::nullopt << mine << myArchive;
        QVERIFY(s.retrieve(false));
        SHOWN(s.prompt,
              {u"Pagewick: Normally in no-retrieve mode pagewick assumes the last backup file is "
               "the latest local version of your web page.  However, this backup file was not "
               "found.  Next, an open file dialog box will open.  Please select the html file "
               "you wish to modify."_s,
               u"Pagewick: Since you are in No Retrieve Mode, you must select a local file"_s,
               kNoArchiveBackup});
        QCOMPARE(s.file("indexbackup") + s.file("archive"), page(3) + archivePage());
        const FileRequest& r = s.prompt.fileRequests.value(0);
        QVERIFY(s.prompt.fileRequests.size() == 3 && r.kind == FileRequest::Open &&
                r.initialDir == workspace().dir() && r.filterIndex == 2 &&
                r.defaultExt == u"html"_s);
        QCOMPARE(r.filter, u"All Files (*.*)|*.*|HTML Files(*.html)|*.html|HTM Files (*.htm)|*.htm|"
                           "SHTML Files (*.shtml)|*.shtml"_s);
        SAID(s, {"No-Retrieve Mode Detected...", "Looking for backup1.html",
                 "Local Files Not Found", "Local file updated", "Looking for archivebackup1.html"});
        QVERIFY(runState().pageRetrieved && s.idle());

        // With both backups nothing is asked; with the page's alone, the
        // page is taken silently and the archive asked for.
        QVERIFY(s.put("backup", page(1)));
        for (const bool archiveBackup : {true, false}) {
            const QByteArray kept = archivePage() + "<!-- kept -->\r\n";
            QVERIFY(archiveBackup ? s.put("archivebackup", kept)
                                  : QFile::remove(workFile("archivebackup")));
            s.again();
            runState().pageRetrieved = false;
            if (!archiveBackup)
                s.prompt.files << myArchive;
            QVERIFY(s.retrieve(false));
            SHOWN(s.prompt, archiveBackup ? QStringList() : QStringList{kNoArchiveBackup});
            QVERIFY(s.prompt.fileRequests.size() == (archiveBackup ? 0 : 1) &&
                    runState().pageRetrieved);
            QCOMPARE(s.file("indexbackup") + s.file("archive"),
                     page(1) + (archiveBackup ? kept : archivePage()));
            SAID(s, {"Assuming local files are current", "Using backup1.html as local file"});
        }
    }

    void offlineDecision()
    {
        qputenv("PAGEWICK_OFFLINE", "1");
        const auto online = qScopeGuard([] { qunsetenv("PAGEWICK_OFFLINE"); });
        Keys keys = httpKeys(http().url("/index.html"), &ftp());
        keys["connection"] = "modem";
        Session s;
        QVERIFY(s.start(keys));

        // No backup: the message alone.
        QVERIFY(s.retrieve(false));
        SHOWN(s.prompt,
              {u"Pagewick: Unable to use OffLine Mode.  Please connect to the internet."_s});
        SAID(s, {"Please Connect to the Net"});
        QVERIFY(s.idle() && !runState().pageRetrieved && !s.exists("indexbackup"));

        // With a backup, the question; No changes nothing, Yes makes the
        // backup the base copy.
        QVERIFY(s.put("backup", page(1)));
        for (const Answer answer : {Answer::No, Answer::Yes}) {
            s.again();
            s.prompt.answers << answer;
            QVERIFY(s.retrieve(false));
            SHOWN(s.prompt, {u"Go into Offline Mode?: You are not connected to the internet.  "
                             "Would you like to use the version that was last placed on the "
                             "webserver successfully?"_s});
            QCOMPARE(s.file("indexbackup"), answer == Answer::Yes ? page(1) : "<missing>");
            QVERIFY(s.prompt.messages[0].buttons == Buttons::YesNo && s.idle() &&
                    runState().pageRetrieved == (answer == Answer::Yes));
        }
        SAID(s, {"Entering OffLine Mode"});
        QCOMPARE(http().requests(), QStringList()); // offline: never asked

        // Finishing while offline: nothing is copied, nothing is sent.
        s.flows->preview();
        QVERIFY(s.settle());
        QVERIFY(s.view.finishEnabled);
        s.again();
        QVERIFY(s.finish());
        SHOWN(s.prompt, {u"Pagewick: Please connect to the internet first.  Once you are "
                         "connected, hit the transfer button again."_s});
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Stopped);
        QCOMPARE(s.file("backup"), page(1));
        QVERIFY(s.commandsOn() && s.ini("Fail").isEmpty());
        QCOMPARE(ftp().newSessionLines(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestRetrieval)
#include "tst_retrieval.moc"
