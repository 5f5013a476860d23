#include "net/NetRequest.h"

#include "net/NetSession.h"

#include <QMetaObject>

NetRequest::NetRequest(NetSession* session, Body body)
    : QObject(session), session_(session), body_(std::move(body))
{
}

NetRequest::~NetRequest()
{
    if (!finished_ && session_)
        session_->stopRequest(this, false);
}

void NetRequest::abort()
{
    if (!finished_ && session_)
        session_->stopRequest(this, true);
}

void NetRequest::noteProgress(qint64 done, qint64 total)
{
    if (done < done_ || (done == done_ && total == total_))
        return;
    done_ = done;
    total_ = total;
    if (progressPosted_)
        return;
    progressPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            progressPosted_ = false;
            if (!finished_ && done_ != emitted_) {
                emitted_ = done_;
                emit progress(done_, total_);
            }
        },
        Qt::QueuedConnection);
}

// Noted from inside libcurl, emitted from the event loop, before finished().
void NetRequest::noteState(TransferState state)
{
    if (int(state) <= lastState_)
        return;
    lastState_ = int(state);
    QMetaObject::invokeMethod(
        this,
        [this, state] {
            if (!finished_)
                emit stateChanged(state);
        },
        Qt::QueuedConnection);
}

void NetRequest::finish(const TransferOutcome& result)
{
    if (finished_)
        return;
    if (result.error.number() == 0 && done_ != emitted_ && done_ > 0) {
        emitted_ = done_;
        emit progress(done_, total_);
    }
    finished_ = true;
    result_ = result;
    emit finished(result_);
}
