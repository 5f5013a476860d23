// Publishing over FTP: the page, the archive page and the RSS file (1 MB,
// 1 MB, 10 KB) go to a local pyftpdlib server the way Finish sends them (log
// in, each file to a temporary name, size check, rename, log out), timed side
// by side with the curl command-line tool uploading the same three files in
// one invocation to the same server.
//
// Prints both times of every run and their medians and ratio; the exit
// status is 1 when publishing takes more than 1.5 times as long as curl, 2
// when the files on the server are wrong or a tool is missing.
//
// With --load N, N processes spin on the processor for the whole benchmark
// (each ends by itself after two minutes at the latest), so that the
// comparison is also made on a busy machine.
//
//   bench_publish_ftp [runs] [--load N]

#include "PublishFixture.h"
#include "RecordingView.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/Startup.h"
#include "core/entry/PageEditor.h"
#include "core/publish/Publisher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr double kMaxRatio = 1.5;

class Hooks final : public PageEditorHooks
{
public:
    void retrievePage(bool) override {}
    void publish() override {}
    QString choosePageSource() override { return QStringLiteral("Server"); }
    void showPreferences() override {}
    void setPreviewEnabled(bool) override {}
    void showFields(const EntryFields&) override {}
};

QByteArray filler(qsizetype size, char seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>("<p>entry text, "[i % 15] + (i % 97 == 0 ? seed : 0));
    return bytes;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Processes that keep the processor busy until they are killed, or for two
// minutes at most.
class CpuLoad
{
public:
    explicit CpuLoad(int processes)
    {
        for (int i = 0; i < processes; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                alarm(120);
                volatile unsigned long spin = 0;
                for (;;)
                    spin = spin + 1;
            }
            if (pid > 0)
                m_children.push_back(pid);
        }
    }
    ~CpuLoad()
    {
        for (const pid_t pid : m_children)
            kill(pid, SIGKILL);
        for (const pid_t pid : m_children)
            waitpid(pid, nullptr, 0);
    }
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

private:
    std::vector<pid_t> m_children;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int runs = 7, load = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--load") == 0 && i + 1 < argc)
            load = std::max(0, atoi(argv[++i]));
        else
            runs = std::max(1, atoi(argv[i]));
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

    QTemporaryDir dir;
    setProgramDir(dir.path());
    const QByteArray page = filler(1024 * 1024, 1), archive = filler(1024 * 1024, 2),
                     rss = filler(10 * 1024, 3);
    PublishFixture::writeIni(dir.path(),
                             {{1,
                               {{QStringLiteral("website"), QStringLiteral("http://127.0.0.1/")},
                                {QStringLiteral("ftpsite"), server.url()},
                                {QStringLiteral("username"), FtpTestServer::User},
                                {QStringLiteral("password"), FtpTestServer::Password},
                                {QStringLiteral("ftpremote"), QStringLiteral("www/index.html")},
                                {QStringLiteral("archiveftp"), QStringLiteral("www/archive.html")},
                                {QStringLiteral("autoftp"), QStringLiteral("True")},
                                {QStringLiteral("connection"), QStringLiteral("direct")},
                                {QStringLiteral("archive"), QStringLiteral("true")},
                                {QStringLiteral("backendenabled"), QStringLiteral("True")}}}});
    ScriptedPrompt prompt;
    RecordingView view;
    Hooks hooks;
    startUp(settings(), prompt, view);
    PageEditor flows(view, hooks);
    Publisher publisher(view, flows, hooks);
    const QString webbie = workFile(QStringLiteral("webbie"));
    const QString archivewebbie = workFile(QStringLiteral("archivewebbie"));
    const QString backend = workFile(QStringLiteral("backend"), QStringLiteral(".rss"));
    PublishFixture::writeFile(webbie, page);
    PublishFixture::writeFile(archivewebbie, archive);
    PublishFixture::writeFile(backend, rss);

    const QStringList curlArgs = {QStringLiteral("-s"),
                                  QStringLiteral("-S"),
                                  QStringLiteral("--user"),
                                  FtpTestServer::User + QLatin1Char(':') + FtpTestServer::Password,
                                  QStringLiteral("-T"),
                                  QStringLiteral("{%1,%2,%3}").arg(webbie, archivewebbie, backend),
                                  server.url() + QStringLiteral("/curl/")};

    const CpuLoad busy(load);
    std::vector<double> ours, theirs;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.start(curl, curlArgs);
        if (!p.waitForFinished(120000) || p.exitCode() != 0) {
            std::fprintf(stderr, "curl failed: %s\n", p.readAllStandardError().constData());
            return 2;
        }
        theirs.push_back(t.nsecsElapsed() / 1e6);

        t.restart();
        publisher.runFtp(QString());
        ours.push_back(t.nsecsElapsed() / 1e6);
        if (publisher.lastOutcome() != Publisher::Outcome::Published) {
            std::fprintf(stderr, "publishing failed: %s\n", qPrintable(prompt.texts().join(u'|')));
            return 2;
        }
        std::printf("run %d: publish %7.1f ms, curl %7.1f ms, ratio %.2f\n", run + 1, ours.back(),
                    theirs.back(), ours.back() / theirs.back());
    }
    if (server.readFile(QStringLiteral("www/index.html")) != page ||
        server.readFile(QStringLiteral("www/archive.html")) != archive ||
        server.readFile(QStringLiteral("www/backend.rss")) != rss ||
        server.readFile(QStringLiteral("curl/webbie1.html")) != page) {
        std::fprintf(stderr, "the files on the server are not the ones sent\n");
        return 2;
    }
    const double a = median(ours), b = median(theirs);
    std::printf("publish (login, 3 uploads renamed into place, logout): %.1f ms\n", a);
    std::printf("curl -T {3 files}:                                     %.1f ms\n", b);
    std::printf("ratio %.2f (limit %.1f), median of %d runs, %d processes of load\n", a / b,
                kMaxRatio, runs, load);
    return a / b <= kMaxRatio ? 0 : 1;
}
