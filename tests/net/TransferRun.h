#pragma once

// What the transfer tests share: test data, the FTP log-in, and running one
// request of a TransferClient to its end while recording its states.

#include "PublishFixture.h"
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
    inet.setUserName(server.User);
    inet.setPassword(server.Password);
    inet.setRequestTimeout(30);
}

// Everything readChunk hands out, checking that no piece is larger than asked.
inline QByteArray readChunks(TransferClient& inet, int size = 1024)
{
    QByteArray all;
    for (QByteArray chunk; !(chunk = inet.readChunk(size, 0)).isEmpty(); all += chunk)
        if (chunk.size() > size)
            return "oversized chunk";
    return all;
}

// The document at `address` (TransferClient::fetch), once it has come;
// empty when the fetch was refused or failed.
inline QByteArray fetched(TransferClient& inet, const QString& address)
{
    if (!inet.fetch(address) || !QTest::qWaitFor([&] { return !inet.isBusy(); }, Wait) ||
        inet.lastError().number() != 0)
        return {};
    return readChunks(inet, 1 << 30);
}

class Runner
{
public:
    explicit Runner(TransferClient& inet) : inet(inet), spy_(&inet, &TransferClient::stateChanged)
    {
    }

    using Request = std::function<void()>; // starts one request of inet

    // Runs `request`: empty when it succeeded, else "refused NUMBER
    // DESCRIPTION" (thrown as it started), "did not finish" or "NUMBER
    // DESCRIPTION".
    QString operator()(const Request& request)
    {
        spy_.clear();
        try {
            request();
        } catch (const TransferError& e) {
            return QStringLiteral("refused %1 %2").arg(e.number()).arg(e.description());
        }
        if (!QTest::qWaitFor([this] { return !inet.isBusy(); }, Wait))
            return QStringLiteral("did not finish");
        const TransferError e = inet.lastError();
        return e.number() ? QStringLiteral("%1 %2").arg(e.number()).arg(e.description())
                          : QString();
    }
    // How running `request` differs from ending with `error` (0: success, in
    // the state ResponseCompleted, else in Error) and the server's reply
    // `code` (0: none); empty when it does not.
    QString expect(const Request& request, int error, int code)
    {
        const QString got = (*this)(request);
        const TransferState last = error ? TransferState::Error : TransferState::ResponseCompleted;
        if ((error ? got.startsWith(QString::number(error) + u' ') : got.isEmpty()) &&
            inet.responseCode() == code && lastState() == int(last))
            return {};
        return QStringLiteral("\"%1\", reply %2, state %3")
            .arg(got)
            .arg(inet.responseCode())
            .arg(lastState());
    }
    // What `request` hands to readChunk, or how it failed.
    QByteArray output(const Request& request)
    {
        const QString error = expect(request, 0, 0);
        return error.isEmpty() ? readChunks(inet) : error.toUtf8();
    }
    QList<int> states() const
    {
        QList<int> states;
        for (const QList<QVariant>& call : spy_)
            states << int(call.at(0).value<TransferState>());
        return states;
    }
    int lastState() const { return states().value(spy_.size() - 1, -1); }
    // The states rose strictly and ended with `last`.
    bool statesRoseTo(TransferState last) const
    {
        const QList<int> s = states();
        return lastState() == int(last) && std::is_sorted(s.begin(), s.end(), std::less_equal<>());
    }

    TransferClient& inet;

private:
    QSignalSpy spy_;
};

} // namespace TransferRun

#define ERROR_SAYS(inet, text)                                                                     \
    QVERIFY2((inet).lastError().description().contains(text),                                      \
             qPrintable((inet).lastError().description()))
#define RUN_OK(runner, request) QCOMPARE((runner).expect(request, 0, 0), QString())
#define RUN_FAILS(runner, request, error, code)                                                    \
    QCOMPARE((runner).expect(request, int(error), int(code)), QString())
