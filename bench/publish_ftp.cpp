// Publishing as the user runs it: `pagewick resend` sends the edited page
// (1.1 MB), the archive page (1 MB) and the RSS file to a local pyftpdlib
// server the way Finish does (log in, each file to a temporary name, size
// check, rename, log out, then the local copies of what was sent). Its
// start-up is subtracted by timing `pagewick --version`; every run is set
// beside the curl command-line tool uploading the same three files in one
// invocation to the same server, the two taking turns at going first.
//
// Prints both times of every run and their ratio; the exit status is 1 when
// any run of publishing takes more than 1.5 times as long as curl, 2 when the
// files on the server are wrong, a command fails or a tool is missing.
//
// With --load N, N processes spin on the processor for the whole benchmark
// (each ends by itself after two minutes at the latest), so that the
// comparison is also made on a busy machine. With PAGEWICK_BENCH_KEEP set the
// program directory is kept for profiling.
//
//   bench_publish_ftp [runs] [--load N]

#include "BenchSupport.h"
#include "PublishFixture.h"
#include "TestServers.h"
#include "base/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double kMaxRatio = 1.5;

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray archivePage()
{
    QByteArray page = "<html>\r\n<body>\r\n<!--PagewickArchiveStart-->\r\n";
    while (page.size() < 1024 * 1024)
        page += "<!--|1/1/1999|1:00:00 PM|--><p>An archived entry of the weblog.</p>\r\n";
    return page + "</body>\r\n</html>\r\n";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int runs = 7, load = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--load") == 0 && i + 1 < argc)
            load = std::max(0, std::atoi(argv[++i]));
        else
            runs = std::max(1, std::atoi(argv[i]));
    }
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        std::fprintf(stderr, "the curl tool is needed for the comparison\n");
        return 2;
    }
    FtpTestServer server;
    if (!server.isRunning()) {
        std::fprintf(stderr, "FTP server: %s\n", qPrintable(server.errorString()));
        return 2;
    }
    server.writeFile(QStringLiteral("www/.keep"), {});
    server.writeFile(QStringLiteral("curl/.keep"), {});

    // The program directory after an upload that failed: weblog.ini with
    // Fail=True, the edited page and archive page waiting to be sent again.
    QTemporaryDir dir;
    if (qEnvironmentVariableIsSet("PAGEWICK_BENCH_KEEP")) {
        dir.setAutoRemove(false);
        std::printf("program directory kept: %s\n", qPrintable(dir.path()));
    }
    const QString ini = dir.filePath(QStringLiteral("weblog.ini"));
    const QString webbie = dir.filePath(QStringLiteral("webbie1.html"));
    const QString archive = dir.filePath(QStringLiteral("archivewebbie1.html"));
    const QString rss = dir.filePath(QStringLiteral("backend1.rss"));
    const QByteArray page = bench::makePage(1000);
    const PublishFixture::Keys keys = {
        {QStringLiteral("website"), QStringLiteral("http://127.0.0.1/index.html")},
        {QStringLiteral("ftpsite"), server.url()},
        {QStringLiteral("username"), FtpTestServer::User},
        {QStringLiteral("password"), FtpTestServer::Password},
        {QStringLiteral("ftpremote"), QStringLiteral("www/index.html")},
        {QStringLiteral("archiveftp"), QStringLiteral("www/archive.html")},
        {QStringLiteral("archiveurl"), QStringLiteral("http://127.0.0.1/archive.html")},
        {QStringLiteral("autoftp"), QStringLiteral("True")},
        {QStringLiteral("connection"), QStringLiteral("direct")},
        {QStringLiteral("retreivemode"), QStringLiteral("none")},
        {QStringLiteral("archive"), QStringLiteral("true")},
        {QStringLiteral("backendenabled"), QStringLiteral("True")},
        {QStringLiteral("backendtitle"), QStringLiteral("Ann's weblog")}};
    if (!dir.isValid() || !PublishFixture::writeIni(dir.path(), {{1, keys}}) ||
        !PublishFixture::writeFile(webbie, page) ||
        !PublishFixture::writeFile(archive, archivePage())) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(dir.path()));
        return 2;
    }
    // The tests' way of keeping away from the user's keyring.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/pagewick-bench-has-no-session-bus");

    const QByteArray binary(PAGEWICK_BINARY), d = QFile::encodeName(dir.path());
    const QByteArray errors = QFile::encodeName(dir.filePath(QStringLiteral("errors.txt")));
    const std::vector<QByteArray> version{binary, "--version"};
    const std::vector<QByteArray> resend{binary, "resend", "--dir", d};
    auto publish = [&] {
        writeSetting(QStringLiteral("1"), QStringLiteral("Fail"), QStringLiteral("True"), ini);
        return bench::run(resend, errors.constData());
    };
    // The first resend writes the RSS file that curl sends too.
    if (publish().status != 0 || !QFile::exists(rss)) {
        std::fprintf(stderr, "pagewick resend failed: %s\n",
                     readFile(QString::fromLocal8Bit(errors)).constData());
        return 2;
    }
    const std::vector<QByteArray> curlRun{
        QFile::encodeName(curl),
        "-s",
        "-S",
        "--user",
        (FtpTestServer::User + QLatin1Char(':') + FtpTestServer::Password).toUtf8(),
        "-T",
        "{" + QFile::encodeName(webbie) + ',' + QFile::encodeName(archive) + ',' +
            QFile::encodeName(rss) + '}',
        (server.url() + QStringLiteral("/curl/")).toUtf8()};

    const bench::CpuLoad busy(load);
    std::vector<double> ours, theirs, startUp;
    for (int run = 0; run < runs; ++run) {
        bench::RunResult c, p;
        if (run % 2 == 0) {
            c = bench::run(curlRun);
            p = publish();
        } else {
            p = publish();
            c = bench::run(curlRun);
        }
        const bench::RunResult v = bench::run(version);
        if (c.status != 0 || p.status != 0 || v.status != 0) {
            std::fprintf(stderr, "a command failed (curl %d, resend %d, --version %d): %s\n",
                         c.status, p.status, v.status,
                         readFile(QString::fromLocal8Bit(errors)).constData());
            return 2;
        }
        theirs.push_back(c.ms);
        ours.push_back(p.ms);
        startUp.push_back(v.ms);
    }
    const QString www = QStringLiteral("www/"), sent = QStringLiteral("curl/");
    if (server.readFile(www + QStringLiteral("index.html")) != page ||
        server.readFile(www + QStringLiteral("archive.html")) != readFile(archive) ||
        server.readFile(www + QStringLiteral("backend.rss")) != readFile(rss) ||
        server.readFile(sent + QStringLiteral("webbie1.html")) != page ||
        readSetting(ini, QStringLiteral("1"), QStringLiteral("Fail")) != QLatin1String("False")) {
        std::fprintf(stderr, "the files on the server are not the ones sent\n");
        return 2;
    }

    const double start = bench::median(startUp);
    double worst = 0;
    for (int run = 0; run < runs; ++run) {
        const double publishing = std::max(ours[run] - start, 0.001);
        const double ratio = publishing / theirs[run];
        worst = std::max(worst, ratio);
        std::printf("run %d: resend %7.1f ms (%7.1f ms without start-up), curl %7.1f ms, "
                    "ratio %.2f\n",
                    run + 1, ours[run], publishing, theirs[run], ratio);
    }
    std::printf("pagewick --version:                    %.1f ms (median)\n", start);
    std::printf("pagewick resend without start-up:      %.1f ms (median)\n",
                bench::median(ours) - start);
    std::printf("curl -T {3 files}:                     %.1f ms (median)\n", bench::median(theirs));
    std::printf("worst ratio %.2f (limit %.1f on every run), %d runs, %d processes of load\n",
                worst, kMaxRatio, runs, load);
    std::printf(worst > kMaxRatio ? "FAILED: over the limit\n" : "OK\n");
    return worst > kMaxRatio ? 1 : 0;
}
