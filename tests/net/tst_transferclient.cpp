// The transfer control against real local servers: FTP (plain and TLS),
// HTTP(S) and local folders, including the failures a web host produces.

#include "PublishFixture.h"
#include "TestServers.h"
#include "net/TransferClient.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <optional>

using namespace PublishFixture;

namespace {

constexpr int Wait = 60000; // generous limit for one request to finish

// Every byte value, then random bytes, `size` bytes in all.
QByteArray binaryBytes(qsizetype size)
{
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size && i < 256; ++i)
        bytes[i] = char(i);
    QRandomGenerator random(4711);
    for (qsizetype i = 256; i < size; ++i)
        bytes[i] = char(random.bounded(256));
    return bytes;
}

void useFtp(TransferClient& inet, const FtpTestServer& server)
{
    inet.setUrl(server.url());
    inet.setUserName(FtpTestServer::User);
    inet.setPassword(FtpTestServer::Password);
    inet.setRequestTimeout(30);
}

// The TransferError that Execute throws, if any.
std::optional<TransferError> refusal(TransferClient& inet, const QString& command)
{
    try {
        inet.execute({}, command);
    } catch (const TransferError& error) {
        return error;
    }
    return std::nullopt;
}

// Everything readChunk hands out, checking that no piece is larger than asked.
QByteArray readChunks(TransferClient& inet, int size = 1024)
{
    QByteArray all;
    for (;;) {
        const QByteArray chunk = inet.readChunk(size, 0);
        if (chunk.isEmpty() || chunk.size() > size)
            return chunk.size() > size ? QByteArray("oversized chunk") : all;
        all += chunk;
    }
}

bool rising(const QList<int>& states)
{
    return std::adjacent_find(states.begin(), states.end(), std::greater_equal<>()) == states.end();
}

QString describe(const QList<int>& states)
{
    QStringList texts;
    for (const int state : states)
        texts << QString::number(state);
    return texts.join(u',');
}

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

// Runs one command of an TransferClient to its end and records the states it raised.
class Runner
{
public:
    explicit Runner(TransferClient& inet) : inet(inet), spy_(&inet, &TransferClient::stateChanged)
    {
    }

    // Starts `command`; true once the request has finished.
    bool run(const QString& command, const QString& url = {})
    {
        spy_.clear();
        try {
            inet.execute(url, command);
        } catch (const TransferError&) {
            return false;
        }
        return QTest::qWaitFor([this] { return !inet.isBusy(); }, Wait);
    }

    // Runs `command` to its end: what went wrong, empty when it succeeded.
    QString failure(const QString& command)
    {
        if (!run(command))
            return "did not finish: " + command;
        const TransferError error = inet.lastError();
        return error.number() ? command + " failed: " + error.description() : QString();
    }

    QList<int> states() const
    {
        QList<int> states;
        for (const QList<QVariant>& call : spy_)
            states << int(call.at(0).value<TransferState>());
        return states;
    }

    TransferClient& inet;

private:
    QSignalSpy spy_;
};

// An FTP server, a local folder and a control that logs in to the server.
struct FtpCase
{
    explicit FtpCase(FtpTestServer::Security security = FtpTestServer::Security::Plain)
        : server(security)
    {
        useFtp(inet, server);
    }
    QString path(const QString& name) const { return local.filePath(name); }

    FtpTestServer server;
    QTemporaryDir local;
    TransferClient inet;
    Runner runner{inet};
};

} // namespace

// Runs `command` to a successful end.
#define RUN_OK(runner, command) QCOMPARE((runner).failure(command), QString())

// Runs `command` to its end, a failure `error` with the server's reply
// `code` (0: none); the last state of a failed request is Error.
#define RUN_FAILS(runner, command, error, code)                                                    \
    do {                                                                                           \
        QVERIFY2((runner).run(command),                                                            \
                 qPrintable(QStringLiteral("did not finish: ") + (command)));                      \
        QCOMPARE((runner).inet.lastError().number(), int(error));                                  \
        QCOMPARE((runner).inet.responseCode(), int(code));                                         \
        QCOMPARE((runner).states().last(), int(TransferState::Error));                             \
    } while (false)

class TestInet : public QObject
{
    Q_OBJECT

private slots:
    // ---- the commands on every kind of server -----------------------------------

    void commandsOnEveryServer_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"FTP", "FTP without MLSD", "FTP with DOS listing", "FTPS", "file"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void commandsOnEveryServer()
    {
        QFETCH(QString, kind);
        std::optional<FtpTestServer> ftp;
        QTemporaryDir folder, local;
        TransferClient inet;
        Runner runner(inet);
        if (kind == u"file") {
            inet.setUrl(QUrl::fromLocalFile(folder.path()).toString());
        } else {
            ftp.emplace(kind == u"FTPS" ? FtpTestServer::Security::Tls
                                        : FtpTestServer::Security::Plain);
            if (!ftp->isRunning() && ftp->errorString().contains("pyOpenSSL"))
                QSKIP(qPrintable(ftp->errorString()));
            REQUIRE_RUNNING(*ftp);
            ftp->setMlsdSupported(kind == u"FTP" || kind == u"FTPS");
            ftp->setDosListing(kind == u"FTP with DOS listing");
            useFtp(inet, *ftp);
        }
        if (kind == u"FTPS") {
            // The test certificate is in no trusted store; the credentials
            // never go out.
            RUN_FAILS(runner, "PWD", TransferError::SecureConnectionFailed, 0);
            QVERIFY2(inet.lastError().description().contains("certificate could not be verified"),
                     qPrintable(inet.lastError().description()));
            QVERIFY(ftp->commands().filter(QRegularExpression("^(USER|PASS)")).isEmpty());
            inet.setCaCertificates(TestServerBase::certificateFile());
            ftp->clearLog();
        }
        const QString root = ftp ? ftp->root() : folder.path();
        QVERIFY(writeFile(root + "/index.html", "home"));
        QVERIFY(writeFile(root + "/data.bin", binaryBytes(5000)));
        QVERIFY(QDir().mkpath(root + "/www/blog"));
        QVERIFY(QDir().mkpath(root + "/sub dir"));
        // A link is listed under its own name ("link.html -> index.html").
        QVERIFY(QFile::link("index.html", root + "/link.html"));
        const QByteArray bytes = binaryBytes(1024 * 1024 + 17);
        const QString source = local.filePath("my docs/page one.html");
        QVERIFY(writeFile(source, bytes));

        // A fresh command passes the states once each, in order.
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/"));
        const QList<int> fresh = runner.states();
        QVERIFY2(rising(fresh) && fresh.last() == int(TransferState::ResponseCompleted) &&
                     !fresh.contains(int(TransferState::Error)),
                 qPrintable(describe(fresh)));
        for (const int state :
             {int(TransferState::Connecting), int(TransferState::Connected),
              int(TransferState::SendingRequest), int(TransferState::ReceivingResponse),
              int(TransferState::ResponseReceived)})
            QVERIFY2(!ftp || fresh.contains(state), qPrintable(describe(fresh)));
        // Without quotes: the longest existing local file, then the remote path.
        RUN_OK(runner, "PUT " + source + " sub dir/my page#1.html");
        QCOMPARE(readFile(root + "/sub dir/my page#1.html"), bytes);
        QVERIFY(!QFileInfo::exists(root + "/sub dir/my page#1.html.pagewick-upload"));
        QCOMPARE(runner.states().last(), int(TransferState::ResponseCompleted));
        RUN_OK(runner, "LS");
        QCOMPARE(names(readChunks(inet)),
                 QStringList({"data.bin", "index.html", "link.html", "sub dir/", "www/"}));
        if (ftp) {
            // Stored under a temporary name beside the target, its size
            // checked, then renamed over the target.
            for (const char* command :
                 {"STOR /sub dir/my page#1.html.pagewick-upload",
                  "SIZE /sub dir/my page#1.html.pagewick-upload", "RNTO /sub dir/my page#1.html"})
                QVERIFY2(ftp->commands().contains(command), qPrintable(command));
            // MLSD is tried first; LIST only when the server does not know it.
            QVERIFY(!ftp->commands().filter(QRegularExpression("^MLSD")).isEmpty());
            QCOMPARE(ftp->commands().filter(QRegularExpression("^LIST")).isEmpty(),
                     kind == u"FTP" || kind == u"FTPS");
        }

        // Relative names are taken from the current directory.
        RUN_OK(runner, "CD sub dir");
        QCOMPARE(inet.readChunk(1024, 0), QByteArray()); // a directory change gives no data
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/sub dir"));
        RUN_OK(runner, "LS");
        QCOMPARE(readChunks(inet), QByteArray("my page#1.html\r\n"));
        RUN_OK(runner, "GET my page#1.html " + local.filePath("back.bin"));
        QCOMPARE(readFile(local.filePath("back.bin")), bytes);
        RUN_OK(runner, "CD /www/blog");
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/www/blog"));
        RUN_OK(runner, "CD ..");
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/www"));
        // ".." stops at the root.
        RUN_OK(runner, "CD ../..");
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/"));

        // The trailing absolute path whose folder exists is the local file;
        // quotes decide where the paths end.
        const QString copy = local.filePath("my docs/copy one.html");
        RUN_OK(runner, "GET sub dir/my page#1.html " + copy);
        QCOMPARE(readFile(copy), bytes);
        const QString quoted = local.filePath("my docs/x y.html");
        RUN_OK(runner, "GET \"/sub dir/my page#1.html\" \"" + quoted + "\"");
        QCOMPARE(readFile(quoted), bytes);
        // An existing local file is replaced, not appended to.
        QVERIFY(writeFile(copy, QByteArray(3 * 1024 * 1024, 'x')));
        RUN_OK(runner, "GET index.html " + copy);
        QCOMPARE(readFile(copy), QByteArray("home"));
        // Without a local file the data is left for readChunk.
        RUN_OK(runner, "GET data.bin");
        QCOMPARE(readChunks(inet), binaryBytes(5000));
        QCOMPARE(inet.readChunk(1024, 1), QByteArray());
        QCOMPARE(inet.responseCode(), 0);

        if (ftp) {
            // All of it over one connection, the later commands without the
            // connection states.
            QCOMPARE(ftp->connectionCount(), 1);
            QCOMPARE(ftp->loginCount(), 1);
            QCOMPARE(ftp->commands().filter(QRegularExpression("^USER ")).size(), 1);
            QVERIFY2(!runner.states().contains(int(TransferState::Connecting)),
                     qPrintable(describe(runner.states())));
        }

        // What is not there is the server's error; the directory stays.
        RUN_FAILS(runner, "GET missing.html " + local.filePath("missing.html"),
                  TransferError::RequestFailed, 550);
        QVERIFY(!QFileInfo::exists(local.filePath("missing.html")));
        RUN_FAILS(runner, "CD nowhere", TransferError::RequestFailed, 550);
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/"));
        // fetch fetches a document there too (and makes it the address).
        const QString url = inet.url();
        QCOMPARE(inet.fetch(ftp ? url + "/index.html"
                                : QUrl::fromLocalFile(root + "/index.html").toString()),
                 QByteArray("home"));
        inet.setUrl(url);

        if (!ftp) {
            inet.setUrl(QUrl::fromLocalFile(folder.filePath("no such folder")).toString());
            RUN_FAILS(runner, "LS", TransferError::CannotConnect, 0);
            return;
        }
        if (kind == u"FTPS") {
            QVERIFY(ftp->commands().first().startsWith("AUTH "));
            QVERIFY(ftp->commands().contains("PROT P"));
        }
        // CLOSE logs out; a new log-in starts in the log-in directory, or in
        // the directory the address names.
        RUN_OK(runner, "CLOSE");
        QCOMPARE(runner.states(),
                 QList<int>({int(TransferState::Disconnecting), int(TransferState::Disconnected),
                             int(TransferState::ResponseCompleted)}));
        QVERIFY(ftp->commands().contains("QUIT"));
        ftp->clearLog();
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/"));
        QCOMPARE(ftp->connectionCount(), 1);
        QCOMPARE(ftp->loginCount(), 1);
        RUN_OK(runner, "CLOSE");
        inet.setUrl(ftp->url() + "/www");
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/www"));
        RUN_OK(runner, "LS");
        QCOMPARE(readChunks(inet), QByteArray("blog/\r\n"));
        if (kind != u"FTPS") { // a bare host name means FTP
            RUN_OK(runner, "CLOSE");
            inet.setUrl(QStringLiteral("127.0.0.1:%1").arg(ftp->port()));
            RUN_OK(runner, "PWD");
            QCOMPARE(readChunks(inet), QByteArray("/"));
        }
    }

    // ---- FTP: failures ------------------------------------------------------------

    void ftpFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("command"); // %local%: the local folder
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("code");       // the server's reply, 0: none
        QTest::addColumn<QString>("detail"); // in the error's description
        const auto row = [](const char* name, const char* fault, const QString& command, int number,
                            int code = 0, const char* detail = "") {
            QTest::newRow(name) << QString(fault) << command << number << code << QString(detail);
        };
        const QString put = "PUT %local%/new.html live.html",
                      get = "GET live.html %local%/old.html";
        const int failed = TransferError::RequestFailed, lost = TransferError::ConnectionLost;
        row("wrong password", "password", "PWD", failed, 530);
        row("server not running", "down", "PWD", TransferError::CannotConnect);
        row("server never answers", "silent", "PWD", TransferError::TimedOut); // it does not greet
        row("no permission: CD", "deny", "CD /locked", failed, 550);
        row("no permission: GET", "deny", "GET /locked/live.html %local%/old.html", failed, 550);
        row("no permission: PUT", "deny", "PUT %local%/new.html /locked/live.html", failed, 550);
        row("disk full", "full", put, failed, 452, "452");
        row("dropped during upload", "drop", put, lost);
        // Answered 226, but the size check finds the copy short.
        row("upload arrived incomplete", "lose", put, lost, 0, "5000 of 2097152");
        row("dropped during download", "drop", get, lost);
        row("stalled past the time-out", "stall", get, TransferError::TimedOut);
    }

    void ftpFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, command);
        QFETCH(int, number);
        QFETCH(int, code);
        QFETCH(QString, detail);
        FtpCase c;
        REQUIRE_RUNNING(c.server);
        const QByteArray live = QByteArray(1024 * 1024, 'L'), upload = binaryBytes(2 * 1024 * 1024);
        QVERIFY(c.server.writeFile("live.html", live));
        QVERIFY(c.server.writeFile("locked/live.html", live));
        QVERIFY(writeFile(c.path("new.html"), upload));
        QVERIFY(writeFile(c.path("old.html"), "the good old page"));
        command.replace("%local%", c.local.path());
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        c.inet.setRequestTimeout(2);
        if (fault == u"password")
            c.inet.setPassword("wrong");
        else if (fault == u"down")
            c.inet.setUrl(QStringLiteral("ftp://127.0.0.1:%1").arg(closedPort()));
        else if (fault == u"silent")
            c.inet.setUrl(QStringLiteral("ftp://127.0.0.1:%1").arg(silent.serverPort()));
        else if (fault == u"deny")
            c.server.denyAccess("/locked");
        else if (fault == u"full")
            c.server.setDiskFullAfter(1000);
        else if (fault == u"drop")
            c.server.setDropAfter(100 * 1024);
        else if (fault == u"lose")
            c.server.setLoseAfter(5000);
        else if (fault == u"stall")
            c.server.setStallAfter(64 * 1024);

        RUN_FAILS(c.runner, command, number, code);
        QVERIFY2(c.inet.lastError().description().contains(detail),
                 qPrintable(c.inet.lastError().description()));
        QCOMPARE(c.inet.responseText().isEmpty(), code == 0);
        QCOMPARE(readChunks(c.inet), QByteArray());
        // Both sides as they were: the live files untouched, no partial
        // download beside the local ones.
        QCOMPARE(c.server.readFile("live.html"), live);
        QCOMPARE(c.server.readFile("locked/live.html"), live);
        QCOMPARE(readFile(c.path("new.html")), upload);
        QCOMPARE(readFile(c.path("old.html")), QByteArray("the good old page"));
        QCOMPARE(QDir(c.local.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"new.html", "old.html"}));
        if (fault == u"full") // the partial upload was cleared away
            QVERIFY(!c.server.fileExists("live.html.pagewick-upload"));
        if (fault == u"silent") // it did connect, then waited in vain
            QVERIFY(silent.hasPendingConnections());

        // Once the server is right again the same command succeeds, on a new
        // connection where the old one broke.
        c.server.resetBehaviour();
        useFtp(c.inet, c.server);
        RUN_OK(c.runner, command);
        QCOMPARE(c.inet.responseCode(), 0);
        QCOMPARE(c.inet.responseText(), QString());
        if (command.startsWith("PUT"))
            QCOMPARE(c.server.readFile(command.section(u' ', 2)), upload);
        else if (command.startsWith("GET"))
            QCOMPARE(readFile(c.path("old.html")), live);
    }

    // Putting an upload in place on servers that rename differently: the
    // live file is the old one or the new one, never missing, and nothing
    // is left beside it.
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
        if (targetExists)
            QVERIFY(c.server.writeFile("www/index.html", old));
        else
            QVERIFY(QDir().mkpath(c.server.rootPath("www")));
        QVERIFY(writeFile(c.path("new.html"), fresh));
        c.server.setRenaming(FtpTestServer::Renaming(renaming));

        if (replaced) {
            RUN_OK(c.runner, "PUT " + c.path("new.html") + " /www/index.html");
            QCOMPARE(c.server.readFile("www/index.html"), fresh);
            QCOMPARE(c.inet.lastNotice(), QString());
        } else {
            RUN_FAILS(c.runner, "PUT " + c.path("new.html") + " /www/index.html",
                      TransferError::RequestFailed, 550);
            QVERIFY2(c.inet.lastError().description().contains("Renaming files is not permitted"),
                     qPrintable(c.inet.lastError().description()));
            QCOMPARE(c.server.fileExists("www/index.html"), targetExists);
            if (targetExists)
                QCOMPARE(c.server.readFile("www/index.html"), old);
        }
        // The live file was never deleted to make room.
        QCOMPARE(c.server.commands().filter(QRegularExpression("^DELE /www/index.html$")),
                 QStringList());
        QCOMPARE(QDir(c.server.rootPath("www")).entryList(QDir::Files | QDir::Hidden),
                 targetExists || replaced ? QStringList{"index.html"} : QStringList());
    }

    // STAGE uploads beside the target without touching it, PLACE puts the
    // staged copy in place, DISCARD drops it.
    void stagedUploads()
    {
        FtpCase c;
        REQUIRE_RUNNING(c.server);
        QVERIFY(c.server.writeFile("www/index.html", "old"));
        QVERIFY(writeFile(c.path("new.html"), "new page"));
        RUN_OK(c.runner, "STAGE " + c.path("new.html") + " /www/index.html");
        QCOMPARE(c.server.readFile("www/index.html"), QByteArray("old"));
        QCOMPARE(c.server.readFile("www/index.html.pagewick-upload"), QByteArray("new page"));
        RUN_OK(c.runner, "DISCARD /www/index.html");
        QVERIFY(!c.server.fileExists("www/index.html.pagewick-upload"));
        QCOMPARE(c.server.readFile("www/index.html"), QByteArray("old"));
        // Nothing staged: PLACE fails and leaves the live file alone.
        RUN_FAILS(c.runner, "PLACE /www/index.html", TransferError::RequestFailed, 550);
        QCOMPARE(c.server.readFile("www/index.html"), QByteArray("old"));
        RUN_OK(c.runner, "STAGE " + c.path("new.html") + " /www/index.html");
        RUN_OK(c.runner, "PLACE /www/index.html");
        QCOMPARE(c.server.readFile("www/index.html"), QByteArray("new page"));
        QCOMPARE(QDir(c.server.rootPath("www")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{"index.html"});
    }

    void ftpSlowButMovingTransferDoesNotTimeOut()
    {
        FtpCase c;
        REQUIRE_RUNNING(c.server);
        const QByteArray bytes = binaryBytes(128 * 1024);
        QVERIFY(c.server.writeFile("page.html", bytes));
        // Eight blocks with a pause after each: longer than the time-out in
        // all, but never quiet for that long.
        c.server.setSlow(400, 16 * 1024);
        c.inet.setRequestTimeout(2);
        RUN_OK(c.runner, "GET page.html " + c.path("page.html"));
        QCOMPARE(readFile(c.path("page.html")), bytes);
    }

    void executeWhileExecutingAndCancel()
    {
        FtpCase c;
        REQUIRE_RUNNING(c.server);
        QVERIFY(c.server.writeFile("page.html", binaryBytes(1024 * 1024)));
        QVERIFY(QDir().mkpath(c.server.rootPath("www")));
        c.server.setStallAfter(64 * 1024);
        QSignalSpy states(&c.inet, &TransferClient::stateChanged);
        c.inet.execute({}, "GET page.html " + c.path("page.html"));
        QVERIFY(c.inet.isBusy());

        // A second request is refused; the first goes on.
        const std::optional<TransferError> error = refusal(c.inet, "PWD");
        QVERIFY(error);
        QCOMPARE(error->number(), TransferError::isBusy);
        QCOMPARE(error->description(), QString("Still executing last request"));
        QVERIFY(c.inet.isBusy());
        QVERIFY(c.inet.fetch(c.server.url() + "/page.html").isEmpty());
        QCOMPARE(c.inet.lastError().number(), TransferError::isBusy);
        QTRY_VERIFY_WITH_TIMEOUT(c.server.logLines().contains("STALL"), Wait);
        QVERIFY(c.inet.isBusy());

        QElapsedTimer clock;
        clock.start();
        c.inet.cancel();
        // Far below the 30 s time-out: Cancel does not wait for the server.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!c.inet.isBusy());
        QCOMPARE(c.inet.lastError().number(), TransferError::Cancelled);
        QTRY_VERIFY(states.size() >= 2 &&
                    states.last().at(0).value<TransferState>() == TransferState::Disconnected);
        QVERIFY(QDir(c.local.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

        // The control is usable again, on a new connection.
        c.server.resetBehaviour();
        RUN_OK(c.runner, "LS");
        QCOMPARE(names(readChunks(c.inet)), QStringList({"page.html", "www/"}));
        QCOMPARE(c.server.connectionCount(), 2);
    }

    void refusedBeforeSending_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value"); // %port%: the server's, %local%: a local file
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("why"); // in the description
        const auto row = [](const char* name, const char* field, const QString& value, int number,
                            const char* why = "control character") {
            QTest::newRow(name) << QString(field) << value << number << QString(why);
        };
        const int command = TransferError::InvalidCommand, url = TransferError::InvalidUrl;
        const QString dele = "\r\nDELE victim.html";
        row("password", "password", "secret" + dele, command);
        row("user", "user", "tester" + dele, command);
        row("GET path", "command", "GET victim.html" + dele, command);
        row("PUT path", "command", "PUT %local% new.html\nDELE victim.html", command);
        row("CD path", "command", "CD www\rDELE victim.html", command);
        row("DEL character", "command", QString("CD www") + QChar(0x7f), command);
        row("address", "url", "ftp://127.0.0.1:%port%" + dele, url);
        row("encoded in address", "url", "ftp://127.0.0.1:%port%/www%0D%0ADELE%20victim.html", url);
        row("tab in address", "url", "ftp://127.0.0.1:%port%/a\tb", url);
        row("no address", "url", "", url, "");
        row("unknown scheme", "url", "gopher://127.0.0.1/", url, "");
        row("unknown command", "command", "FORMAT C:", command, "");
        row("CD without directory", "command", "CD", command, "");
        row("PUT of a missing file", "command", "PUT /no/such/file.html x.html",
            TransferError::LocalFileError, "");
        row("HTTP with an FTP command", "http", "PUT a b", command, "");
    }

    void refusedBeforeSending()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(int, number);
        QFETCH(QString, why);
        FtpCase c;
        REQUIRE_RUNNING(c.server);
        QVERIFY(c.server.writeFile("victim.html", "keep me"));
        QVERIFY(writeFile(c.path("up.html"), "x"));
        value.replace("%port%", QString::number(c.server.port()));
        value.replace("%local%", c.path("up.html"));

        QString command = "PWD";
        if (field == u"password")
            c.inet.setPassword(value);
        else if (field == u"user")
            c.inet.setUserName(value);
        else if (field == u"url")
            c.inet.setUrl(value);
        else
            command = value;
        if (field == u"http")
            c.inet.setUrl(QStringLiteral("http://127.0.0.1:%1/").arg(c.server.port()));
        QSignalSpy states(&c.inet, &TransferClient::stateChanged);
        const std::optional<TransferError> error = refusal(c.inet, command);
        QVERIFY(error);
        QCOMPARE(error->number(), number);
        QVERIFY2(!error->description().isEmpty() && error->description().contains(why),
                 qPrintable(error->description()));
        QVERIFY(!c.inet.isBusy());

        // Nothing reached the server: no connection at all.
        QTest::qWait(200);
        QCOMPARE(c.server.connectionCount(), 0);
        QVERIFY(states.isEmpty());
        QCOMPARE(c.server.readFile("victim.html"), QByteArray("keep me"));
    }

    // ---- certificates --------------------------------------------------------------

    void httpsCertificates()
    {
        HttpTestServer server(HttpTestServer::Security::Tls);
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("index.html", "secure page"));
        TransferClient inet;
        inet.setUrl(server.url("/index.html"));
        Runner runner(inet);
        RUN_FAILS(runner, "GET", TransferError::SecureConnectionFailed, 0);
        QVERIFY2(inet.lastError().description().contains("certificate could not be verified"),
                 qPrintable(inet.lastError().description()));
        QVERIFY(server.requests().isEmpty());

        inet.setCaCertificates(TestServerBase::certificateFile());
        RUN_OK(runner, "GET");
        QCOMPARE(readChunks(inet), QByteArray("secure page"));
        QCOMPARE(inet.responseHeader().left(15), QString("HTTP/1.1 200 OK"));
    }

    // ---- HTTP ------------------------------------------------------------------------

    void httpAnswersAndFaults_data()
    {
        QTest::addColumn<QString>("how"); // see httpBehaviour
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("status"); // the status code; empty: no answer; "-": any
        QTest::newRow("200") << "" << 0 << "200";
        // HTTP error statuses are answers, not failures.
        for (const char* status : {"401", "404", "500"})
            QTest::newRow(status) << status << 0 << status;
        QTest::newRow("no Content-Length") << "no length" << 0 << "200";
        QTest::newRow("body longer than Content-Length") << "extra 700" << 0 << "200";
        QTest::newRow("closed without answer") << "close" << +TransferError::ConnectionLost << "";
        QTest::newRow("stalled body") << "stall 10000" << +TransferError::TimedOut << "-";
    }

    void httpAnswersAndFaults()
    {
        QFETCH(QString, how);
        QFETCH(int, number);
        QFETCH(QString, status);
        HttpTestServer server;
        REQUIRE_RUNNING(server);
        const QByteArray page = binaryBytes(100000);
        QVERIFY(server.writeFile("index.html", page));
        HttpTestServer::Behaviour behaviour = httpBehaviour(how);
        behaviour.headers.insert("X-Pagewick-Test", "yes");
        server.setDefaultBehaviour(behaviour);
        TransferClient inet;
        inet.setUrl(server.url("/index.html"));
        inet.setRequestTimeout(1);
        Runner runner(inet);
        QVERIFY(runner.run("GET"));
        QCOMPARE(inet.lastError().number(), number);
        const QList<int> states = runner.states();
        QCOMPARE(states.last(),
                 int(number ? int(TransferState::Error) : int(TransferState::ResponseCompleted)));
        QCOMPARE(inet.responseCode(), 0);
        if (status != u"-")
            QCOMPARE(status.isEmpty() ? inet.responseHeader() : inet.responseHeader().mid(9, 3),
                     status);
        if (status.isEmpty())
            QCOMPARE(readChunks(inet), QByteArray());
        if (status == u"200") {
            const QString length = how == u"no length" ? QString() : "100000";
            QVERIFY2(inet.responseHeader().startsWith("HTTP/1.1 200"),
                     qPrintable(inet.responseHeader()));
            QCOMPARE(inet.responseHeader().contains("\r\nContent-Length: " + length),
                     !length.isEmpty());
            QCOMPARE(inet.responseHeader("content-length"), length);
            QCOMPARE(inet.responseHeader("X-PAGEWICK-TEST"), QString("yes"));
            QCOMPARE(inet.responseHeader("X-Missing"), QString());
            QCOMPARE(readChunks(inet), page);
            QVERIFY2(rising(states), qPrintable(describe(states)));
        }

        // The next request on the same control is not disturbed; an empty
        // command is a GET too, and an address given to Execute is kept.
        server.resetBehaviour();
        RUN_OK(runner, "");
        QCOMPARE(readChunks(inet), page);
        QVERIFY(runner.run(QString(), server.url("/other.html")));
        QCOMPARE(inet.lastError().number(), 0);
        QCOMPARE(inet.url(), server.url("/other.html"));
        QCOMPARE(inet.responseHeader().mid(9, 3), QString("404"));
    }

    // A download never runs past its limits: the size cap and the deadline
    // for the whole request, each with its own error, nothing kept.
    void downloadLimits_data()
    {
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<int>("deadline");
        QTest::addColumn<int>("error"); // 0: the document arrives
        QTest::newRow("within both") << qint64(200000) << 30 << 0;
        QTest::newRow("larger than the cap")
            << qint64(50000) << 30 << int(TransferError::OtherFailure);
        QTest::newRow("slower than the deadline") << qint64(0) << 1 << int(TransferError::TimedOut);
    }

    void downloadLimits()
    {
        QFETCH(qint64, maxBytes);
        QFETCH(int, deadline);
        QFETCH(int, error);
        HttpTestServer http;
        REQUIRE_RUNNING(http);
        const QByteArray body = binaryBytes(120000);
        QVERIFY(http.writeFile("page.html", body));
        HttpTestServer::Behaviour slow;
        slow.delayMs = 300; // 120 KB in 4 KB blocks: about 9 s, always moving
        slow.blockSize = 4096;
        if (deadline < 5)
            http.setBehaviour("/page.html", slow);
        TransferClient inet;
        inet.setRequestTimeout(5);
        inet.setDownloadLimits(maxBytes, deadline);
        QElapsedTimer clock;
        clock.start();
        const QByteArray got = inet.fetch(http.url("/page.html"));
        QCOMPARE(inet.lastError().number(), error);
        if (error == 0) {
            QCOMPARE(got, body);
            return;
        }
        QVERIFY(got.isEmpty());
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(inet.lastError().description().contains(error == TransferError::TimedOut
                                                             ? "seconds in all"
                                                             : "larger than 50000 bytes"),
                 qPrintable(inet.lastError().description()));
    }

    void openUrlReturnsTheDocument()
    {
        HttpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("pagewick/version.txt", "Version 0.8.5\r\nNow with RSS."));
        TransferClient inet;
        QSignalSpy states(&inet, &TransferClient::stateChanged);
        QCOMPARE(inet.fetch(server.url("/pagewick/version.txt")),
                 QByteArray("Version 0.8.5\r\nNow with RSS."));
        QCOMPARE(inet.lastError().number(), 0);
        QVERIFY(!inet.isBusy());
        QCOMPARE(states.last().at(0).value<TransferState>(), TransferState::ResponseCompleted);

        QCOMPARE(inet.fetch(QStringLiteral("http://127.0.0.1:%1/x.txt").arg(closedPort())),
                 QByteArray());
        QCOMPARE(inet.lastError().number(), TransferError::CannotConnect);
        QCOMPARE(inet.fetch("no scheme\r\n"), QByteArray());
        QCOMPARE(inet.lastError().number(), TransferError::InvalidUrl);
    }
};

QTEST_GUILESS_MAIN(TestInet)
#include "tst_transferclient.moc"
