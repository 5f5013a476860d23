#include "net/NetSession.h"

#include "base/Prompt.h"
#include "net/CurlErrors.h"
#include "net/FtpListing.h"

#include <QDir>
#include <QUrl>

#include <memory>
#include <optional>

namespace {

void initCurl()
{
    static const bool ready = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)ready;
}

TransferOutcome failed(int number, const QString& text)
{
    TransferOutcome outcome;
    outcome.error = TransferError(number, text);
    return outcome;
}

} // namespace

NetSession::NetSession(const QString& address, const RequestDefaults& login, QObject* parent)
    : NetSession(TransferJob(), parent)
{
    try {
        job_ = parseAddress(address, login);
    } catch (const TransferError& error) {
        refused_ = error;
    }
}

NetSession::NetSession(const TransferJob& job, QObject* parent)
    : QObject(parent), job_(job), easy_((initCurl(), curl_easy_init()))
{
    idle_.session = this;
    stallTimer_.setSingleShot(true);
    deadlineTimer_.setSingleShot(true);
    connect(&stallTimer_, &QTimer::timeout, this, &NetSession::checkStall);
    connect(&deadlineTimer_, &QTimer::timeout, this, [this] {
        deadlinePassed_ = true;
        interrupt(Abort::Deadline);
    });
}

NetSession::~NetSession()
{
    // The requests go with their session, unfinished ones without a word.
    for (NetRequest* request : findChildren<NetRequest*>(Qt::FindDirectChildrenOnly))
        request->finished_ = true;
    if (active_)
        active_->task_.reset();
}

NetRequest* NetSession::enqueue(std::function<Task()> body)
{
    auto* request = new NetRequest(this, std::move(body));
    queue_.push_back(request);
    if (!startPosted_ && !active_) {
        startPosted_ = true;
        QMetaObject::invokeMethod(this, &NetSession::startNext, Qt::QueuedConnection);
    }
    return request;
}

// Starts the first waiting request, once the caller that made it has had
// the chance to connect to its signals.
void NetSession::startNext()
{
    startPosted_ = false;
    if (!active_ && queue_.empty() && closeWhenIdle_) {
        closeWhenIdle_ = false;
        driver_.closeConnections();
        cwdKnown_ = false;
    }
    while (!active_ && !queue_.empty()) {
        NetRequest* request = queue_.front();
        queue_.pop_front();
        if (!request || request->finished_)
            continue;
        active_ = request;
        request->started_ = true;
        deadlinePassed_ = false;
        if (job_.deadline > 0)
            deadlineTimer_.start(job_.deadline * 1000);
        request->task_ = refused_.number() ? [](TransferError e) -> Task {
            TransferOutcome outcome;
            outcome.error = e;
            co_return outcome;
        }(refused_)
            : request->body_();
        request->task_.start([this, request] {
            // The last step may still be on libcurl's stack: report later.
            QMetaObject::invokeMethod(
                this,
                [this, request = QPointer<NetRequest>(request)] {
                    if (!request || request != active_)
                        return; // stopped meanwhile
                    TransferOutcome outcome;
                    try {
                        outcome = request->task_.result();
                    } catch (const TransferError& error) {
                        outcome.error = error; // an option libcurl refused
                    }
                    request->task_.reset();
                    active_ = nullptr;
                    deadlineTimer_.stop();
                    request->leftover_.clear();
                    request->finish(outcome);
                    startNext();
                },
                Qt::QueuedConnection);
        });
    }
}

void NetSession::stopRequest(NetRequest* request, bool report)
{
    if (request == active_) {
        const bool inTransfer = inFlight_ != nullptr;
        request->task_.reset(); // stops the transfer in flight
        active_ = nullptr;
        deadlineTimer_.stop();
        if (inTransfer)
            cwdKnown_ = false; // a new connection may start elsewhere
        if (!request->leftover_.isEmpty()) {
            // The partial upload copy goes before anything else is done.
            const QString target = request->leftover_;
            auto* cleanup = new NetRequest(this, [this, target] { return runDiscard(target); });
            connect(cleanup, &NetRequest::finished, cleanup, &QObject::deleteLater);
            queue_.push_front(cleanup);
        }
    } else {
        std::erase(queue_, request);
    }
    if (report)
        request->finish(
            failed(TransferError::Cancelled, QStringLiteral("The request was cancelled.")));
    else
        request->finished_ = true;
    if (!startPosted_ && !queue_.empty()) {
        startPosted_ = true;
        QMetaObject::invokeMethod(this, &NetSession::startNext, Qt::QueuedConnection);
    }
}

void NetSession::closeConnection()
{
    if (active_ || !queue_.empty()) {
        closeWhenIdle_ = true; // after the requests made before, the clean-up of an abort too
        return;
    }
    driver_.closeConnections();
    cwdKnown_ = false;
}

NetRequest* NetSession::logOut()
{
    return enqueue([this] { return runLogOut(); });
}

NetSession::Task NetSession::runLogOut()
{
    driver_.closeConnections();
    cwdKnown_ = false;
    co_return TransferOutcome();
}

// Ends the transfer in flight as timed out.
void NetSession::interrupt(Abort reason)
{
    if (!inFlight_)
        return;
    Perform* perform = inFlight_;
    driver_.stop(easy_.get());
    perform->end(CURLE_OPERATION_TIMEDOUT, reason);
}

void NetSession::checkStall()
{
    if (!inFlight_ || job_.timeout <= 0)
        return;
    const qint64 left = qint64(job_.timeout) * 1000 - inFlight_->step()->quiet.elapsed();
    if (left <= 0)
        interrupt(Abort::Stall);
    else
        stallTimer_.start(int(left));
}

void NetSession::detach()
{
    CURL* h = easy_.get();
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
    for (const CURLoption option : {CURLOPT_DEBUGDATA, CURLOPT_HEADERDATA, CURLOPT_WRITEDATA,
                                    CURLOPT_READDATA, CURLOPT_XFERINFODATA})
        curl_easy_setopt(h, option, &idle_);
}

NetSession::Perform::~Perform()
{
    if (session_->inFlight_ == this) {
        session_->driver_.stop(session_->easy_.get());
        session_->detach();
        session_->inFlight_ = nullptr;
        session_->stallTimer_.stop();
    }
}

bool NetSession::Perform::await_suspend(std::coroutine_handle<> waiting)
{
    waiting_ = waiting;
    if (session_->deadlinePassed_) {
        step_->abort = Abort::Deadline;
        code_ = CURLE_OPERATION_TIMEDOUT;
        return false;
    }
    if (!session_->driver_.start(session_->easy_.get(), [this](CURLcode code) { end(code); })) {
        code_ = CURLE_FAILED_INIT;
        return false;
    }
    session_->inFlight_ = this;
    step_->quiet.start();
    if (session_->job_.timeout > 0)
        session_->stallTimer_.start(session_->job_.timeout * 1000);
    return true;
}

void NetSession::Perform::end(CURLcode code, Abort reason)
{
    session_->inFlight_ = nullptr;
    session_->stallTimer_.stop();
    session_->detach();
    step_->abort = reason;
    code_ = code;
    waiting_.resume();
}
