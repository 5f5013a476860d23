// The transfer control against a real local FTP server (plain and TLS) and
// local folders: the requests, what each fault leaves on both sides, and how
// an upload is put in place.

#include "net/TransferRun.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QUrl>

#include <optional>

using namespace PublishFixture;
using namespace TransferRun;

namespace {

// The names of an LS listing, sorted, after checking that every line ends
// with CR LF.
QStringList names(const QByteArray& listing)
{
    if (!listing.endsWith("\r\n") || listing.count('\n') != listing.count("\r\n"))
        return {QString::fromLatin1("badly ended lines: " + listing.toPercentEncoding())};
    QStringList names = QString::fromUtf8(listing.chopped(2)).split(QStringLiteral("\r\n"));
    names.sort();
    return names;
}

// An FTP server, a local folder and a control that logs in to the server.
struct FtpCase
{
    FtpCase() { useFtp(inet, server); }
    QString path(const QString& name) const { return local.filePath(name); }

    FtpTestServer server;
    QTemporaryDir local;
    TransferClient inet;
    Runner run{inet};
};
// A fault of the server, or a request, set up on a case.
using Fault = void (*)(FtpCase&);

void putLive(FtpCase& c)
{
    c.inet.upload(c.path("new.html"), "live.html");
}

void getLive(FtpCase& c)
{
    c.inet.download("live.html", c.path("old.html"));
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestFtpTransfer : public QObject
{
    Q_OBJECT

private slots:
    void requestsOnEveryServer_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"FTP", "FTP without MLSD", "FTPS", "file"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void requestsOnEveryServer()
    {
        QFETCH(QString, kind);
        std::optional<FtpTestServer> ftp;
        QTemporaryDir folder, local;
        TransferClient inet;
        Runner run(inet);
        const auto pwd = [&] { inet.currentFolder(); };
        const auto ls = [&] { inet.list(); };
        if (kind == u"file") {
            inet.setUrl(QUrl::fromLocalFile(folder.path()).toString());
        } else {
            ftp.emplace(kind == u"FTPS" ? FtpTestServer::Security::Tls
                                        : FtpTestServer::Security::Plain);
            REQUIRE_RUNNING(*ftp);
            ftp->setMlsdSupported(kind != u"FTP without MLSD");
            useFtp(inet, *ftp);
        }
        if (kind == u"FTPS") { // an untrusted certificate: the credentials never go out
            RUN_FAILS(run, pwd, TransferError::SecureConnectionFailed, 0);
            ERROR_SAYS(inet, "certificate could not be verified");
            QVERIFY(ftp->commands().filter(QRegularExpression("^(USER|PASS)")).isEmpty());
            inet.setCaCertificates(TestServerBase::certificateFile());
            ftp->clearLog();
        }
        const QString root = ftp ? ftp->root() : folder.path();
        const QByteArray bytes = binaryBytes(1024 * 1024 + 17);
        const QString source = local.filePath("my docs/page one.html");
        QVERIFY(writeFile(root + "/index.html", "home") &&
                writeFile(root + "/data.bin", binaryBytes(5000)) && writeFile(source, bytes) &&
                writeFile(root + "/say \"hi\".html", "hi"));
        QVERIFY(QDir().mkpath(root + "/www/blog") && QDir().mkpath(root + "/sub dir"));
        QVERIFY(QFile::link("index.html", root + "/link.html")); // listed under its own name

        // A fresh request passes the states once each, in order.
        QCOMPARE(run.output(pwd), QByteArray("/"));
        QVERIFY(run.statesRoseTo(TransferState::ResponseCompleted));
        using S = TransferState;
        for (const S state : {S::Connecting, S::Connected, S::SendingRequest, S::ReceivingResponse,
                              S::ResponseReceived})
            QVERIFY(!ftp || run.states().contains(int(state)));
        // Blanks in names on both sides. Nothing but the target is left on
        // the server.
        RUN_OK(run, [&] { inet.upload(source, "sub dir/my page#1.html"); });
        QCOMPARE(readFile(root + "/sub dir/my page#1.html"), bytes);
        QCOMPARE(filesIn(root + "/sub dir"), QStringList{"my page#1.html"});
        QCOMPARE(names(run.output(ls)), QStringList({"data.bin", "index.html", "link.html",
                                                     "say \"hi\".html", "sub dir/", "www/"}));
        if (kind == u"FTP" || kind == u"FTPS") // the exact listing where the server has one
            QVERIFY(!ftp->commands().filter(QRegularExpression("^MLSD")).isEmpty());

        // Relative names are taken from the current directory; ".." stops
        // at the root; a directory change gives no data.
        QCOMPARE(run.output([&] { inet.changeFolder("sub dir"); }), QByteArray());
        QCOMPARE(run.output(ls), QByteArray("my page#1.html\r\n"));
        const QString back = local.filePath("back.bin"), copy = local.filePath("my docs/copy.html"),
                      quoted = local.filePath("my docs/\"x\" y.html");
        RUN_OK(run, [&] { inet.download("my page#1.html", back); });
        QByteArrayList dirs;
        for (const char* dir : {"/www/blog", "..", "../.."}) {
            dirs << run.output([&] { inet.changeFolder(dir); });
            dirs.last() += run.output(pwd);
        }
        QCOMPARE(dirs, QByteArrayList({"/www/blog", "/www", "/"}));
        // Quotes in names on both sides.
        RUN_OK(run, [&] { inet.download("sub dir/my page#1.html", copy); });
        RUN_OK(run, [&] { inet.download("/say \"hi\".html", quoted); });
        QCOMPARE(QByteArrayList({readFile(back), readFile(copy), readFile(quoted)}),
                 QByteArrayList({bytes, bytes, "hi"}));
        // An existing local file is replaced, not appended to.
        RUN_OK(run, [&] { inet.download("index.html", copy); });
        QCOMPARE(readFile(copy), QByteArray("home"));
        // Without a local file the data is left for readChunk. All of it
        // over one connection.
        QCOMPARE(run.output([&] { inet.download("data.bin"); }), binaryBytes(5000));
        if (ftp)
            QCOMPARE(QList<int>({ftp->connectionCount(), ftp->loginCount()}), QList<int>({1, 1}));

        // What is not there is the server's error; nothing is written and
        // the directory stays.
        RUN_FAILS(
            run, [&] { inet.download("missing.html", local.filePath("missing.html")); },
            TransferError::RequestFailed, 550);
        QVERIFY(!QFileInfo::exists(local.filePath("missing.html")));
        RUN_FAILS(
            run, [&] { inet.changeFolder("nowhere"); }, TransferError::RequestFailed, 550);
        QCOMPARE(run.output(pwd), QByteArray("/"));
        // fetch fetches a document there too (and makes it the address).
        const QString url = inet.url();
        QCOMPARE(fetched(inet, ftp ? url + "/index.html"
                                   : QUrl::fromLocalFile(root + "/index.html").toString()),
                 QByteArray("home"));
        if (!ftp) {
            inet.setUrl(QUrl::fromLocalFile(folder.filePath("no such folder")).toString());
            RUN_FAILS(run, ls, TransferError::CannotConnect, 0);
            return;
        }
        // close() logs out; a new log-in starts in the directory the address
        // names, or in the log-in directory.
        const auto close = [&] { inet.close(); };
        RUN_OK(run, close);
        QCOMPARE(run.states(), QList<int>({int(S::Disconnecting), int(S::Disconnected),
                                           int(S::ResponseCompleted)}));
        const int logins = ftp->loginCount();
        inet.setUrl(url + "/www");
        QCOMPARE(run.output(ls), QByteArray("blog/\r\n"));
        QCOMPARE(ftp->loginCount(), logins + 1);
        if (kind != u"FTPS") { // a bare host name means FTP
            RUN_OK(run, close);
            inet.setUrl(QStringLiteral("127.0.0.1:%1").arg(ftp->port()));
            QCOMPARE(run.output(pwd), QByteArray("/"));
        }
    }

    void ftpFaults_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<Fault>("request");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("code");       // the server's reply, 0: none
        QTest::addColumn<QString>("detail"); // in the error's description
        const auto row = [](const char* name, Fault fault, Fault request, int number, int code = 0,
                            const char* detail = "") {
            QTest::newRow(name) << fault << request << number << code << QString(detail);
        };
        const Fault put = &putLive, get = &getLive;
        const int failed = TransferError::RequestFailed, lost = TransferError::ConnectionLost;
        const Fault deny = [](FtpCase& c) { c.server.denyAccess("/locked"); };
        const Fault drop = [](FtpCase& c) { c.server.setDropAfter(100 * 1024); };
        const Fault lose = [](FtpCase& c) { c.server.setLoseAfter(5000); };
        const Fault stall = [](FtpCase& c) { c.server.setStallAfter(64 * 1024); };
        row(
            "no permission: folder", deny, [](FtpCase& c) { c.inet.changeFolder("/locked"); },
            failed, 550);
        row(
            "no permission: download", deny,
            [](FtpCase& c) { c.inet.download("/locked/live.html", c.path("old.html")); }, failed,
            550);
        // Answered 226, but the size check finds the copy short.
        row("upload arrived incomplete", lose, put, lost, 0, "5000 of 2097152");
        row("dropped during download", drop, get, lost);
        row("stalled past the time-out", stall, get, TransferError::TimedOut);
    }

    void ftpFaults()
    {
        QFETCH(Fault, fault);
        QFETCH(Fault, request);
        QFETCH(int, number);
        QFETCH(int, code);
        QFETCH(QString, detail);
        FtpCase c;
        REQUIRE_RUNNING(c.server);
        const QByteArray live = QByteArray(1024 * 1024, 'L'), upload = binaryBytes(2 * 1024 * 1024);
        QVERIFY(c.server.writeFile("live.html", live) &&
                c.server.writeFile("locked/live.html", live));
        QVERIFY(writeFile(c.path("new.html"), upload) &&
                writeFile(c.path("old.html"), "the good old page"));
        c.inet.setRequestTimeout(2);
        fault(c);

        const auto start = [&] { request(c); };
        RUN_FAILS(c.run, start, number, code);
        ERROR_SAYS(c.inet, detail);
        QCOMPARE(c.inet.responseText().isEmpty(), code == 0);
        QCOMPARE(readChunks(c.inet), QByteArray());
        // Both sides as they were: the live files untouched, no partial copy
        // left on the server, no partial download beside the local files.
        QCOMPARE(c.server.readFile("live.html") + c.server.readFile("locked/live.html"),
                 live + live);
        QCOMPARE(filesIn(c.server.root()), QStringList{"live.html"});
        QCOMPARE(QByteArrayList({readFile(c.path("new.html")), readFile(c.path("old.html"))}),
                 QByteArrayList({upload, "the good old page"}));
        QCOMPARE(filesIn(c.local.path()), QStringList({"new.html", "old.html"}));

        // Once the server is right again the same request succeeds, on a new
        // connection where the old one broke, and the old answer is gone.
        c.server.resetBehaviour();
        useFtp(c.inet, c.server);
        RUN_OK(c.run, start);
        QCOMPARE(c.inet.responseText(), QString());
        if (request == &putLive)
            QCOMPARE(c.server.readFile("live.html"), upload);
        else if (request == &getLive)
            QCOMPARE(readFile(c.path("old.html")), live);
    }

    void slowButMovingTransferDoesNotTimeOut()
    {
        FtpCase c;
        REQUIRE_RUNNING(c.server);
        const QByteArray bytes = binaryBytes(128 * 1024);
        QVERIFY(c.server.writeFile("page.html", bytes));
        // Eight blocks with a pause after each: longer than the time-out in
        // all, but never quiet for that long.
        c.server.setSlow(400, 16 * 1024);
        c.inet.setRequestTimeout(2);
        RUN_OK(c.run, [&] { c.inet.download("page.html", c.path("page.html")); });
        QCOMPARE(readFile(c.path("page.html")), bytes);
    }

    void requestWhileRequestingAndCancel()
    {
        FtpCase c;
        REQUIRE_RUNNING(c.server);
        QVERIFY(c.server.writeFile("page.html", binaryBytes(1024 * 1024)));
        c.server.setStallAfter(64 * 1024);
        c.inet.download("page.html", c.path("page.html"));

        // A second request is refused; the first goes on.
        QCOMPARE(c.run([&] { c.inet.currentFolder(); }),
                 QString("refused %1 Still executing last request").arg(TransferError::isBusy));
        QVERIFY(!c.inet.fetch(c.server.url() + "/page.html"));
        QCOMPARE(c.inet.lastError().number(), TransferError::isBusy);
        QTRY_VERIFY_WITH_TIMEOUT(c.server.logLines().contains("STALL"), Wait);
        QVERIFY(c.inet.isBusy());

        // Far below the 30 s time-out: Cancel does not wait for the server.
        QElapsedTimer clock;
        clock.start();
        c.inet.cancel();
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!c.inet.isBusy());
        QCOMPARE(c.inet.lastError().number(), TransferError::Cancelled);
        QTRY_COMPARE(c.run.lastState(), int(TransferState::Disconnected));
        QCOMPARE(filesIn(c.local.path()), QStringList());

        // The control is usable again, on a new connection.
        c.server.resetBehaviour();
        QCOMPARE(c.run.output([&] { c.inet.list(); }), QByteArray("page.html\r\n"));
        QCOMPARE(c.server.connectionCount(), 2);
    }

    // The end of a request may start the next one on another address: the
    // session it replaces is still reporting then, and outlives that.
    void otherAddressFromTheEndOfARequest()
    {
        FtpCase c;
        REQUIRE_RUNNING(c.server);
        QVERIFY(writeFile(c.path("page.html"), "local page"));
        int ends = 0;
        connect(&c.inet, &TransferClient::finished, this, [&] {
            if (++ends == 1) {
                c.inet.setUrl(QUrl::fromLocalFile(c.local.path()).toString());
                c.inet.list();
            }
        });
        QCOMPARE(c.run([&] { c.inet.currentFolder(); }), QString()); // and then the listing
        QCOMPARE(ends, 2);
        QCOMPARE(readChunks(c.inet), QByteArray("page.html\r\n"));
        QCOMPARE(c.server.loginCount(), 1);
    }

    // Control characters in any field and requests that cannot be made are
    // refused before anything is sent: no connection at all.
    void refusedBeforeSending()
    {
        FtpCase c;
        REQUIRE_RUNNING(c.server);
        QVERIFY(c.server.writeFile("victim.html", "keep me") && writeFile(c.path("up.html"), "x"));
        const QString dele = "\r\nDELE victim.html", ftp = c.server.url(), up = c.path("up.html");
        const int command = TransferError::InvalidCommand, url = TransferError::InvalidUrl;
        using Set = void (TransferClient::*)(const QString&);
        const Set pw = &TransferClient::setPassword, user = &TransferClient::setUserName,
                  at = &TransferClient::setUrl;
        using Request = std::function<void(TransferClient&)>;
        const Request pwd = [](TransferClient& inet) { inet.currentFolder(); };
        const struct
        {
            Set set; // sets `value`, if any, before `request` runs
            QString value;
            Request request;
            int number;
            bool control; // a control character: the description says so
        } rows[] = {
            {pw, "secret" + dele, pwd, command, true},
            {user, "tester" + dele, pwd, command, true},
            {{},
             {},
             [&](TransferClient& inet) { inet.download("victim.html" + dele); },
             command,
             true},
            {{},
             {},
             [&](TransferClient& inet) { inet.download("victim.html", up + dele); },
             command,
             true},
            {{},
             {},
             [&](TransferClient& inet) { inet.upload(up, "new.html\nDELE victim.html"); },
             command,
             true},
            {{},
             {},
             [](TransferClient& inet) { inet.changeFolder("www\rDELE victim.html"); },
             command,
             true},
            {{},
             {},
             [](TransferClient& inet) { inet.facts(QString("www") + QChar(0x7f)); },
             command,
             true},
            {at, ftp + dele, pwd, url, true},
            {at, ftp + "/www%0D%0ADELE%20victim.html", pwd, url, true},
            {at, ftp + "/a\tb", pwd, url, true},
            {at, "", pwd, url, false},
            {at, "gopher://127.0.0.1/", pwd, url, false},
            {{}, {}, [](TransferClient& inet) { inet.changeFolder({}); }, command, false},
            {{}, {}, [](TransferClient& inet) { inet.place({}); }, command, false},
            {{},
             {},
             [](TransferClient& inet) { inet.stage("/no/such/file.html", "x.html"); },
             TransferError::LocalFileError,
             false},
            // Neither a document over FTP nor an FTP request over HTTP.
            {{}, {}, [](TransferClient& inet) { inet.get(); }, command, false},
            {at, QString("http://127.0.0.1:%1/").arg(c.server.port()),
             [&](TransferClient& inet) { inet.upload(up, "b"); }, command, false},
        };
        for (const auto& r : rows) {
            TransferClient inet;
            useFtp(inet, c.server);
            Runner run(inet);
            if (r.set)
                (inet.*r.set)(r.value);
            const QString error = run([&] { r.request(inet); }),
                          prefix = QString("refused %1 ").arg(r.number);
            QVERIFY2(error.startsWith(prefix) && error.size() > prefix.size() &&
                         (!r.control || error.contains("control character")) && !inet.isBusy() &&
                         run.states().isEmpty(),
                     qPrintable(r.value + ": " + error));
        }
        QTest::qWait(200);
        QCOMPARE(c.server.connectionCount(), 0);
        QCOMPARE(c.server.readFile("victim.html"), QByteArray("keep me"));
    }

    // On servers that rename differently: the live file is the old one or
    // the new one, never missing and never deleted to make room, and
    // nothing is left beside it.
    void uploadPlacement_data()
    {
        QTest::addColumn<int>("renaming");
        QTest::addColumn<bool>("targetExists");
        QTest::addColumn<bool>("replaced");
        using R = FtpTestServer::Renaming;
        QTest::newRow("rename over") << int(R::Allowed) << true << true;
        QTest::newRow("moved aside, existing") << int(R::NotOverExisting) << true << true;
        QTest::newRow("moved aside, new file") << int(R::NotOverExisting) << false << true;
        QTest::newRow("renames refused, existing") << int(R::Refused) << true << false;
        QTest::newRow("renames refused, new file") << int(R::Refused) << false << false;
    }

    void uploadPlacement()
    {
        QFETCH(int, renaming);
        QFETCH(bool, targetExists);
        QFETCH(bool, replaced);
        FtpCase c;
        REQUIRE_RUNNING(c.server);
        const QByteArray old = "old page", fresh = binaryBytes(70000);
        QVERIFY(targetExists ? c.server.writeFile("www/index.html", old)
                             : QDir().mkpath(c.server.rootPath("www")));
        QVERIFY(writeFile(c.path("new.html"), fresh));
        c.server.setRenaming(FtpTestServer::Renaming(renaming));

        const auto put = [&] { c.inet.upload(c.path("new.html"), "/www/index.html"); };
        if (replaced) {
            RUN_OK(c.run, put);
            QCOMPARE(c.inet.lastNotice(), QString());
        } else {
            RUN_FAILS(c.run, put, TransferError::RequestFailed, 550);
            ERROR_SAYS(c.inet, "Renaming files is not permitted");
        }
        QCOMPARE(c.server.readFile("www/index.html"), replaced       ? fresh
                                                      : targetExists ? old
                                                                     : "<missing>");
        QVERIFY(!c.server.commands().contains("DELE /www/index.html"));
        QCOMPARE(filesIn(c.server.rootPath("www")),
                 targetExists || replaced ? QStringList{"index.html"} : QStringList());
    }
};

QTEST_GUILESS_MAIN(TestFtpTransfer)
#include "tst_ftptransfer.moc"
