#pragma once

// One request of a NetSession (a download, an upload step, a listing...):
// it starts once the requests before it on the session have ended, reports
// the bytes moved through progress() and ends with finished() exactly once.
// It belongs to its session; deleting it stops it as abort() does.

#include "net/NetTask.h"
#include "net/TransferRequest.h"
#include "net/TransferState.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class NetSession;

class NetRequest : public QObject
{
    Q_OBJECT

public:
    ~NetRequest() override;

    // Ends the request at once: the transfer in flight is stopped and its
    // connection closed, finished() is emitted with Cancelled before abort()
    // returns, and an upload copy it had begun is deleted from the server
    // by the session before its next request. Nothing once finished.
    void abort();
    bool isFinished() const { return finished_; }
    // error, responseCode and responseInfo of a failure; data (downloads to
    // memory, listings, the current folder, HTTP bodies), headers (HTTP) and
    // notice of a success.
    const TransferOutcome& result() const { return result_; }

signals:
    // Bytes of the file moved so far and in all (-1 while unknown); rises
    // and ends at the size with a successful transfer.
    void progress(qint64 done, qint64 total);
    // How far the exchange with the server has come (ResolvingHost up to
    // ReceivingResponse), each state once and in increasing order; a kept
    // connection skips the first four.
    void stateChanged(TransferState state);
    void finished(const TransferOutcome& result);

private:
    friend class NetSession;
    using Body = std::function<NetTask<TransferOutcome>()>;
    NetRequest(NetSession* session, Body body);

    void noteProgress(qint64 done, qint64 total);
    void noteState(TransferState state);
    bool reached(TransferState state) const { return lastState_ >= int(state); }
    void finish(const TransferOutcome& result);

    QPointer<NetSession> session_;
    Body body_;
    NetTask<TransferOutcome> task_;
    TransferOutcome result_;
    bool started_ = false;
    bool finished_ = false;
    // the latest progress, emitted once the event loop gets to it
    qint64 done_ = 0;
    qint64 total_ = -1;
    qint64 emitted_ = -1;
    bool progressPosted_ = false;
    int lastState_ = 0;
    // an upload copy on the server that an abort leaves to be deleted
    QString leftover_;
};
