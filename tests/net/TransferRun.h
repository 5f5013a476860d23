#pragma once

// What the transfer tests share: test data, logging in to the test FTP
// server, and running one command of a TransferClient to its end.

#include "PublishFixture.h"
#include "TestServers.h"
#include "net/TransferClient.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <functional>

namespace TransferRun {

inline constexpr int Wait = 60000; // generous limit for one request to finish

// Every byte value, then random bytes, `size` bytes in all.
inline QByteArray binaryBytes(qsizetype size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator random(4711);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(i < 256 ? i : random.bounded(256));
    return bytes;
}

inline void useFtp(TransferClient& inet, const FtpTestServer& server)
{
    inet.setUrl(server.url());
    inet.setUserName(FtpTestServer::User);
    inet.setPassword(FtpTestServer::Password);
    inet.setRequestTimeout(30);
}

// Everything readChunk hands out, checking that no piece is larger than asked.
inline QByteArray readChunks(TransferClient& inet, int size = 1024)
{
    QByteArray all;
    for (;;) {
        const QByteArray chunk = inet.readChunk(size, 0);
        if (chunk.size() > size)
            return "oversized chunk";
        if (chunk.isEmpty())
            return all;
        all += chunk;
    }
}

// Runs commands of a TransferClient to their end and records the states
// each one raised.
class Runner
{
public:
    explicit Runner(TransferClient& inet) : inet(inet), spy_(&inet, &TransferClient::stateChanged)
    {
    }

    // Runs `command`: empty when it succeeded, else "refused NUMBER
    // DESCRIPTION" (thrown by execute), "did not finish" or the error's
    // number and description.
    QString operator()(const QString& command, const QString& url = {})
    {
        spy_.clear();
        try {
            inet.execute(url, command);
        } catch (const TransferError& error) {
            return QStringLiteral("refused %1 %2").arg(error.number()).arg(error.description());
        }
        if (!QTest::qWaitFor([this] { return !inet.isBusy(); }, Wait))
            return QStringLiteral("did not finish");
        const TransferError error = inet.lastError();
        return error.number() ? QStringLiteral("%1 %2").arg(error.number()).arg(error.description())
                              : QString();
    }

    QList<int> states() const
    {
        QList<int> states;
        for (const QList<QVariant>& call : spy_)
            states << int(call.at(0).value<TransferState>());
        return states;
    }
    int lastState() const
    {
        return spy_.isEmpty() ? -1 : int(spy_.last().at(0).value<TransferState>());
    }
    // The states rose strictly and ended with `last`.
    bool statesRoseTo(TransferState last) const
    {
        const QList<int> s = states();
        return !s.isEmpty() && s.last() == int(last) &&
               std::adjacent_find(s.begin(), s.end(), std::greater_equal<>()) == s.end();
    }

    TransferClient& inet;

private:
    QSignalSpy spy_;
};

} // namespace TransferRun

// Runs `command` to a successful end: its last state is ResponseCompleted,
// and no error reply of the server is left.
#define RUN_OK(runner, command)                                                                    \
    do {                                                                                           \
        QCOMPARE((runner)(command), QString());                                                    \
        QCOMPARE((runner).lastState(), int(TransferState::ResponseCompleted));                     \
        QCOMPARE((runner).inet.responseCode(), 0);                                                 \
    } while (false)

// Runs `command` to its end, a failure `error` with the server's reply
// `code` (0: none); the last state of a failed request is Error.
#define RUN_FAILS(runner, command, error, code)                                                    \
    do {                                                                                           \
        const QString failure_ = (runner)(command);                                                \
        QVERIFY2(failure_.startsWith(QString::number(int(error)) + u' '), qPrintable(failure_));   \
        QCOMPARE((runner).inet.responseCode(), int(code));                                         \
        QCOMPARE((runner).lastState(), int(TransferState::Error));                                 \
    } while (false)
