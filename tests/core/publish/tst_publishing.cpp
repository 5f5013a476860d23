// Finish and Resend against the FTP test server with every fault it can produce: what each
// failure leaves on the server, in weblog.ini and locally; also refused settings, auto-delete
// without an archive page, manual publishing and the update check.

#include "PublishFixture.h"

#include "core/picture/PictureStore.h"
#include "core/publish/UpdateCheck.h"

#include <QImage>
#include <QScopeGuard>
#include <QTcpServer>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace PublishFixture;

// The anchor of the entry Preview makes on 12/5/2000 at 5:44:36 PM.
const QString kAnchor = u"125200054436PM"_s;
const QStringList kPublished = {"False", "12/5/2000", "5:44:36 PM"}; // Fail, Date, Time

class TestPublishing : public QObject, public Servers
{
    Q_OBJECT

private slots:
    void initTestCase() { pinClockAndLocale(); }
    void init() { SERVERS_START(); }

    void publish_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");     // shown by Finish; empty: published at once
        QTest::addColumn<bool>("newArchiveLive"); // after the failure
        QTest::addColumn<QString>("outcomeLine"); // status line telling what is where
        const QString notChanged = u"The entry was not published; your page on the server was not "
                                   "changed by the failed transfer.  Press Resend to try again."_s;
        const QString refused = u"Error Response Received: Error Code 550\r\n"_s;
        const auto row = [](const char* name, const char* fault, const QString& message = {},
                            const QString& outcome = {}, bool newArchive = false) {
            QTest::newRow(name) << QString(fault) << message << newArchive << outcome;
        };
        row("published", "");
        // A server that will not rename over an existing file: the old file
        // goes aside, the new one in, then the old one is deleted.
        row("no rename over an existing file", "noRenameOver");
        row("renames refused", "noRename", refused + u"Renaming files is not permitted here."_s,
            notChanged);
        row("archive upload refused after the page upload", "archiveStore",
            refused + u"Cannot store archive.html.pagewick-upload: Permission denied."_s,
            notChanged);
        row("RSS upload refused", "rssStore",
            refused + u"Cannot store backend.rss.pagewick-upload: Permission denied."_s,
            notChanged);
        // The archive page is in place, the page cannot follow: the cut
        // entries are on the new archive page and still on the old page.
        row("page cannot be put in place after the archive page", "pageRename",
            refused + u"Cannot rename index.html.pagewick-upload."_s,
            u"The entry was not completely published: on the server the archive page is new, "
            "the page and the RSS file are still the old ones.  Press Resend to try again."_s,
            true);
        row("server not running", "down",
            u"Pagewick: Pagewick was unable to connect to the FTP site.  Please check your "
            "configuration and try again."_s);
        row("wrong password", "password",
            u"Error Response Received: Error Code 530\r\nAuthentication failed."_s);
        row("no permission", "deny", refused + u"Not enough privileges."_s, notChanged);
        row("disk full", "full",
            u"Error Response Received: Error Code 452\r\nInsufficient storage space; transfer "
            "aborted."_s,
            notChanged);
        row("connection dropped", "drop", u"Transfer Error: 35781 *"_s, notChanged);
        // A server that accepts and never answers: the time-out at log-in
        // gets the same box as any other failed transfer.
        row("no answer at log-in", "silent", u"Transfer Error: 35761 *"_s);
        row("slower than timeout", "slow", u"Transfer Error: 35761 *"_s, notChanged);
    }

    void publish()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QTcpServer silent; // accepts connections, never says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        const QByteArray served = page(3, 400000), archive = archivePage(); // many blocks
        QVERIFY(ftp().writeFile("www/index.html", served));
        // Auto-delete keeps the new entry alone: the old ones move to the
        // archive page, so all three files change.
        Keys keys = publishKeys(ftp());
        keys.insert({{"timeout", "2"}, {"autodelete", "True"}, {"deleteamount", "1"}});
        Session s;
        QVERIFY(s.start(keys));
        const QByteArray archiveBackup = archive + "<!-- as last published -->\r\n";
        QVERIFY(s.put("archivebackup", archiveBackup));
        QVERIFY(s.preview());
        const QStringList stems = {"webbie", "archivewebbie", "indexbackup", "archive",
                                   "archivebackup"};
        const QByteArrayList before = s.files(stems);
        const QByteArray webbie = before[0], archiveEdited = before[1];
        QVERIFY(webbie.contains("></a>Hello") && !webbie.contains("Old post 1") &&
                archiveEdited.contains("Old post 1") && archiveEdited.contains("Archived text"));

        const QString elsewhere = u"ftp://127.0.0.1:%1"_s;
        if (fault == u"down" || fault == u"silent")
            settings().ftpsite =
                elsewhere.arg(fault == u"down" ? closedPort() : silent.serverPort());
        else if (fault == u"password")
            settings().password = u"wrong"_s;
        else if (fault == u"deny")
            ftp().denyAccess("/www");
        else if (fault == u"full")
            ftp().setDiskFullAfter(100000);
        else if (fault == u"drop")
            ftp().setDropAfter(100000);
        else if (fault == u"slow")
            ftp().setSlow(4000, 65536);
        else if (fault.startsWith(u"noRename"))
            ftp().setRenaming(fault == u"noRename" ? FtpTestServer::Renaming::Refused
                                                   : FtpTestServer::Renaming::NotOverExisting);
        else if (fault.endsWith(u"Store"))
            ftp().failUploadsOf(fault == u"rssStore" ? "backend.rss" : "archive.html");
        else if (fault == u"pageRename")
            ftp().failRenamesOf("index.html");
        s.again();
        ftp().clearLog();
        QVERIFY(s.finish());

        if (!message.isEmpty()) {
            // The message, once; not recorded, Resend offered; the local
            // working files as they were.
            SHOWN(s.prompt, {message});
            QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Failed);
            QVERIFY(s.idle() && s.view.resendVisible && s.view.resendEnabled &&
                    s.prompt.opened.isEmpty());
            QCOMPARE(s.inis({"Fail", "Date"}), QStringList({"True", ""}));
            QCOMPARE(s.files(stems), before);
            // The live site whole: the old pages, or the new archive page
            // beside the old page (never a cut entry on neither page).
            QCOMPARE(ftp().readFile("www/index.html"), served);
            QFETCH(bool, newArchiveLive);
            QFETCH(QString, outcomeLine);
            QCOMPARE(ftp().readFile("www/archive.html"), newArchiveLive ? archiveEdited : archive);
            if (!outcomeLine.isEmpty())
                SAID(s, {outcomeLine});
            // Nothing but the live files is left on the server (a broken
            // connection may leave the partial upload copy behind).
            QStringList left = filesIn(ftp().rootPath("www"));
            if (fault == u"drop" || fault == u"slow")
                left = left.filter(QRegularExpression(u"^(archive|index)\\.html$"_s));
            QCOMPARE(left, QStringList({"archive.html", "index.html"}));

            // The server recovers: Resend publishes the same entry.
            ftp().resetBehaviour();
            settings().ftpsite = ftp().url();
            settings().password = FtpTestServer::Password;
            s.again();
            ftp().clearLog();
            QVERIFY(s.resend());
            QCOMPARE(s.view.status.value(0), u"Preview Last Entry"_s);
        }

        // Published; on the server the three files, nothing else left behind.
        SHOWN(s.prompt, {});
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
        QCOMPARE(ftp().readFile("www/index.html"), webbie);
        QCOMPARE(ftp().readFile("www/archive.html"), archiveEdited);
        const QByteArray rss = readFile(workFile("backend", ".rss"));
        QVERIFY(rss.contains("<link>" + (kWebsite + u'#' + kAnchor).toUtf8() + "</link>"));
        QCOMPARE(ftp().readFile("www/backend.rss"), rss);
        QCOMPARE(filesIn(ftp().rootPath("www")),
                 QStringList({"archive.html", "backend.rss", "index.html"}));
        // One connection; each refused rename makes libcurl log in anew.
        QVERIFY2(ftp().loginCount() <= (fault == u"noRenameOver" || fault == u"pageRename" ? 3 : 1),
                 qPrintable(ftp().logLines().join(u" | "_s)));
        // Recorded, rolled forward, opened.
        QCOMPARE(s.inis({"Fail", "Date", "Time"}), kPublished);
        QCOMPARE(s.files({"indexbackup", "backup", "archivebackup", "archive"}),
                 QByteArrayList({webbie, webbie, archiveEdited, archiveEdited}));
        QCOMPARE(s.prompt.opened, QStringList{kWebsite});
        QVERIFY(s.commandsOn() && !s.view.resendVisible);
        SAID(s,
             {"Copying Preview Into Backup",
              u"PUT \"%1\" \"www/index.html\""_s.arg(workspace().workFileName(u"webbie"_s)),
              "Backend Placement Complete", "Upload to www/index.html complete.", "Disconnected"});
    }

    // The entry's picture goes up in the same unit as the page and is put in
    // place first. The server's own holiday.png with other content is left
    // alone: the picture goes as holiday-2.png, and the page, its feed and
    // the local copy say so. One the server has is not sent again. A
    // failure at the picture's upload changes nothing on the server; one at
    // placing the page leaves the new picture beside the old page; Resend
    // completes both.
    void pictures_data()
    {
        QTest::addColumn<QString>("fault");
        for (const char* fault : {"new", "taken", "same", "picture upload", "page placing"})
            QTest::newRow(fault) << QString::fromLatin1(fault);
    }

    void pictures()
    {
        QFETCH(QString, fault);
        Keys keys = ftpKeys(ftp());
        keys["feeds"] = "rss2";
        Session s;
        QVERIFY(s.start(keys));
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        const QString original = s.dir.filePath("Holiday.png");
        QVERIFY(image.save(original));
        QString error;
        const auto placed = Picture::place(original, "Beach", settings(), &error);
        QVERIFY2(placed, qPrintable(error));
        const QByteArray picture = readFile(placed->localPath);
        const bool taken = fault == u"taken";
        const QString sentAs = taken ? u"holiday-2.png"_s : u"holiday.png"_s;
        if (taken || fault == u"same")
            QVERIFY(ftp().writeFile("www/images/holiday.png", taken ? "other" : picture));
        s.view.entry.main = u"World "_s + placed->tag;
        QVERIFY(s.preview());
        if (fault == u"picture upload")
            ftp().failUploadsOf("holiday.png");
        else if (fault == u"page placing")
            ftp().failRenamesOf("index.html");
        ftp().clearLog();
        QVERIFY(s.finish());
        if (fault.startsWith(u"p")) {
            QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Failed);
            QCOMPARE(s.ini("Fail"), u"True"_s);
            QCOMPARE(ftp().readFile("www/index.html"), page(2));
            QCOMPARE(filesIn(ftp().rootPath("www/images")),
                     fault == u"page placing" ? QStringList{"holiday.png"} : QStringList());
            QCOMPARE(filesIn(ftp().rootPath("www")), QStringList({"archive.html", "index.html"}));
            ftp().resetBehaviour();
            ftp().clearLog();
            QVERIFY(s.resend());
        }
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
        const QByteArray webbie = s.file("webbie");
        QVERIFY(webbie.contains("src=\"images/" + sentAs.toUtf8() + '"'));
        QCOMPARE(ftp().readFile("www/index.html") + s.file("backup"), webbie + webbie);
        QVERIFY(ftp().readFile("www/rss.xml").contains("images/" + sentAs.toUtf8()));
        QCOMPARE(ftp().readFile("www/images/" + sentAs), picture);
        QCOMPARE(ftp().readFile("www/images/holiday.png"), taken ? "other" : picture);
        QCOMPARE(filesIn(Picture::localFolder(Picture::Options{})), QStringList{sentAs});
        // Sent at most once, and put in place before the page.
        const QStringList commands = ftp().commands();
        const auto rename = commands.indexOf("RNTO /www/images/" + sentAs),
                   pageRename = commands.indexOf("RNTO /www/index.html");
        if (fault == u"same" || fault == u"page placing")
            QCOMPARE(commands.filter(u"STOR"_s).filter(u"holiday"_s), QStringList());
        else
            QVERIFY2(rename >= 0 && rename < pageRename, qPrintable(commands.join(u" | "_s)));
    }

    // A change made on the server since the page was last retrieved or
    // published (a hand edit) is never published over unasked: in the mode
    // "none" since the last publish, in the others since Preview; by size
    // and time, or by the bytes where the time is not known (HTTP). The
    // first publish has nothing to compare.
    void handEditOnTheServer_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("answered"); // Yes: merge, No: publish over it
        QTest::newRow("none, cancelled") << "none" << int(Answer::Cancel);
        QTest::newRow("none, merged") << "none" << int(Answer::Yes);
        QTest::newRow("none, published over") << "none" << int(Answer::No);
        QTest::newRow("ftp, merged after a change since Preview") << "ftp" << int(Answer::Yes);
        QTest::newRow("auto, same size, cancelled") << "auto" << int(Answer::Cancel);
    }

    void handEditOnTheServer()
    {
        QFETCH(QString, mode);
        QFETCH(int, answered);
        const auto answer = Answer(answered);
        Keys keys = mode == u"auto" ? httpKeys(http().url("/index.html"), &ftp()) : ftpKeys(ftp());
        keys.insert({{"retreivemode", mode}, {"ftpremote", "www/index.html"}, {"timeout", "5"}});
        Session s;
        QVERIFY(s.start(keys));
        QVERIFY(s.put("backup", page(2)));
        QVERIFY(s.preview());
        if (mode != u"auto") { // auto: changed since the first Preview, known by HTTP alone
            QVERIFY(s.finish());
            SHOWN(s.prompt, {});
            QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
            QVERIFY(!s.ini("livepage").isEmpty());
            runState().pageRetrieved = false;
            s.view.entry.head = u"Second"_s;
            QVERIFY(s.preview());
        }
        QByteArray edited = ftp().readFile("www/index.html");
        if (mode == u"auto")
            edited.replace("Old post 1", "Old post X"); // the same size
        else
            edited.replace("</body>", "<p>Edited by hand</p>\r\n</body>");
        QVERIFY(ftp().writeFile("www/index.html", edited));
        s.again();
        s.prompt.answers << answer;
        QVERIFY(s.finish());
        SHOWN(s.prompt,
              {u"Changed on the Server: The page www/index.html on the server *Yes: fetch the "
               "server's version and put the entry into it (the change is kept).\r\nNo: publish "
               "over the server's version anyway.\r\nCancel: publish nothing now."_s});
        QCOMPARE(s.prompt.messages[0].buttons, Buttons::YesNoCancel);
        const QByteArray live = ftp().readFile("www/index.html");
        QCOMPARE(filesIn(ftp().rootPath("www")), QStringList({"archive.html", "index.html"}));
        if (answer == Answer::Cancel) {
            // Nothing sent, nothing recorded as failed; Finish may be tried again.
            QCOMPARE(live, edited);
            QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Stopped);
            QVERIFY(s.ini("Fail") != u"True"_s && s.view.finishEnabled && !s.view.resendVisible);
            SAID(s, {"Nothing was published; www/index.html on the server was left as it is."});
            return;
        }
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
        QCOMPARE(live, s.file("webbie"));
        QCOMPARE(live.contains("Edited by hand"), answer == Answer::Yes);
        QVERIFY(live.contains("></a>Second") && live.contains("></a>Hello"));
        // What was published is what the next publish compares with.
        s.again();
        QVERIFY(s.resend());
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
        SHOWN(s.prompt, {});
    }

    // The check is a transfer like the others: when it fails the publish
    // fails, the live page stays and Resend is offered.
    void liveCheckFails()
    {
        Keys keys = ftpKeys(ftp());
        keys.insert({{"timeout", "2"}, {"retreivemode", "none"}});
        Session s;
        QVERIFY(s.start(keys));
        QVERIFY(s.put("backup", page(2)));
        QVERIFY(s.preview());
        ftp().hangOn("MDTM");
        QVERIFY(s.finish());
        SHOWN(s.prompt, {u"Transfer Error: 35761 *"_s});
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Failed);
        QVERIFY(s.view.resendVisible && s.ini("Fail") == u"True"_s);
        QCOMPARE(ftp().readFile("www/index.html"), page(2));
        ftp().resetBehaviour();
        QTRY_COMPARE(filesIn(ftp().rootPath("www")), QStringList({"archive.html", "index.html"}));
    }

    void rssBesidePageInTheRoot()
    {
        QCOMPARE(Publisher::backendRemotePath("index.html"), u"backend.rss"_s);
    }

    // A transfer path or address read back cut at 254 characters is refused
    // naming its key; nothing is sent, nothing recorded.
    void cutSettingsRefused_data()
    {
        QTest::addColumn<QString>("key");
        for (const char* key : {"ftpremote", "archiveftp", "ftpsite", "website"})
            QTest::newRow(key) << QString::fromLatin1(key);
    }

    void cutSettingsRefused()
    {
        QFETCH(QString, key);
        Session s;
        QVERIFY(s.start(publishKeys(ftp())));
        QVERIFY(s.preview());
        // As weblog.ini hands back a longer value: its first 254 characters.
        const QString cut = (u"www/"_s + QString(300, u'a')).left(254);
        const QString text = u"The setting "_s + key +
                             u" in weblog.ini is 254 characters or longer, so it was cut short "
                             "when it was read.  Nothing was sent.  Please correct it in the "
                             "SETUP menu."_s;
        s.again();
        ftp().clearLog();
        if (key == u"website") {
            settings().website = http().url("/") + cut;
            settings().retreivemode = u"auto"_s;
            QVERIFY(s.retrieve(false));
            SHOWN(s.prompt, {u"Download Error: "_s + text});
            QVERIFY(http().requests().isEmpty() && s.idle());
            return;
        }
        (key == u"ftpremote"    ? settings().ftpremote
         : key == u"archiveftp" ? settings().archiveftp
                                : settings().ftpsite) =
            key == u"ftpsite" ? "ftp://127.0.0.1/" + cut : cut;
        QVERIFY(s.finish());
        SHOWN(s.prompt, {u"Pagewick: "_s + text});
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Stopped);
        QCOMPARE(ftp().commands() + s.inis({"Fail", "Date"}), QStringList({"", ""})); // no command
        QCOMPARE(ftp().readFile("www/index.html"), page(2));
        QVERIFY(s.view.finishEnabled); // publish again once the setting is mended
    }

    // Auto-delete with archive never cuts entries it cannot archive: when the
    // archive page does not come whole, the page is published untrimmed and
    // the live archive left alone; the next publish trims.
    void autoDeleteKeepsWhatItCannotArchive_data()
    {
        QTest::addColumn<QString>("archiveAnswer"); // see HttpTestServer::setAnswer
        for (const char* answer : {"404", "cut 100000", "500"})
            QTest::newRow(answer) << QString::fromLatin1(answer);
    }

    void autoDeleteKeepsWhatItCannotArchive()
    {
        QFETCH(QString, archiveAnswer);
        QVERIFY(http().writeFile("index.html", page(3)) &&
                ftp().writeFile("www/index.html", page(3)));
        Keys keys = httpKeys(http().url("/index.html"), &ftp());
        keys.insert({{"ftpremote", "www/index.html"},
                     {"archive", "true"},
                     {"archiveurl", http().url("/archive.html")},
                     {"archiveftp", "www/archive.html"},
                     {"autodelete", "True"},
                     {"deleteamount", "1"}});
        Session s;
        QVERIFY(s.start(keys));
        // An older local archive copy: it must not stand in for the live one.
        const QByteArray stale = archivePage() + "<!-- stale -->\r\n";
        QVERIFY(s.put("archive", stale));
        http().setAnswer("/archive.html", archiveAnswer);
        QVERIFY(s.preview());
        const QByteArray untrimmed = s.file("webbie");
        for (const char* post : {"Old post 1", "Old post 3", "></a>Hello"})
            QVERIFY2(untrimmed.contains(post), post);
        QCOMPARE(s.view.status.filter(u"so no entries were cut from the page"_s).size(), 1);
        QVERIFY(s.finish());
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
        QCOMPARE(ftp().readFile("www/index.html") + ftp().readFile("www/archive.html") +
                     s.file("archive"),
                 untrimmed + archivePage() + stale);

        // The archive page can be read again: the next publish trims, and
        // the cut entries are on the live archive page.
        http().resetBehaviour();
        QVERIFY(http().writeFile("index.html", untrimmed));
        runState().pageRetrieved = false;
        QVERIFY(s.preview());
        const QByteArray trimmed = s.file("webbie");
        QVERIFY(!trimmed.contains("Old post 1") && !trimmed.contains("Old post 3"));
        QVERIFY(s.finish());
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
        QCOMPARE(ftp().readFile("www/index.html"), trimmed);
        const QByteArray liveArchive = ftp().readFile("www/archive.html");
        for (const char* post : {"Old post 1", "Old post 2", "Old post 3"})
            QVERIFY2(liveArchive.contains(post), post);
    }

    void manualPublishing()
    {
        Keys keys = httpKeys(http().url("/index.html"), &ftp());
        keys["autoftp"] = "False";
        Session s;
        QVERIFY(s.start(keys));
        QVERIFY(s.preview());
        const QString target = s.dir.filePath("for-upload.html");
        s.again();
        ftp().clearLog();
        s.prompt.files << std::nullopt << target; // cancelled once, then saved
        QVERIFY(s.finish());
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Saved);
        SHOWN(s.prompt,
              {u"Pagewick: You must save the file to be manually uploaded."_s,
               u"Pagewick: "_s + target + u" ready!  Please exit and manually upload."_s});
        QCOMPARE(s.prompt.fileRequests.size(), 2);
        const FileRequest& r = s.prompt.fileRequests[0];
        QVERIFY(r.kind == FileRequest::Save && r.initialDir == workspace().dir() &&
                r.filterIndex == 2 && r.defaultExt == u"html"_s &&
                r.filter == u"All Files (*.*)|*.*|HTML Files(*.html)|*.html"_s);
        QCOMPARE(readFile(target), s.file("webbie"));
        // Date and Time, never Fail nor the backup; nothing sent or opened;
        // the user is to quit.
        QCOMPARE(s.inis({"Fail", "Date", "Time"}), QStringList({""}) + kPublished.mid(1));
        QVERIFY(!s.exists("backup") && s.prompt.opened.isEmpty());
        QCOMPARE(ftp().newSessionLines(), QStringList());
        QVERIFY(!s.view.finishEnabled && !s.view.previewEnabled);
    }

    // Yes opens the home page, No does not; a failed fetch (404, no server)
    // gets one message naming the address and no question, and the next
    // check works again.
    void updateCheck()
    {
        const QByteArray news =
            "Pagewick 0.8.5 is out.\r\nIt mends the archive.\r\nIt adds RSS images.";
        QVERIFY(http().writeFile("pagewick/version.txt", news));
        const QString site = u"http://127.0.0.1:%1"_s.arg(http().port());
        const auto unset = qScopeGuard([] { qunsetenv("PAGEWICK_SITE"); });
        QTemporaryDir dir;
        QVERIFY(useProgramDir(dir.path()));
        settings() = Settings();
        settings().timeout = u"5"_s;
        ScriptedPrompt prompt;
        RecordingView view;
        UpdateCheck check(workspace(), view);
        const QString question = u"Checking for Update: Your version: Version 0.8.4\r\n\r\n"_s +
                                 QString::fromLatin1(news) +
                                 u"\r\n\r\nWould you like to visit the Pagewick Home Page?"_s;
        const QString done = u"Check for update news completed."_s;
        const QString nobody = u"http://127.0.0.1:%1"_s.arg(closedPort());
        const std::pair<QString, Answer> cases[] = {{site, Answer::Yes},
                                                    {site, Answer::No},
                                                    {"404", Answer::No},
                                                    {nobody, Answer::No},
                                                    {site, Answer::No}};
        for (const auto& [from, answer] : cases) {
            const bool missing = from == u"404";
            const QString where = missing ? site : from;
            qputenv("PAGEWICK_SITE", where.toUtf8());
            http().setAnswer("/pagewick/version.txt", missing ? "404" : "");
            prompt.clear();
            view.status.clear();
            prompt.answers << answer;
            check.checkForUpdate();
            QTRY_VERIFY_WITH_TIMEOUT(!check.isRunning(), 30000);
            if (where != site || missing) {
                QVERIFY2(prompt.messages.size() == 1 && prompt.messages[0].buttons == Buttons::Ok &&
                             prompt.messages[0].text.contains(where + "/pagewick/version.txt") &&
                             (!missing || prompt.messages[0].text.contains(u"404"_s)),
                         qPrintable(describe(prompt.messages)));
                QVERIFY(!view.status.contains(done) && prompt.opened.isEmpty());
                continue;
            }
            SHOWN(prompt, {question});
            QCOMPARE(prompt.messages[0].buttons, Buttons::YesNo);
            QCOMPARE(prompt.opened,
                     answer == Answer::Yes ? QStringList{site + "/pagewick/"} : QStringList());
            QCOMPARE(view.status.value(view.status.size() - 1), done);
        }
        prompt.clear();
        check.visitWebSite();
        check.openHelp();
        QCOMPARE(prompt.opened, QStringList({site + "/pagewick/", dir.path() + "/pagewick.html"}));
        QVERIFY(QFileInfo::exists(dir.path() + u"/pagewick.html"_s));
    }
};

QTEST_GUILESS_MAIN(TestPublishing)
#include "tst_publishing.moc"
