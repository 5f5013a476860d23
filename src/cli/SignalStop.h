#pragma once

// Ctrl+C (SIGINT) and SIGTERM during a command: the first one stops the
// running job as the window's Stop button does (the copies staged on the
// server are deleted, the live files stay, a publish is recorded as failed
// so that `pagewick resend` is offered); a second one ends the program at
// once. The signal only writes a byte to a pipe; the event loop reads it.

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

class SignalStop : public QObject
{
    Q_OBJECT
public:
    // `stop` runs on the event loop when the first signal has come.
    explicit SignalStop(std::function<void()> stop, QObject* parent = nullptr);
    ~SignalStop() override;
    SignalStop(const SignalStop&) = delete;
    SignalStop& operator=(const SignalStop&) = delete;

    // A signal has come (and `stop` has run, or runs once the loop gets to it).
    bool signalled() const;

private:
    std::function<void()> m_stop;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_stopped = false;
};
