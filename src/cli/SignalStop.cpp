#include "cli/SignalStop.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int s_pipe[2] = {-1, -1};
std::atomic<bool> s_signalled{false};

void onSignal(int)
{
    s_signalled = true;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
}

void handle(int signal, void (*handler)(int), int flags)
{
    struct sigaction action = {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

} // namespace

SignalStop::SignalStop(std::function<void()> stop, QObject* parent)
    : QObject(parent), m_stop(std::move(stop))
{
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // no pipe: the signals keep ending the program at once
    s_signalled = false;
    m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(s_pipe[0], &byte, 1) > 0) {
        }
        if (m_stopped)
            return;
        m_stopped = true;
        m_stop();
    });
    // SA_RESETHAND: the second signal finds the default action again.
    for (const int signal : {SIGINT, SIGTERM})
        handle(signal, &onSignal, SA_RESETHAND | SA_RESTART);
}

SignalStop::~SignalStop()
{
    if (!m_notifier)
        return;
    for (const int signal : {SIGINT, SIGTERM})
        handle(signal, SIG_DFL, 0);
    m_notifier.reset();
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

bool SignalStop::signalled() const
{
    return s_signalled;
}
