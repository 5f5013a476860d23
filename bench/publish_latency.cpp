// The event loop while a publish runs: the edited page (2 MB) goes to a local
// pyftpdlib server that reads 16 KB every 50 ms (about 300 KB/s), as a slow
// host does, through the same publish Finish runs. A timer asks the event
// loop for a turn every 5 ms meanwhile; how late each turn comes is what a
// user feels as a window that does not answer.
//
// Prints the median and the longest delay of every run; the exit status is 1
// when the median of any run is 20 ms or more, 2 when the publish fails.
//
//   bench_publish_latency [runs]

#include "PublishFixture.h"
#include "TestServers.h"
#include "core/publish/Publisher.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace PublishFixture;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    pinClockAndLocale();
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/pagewick-bench-has-no-session-bus");
    FtpTestServer ftp;
    if (!ftp.isRunning()) {
        std::fprintf(stderr, "FTP server: %s\n", qPrintable(ftp.errorString()));
        return 2;
    }
    ftp.writeFile(QStringLiteral("www/index.html"), page(1));
    Keys keys = ftpKeys(ftp);
    keys.insert({{QStringLiteral("retreivemode"), QStringLiteral("none")},
                 {QStringLiteral("archive"), QStringLiteral("false")},
                 {QStringLiteral("backendenabled"), QStringLiteral("False")},
                 {QStringLiteral("Fail"), QStringLiteral("True")}});
    int status = 0;
    for (int run = 0; run < runs; ++run) {
        Session s;
        if (!s.start(keys) || !s.put(QStringLiteral("webbie"), page(3, 2 * 1024 * 1024))) {
            std::fprintf(stderr, "cannot prepare the program directory\n");
            return 2;
        }
        ftp.setSlow(50, 16384);
        std::vector<qint64> delays;
        QElapsedTimer since;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.callOnTimeout([&] { delays.push_back(std::max<qint64>(0, since.restart() - 5)); });
        since.start();
        tick.start(5);
        QElapsedTimer took;
        took.start();
        // The publish runs as a job on the event loop, here as under the
        // window: the loop turns until the job has ended.
        QEventLoop loop;
        QObject::connect(s.publisher.get(), &Publisher::jobsEnded, &loop, &QEventLoop::quit);
        s.publisher->resend();
        if (s.publisher->isRunning())
            loop.exec();
        tick.stop();
        ftp.resetBehaviour();
        if (s.publisher->lastOutcome() != Publisher::Outcome::Published || delays.empty()) {
            std::fprintf(stderr, "the publish failed: %s %s\n",
                         qPrintable(s.prompt.texts().join(QStringLiteral(" | "))),
                         qPrintable(s.view.status.join(QStringLiteral(" | "))));
            return 2;
        }
        std::sort(delays.begin(), delays.end());
        const qint64 median = delays[delays.size() / 2];
        std::printf("run %d: publish %lld ms, %zu turns, delay median %lld ms, longest %lld ms\n",
                    run + 1, static_cast<long long>(took.elapsed()), delays.size(),
                    static_cast<long long>(median), static_cast<long long>(delays.back()));
        if (median >= 20)
            status = 1;
    }
    return status;
}
