// Preview of a large page the way a user runs it: `pagewick post --preview`
// in a prepared program directory (retrieve mode none, auto-delete to 50
// entries with archive on), on a page with 10,000 entries of about 1 KB each.
// The command's start-up is subtracted by timing `pagewick --version`; the
// result is set beside `cp` of the same page in the same run. A sweep over
// page sizes shows how the cost grows with the page.
//
// Prints the medians, the ratio to cp, the peak memory above start-up, and
// the sweep; the exit status is 1 when the ratio is over 5, a 10x larger page
// takes over 11x the time, or the memory reaches 4x the page; 2 when the
// preview is wrong or the command fails.
//
//   bench_preview_cli [entries] [runs] [--sweep]
//
// PAGEWICK_BENCH_BINARY names another pagewick build to time (before/after);
// with PAGEWICK_BENCH_KEEP set the program directories are kept for profiling.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "BenchSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using bench::median;
using bench::run;
using bench::RunResult;

constexpr double kMaxRatio = 5.0;
constexpr double kMaxGrowth = 11.0;
constexpr double kMaxMemoryFactor = 4.0;
constexpr int kKeep = 50;

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray archivePage()
{
    QByteArray page = "<html>\r\n<body>\r\n<!--PagewickArchiveStart-->\r\n";
    for (int n = 0; n < 100; ++n)
        page += "<!--|1/1/1999|1:00:00 PM|-->Archived " + QByteArray::number(n) + "\r\n";
    return page + "</body>\r\n</html>\r\n";
}

// A program directory for configuration 1: no retrieval, the page and the
// archive as last published, auto-delete to kKeep entries with archive on.
bool prepare(const QString& dir, const QByteArray& page)
{
    const QByteArray ini = "[General]\r\nConfig=1\r\n[1]\r\n"
                           "website=http://example.org/index.html\r\n"
                           "ftpsite=example.org\r\nftpremote=index.html\r\n"
                           "autoftp=True\r\nconnection=direct\r\nretreivemode=none\r\n"
                           "backendenabled=False\r\nautodelete=True\r\n"
                           "deleteamount=" +
                           QByteArray::number(kKeep) +
                           "\r\narchive=true\r\narchiveurl=http://example.org/archive.html\r\n"
                           "archiveftp=archive.html\r\ndefaultsig=Ann\r\n"
                           "defaultemail=ann@example.org\r\ndateformat=medium date\r\n"
                           "timeformat=medium time\r\ntemplatefilename=template.txt\r\n";
    return writeFile(dir + QStringLiteral("/weblog.ini"), ini) &&
           writeFile(dir + QStringLiteral("/template.txt"),
                     "%title\r\nBy: %sig -- %date @ %time\r\n%body\r\n%url\r\n") &&
           writeFile(dir + QStringLiteral("/backup1.html"), page) &&
           writeFile(dir + QStringLiteral("/archivebackup1.html"), archivePage());
}

struct Measured
{
    qint64 pageSize = 0;
    double cpMs = 0, startMs = 0, postMs = 0;
    double cpCpuMs = 0, startCpuMs = 0, postCpuMs = 0; // processor time, steadier on a busy machine
    long peakKb = 0;                                   // the preview's peak resident size
    bool right = false;
    double previewMs() const { return std::max(postMs - startMs, 0.001); }
    double ratio() const { return previewMs() / std::max(cpMs, 0.001); }
};

Measured measure(int entries, int runs)
{
    Measured m;
    QTemporaryDir tmp;
    const QString dir = tmp.path();
    if (qEnvironmentVariableIsSet("PAGEWICK_BENCH_KEEP")) {
        tmp.setAutoRemove(false);
        std::printf("program directory kept: %s\n", qPrintable(dir));
    }
    const QByteArray page = bench::makePage(entries);
    m.pageSize = page.size();
    if (!tmp.isValid() || !prepare(dir, page)) {
        std::fprintf(stderr, "cannot prepare %s\n", qPrintable(dir));
        return m;
    }
    const QByteArray other = qgetenv("PAGEWICK_BENCH_BINARY");
    const QByteArray binary = other.isEmpty() ? QByteArray(PAGEWICK_BINARY) : other;
    const QByteArray d = QFile::encodeName(dir);
    const std::vector<QByteArray> version{binary, "--version"};
    const std::vector<QByteArray> post{binary,
                                       "post",
                                       "--dir",
                                       d,
                                       "--preview",
                                       "--title",
                                       "A new entry",
                                       "--body",
                                       "Written for the benchmark, with an \xC3\xA9."};
    const std::vector<QByteArray> cp{"cp", d + "/backup1.html", d + "/copy.html"};

    std::vector<double> cpMs, startMs, postMs, cpCpu, startCpu, postCpu;
    long postRss = 0;
    bool ok = true;
    // One warm-up round, then the timed ones, interleaved so that a busy
    // moment of the machine falls on all three alike.
    for (int i = 0; i <= runs; ++i) {
        const RunResult c = run(cp), v = run(version), p = run(post);
        ok = ok && c.status == 0 && v.status == 0 && p.status == 0;
        if (i == 0)
            continue;
        cpMs.push_back(c.ms);
        startMs.push_back(v.ms);
        postMs.push_back(p.ms);
        cpCpu.push_back(c.cpuMs);
        startCpu.push_back(v.cpuMs);
        postCpu.push_back(p.cpuMs);
        postRss = std::max(postRss, p.maxRssKb);
    }
    if (!ok) {
        std::fprintf(stderr, "a command failed in %s\n", qPrintable(dir));
        return m;
    }
    m.cpMs = median(cpMs);
    m.startMs = median(startMs);
    m.postMs = median(postMs);
    m.cpCpuMs = median(cpCpu);
    m.startCpuMs = median(startCpu);
    m.postCpuMs = median(postCpu);
    m.peakKb = postRss;

    // The result must be right for the times to mean anything.
    QFile webbieFile(dir + QStringLiteral("/webbie1.html"));
    QFile archiveFile(dir + QStringLiteral("/archivewebbie1.html"));
    if (!webbieFile.open(QIODevice::ReadOnly) || !archiveFile.open(QIODevice::ReadOnly))
        return m;
    const QByteArray webbie = webbieFile.readAll(), edited = archiveFile.readAll();
    m.right = webbie.count("<!--|") == kKeep &&
              edited.count("<!--|") == entries + 1 - kKeep + 100 &&
              webbie.contains("A new entry") && webbie.contains("<!--**END**-->");
    return m;
}

} // namespace

int main(int argc, char** argv)
{
    int entries = 10000, runs = 7;
    bool sweep = false;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sweep") == 0)
            sweep = true;
        else if (positional++ == 0)
            entries = std::max(kKeep + 1, std::atoi(argv[i]));
        else
            runs = std::max(1, std::atoi(argv[i]));
    }

    const Measured m = measure(entries, runs);
    if (m.postMs <= 0)
        return 2;
    std::printf("page: %.1f MB, %d entries, keep %d, archive on, retrieve mode none\n",
                m.pageSize / 1048576.0, entries, kKeep);
    std::printf("cp of the page:        %8.2f ms (median of %d)\n", m.cpMs, runs);
    std::printf("pagewick --version:    %8.2f ms\n", m.startMs);
    std::printf("pagewick post --preview %7.2f ms, %.2f ms without start-up\n", m.postMs,
                m.previewMs());
    std::printf("ratio to cp:           %8.2f (limit %.0f)\n", m.ratio(), kMaxRatio);
    std::printf("processor time:        cp %.1f ms, preview %.1f ms without start-up: %.2f x\n",
                m.cpCpuMs, m.postCpuMs - m.startCpuMs,
                (m.postCpuMs - m.startCpuMs) / std::max(m.cpCpuMs, 0.001));
    // The memory a preview needs for the page: its peak beside the peak of
    // the same preview of a page of a few entries.
    const Measured small = measure(kKeep + 10, 1);
    const long aboveKb = m.peakKb - small.peakKb;
    const double memoryFactor = aboveKb * 1024.0 / double(m.pageSize);
    std::printf("memory:                %8.2f MB above a small page's preview = %.2f x page "
                "(limit %.0f)\n",
                aboveKb / 1024.0, memoryFactor, kMaxMemoryFactor);
    if (!m.right) {
        std::printf("FAILED: the preview is not right\n");
        return 2;
    }
    bool over = m.ratio() > kMaxRatio || memoryFactor >= kMaxMemoryFactor;

    if (sweep) {
        std::printf("\nsweep (preview time without start-up):\n");
        std::printf("%10s %10s %12s %10s %12s\n", "entries", "MB", "preview ms", "cp ms",
                    "ms per MB");
        std::vector<Measured> rows;
        for (int n : {entries / 10, entries, entries * 10}) {
            const Measured r = n == entries ? m : measure(n, runs);
            if (r.postMs <= 0 || !r.right) {
                std::printf("FAILED: the preview of %d entries is not right\n", n);
                return 2;
            }
            rows.push_back(r);
            std::printf("%10d %10.1f %12.2f %10.2f %12.2f\n", n, r.pageSize / 1048576.0,
                        r.previewMs(), r.cpMs, r.previewMs() / (r.pageSize / 1048576.0));
        }
        for (size_t i = 1; i < rows.size(); ++i) {
            const double growth = rows[i].previewMs() / rows[i - 1].previewMs();
            const double sizeGrowth = double(rows[i].pageSize) / double(rows[i - 1].pageSize);
            std::printf("%.1fx the page: %.2fx the time (limit %.1fx)\n", sizeGrowth, growth,
                        kMaxGrowth * sizeGrowth / 10.0);
            // The smallest page is mostly fixed cost; only 10 MB -> 100 MB is held to the limit.
            if (i == rows.size() - 1 && growth > kMaxGrowth * sizeGrowth / 10.0)
                over = true;
        }
    }
    std::printf(over ? "FAILED: over the limit\n" : "OK\n");
    return over ? 1 : 0;
}
