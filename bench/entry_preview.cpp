// Preview of a large page: a 10 MB weblog page with 10,000 entries, fetched
// with bare LF line ends, is read and cleaned, gets a new entry, and is
// trimmed to 50 entries with the rest archived -- the whole first Preview of a
// run, files included. It is timed side by side with `cp` of the same file.
//
// Prints both times, their ratio and the peak memory above the baseline; the
// exit status is 1 when the preview takes more than 5 times as long as cp or
// needs 4 times the page size or more, 2 when the result is wrong.
//
//   bench_entry_preview [entries] [runs]

#include "base/MainView.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/entry/PageEditor.h"
#include "core/entry/WorkFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr double kMaxRatio = 5.0;
constexpr double kMaxMemoryFactor = 4.0;
constexpr int kKeep = 50;

class QuietView final : public MainView
{
public:
    void appendStatus(const QString& message) override { last = message; }
    void setPublishingEnabled(bool) override {}
    void setFinishEnabled(bool) override {}
    void setResendEnabled(bool) override {}
    void setResendVisible(bool) override {}
    void setPreferencesEnabled(bool) override {}
    void setBusy(bool) override {}
    void showProgress(int, int, int) override {}
    void hideProgress() override {}
    int progressValue() const override { return 0; }
    EntryFields fields() const override { return entry; }
    void setSignature(const QString&, const QString&) override {}
    void yield() override {}

    EntryFields entry;
    QString last;
};

class CountingPrompt final : public Prompt
{
public:
    Answer ask(const Message& m) override
    {
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(m.text));
        ++messages;
        return Answer::Cancel;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<QString> chooseFile(const FileRequest&) override { return std::nullopt; }
    std::optional<quint32> chooseColor(quint32) override { return std::nullopt; }
    std::optional<QString> chooseFont() override { return std::nullopt; }
    void openDocument(const QString&) override { ++opened; }
    void beep() override {}

    int messages = 0, opened = 0;
};

// Retrieval is not timed: the fetched page is already in place.
class FetchedHooks final : public PageEditorHooks
{
public:
    PageEditor* flows = nullptr;
    void retrievePage(bool insertAfter) override
    {
        settings().insertAfterRetrieval = insertAfter;
        flows->readRetrievedPage();
    }
    void publish() override {}
    QString choosePageSource() override { return QStringLiteral("Server"); }
    void showPreferences() override {}
    void setPreviewEnabled(bool) override {}
    void showFields(const EntryFields&) override {}
};

qint64 statusKb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray wanted = QByteArray(key) + ':';
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(wanted))
            return line.mid(wanted.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// The page as a Unix web server would hold it: LF line ends, `entries`
// entries of about 1 KB, newest first, the oldest carrying the end marker.
qint64 writePage(const QString& path, int entries)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return -1;
    f.write("<!DOCTYPE html>\n<html>\n<head><title>Ann's weblog</title></head>\n<body>\n"
            "<h1>Ann's weblog</h1>\n<!--\xD1-->\n");
    const QByteArray para =
        "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
        "incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud "
        "exercitation ullamco laboris nisi ut aliquip ex ea commodo consequat.</p>\n";
    for (int n = entries; n >= 1; --n) {
        const QDate day = QDate(2000, 1, 1).addDays(n / 4);
        const QByteArray date = QByteArray::number(day.month()) + '/' +
                                QByteArray::number(day.day()) + '/' +
                                QByteArray::number(day.year());
        const QByteArray time =
            QByteArray::number(1 + n % 12) + ":0" + QByteArray::number(n % 10) + ":00 PM";
        QByteArray e = "<!--|" + date + '|' + time + "|--><a name=\"" + QByteArray::number(n) +
                       "\"></a><B>Entry number " + QByteArray::number(n) +
                       "\n</B><!--Title-->\nBy: <a href=\"mailto:ann@example.org\">Ann</a> -- " +
                       date + " @ " + time + '\n' + para + para + para + para;
        if (n == 1)
            e += "<!--**END**-->";
        e += "\n\n";
        f.write(e);
    }
    f.write("<p>Powered by Pagewick</p>\n</body>\n</html>\n");
    return f.size();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? std::max(kKeep + 1, atoi(argv[1])) : 10000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    QTemporaryDir dir;
    if (!dir.isValid() || !setProgramDir(dir.path())) {
        std::fprintf(stderr, "cannot make a temporary program directory\n");
        return 2;
    }
    Settings& s = settings();
    s.activeSection = QStringLiteral("1");
    s.templateText = QStringLiteral("%title\r\nBy: %sig -- %date @ %time\r\n%body\r\n%url");
    s.dateformat = QStringLiteral("medium date");
    s.timeformat = QStringLiteral("medium time");
    s.autoftp = QStringLiteral("True");
    s.autodelete = QStringLiteral("True");
    s.deleteamount = QString::number(kKeep);
    s.archive = QStringLiteral("true");

    const QString pristine = dir.filePath(QStringLiteral("served.html"));
    const qint64 pageSize = writePage(pristine, entries);
    const QString base = workFile(QStringLiteral("indexbackup"));
    const QString archive = workFile(QStringLiteral("archive"));
    QByteArray archivePage = "<html>\r\n<body>\r\n<!--PagewickArchiveStart-->\r\n";
    for (int n = 0; n < 100; ++n)
        archivePage += "<!--|1/1/1999|1:00:00 PM|-->Archived " + QByteArray::number(n) + "\r\n";
    archivePage += "</body>\r\n</html>\r\n";
    if (pageSize <= 0 || !WorkFiles::write(archive, archivePage)) {
        std::fprintf(stderr, "cannot write the test pages\n");
        return 2;
    }

    QuietView view;
    view.entry.head = QStringLiteral("A new entry");
    view.entry.main = QStringLiteral("Written for the benchmark, with an \u00E9 and a \u20AC.");
    view.entry.sig = QStringLiteral("Ann");
    view.entry.url = QStringLiteral("http://example.org/");
    CountingPrompt quiet;
    setPrompt(&quiet);
    FetchedHooks hooks;
    PageEditor flows(view, hooks);
    hooks.flows = &flows;

    std::vector<double> cpMs, previewMs;
    qint64 peakAbove = 0;
    for (int run = 0; run < runs; ++run) {
        // Each run starts from the page as fetched, warm in the page cache.
        QFile::remove(base);
        if (!QFile::copy(pristine, base) || !WorkFiles::read(base)) {
            std::fprintf(stderr, "cannot place the fetched page\n");
            return 2;
        }
        // Like the working files of the preview, the copy replaces a file of
        // the same size.
        const QString copyTarget = dir.filePath(QStringLiteral("copy.html"));
        if (run == 0)
            QProcess::execute(QStringLiteral("cp"), {pristine, copyTarget});
        QElapsedTimer t;
        t.start();
        const int cp = QProcess::execute(QStringLiteral("cp"), {pristine, copyTarget});
        cpMs.push_back(t.nsecsElapsed() / 1e6);
        if (cp != 0) {
            std::fprintf(stderr, "cp failed\n");
            return 2;
        }

        s.pageRetrieved = false;
        resetPeak();
        const qint64 baseline = statusKb("VmRSS");
        t.start();
        flows.preview();
        previewMs.push_back(t.nsecsElapsed() / 1e6);
        peakAbove = std::max(peakAbove, (statusKb("VmHWM") - baseline) * 1024);
    }

    // The result must be right for the times to mean anything.
    const QByteArray webbie =
        WorkFiles::read(workFile(QStringLiteral("webbie"))).value_or(QByteArray());
    const QByteArray edited =
        WorkFiles::read(workFile(QStringLiteral("archivewebbie"))).value_or(QByteArray());
    const qsizetype kept = webbie.count("<!--|"), archived = edited.count("<!--|");
    const bool right = quiet.messages == 0 && kept == kKeep &&
                       archived == entries + 1 - kKeep + 100 && webbie.contains("A new entry") &&
                       webbie.contains("<!--**END**-->") &&
                       webbie.count('\n') == webbie.count("\r\n");
    const double cpTime = median(cpMs), previewTime = median(previewMs);
    const double ratio = previewTime / std::max(cpTime, 0.001);
    const double memoryFactor = double(peakAbove) / double(pageSize);

    std::printf("page: %.1f MB, %d entries, kept %lld, archived %lld\n", pageSize / 1048576.0,
                entries, static_cast<long long>(kept), static_cast<long long>(archived));
    std::printf("cp:      %8.2f ms (median of %d)\n", cpTime, runs);
    std::printf("preview: %8.2f ms (median of %d)\n", previewTime, runs);
    std::printf("ratio:   %8.2f (limit %.0f)\n", ratio, kMaxRatio);
    std::printf("memory:  %8.2f MB above baseline = %.2f x page size (limit %.0f)\n",
                peakAbove / 1048576.0, memoryFactor, kMaxMemoryFactor);
    if (!right) {
        std::printf("FAILED: the preview is not right\n");
        return 2;
    }
    if (ratio > kMaxRatio || memoryFactor >= kMaxMemoryFactor) {
        std::printf("FAILED: over the limit\n");
        return 1;
    }
    std::printf("OK\n");
    return 0;
}
