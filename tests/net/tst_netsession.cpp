// The typed requests of a NetSession against real servers (pyftpdlib plain
// and TLS, OpenSSH, a local folder, HTTP): the bytes each leaves on both
// sides, real progress, what a fault or an abort leaves behind, and an event
// loop that keeps running while a transfer does.

#include "ScriptedPrompt.h"
#include "SshServer.h"
#include "net/NetSession.h"
#include "net/TransferRun.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QUrl>

using namespace PublishFixture;
using namespace TransferRun;

namespace {

// Waits for `request`: empty when it succeeded, else "NUMBER DESCRIPTION".
QString waitFor(NetRequest* request)
{
    if (!QTest::qWaitFor([request] { return request->isFinished(); }, Wait))
        return QStringLiteral("did not finish");
    const TransferError e = request->result().error;
    return e.number() ? QStringLiteral("%1 %2").arg(e.number()).arg(e.description()) : QString();
}

QByteArray dataOf(NetRequest* request)
{
    const QString error = waitFor(request);
    return error.isEmpty() ? request->result().data : error.toUtf8();
}

// The lines of a listing, sorted; each must end with CR LF.
QByteArrayList names(const QByteArray& listing)
{
    QByteArrayList lines = listing.split('\n');
    if (lines.takeLast() != "")
        return {"not ended by a line end"};
    for (QByteArray& line : lines) {
        if (!line.endsWith('\r'))
            return {"not ended by CR LF"};
        line.chop(1);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The progress a request reported.
struct Progress
{
    explicit Progress(NetRequest* request)
    {
        QObject::connect(request, &NetRequest::progress, request,
                         [this](qint64 done, qint64 total) {
                             seen.append({done, total});
                         });
    }
    // Rose step by step to `size`, which was known all along.
    bool roseTo(qint64 size) const
    {
        for (qsizetype i = 0; i < seen.size(); ++i)
            if (seen[i].second != size || (i > 0 && seen[i].first <= seen[i - 1].first))
                return false;
        return !seen.isEmpty() && seen.last().first == size;
    }
    QList<QPair<qint64, qint64>> seen;
};

RequestDefaults ftpLogin(const FtpTestServer& server, int timeout = 30)
{
    RequestDefaults login;
    login.userName = server.User;
    login.password = server.Password;
    login.caFile = TestServerBase::certificateFile();
    login.timeout = timeout;
    return login;
}

} // namespace

class TestNetSession : public QObject
{
    Q_OBJECT
    QTemporaryDir home; // HOME: ~/.ssh of the SFTP tests

    void useSshKeys(const SshServer& ssh, bool trusted) const
    {
        QDir(home.filePath(".ssh")).removeRecursively();
        QDir().mkpath(home.filePath(".ssh"));
        QVERIFY(QFile::copy(ssh.clientKey(), home.filePath(".ssh/id_ed25519")));
        if (trusted)
            QVERIFY(writeFile(SshHostKeys::knownHostsPath(), ssh.knownHostsLine() + '\n'));
    }

private slots:
    void initTestCase() { qputenv("HOME", QFile::encodeName(home.path())); }

    void requestsOnEveryServer_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind :
             {"FTP", "FTP without MLSD", "FTPS", "FTP renaming not over a file", "SFTP", "file"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void requestsOnEveryServer()
    {
        QFETCH(QString, kind);
        std::optional<FtpTestServer> ftp;
        std::optional<SshServer> ssh;
        QTemporaryDir folder, local;
        QString address = QUrl::fromLocalFile(folder.path()).toString(), root = folder.path();
        RequestDefaults login;
        login.timeout = 30;
        if (kind == u"SFTP") {
            ssh.emplace();
            REQUIRE_RUNNING(*ssh);
            useSshKeys(*ssh, true);
            address = ssh->url(), root = ssh->root(), login.userName = ssh->user();
        } else if (kind != u"file") {
            ftp.emplace(kind == u"FTPS" ? FtpTestServer::Security::Tls
                                        : FtpTestServer::Security::Plain);
            REQUIRE_RUNNING(*ftp);
            ftp->setMlsdSupported(kind != u"FTP without MLSD");
            if (kind.contains("renaming"))
                ftp->setRenaming(FtpTestServer::Renaming::NotOverExisting);
            address = ftp->url(), root = ftp->root(), login = ftpLogin(*ftp);
        }
        NetSession session(address, login);
        const QByteArray bytes = binaryBytes(1024 * 1024 + 17);
        const QString source = local.filePath("my docs/page one.html"),
                      home = local.filePath("home.html"), back = local.filePath("back.bin");
        QVERIFY(writeFile(root + "/index.html", "old home") && writeFile(source, bytes) &&
                writeFile(home, "new home") && QDir().mkpath(root + "/sub dir"));

        // Staged beside the target with every byte counted, then put in place.
        NetRequest* staged = session.stage(source, "sub dir/page#1.html");
        const Progress up(staged);
        QCOMPARE(waitFor(staged), QString());
        QVERIFY(up.roseTo(bytes.size()));
        QCOMPARE(filesIn(root + "/sub dir"), QStringList{"page#1.html.pagewick-upload"});
        QCOMPARE(waitFor(session.place("sub dir/page#1.html")), QString());
        QCOMPARE(readFile(root + "/sub dir/page#1.html"), bytes);
        QCOMPARE(filesIn(root + "/sub dir"), QStringList{"page#1.html"});
        // Requests made at once run in order; an existing file is replaced
        // (moved aside first where the server will not rename over it) and
        // nothing is left beside it; a discarded copy is gone.
        NetRequest* second = session.stage(home, "index.html");
        NetRequest* placed = session.place("index.html");
        NetRequest* third = session.stage(home, "gone.html");
        NetRequest* discarded = session.discard("gone.html");
        QCOMPARE(waitFor(discarded) + waitFor(third) + waitFor(placed) + waitFor(second),
                 QString());
        QCOMPARE(readFile(root + "/index.html"), QByteArray("new home"));
        // A file's size and time as the server tells them; a missing file
        // is an answer.
        NetRequest *facts = session.facts("index.html"), *absent = session.facts("none.html");
        QCOMPARE(waitFor(facts) + waitFor(absent), QString());
        const FileFacts told = facts->result().facts;
        const qint64 time = QFileInfo(root + "/index.html").lastModified().toSecsSinceEpoch();
        QVERIFY2(
            told == FileFacts({true, 8, time}) && !absent->result().facts.exists,
            qPrintable(QStringLiteral("%1 %2 %3").arg(told.size).arg(told.modified).arg(time)));
        const QByteArray listing = dataOf(session.list());
        QVERIFY2(names(listing) == QByteArrayList({"index.html", "sub dir/"}), listing.constData());
        // A named folder is listed where it is, one that is not there lists
        // nothing; a folder is made with those above it, and again without
        // complaint.
        QCOMPARE(names(dataOf(session.listFolder("sub dir"))), QByteArrayList{"page#1.html"});
        QCOMPARE(dataOf(session.listFolder("none/deeper")), QByteArray());
        QCOMPARE(waitFor(session.makeFolder("new/deeper")) + waitFor(session.makeFolder("new")),
                 QString());
        QVERIFY(QFileInfo(root + "/new/deeper").isDir());

        // The current folder moves; downloads replace the local file whole.
        QCOMPARE(dataOf(session.changeFolder("sub dir")), QByteArray());
        QVERIFY(dataOf(session.currentFolder()).endsWith("/sub dir"));
        QVERIFY(writeFile(back, "older"));
        NetRequest* down = session.download("page#1.html", back);
        const Progress progress(down);
        QCOMPARE(waitFor(down), QString());
        QVERIFY(progress.roseTo(bytes.size()));
        QCOMPARE(readFile(back), bytes);
        QCOMPARE(dataOf(session.download("../index.html")), QByteArray("new home"));
        // What is not there is the server's 550; the local file stays.
        NetRequest* missing = session.download("missing.html", back);
        QVERIFY(waitFor(missing).startsWith(QString::number(TransferError::RequestFailed)));
        QCOMPARE(missing->result().responseCode, 550);
        QCOMPARE(readFile(back), bytes);
        QCOMPARE(filesIn(local.path()), QStringList({"back.bin", "home.html"}));
        if (ftp && !kind.contains("renaming")) // all on one connection (libcurl drops it
                                               // after a refused rename)
            QCOMPARE(QList<int>({ftp->connectionCount(), ftp->loginCount()}), QList<int>({1, 1}));
    }

    // Control characters anywhere are refused before anything is sent.
    void refusedBeforeSending()
    {
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QVERIFY(ftp.writeFile("victim.html", "keep me"));
        const QString dele = "\r\nDELE victim.html";
        RequestDefaults user = ftpLogin(ftp), password = ftpLogin(ftp);
        user.userName += dele, password.password += dele;
        NetSession bad(ftp.url() + "/a%0D%0ADELE%20victim.html", ftpLogin(ftp)),
            badUser(ftp.url(), user), badPassword(ftp.url(), password),
            good(ftp.url(), ftpLogin(ftp));
        const QStringList errors{waitFor(bad.list()), waitFor(badUser.list()),
                                 waitFor(badPassword.list()), waitFor(good.download("x" + dele)),
                                 waitFor(good.stage(home.filePath("none" + dele), "x.html"))};
        for (const QString& error : errors)
            QVERIFY2(error.contains("contains a control character (code 13); nothing was sent"),
                     qPrintable(error));
        QCOMPARE(ftp.connectionCount(), 0);
        QCOMPARE(ftp.readFile("victim.html"), QByteArray("keep me"));
    }

    void faults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("request"); // stage, place, download, facts
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("detail");
        const int failed = TransferError::RequestFailed, lost = TransferError::ConnectionLost;
        QTest::newRow("upload arrived incomplete") << "lose"
                                                   << "stage" << lost << "5000 of";
        QTest::newRow("disk full") << "full"
                                   << "stage" << failed << "452";
        QTest::newRow("dropped during upload") << "drop"
                                               << "stage" << lost << "";
        QTest::newRow("dropped during download") << "drop"
                                                 << "download" << lost << "";
        QTest::newRow("stalled download")
            << "stall"
            << "download" << int(TransferError::TimedOut) << "no answer for 2 seconds";
        QTest::newRow("no renaming") << "rename"
                                     << "place" << failed << "was not changed";
        QTest::newRow("MDTM unanswered")
            << "hang"
            << "facts" << int(TransferError::TimedOut) << "no answer for 2 seconds";
    }

    // Both sides as they were after each fault: the live file untouched, no
    // partial copy on the server, no partial download beside the local file.
    void faults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, request);
        QFETCH(int, number);
        QFETCH(QString, detail);
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QTemporaryDir local;
        const QByteArray live(1024 * 1024, 'L'), upload = binaryBytes(2 * 1024 * 1024);
        const QString source = local.filePath("new.html"), old = local.filePath("old.html");
        QVERIFY(ftp.writeFile("live.html", live) && writeFile(source, upload) &&
                writeFile(old, "old page"));
        if (request == u"place")
            QVERIFY(ftp.writeFile("live.html.pagewick-upload", upload));
        NetSession session(ftp.url(), ftpLogin(ftp, 2));
        QCOMPARE(dataOf(session.currentFolder()), QByteArray("/"));
        if (fault == u"lose" || fault == u"full")
            fault == u"lose" ? ftp.setLoseAfter(5000) : ftp.setDiskFullAfter(5000);
        else if (fault == u"drop" || fault == u"stall")
            fault == u"drop" ? ftp.setDropAfter(100 * 1024) : ftp.setStallAfter(64 * 1024);
        else if (fault == u"hang")
            ftp.hangOn("MDTM");
        else
            ftp.setRenaming(FtpTestServer::Renaming::Refused);
        NetRequest* r = request == u"stage"   ? session.stage(source, "live.html")
                        : request == u"place" ? session.place("live.html")
                        : request == u"facts" ? session.facts("live.html")
                                              : session.download("live.html", old);
        const QString error = waitFor(r);
        QVERIFY2(error.startsWith(QString::number(number)) && error.contains(detail),
                 qPrintable(error));
        QCOMPARE(ftp.readFile("live.html"), live);
        QCOMPARE(filesIn(ftp.root()), request == u"place"
                                          ? QStringList({"live.html", "live.html.pagewick-upload"})
                                          : QStringList{"live.html"});
        QCOMPARE(readFile(old), QByteArray("old page"));
        QCOMPARE(filesIn(local.path()), QStringList({"new.html", "old.html"}));
    }

    void abortEndsAtOnce_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("hang"); // the command never answered, or "" for a slow server
        QTest::newRow("throttled upload") << "stage"
                                          << "";
        QTest::newRow("throttled download") << "download"
                                            << "";
        QTest::newRow("STOR unanswered") << "stage"
                                         << "STOR";
        QTest::newRow("RETR unanswered") << "download"
                                         << "RETR";
        QTest::newRow("HTTP, slow answer") << "get"
                                           << "";
    }

    // To its end too, where libcurl waits for the server's reply to an FTP
    // upload without returning while the server reads what is still on its
    // way: about 1.2 s with this server reading 160 KB/s, 6 s without the
    // small send buffer.
    void eventLoopRunsDuringAThrottledUpload()
    {
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QTemporaryDir local;
        QVERIFY(writeFile(local.filePath("new.html"), binaryBytes(1024 * 1024)));
        ftp.setSlow(50, 8192);
        NetSession session(ftp.url(), ftpLogin(ftp));
        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        QTimer ticker;
        ticker.callOnTimeout([&] { longestGap = std::max(longestGap, sinceTick.restart()); });
        NetRequest* r = session.stage(local.filePath("new.html"), "page.html");
        sinceTick.start();
        ticker.start(10);
        QCOMPARE(waitFor(r), QString());
        QVERIFY2(longestGap < 3000, qPrintable(QString::number(longestGap)));
    }

    // abort() ends the request before it returns, also in the middle of a
    // transfer or of a command the server never answers; the staged copy
    // goes, the live and the local file stay, and the session goes on. The
    // event loop never stopped meanwhile.
    void abortEndsAtOnce()
    {
        QFETCH(QString, request);
        QFETCH(QString, hang);
        FtpTestServer ftp;
        HttpTestServer http;
        REQUIRE_RUNNING(ftp);
        REQUIRE_RUNNING(http);
        QTemporaryDir local, sources;
        const QByteArray big = binaryBytes(2 * 1024 * 1024);
        const QString source = sources.filePath("new.html"), old = local.filePath("old.html");
        QVERIFY(ftp.writeFile("live.html", "live") && ftp.writeFile("big.bin", big) &&
                http.writeFile("big.bin", big) && writeFile(source, big) &&
                writeFile(old, "old page"));
        NetSession session(request == u"get" ? http.url("/big.bin") : ftp.url(), ftpLogin(ftp));
        QCOMPARE(waitFor(session.currentFolder()).isEmpty(), request != u"get");
        if (!hang.isEmpty())
            ftp.hangOn(hang);
        else
            ftp.setSlow(50, 8192), http.setAnswer("/big.bin", "slow 50 8192");

        QElapsedTimer sinceTick;
        qint64 ticks = 0, longestGap = 0;
        QTimer ticker;
        ticker.callOnTimeout([&] {
            longestGap = std::max(longestGap, sinceTick.restart());
            ++ticks;
        });
        NetRequest* r = request == u"stage"      ? session.stage(source, "live.html")
                        : request == u"download" ? session.download("big.bin", old)
                                                 : session.get();
        const Progress progress(r);
        sinceTick.start();
        ticker.start(10);
        if (hang.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(
                !progress.seen.isEmpty() && progress.seen.last().first > 64 * 1024, Wait);
        else
            QTRY_VERIFY_WITH_TIMEOUT(ftp.logLines().contains("HANG"), Wait);
        QTest::qWait(300);
        QVERIFY2(ticks >= 20 && longestGap < 200, qPrintable(QString::number(longestGap)));
        QVERIFY(!r->isFinished());

        QElapsedTimer took;
        took.start();
        r->abort();
        QVERIFY(took.elapsed() < 1000 && r->isFinished());
        QCOMPARE(r->result().error.number(), TransferError::Cancelled);
        // The staged copy goes before the next request.
        ftp.resetBehaviour();
        QTRY_VERIFY_WITH_TIMEOUT(!ftp.fileExists("live.html.pagewick-upload"), 1000);
        QCOMPARE(filesIn(ftp.root()), QStringList({"big.bin", "live.html"}));
        QCOMPARE(ftp.readFile("live.html"), QByteArray("live"));
        QCOMPARE(readFile(old), QByteArray("old page"));
        QCOMPARE(filesIn(local.path()), QStringList{"old.html"});
        if (request != u"get")
            QCOMPARE(names(dataOf(session.list())), QByteArrayList({"big.bin", "live.html"}));
    }

    void httpGet()
    {
        HttpTestServer http;
        REQUIRE_RUNNING(http);
        const QByteArray bytes = binaryBytes(300 * 1024);
        QVERIFY(http.writeFile("page.bin", bytes));
        http.setAnswer("/missing.html", "404");
        NetSession page(http.url("/page.bin"), {}), missing(http.url("/missing.html"), {});
        NetRequest* r = page.get();
        const Progress progress(r);
        QCOMPARE(dataOf(r), bytes);
        QVERIFY(progress.roseTo(bytes.size()));
        QVERIFY(r->result().headers.startsWith("HTTP/1.1 200"));
        // An HTTP error status is an answer, not a failure.
        NetRequest* absent = missing.get();
        QCOMPARE(waitFor(absent), QString());
        QVERIFY(absent->result().headers.startsWith("HTTP/1.1 404"));
        QVERIFY(waitFor(page.list()).contains("HTTP addresses support GET only."));
    }

    // An unknown SFTP server is put to the user from the event loop; a Yes
    // remembers its key and the request goes on, a No sends nothing. A
    // session with no one to ask refuses it as a No does.
    void sftpUnknownHost_data()
    {
        QTest::addColumn<bool>("trust");
        QTest::addColumn<bool>("asked");
        QTest::newRow("trusted") << true << true;
        QTest::newRow("not trusted") << false << true;
        QTest::newRow("no one to ask") << false << false;
    }

    void sftpUnknownHost()
    {
        QFETCH(bool, trust);
        QFETCH(bool, asked);
        SshServer ssh;
        REQUIRE_RUNNING(ssh);
        useSshKeys(ssh, false);
        QVERIFY(writeFile(ssh.root() + "/page.html", "page"));
        ScriptedPrompt p;
        p.answers << (trust ? Answer::Yes : Answer::No);
        RequestDefaults login;
        login.userName = ssh.user();
        NetSession session(ssh.url(), login);
        if (asked)
            session.setPrompt(&p);
        const QByteArray got = dataOf(session.download("page.html"));
        QCOMPARE(p.messages.size(), int(asked));
        QVERIFY2(got == (trust ? "page"
                               : QByteArray::number(TransferError::SecureConnectionFailed) +
                                     " The host key of the server 127.0.0.1 (port " +
                                     QByteArray::number(ssh.port()) + ") (" +
                                     ssh.hostFingerprint().toUtf8() +
                                     ") was not trusted, so nothing was sent."),
                 got.constData());
        QCOMPARE(readFile(SshHostKeys::knownHostsPath()),
                 trust ? ssh.knownHostsLine() + '\n' : QByteArray("<missing>"));
        QCOMPARE(ssh.log().count("Accepted publickey"), int(trust));
    }
};

QTEST_GUILESS_MAIN(TestNetSession)
#include "tst_netsession.moc"
