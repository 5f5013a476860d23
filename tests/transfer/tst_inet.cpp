// The transfer control against real local servers: FTP (plain and TLS),
// HTTP(S) and local folders, including the failures a web host produces.

#include "TestServers.h"
#include "transfer/Inet.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <optional>

namespace {

constexpr int Wait = 60000; // generous limit for one request to finish

#define REQUIRE_RUNNING(server) QVERIFY2((server).isRunning(), qPrintable((server).errorString()))

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

bool writeLocal(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readLocal(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void useFtp(Inet& inet, const FtpTestServer& server)
{
    inet.setURL(server.url());
    inet.setUserName(FtpTestServer::User);
    inet.setPassword(FtpTestServer::Password);
    inet.setRequestTimeout(30);
}

// The InetError that Execute throws, if any.
std::optional<InetError> refusal(Inet& inet, const QString& url, const QString& command)
{
    try {
        inet.Execute(url, command);
    } catch (const InetError& error) {
        return error;
    }
    return std::nullopt;
}

// Everything GetChunk hands out, checking that no piece is larger than asked.
QByteArray readChunks(Inet& inet, int size = 1024)
{
    QByteArray all;
    for (;;) {
        const QByteArray chunk = inet.GetChunk(size, 0);
        if (chunk.isEmpty() || chunk.size() > size)
            return chunk.size() > size ? QByteArray("oversized chunk") : all;
        all += chunk;
    }
}

bool strictlyIncreasing(const QList<int>& states)
{
    for (qsizetype i = 1; i < states.size(); ++i) {
        if (states[i] <= states[i - 1])
            return false;
    }
    return true;
}

QString describe(const QList<int>& states)
{
    QStringList texts;
    for (const int state : states)
        texts << QString::number(state);
    return texts.join(u',');
}

} // namespace

// Runs one command to its end and records what it raised.
class Runner
{
public:
    explicit Runner(Inet& inet) : inet_(inet), spy_(&inet, &Inet::StateChanged) {}

    // Starts `command`; true once the request has finished.
    bool run(const QString& command, const QString& url = {})
    {
        spy_.clear();
        try {
            inet_.Execute(url, command);
        } catch (const InetError& error) {
            thrown = error;
            return false;
        }
        return QTest::qWaitFor([this] { return !inet_.StillExecuting(); }, Wait);
    }

    QList<int> states() const
    {
        QList<int> states;
        for (const QList<QVariant>& call : spy_)
            states << call.at(0).toInt();
        return states;
    }

    std::optional<InetError> thrown;

private:
    Inet& inet_;
    QSignalSpy spy_;
};

#define RUN_OK(runner, command)                                                                    \
    do {                                                                                           \
        QVERIFY2((runner).run(command), qPrintable(QStringLiteral("did not finish: ") + command)); \
        QVERIFY2(                                                                                  \
            inet.lastError().number() == 0,                                                        \
            qPrintable(command + QStringLiteral(" failed: ") + inet.lastError().description()));   \
    } while (false)

class TestInet : public QObject
{
    Q_OBJECT

private slots:
    // ---- FTP: the commands --------------------------------------------------

    void ftpRoundTripKeepsEveryByte()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QTemporaryDir local;
        const QByteArray bytes = binaryBytes(1024 * 1024 + 17);
        QVERIFY(writeLocal(local.filePath("page.bin"), bytes));

        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);
        RUN_OK(runner, "PUT " + local.filePath("page.bin") + " page.bin");
        QCOMPARE(server.readFile("page.bin"), bytes);
        RUN_OK(runner, "GET page.bin " + local.filePath("back.bin"));
        QCOMPARE(readLocal(local.filePath("back.bin")), bytes);
        QCOMPARE(inet.ResponseCode(), 0);
        QCOMPARE(runner.states().last(), int(Inet::ResponseCompleted));

        // An existing local file is replaced, not appended to.
        QVERIFY(writeLocal(local.filePath("small.bin"), QByteArray(3 * 1024 * 1024, 'x')));
        QVERIFY(server.writeFile("small.bin", "tiny"));
        RUN_OK(runner, "GET small.bin " + local.filePath("small.bin"));
        QCOMPARE(readLocal(local.filePath("small.bin")), QByteArray("tiny"));
    }

    void ftpNamesWithBlanksAndSpecialCharacters()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(QDir().mkpath(server.rootPath("sub dir")));
        QTemporaryDir local;
        const QString source = local.filePath("my docs/page one.html");
        QVERIFY(writeLocal(source, "<p>first</p>"));

        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);
        // Without quotes: the longest existing local file, then the remote path.
        RUN_OK(runner, "PUT " + source + " sub dir/my page#1.html");
        QCOMPARE(server.readFile("sub dir/my page#1.html"), QByteArray("<p>first</p>"));
        // Stored under a temporary name beside the target, then renamed over it.
        QVERIFY(server.commands().contains("STOR /sub dir/my page#1.html.pagewick-upload"));
        QVERIFY(server.commands().contains("RNTO /sub dir/my page#1.html"));
        QVERIFY(!server.fileExists("sub dir/my page#1.html.pagewick-upload"));

        // The trailing absolute path whose folder exists is the local file.
        const QString copy = local.filePath("my docs/copy one.html");
        RUN_OK(runner, "GET sub dir/my page#1.html " + copy);
        QCOMPARE(readLocal(copy), QByteArray("<p>first</p>"));

        // Quotes decide where the paths end.
        QVERIFY(server.writeFile("sub dir/a b.html", "<p>second</p>"));
        const QString quoted = local.filePath("my docs/x y.html");
        RUN_OK(runner, "GET \"/sub dir/a b.html\" \"" + quoted + "\"");
        QCOMPARE(readLocal(quoted), QByteArray("<p>second</p>"));

        // Relative names are taken from the current directory.
        RUN_OK(runner, "CD sub dir");
        const QString third = local.filePath("third.html");
        RUN_OK(runner, "GET my page#1.html " + third);
        QCOMPARE(readLocal(third), QByteArray("<p>first</p>"));
    }

    void ftpGetWithoutLocalFileLeavesDataForGetChunk()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        const QByteArray bytes = binaryBytes(5000);
        QVERIFY(server.writeFile("data.bin", bytes));
        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);
        RUN_OK(runner, "GET data.bin");
        QCOMPARE(readChunks(inet), bytes);
        QCOMPARE(inet.GetChunk(1024, 1), QByteArray());
    }

    void ftpListingNamesOneALine_data()
    {
        QTest::addColumn<bool>("mlsd");
        QTest::addColumn<bool>("dos");
        QTest::newRow("MLSD") << true << false;
        QTest::newRow("LIST (server without MLSD)") << false << false;
        QTest::newRow("LIST in DOS style") << false << true;
    }

    void ftpListingNamesOneALine()
    {
        QFETCH(bool, mlsd);
        QFETCH(bool, dos);
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        server.setMlsdSupported(mlsd);
        server.setDosListing(dos);
        QVERIFY(server.writeFile("index.html", "a"));
        QVERIFY(server.writeFile("my page.html", "b"));
        QVERIFY(server.writeFile("www/archive.html", "c"));
        QVERIFY(QDir().mkpath(server.rootPath("sub dir")));
        // A link is listed under its own name ("link.html -> index.html").
        QVERIFY(QFile::link("index.html", server.rootPath("link.html")));

        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);
        RUN_OK(runner, "LS");
        const QByteArray listing = readChunks(inet);
        QVERIFY2(listing.endsWith("\r\n"), listing.constData());
        QStringList names = QString::fromUtf8(listing).split("\r\n");
        QCOMPARE(names.takeLast(), QString()); // the last line is ended too
        names.sort();
        QCOMPARE(names,
                 QStringList({"index.html", "link.html", "my page.html", "sub dir/", "www/"}));
        QCOMPARE(listing.count('\n'), listing.count("\r\n"));
        // MLSD is tried first; LIST only when the server does not know it.
        QVERIFY(!server.commands().filter(QRegularExpression("^MLSD")).isEmpty());
        QCOMPARE(server.commands().filter(QRegularExpression("^LIST")).isEmpty(), mlsd);

        RUN_OK(runner, "CD www");
        RUN_OK(runner, "LS");
        QCOMPARE(readChunks(inet), QByteArray("archive.html\r\n"));
    }

    void ftpPwdAndCd()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(QDir().mkpath(server.rootPath("public_html/blog")));
        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);

        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/"));
        RUN_OK(runner, "CD public_html");
        QCOMPARE(inet.GetChunk(1024, 0), QByteArray()); // a directory change gives no data
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/public_html"));
        RUN_OK(runner, "CD /public_html/blog");
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/public_html/blog"));
        RUN_OK(runner, "CD ..");
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/public_html"));
        RUN_OK(runner, "CD ..");
        RUN_OK(runner, "CD ..");
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/"));

        // A directory that is not there is the server's error; PWD stays.
        QVERIFY(runner.run("CD nowhere"));
        QCOMPARE(inet.lastError().number(), InetError::RequestFailed);
        QCOMPARE(inet.ResponseCode(), 550);
        QVERIFY(runner.states().contains(Inet::Error));
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/"));
    }

    void ftpStartsInTheDirectoryOfTheAddress()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("public_html/index.html", "x"));
        Inet inet;
        useFtp(inet, server);
        inet.setURL(server.url() + "/public_html");
        Runner runner(inet);
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/public_html"));
        RUN_OK(runner, "LS");
        QCOMPARE(readChunks(inet), QByteArray("index.html\r\n"));

        // A bare host name means FTP.
        Inet bare;
        useFtp(bare, server);
        bare.setURL(QStringLiteral("127.0.0.1:%1").arg(server.port()));
        Runner bareRunner(bare);
        QVERIFY(bareRunner.run("PWD"));
        QCOMPARE(bare.lastError().number(), 0);
        QCOMPARE(readChunks(bare), QByteArray("/"));
    }

    void ftpKeepsOneConnectionUntilClose()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(QDir().mkpath(server.rootPath("www")));
        QTemporaryDir local;
        QVERIFY(writeLocal(local.filePath("a.html"), "aaa"));
        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);

        RUN_OK(runner, "PWD");
        RUN_OK(runner, "PUT " + local.filePath("a.html") + " www/a.html");
        RUN_OK(runner, "GET www/a.html " + local.filePath("b.html"));
        RUN_OK(runner, "CD www");
        RUN_OK(runner, "LS");
        RUN_OK(runner, "PWD");
        QCOMPARE(server.connectionCount(), 1);
        QCOMPARE(server.loginCount(), 1);
        QCOMPARE(server.commands().filter(QRegularExpression("^USER ")).size(), 1);

        // Commands after the first skip the connection states.
        RUN_OK(runner, "LS");
        QVERIFY2(!runner.states().contains(Inet::Connecting),
                 qPrintable(describe(runner.states())));

        RUN_OK(runner, "CLOSE");
        QCOMPARE(runner.states(),
                 QList<int>({Inet::Disconnecting, Inet::Disconnected, Inet::ResponseCompleted}));
        QVERIFY(server.commands().contains("QUIT"));

        // A new log-in starts in the log-in directory again.
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/"));
        QCOMPARE(server.connectionCount(), 2);
        QCOMPARE(server.loginCount(), 2);
    }

    void ftpStatesOfAFreshCommand()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("index.html", "x"));
        QTemporaryDir local;
        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);
        RUN_OK(runner, "GET index.html " + local.filePath("index.html"));
        const QList<int> states = runner.states();
        QVERIFY2(strictlyIncreasing(states), qPrintable(describe(states)));
        for (const int state : {Inet::Connecting, Inet::Connected, Inet::SendingRequest,
                                Inet::ReceivingResponse, Inet::ResponseReceived})
            QVERIFY2(states.contains(state), qPrintable(describe(states)));
        QCOMPARE(states.last(), int(Inet::ResponseCompleted));
        QVERIFY(!states.contains(Inet::Error));
    }

    // ---- FTP: failures -------------------------------------------------------

    void ftpWrongPassword()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        Inet inet;
        useFtp(inet, server);
        inet.setPassword("wrong");
        Runner runner(inet);
        QVERIFY(runner.run("PWD"));
        QCOMPARE(runner.states().last(), int(Inet::Error));
        QCOMPARE(inet.ResponseCode(), 530);
        QVERIFY(!inet.ResponseInfo().isEmpty());
        QCOMPARE(inet.lastError().number(), InetError::RequestFailed);
        QCOMPARE(readChunks(inet), QByteArray());

        // The right password on the same control works.
        inet.setPassword(FtpTestServer::Password);
        RUN_OK(runner, "PWD");
        QCOMPARE(inet.ResponseCode(), 0);
        QCOMPARE(inet.ResponseInfo(), QString());
    }

    void ftpServerNotRunning()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close(); // nothing listens there any more

        Inet inet;
        inet.setURL(QStringLiteral("ftp://127.0.0.1:%1").arg(port));
        inet.setUserName("tester");
        inet.setPassword("secret");
        Runner runner(inet);
        QVERIFY(runner.run("PWD"));
        QCOMPARE(inet.lastError().number(), InetError::CannotConnect);
        QCOMPARE(runner.states().last(), int(Inet::Error));
    }

    void ftpNoPermission_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("CD") << "CD /locked";
        QTest::newRow("GET") << "GET /locked/page.html %local%/page.html";
        QTest::newRow("PUT") << "PUT %local%/upload.html /locked/new.html";
    }

    void ftpNoPermission()
    {
        QFETCH(QString, command);
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("locked/page.html", "secret page"));
        server.denyAccess("/locked");
        QTemporaryDir local;
        QVERIFY(writeLocal(local.filePath("upload.html"), "new"));
        command.replace("%local%", local.path());

        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);
        QVERIFY(runner.run(command));
        QCOMPARE(runner.states().last(), int(Inet::Error));
        QCOMPARE(inet.ResponseCode(), 550);
        QCOMPARE(inet.lastError().number(), InetError::RequestFailed);
        QVERIFY(!QFileInfo::exists(local.filePath("page.html")));
        QVERIFY(!server.fileExists("locked/new.html"));
    }

    void ftpDiskFull()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        server.setDiskFullAfter(1000);
        QVERIFY(server.writeFile("big.html", "<html>the live page</html>"));
        QTemporaryDir local;
        QVERIFY(writeLocal(local.filePath("big.html"), binaryBytes(200 * 1024)));
        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);
        QVERIFY(runner.run("PUT " + local.filePath("big.html") + " big.html"));
        QCOMPARE(runner.states().last(), int(Inet::Error));
        QCOMPARE(inet.ResponseCode(), 452);
        QCOMPARE(inet.lastError().number(), InetError::RequestFailed);
        QVERIFY(inet.lastError().description().contains("452"));
        // The live file is untouched and the partial upload was cleared away.
        QCOMPARE(server.readFile("big.html"), QByteArray("<html>the live page</html>"));
        QVERIFY(!server.fileExists("big.html.pagewick-upload"));
    }

    void ftpConnectionDroppedDuringUpload()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QTemporaryDir local;
        const QByteArray bytes = binaryBytes(2 * 1024 * 1024);
        QVERIFY(writeLocal(local.filePath("page.html"), bytes));
        server.setDropAfter(100 * 1024);
        QVERIFY(server.writeFile("page.html", "<html>the live page</html>"));
        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);
        QVERIFY(runner.run("PUT " + local.filePath("page.html") + " page.html"));
        QCOMPARE(inet.lastError().number(), InetError::ConnectionLost);
        QCOMPARE(runner.states().last(), int(Inet::Error));
        QCOMPARE(readLocal(local.filePath("page.html")), bytes);
        QCOMPARE(server.readFile("page.html"), QByteArray("<html>the live page</html>"));

        // The next command connects anew and succeeds.
        server.resetBehaviour();
        RUN_OK(runner, "PUT " + local.filePath("page.html") + " page.html");
        QCOMPARE(server.readFile("page.html"), bytes);
    }

    void ftpUploadThatArrivedIncompleteIsAnError()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        server.setLoseAfter(5000);
        QTemporaryDir local;
        QVERIFY(writeLocal(local.filePath("page.html"), binaryBytes(64 * 1024)));
        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);
        QVERIFY(runner.run("PUT " + local.filePath("page.html") + " page.html"));
        QCOMPARE(inet.lastError().number(), InetError::ConnectionLost);
        QVERIFY2(inet.lastError().description().contains("5000 of 65536"),
                 qPrintable(inet.lastError().description()));
        QCOMPARE(runner.states().last(), int(Inet::Error));
        // The short copy never replaced the target.
        QVERIFY(!server.fileExists("page.html"));

        // The whole file arriving is confirmed the same way.
        server.resetBehaviour();
        Runner again(inet);
        RUN_OK(again, "PUT " + local.filePath("page.html") + " page.html");
        QVERIFY(server.commands().contains("SIZE /page.html.pagewick-upload"));
        QCOMPARE(server.readFile("page.html"), binaryBytes(64 * 1024));
    }

    void ftpConnectionDroppedDuringDownload()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("page.html", binaryBytes(2 * 1024 * 1024)));
        QTemporaryDir local;
        const QString target = local.filePath("indexbackup1.html");
        QVERIFY(writeLocal(target, "the good old page"));
        server.setDropAfter(100 * 1024);
        Inet inet;
        useFtp(inet, server);
        Runner runner(inet);
        QVERIFY(runner.run("GET page.html " + target));
        QCOMPARE(inet.lastError().number(), InetError::ConnectionLost);
        QCOMPARE(runner.states().last(), int(Inet::Error));
        // The old file is untouched and no partial file is left beside it.
        QCOMPARE(readLocal(target), QByteArray("the good old page"));
        QCOMPARE(QDir(local.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"indexbackup1.html"}));
    }

    void ftpStalledServerTimesOut()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("page.html", binaryBytes(1024 * 1024)));
        server.setStallAfter(64 * 1024);
        QTemporaryDir local;
        Inet inet;
        useFtp(inet, server);
        inet.setRequestTimeout(2);
        Runner runner(inet);
        QVERIFY(runner.run("GET page.html " + local.filePath("page.html")));
        QCOMPARE(inet.lastError().number(), InetError::TimedOut);
        QCOMPARE(runner.states().last(), int(Inet::Error));
        QVERIFY(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    void ftpServerThatNeverAnswersTimesOut()
    {
        // Accepts the connection but never greets.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        Inet inet;
        inet.setURL(QStringLiteral("ftp://127.0.0.1:%1").arg(silent.serverPort()));
        inet.setUserName("tester");
        inet.setPassword("secret");
        inet.setRequestTimeout(1);
        Runner runner(inet);
        QVERIFY(runner.run("PWD"));
        QCOMPARE(inet.lastError().number(), InetError::TimedOut);
        QCOMPARE(runner.states().last(), int(Inet::Error));
        QVERIFY(silent.hasPendingConnections()); // it did connect, then waited in vain
    }

    void ftpSlowButMovingTransferDoesNotTimeOut()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        const QByteArray bytes = binaryBytes(128 * 1024);
        QVERIFY(server.writeFile("page.html", bytes));
        // Eight blocks with a pause after each: longer than the time-out in
        // all, but never quiet for that long.
        server.setSlow(400, 16 * 1024);
        QTemporaryDir local;
        Inet inet;
        useFtp(inet, server);
        inet.setRequestTimeout(2);
        Runner runner(inet);
        RUN_OK(runner, "GET page.html " + local.filePath("page.html"));
        QCOMPARE(readLocal(local.filePath("page.html")), bytes);
    }

    void cancelStopsAStalledTransfer()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("page.html", binaryBytes(1024 * 1024)));
        QVERIFY(QDir().mkpath(server.rootPath("www")));
        server.setStallAfter(64 * 1024);
        QTemporaryDir local;
        Inet inet;
        useFtp(inet, server);
        QSignalSpy states(&inet, &Inet::StateChanged);
        inet.Execute({}, "GET page.html " + local.filePath("page.html"));
        QTRY_VERIFY_WITH_TIMEOUT(server.logLines().contains("STALL"), Wait);

        QElapsedTimer clock;
        clock.start();
        inet.Cancel();
        // Far below the 30 s time-out: Cancel does not wait for the server.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!inet.StillExecuting());
        QCOMPARE(inet.lastError().number(), InetError::Cancelled);
        QTRY_VERIFY(states.size() >= 2 && states.last().at(0).toInt() == Inet::Disconnected);
        QVERIFY(QDir(local.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

        // The control is usable again, on a new connection.
        server.resetBehaviour();
        Runner runner(inet);
        RUN_OK(runner, "LS");
        QStringList names = QString::fromUtf8(readChunks(inet)).split("\r\n");
        names.sort();
        QCOMPARE(names, QStringList({"", "page.html", "www/"}));
        QCOMPARE(server.connectionCount(), 2);
    }

    void executeWhileExecutingIsRefused()
    {
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("page.html", binaryBytes(1024 * 1024)));
        server.setStallAfter(64 * 1024);
        QTemporaryDir local;
        Inet inet;
        useFtp(inet, server);
        inet.Execute({}, "GET page.html " + local.filePath("page.html"));
        QVERIFY(inet.StillExecuting());
        const std::optional<InetError> error = refusal(inet, {}, "PWD");
        QVERIFY(error);
        QCOMPARE(error->number(), InetError::StillExecuting);
        QCOMPARE(error->description(), QString("Still executing last request"));
        QVERIFY(inet.StillExecuting()); // the first request goes on
        QVERIFY(inet.OpenURL(server.url() + "/page.html").isEmpty());
        QCOMPARE(inet.lastError().number(), InetError::StillExecuting);
        inet.Cancel();
    }

    void controlCharactersAreRefusedBeforeSending_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("number");
        QTest::newRow("password") << "password"
                                  << "secret\r\nDELE victim.html" << InetError::InvalidCommand;
        QTest::newRow("user") << "user"
                              << "tester\r\nDELE victim.html" << InetError::InvalidCommand;
        QTest::newRow("GET path") << "command"
                                  << "GET victim.html\r\nDELE victim.html"
                                  << InetError::InvalidCommand;
        QTest::newRow("PUT path") << "command"
                                  << "PUT %local% new.html\nDELE victim.html"
                                  << InetError::InvalidCommand;
        QTest::newRow("CD path") << "command"
                                 << "CD www\rDELE victim.html" << InetError::InvalidCommand;
        QTest::newRow("DEL character")
            << "command" << QString("CD www") + QChar(0x7f) << InetError::InvalidCommand;
        QTest::newRow("address") << "url"
                                 << "ftp://127.0.0.1:%port%\r\nDELE victim.html"
                                 << InetError::InvalidUrl;
        QTest::newRow("encoded in address")
            << "url"
            << "ftp://127.0.0.1:%port%/www%0D%0ADELE%20victim.html" << InetError::InvalidUrl;
        QTest::newRow("tab in address") << "url"
                                        << "ftp://127.0.0.1:%port%/a\tb" << InetError::InvalidUrl;
    }

    void controlCharactersAreRefusedBeforeSending()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(int, number);
        FtpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("victim.html", "keep me"));
        QTemporaryDir local;
        QVERIFY(writeLocal(local.filePath("up.html"), "x"));
        value.replace("%port%", QString::number(server.port()));
        value.replace("%local%", local.filePath("up.html"));

        Inet inet;
        useFtp(inet, server);
        QString command = "PWD";
        if (field == "password")
            inet.setPassword(value);
        else if (field == "user")
            inet.setUserName(value);
        else if (field == "url")
            inet.setURL(value);
        else
            command = value;
        QSignalSpy states(&inet, &Inet::StateChanged);
        const std::optional<InetError> error = refusal(inet, {}, command);
        QVERIFY(error);
        QCOMPARE(error->number(), number);
        QVERIFY2(error->description().contains("control character"),
                 qPrintable(error->description()));
        QVERIFY(!inet.StillExecuting());

        // Nothing reached the server: no connection at all.
        QTest::qWait(200);
        QCOMPARE(server.connectionCount(), 0);
        QVERIFY(states.isEmpty());
        QCOMPARE(server.readFile("victim.html"), QByteArray("keep me"));
    }

    void otherRefusedInput_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("number");
        QTest::newRow("no address") << ""
                                    << "PWD" << InetError::InvalidUrl;
        QTest::newRow("unknown scheme") << "gopher://127.0.0.1/"
                                        << "PWD" << InetError::InvalidUrl;
        QTest::newRow("unknown command") << "127.0.0.1"
                                         << "FORMAT C:" << InetError::InvalidCommand;
        QTest::newRow("CD without directory") << "127.0.0.1"
                                              << "CD" << InetError::InvalidCommand;
        QTest::newRow("PUT of a missing file")
            << "127.0.0.1"
            << "PUT /no/such/file.html x.html" << InetError::LocalFileError;
        QTest::newRow("HTTP with an FTP command") << "http://127.0.0.1/"
                                                  << "PUT a b" << InetError::InvalidCommand;
    }

    void otherRefusedInput()
    {
        QFETCH(QString, url);
        QFETCH(QString, command);
        QFETCH(int, number);
        Inet inet;
        inet.setURL(url);
        const std::optional<InetError> error = refusal(inet, {}, command);
        QVERIFY(error);
        QCOMPARE(error->number(), number);
        QVERIFY(!error->description().isEmpty());
        QVERIFY(!inet.StillExecuting());
    }

    // ---- FTP over TLS ----------------------------------------------------------

    void ftpsWithTrustedCertificate()
    {
        FtpTestServer server(FtpTestServer::Security::Tls);
        if (!server.isRunning() && server.errorString().contains("pyOpenSSL"))
            QSKIP(qPrintable(server.errorString()));
        REQUIRE_RUNNING(server);
        QTemporaryDir local;
        const QByteArray bytes = binaryBytes(300 * 1024);
        QVERIFY(writeLocal(local.filePath("page.html"), bytes));
        Inet inet;
        useFtp(inet, server);
        inet.setCaCertificates(TestServerBase::certificateFile());
        Runner runner(inet);
        RUN_OK(runner, "PUT " + local.filePath("page.html") + " page.html");
        QCOMPARE(server.readFile("page.html").size(), bytes.size());
        QCOMPARE(server.readFile("page.html"), bytes);
        RUN_OK(runner, "GET page.html " + local.filePath("back.html"));
        QCOMPARE(readLocal(local.filePath("back.html")).size(), bytes.size());
        QCOMPARE(readLocal(local.filePath("back.html")), bytes);
        RUN_OK(runner, "LS");
        QCOMPARE(readChunks(inet), QByteArray("page.html\r\n"));
        const QStringList commands = server.commands();
        QVERIFY(commands.first().startsWith("AUTH "));
        QVERIFY(commands.contains("PROT P"));
    }

    void ftpsWithUntrustedCertificateIsRefused()
    {
        FtpTestServer server(FtpTestServer::Security::Tls);
        if (!server.isRunning() && server.errorString().contains("pyOpenSSL"))
            QSKIP(qPrintable(server.errorString()));
        REQUIRE_RUNNING(server);
        Inet inet;
        useFtp(inet, server); // the test certificate is in no trusted store
        Runner runner(inet);
        QVERIFY(runner.run("PWD"));
        QCOMPARE(inet.lastError().number(), InetError::SecureConnectionFailed);
        QVERIFY2(inet.lastError().description().contains("certificate could not be verified"),
                 qPrintable(inet.lastError().description()));
        QCOMPARE(runner.states().last(), int(Inet::Error));
        // The credentials never went out.
        QVERIFY(server.commands().filter(QRegularExpression("^(USER|PASS)")).isEmpty());
    }

    // ---- a local folder as the server ------------------------------------------

    void fileFolderActsAsServer()
    {
        QTemporaryDir site;
        QTemporaryDir local;
        QVERIFY(QDir().mkpath(site.filePath("sub dir")));
        QVERIFY(writeLocal(site.filePath("index.html"), "home"));
        const QByteArray bytes = binaryBytes(70000);
        QVERIFY(writeLocal(local.filePath("page.bin"), bytes));

        Inet inet;
        inet.setURL(QUrl::fromLocalFile(site.path()).toString());
        Runner runner(inet);
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/"));
        RUN_OK(runner, "PUT " + local.filePath("page.bin") + " /sub dir/my page#1.html");
        QCOMPARE(readLocal(site.filePath("sub dir/my page#1.html")), bytes);
        RUN_OK(runner, "LS");
        QCOMPARE(readChunks(inet), QByteArray("index.html\r\nsub dir/\r\n"));
        RUN_OK(runner, "CD sub dir");
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/sub dir"));
        RUN_OK(runner, "GET my page#1.html " + local.filePath("back.bin"));
        QCOMPARE(readLocal(local.filePath("back.bin")), bytes);
        QCOMPARE(runner.states().last(), int(Inet::ResponseCompleted));
        // ".." stops at the folder.
        RUN_OK(runner, "CD ../..");
        RUN_OK(runner, "PWD");
        QCOMPARE(readChunks(inet), QByteArray("/"));
        RUN_OK(runner, "GET index.html " + local.filePath("index.html"));
        QCOMPARE(readLocal(local.filePath("index.html")), QByteArray("home"));

        QVERIFY(runner.run("GET missing.html " + local.filePath("missing.html")));
        QCOMPARE(inet.lastError().number(), InetError::RequestFailed);
        QCOMPARE(inet.ResponseCode(), 550);
        QVERIFY(!QFileInfo::exists(local.filePath("missing.html")));

        QVERIFY(runner.run("CD missing"));
        QCOMPARE(inet.ResponseCode(), 550);

        inet.setURL(QUrl::fromLocalFile(site.filePath("no such folder")).toString());
        QVERIFY(runner.run("LS"));
        QCOMPARE(inet.lastError().number(), InetError::CannotConnect);
    }

    // ---- HTTP ------------------------------------------------------------------

    void httpGetGivesHeadersAndBody()
    {
        HttpTestServer server;
        REQUIRE_RUNNING(server);
        const QByteArray page = binaryBytes(3000);
        QVERIFY(server.writeFile("index.html", page));
        HttpTestServer::Behaviour behaviour;
        behaviour.headers.insert("X-Pagewick-Test", "yes");
        server.setBehaviour("/index.html", behaviour);

        Inet inet;
        inet.setURL(server.url("/index.html"));
        Runner runner(inet);
        RUN_OK(runner, "GET");
        const QString headers = inet.GetHeader();
        QVERIFY2(headers.startsWith("HTTP/1.1 200"), qPrintable(headers));
        QCOMPARE(headers.mid(9, 3), QString("200"));
        QVERIFY(headers.contains("\r\nContent-Length: 3000"));
        QCOMPARE(inet.GetHeader("content-length"), QString("3000"));
        QCOMPARE(inet.GetHeader("X-PAGEWICK-TEST"), QString("yes"));
        QCOMPARE(inet.GetHeader("X-Missing"), QString());
        QCOMPARE(inet.ResponseCode(), 0);
        QCOMPARE(readChunks(inet), page);
        const QList<int> states = runner.states();
        QVERIFY2(strictlyIncreasing(states), qPrintable(describe(states)));
        QCOMPARE(states.last(), int(Inet::ResponseCompleted));

        // An empty command is a GET too; an address given to Execute is kept.
        RUN_OK(runner, "");
        QCOMPARE(readChunks(inet), page);
        QVERIFY(runner.run(QString(), server.url("/other.html")));
        QCOMPARE(inet.lastError().number(), 0);
        QCOMPARE(inet.URL(), server.url("/other.html"));
        QCOMPARE(inet.GetHeader().mid(9, 3), QString("404"));
    }

    void httpErrorStatusIsAnAnswer_data()
    {
        QTest::addColumn<int>("status");
        QTest::newRow("401") << 401;
        QTest::newRow("404") << 404;
        QTest::newRow("500") << 500;
    }

    void httpErrorStatusIsAnAnswer()
    {
        QFETCH(int, status);
        HttpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("index.html", "page"));
        HttpTestServer::Behaviour behaviour;
        behaviour.status = status;
        server.setBehaviour("/index.html", behaviour);
        Inet inet;
        inet.setURL(server.url("/index.html"));
        Runner runner(inet);
        RUN_OK(runner, "GET");
        QCOMPARE(inet.GetHeader().mid(9, 3), QString::number(status));
        QCOMPARE(runner.states().last(), int(Inet::ResponseCompleted));
        QCOMPARE(inet.ResponseCode(), 0);
    }

    void httpBodyWithoutContentLength()
    {
        HttpTestServer server;
        REQUIRE_RUNNING(server);
        const QByteArray page = binaryBytes(50000);
        QVERIFY(server.writeFile("index.html", page));
        HttpTestServer::Behaviour behaviour;
        behaviour.noLength = true;
        server.setDefaultBehaviour(behaviour);
        Inet inet;
        inet.setURL(server.url("/index.html"));
        Runner runner(inet);
        RUN_OK(runner, "GET");
        QCOMPARE(inet.GetHeader("Content-Length"), QString());
        QCOMPARE(readChunks(inet), page);
    }

    void httpBodyLongerThanContentLength()
    {
        HttpTestServer server;
        REQUIRE_RUNNING(server);
        const QByteArray page = binaryBytes(2000);
        QVERIFY(server.writeFile("index.html", page));
        HttpTestServer::Behaviour behaviour;
        behaviour.extraBytes = 700;
        server.setDefaultBehaviour(behaviour);
        Inet inet;
        inet.setURL(server.url("/index.html"));
        Runner runner(inet);
        RUN_OK(runner, "GET");
        QCOMPARE(inet.GetHeader("Content-Length"), QString("2000"));
        QCOMPARE(readChunks(inet), page);
        // The next request on the same control is not disturbed by the rest.
        server.resetBehaviour();
        RUN_OK(runner, "GET");
        QCOMPARE(readChunks(inet), page);
    }

    void httpServerClosingWithoutAnswer()
    {
        HttpTestServer server;
        REQUIRE_RUNNING(server);
        HttpTestServer::Behaviour behaviour;
        behaviour.closeWithoutAnswer = true;
        server.setDefaultBehaviour(behaviour);
        Inet inet;
        inet.setURL(server.url("/index.html"));
        Runner runner(inet);
        QVERIFY(runner.run("GET"));
        QCOMPARE(inet.GetHeader(), QString());
        QCOMPARE(inet.lastError().number(), InetError::ConnectionLost);
        QCOMPARE(runner.states().last(), int(Inet::Error));
        QCOMPARE(readChunks(inet), QByteArray());
    }

    void httpStalledBodyTimesOut()
    {
        HttpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("index.html", binaryBytes(100000)));
        HttpTestServer::Behaviour behaviour;
        behaviour.stallAfter = 10000;
        server.setDefaultBehaviour(behaviour);
        Inet inet;
        inet.setURL(server.url("/index.html"));
        inet.setRequestTimeout(1);
        Runner runner(inet);
        QVERIFY(runner.run("GET"));
        QCOMPARE(inet.lastError().number(), InetError::TimedOut);
        QCOMPARE(runner.states().last(), int(Inet::Error));
    }

    void httpsCertificates()
    {
        HttpTestServer server(HttpTestServer::Security::Tls);
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("index.html", "secure page"));
        Inet inet;
        inet.setURL(server.url("/index.html"));
        Runner runner(inet);
        QVERIFY(runner.run("GET"));
        QCOMPARE(inet.lastError().number(), InetError::SecureConnectionFailed);
        QVERIFY2(inet.lastError().description().contains("certificate could not be verified"),
                 qPrintable(inet.lastError().description()));
        QVERIFY(server.requests().isEmpty());

        inet.setCaCertificates(TestServerBase::certificateFile());
        RUN_OK(runner, "GET");
        QCOMPARE(readChunks(inet), QByteArray("secure page"));
        QCOMPARE(inet.GetHeader().left(15), QString("HTTP/1.1 200 OK"));
    }

    void openUrlReturnsTheDocument()
    {
        HttpTestServer server;
        REQUIRE_RUNNING(server);
        QVERIFY(server.writeFile("pagewick/version.txt", "Version 0.8.5\r\nNow with RSS."));
        Inet inet;
        QSignalSpy states(&inet, &Inet::StateChanged);
        QCOMPARE(inet.OpenURL(server.url("/pagewick/version.txt")),
                 QByteArray("Version 0.8.5\r\nNow with RSS."));
        QCOMPARE(inet.lastError().number(), 0);
        QVERIFY(!inet.StillExecuting());
        QCOMPARE(states.last().at(0).toInt(), int(Inet::ResponseCompleted));

        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QVERIFY(ftp.writeFile("notes/news.txt", "from ftp"));
        inet.setUserName(FtpTestServer::User);
        inet.setPassword(FtpTestServer::Password);
        QCOMPARE(inet.OpenURL(ftp.url() + "/notes/news.txt"), QByteArray("from ftp"));

        QTemporaryDir local;
        QVERIFY(writeLocal(local.filePath("doc.txt"), "local text"));
        QCOMPARE(inet.OpenURL(QUrl::fromLocalFile(local.filePath("doc.txt")).toString()),
                 QByteArray("local text"));

        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        QCOMPARE(inet.OpenURL(QStringLiteral("http://127.0.0.1:%1/x.txt").arg(port)), QByteArray());
        QCOMPARE(inet.lastError().number(), InetError::CannotConnect);
        QCOMPARE(inet.OpenURL("no scheme\r\n"), QByteArray());
        QCOMPARE(inet.lastError().number(), InetError::InvalidUrl);
    }
};

QTEST_GUILESS_MAIN(TestInet)
#include "tst_inet.moc"
