#pragma once

// What both benchmarks need: running a command as the user would (spawned,
// timed from spawn to exit), medians, a page of entries, and a bounded
// processor load for measuring on a busy machine.

#include <QByteArray>
#include <QDate>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {

struct RunResult
{
    double ms = -1;
    double cpuMs = 0; // user + system time of the child
    long maxRssKb = 0;
    int status = -1;
};

// Runs the program with standard output thrown away and standard error to
// `errorFile` (or thrown away); the time is the wall time from spawn to exit,
// the memory the child's peak resident size.
inline RunResult run(const std::vector<QByteArray>& argv, const char* errorFile = "/dev/null")
{
    std::vector<char*> args;
    for (const QByteArray& a : argv)
        args.push_back(const_cast<char*>(a.constData()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    RunResult r;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return r;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    r.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    r.maxRssKb = usage.ru_maxrss;
    auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
    r.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The page as a Unix web server would hold it: LF line ends, `entries`
// entries of about 1 KB, newest first, the oldest carrying the end marker.
inline QByteArray makePage(int entries)
{
    QByteArray page = "<!DOCTYPE html>\n<html>\n<head><title>Ann's weblog</title></head>\n<body>\n"
                      "<h1>Ann's weblog</h1>\n<!--\xD1-->\n";
    const QByteArray para =
        "<p>Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
        "incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud "
        "exercitation ullamco laboris nisi ut aliquip ex ea commodo consequat.</p>\n";
    page.reserve(qsizetype(entries) * 1100);
    for (int n = entries; n >= 1; --n) {
        const QDate day = QDate(2000, 1, 1).addDays(n / 4);
        const QByteArray date = QByteArray::number(day.month()) + '/' +
                                QByteArray::number(day.day()) + '/' +
                                QByteArray::number(day.year());
        const QByteArray time =
            QByteArray::number(1 + n % 12) + ":0" + QByteArray::number(n % 10) + ":00 PM";
        page += "<!--|" + date + '|' + time + "|--><a name=\"" + QByteArray::number(n) +
                "\"></a><B>Entry number " + QByteArray::number(n) +
                "</B><!--Title-->\nBy: <a href=\"mailto:ann@example.org\">Ann</a> -- " + date +
                " @ " + time + '\n' + para + para + para + para;
        if (n == 1)
            page += "<!--**END**-->";
        page += "\n\n";
    }
    page += "<p>Powered by Pagewick</p>\n</body>\n</html>\n";
    return page;
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

} // namespace bench
