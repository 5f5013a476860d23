#include "net/TransferClient.h"

#include "net/CurlEngine.h"
#include "net/TransferRequest.h"

#include <QEventLoop>
#include <QStringList>

namespace {

// libcurl is set up once per process, before the first handle.
void initCurl()
{
    static const bool ready = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)ready;
}

} // namespace

TransferClient::TransferClient(QObject* parent) : QObject(parent)
{
    initCurl();
    engine_ = std::make_unique<TransferEngine>(this);
}

TransferClient::~TransferClient()
{
    engine_->interrupt();
    joinWorker();
}

TransferJob TransferClient::prepare(const QString& address, const QString& command,
                                    bool document) const
{
    return parseRequest(
        address, command, document,
        RequestDefaults{userName_, password_, caFile_, requestTimeout_, maxBytes_, deadline_});
}

void TransferClient::execute(const QString& url, const QString& command)
{
    if (running_) {
        throw TransferError(TransferError::isBusy, QStringLiteral("Still executing last request"));
    }
    TransferJob job = prepare(url.isEmpty() ? url_ : url, command, false);
    if (!url.isEmpty())
        url_ = url;
    start(std::move(job));
}

void TransferClient::start(TransferJob job)
{
    joinWorker();
    ++generation_;
    running_ = true;
    lastError_ = TransferError();
    responseCode_ = 0;
    responseInfo_.clear();
    data_.clear();
    dataPos_ = 0;
    if (job.protocol == Protocol::Http)
        headers_.clear();
    engine_->arm();
    const quint64 generation = generation_;
    worker_ = std::thread([this, generation, job = std::move(job)] {
        TransferOutcome outcome;
        try {
            outcome = engine_->run(
                job, [this, generation](TransferState state) { postState(generation, state); });
        } catch (const std::exception& e) {
            outcome.error =
                TransferError(TransferError::OtherFailure, QString::fromLocal8Bit(e.what()));
        }
        QMetaObject::invokeMethod(
            this, [this, generation, outcome] { finish(generation, outcome); },
            Qt::QueuedConnection);
    });
}

void TransferClient::postState(quint64 generation, TransferState state)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, state] {
            if (generation == generation_ && running_)
                emit stateChanged(state);
        },
        Qt::QueuedConnection);
}

void TransferClient::finish(quint64 generation, const TransferOutcome& outcome)
{
    if (generation != generation_)
        return; // cancelled meanwhile
    joinWorker();
    responseCode_ = outcome.responseCode;
    responseInfo_ = outcome.responseInfo;
    lastError_ = outcome.error;
    notice_ = outcome.notice;
    if (outcome.http)
        headers_ = outcome.headers;
    if (outcome.error.number() != 0) {
        running_ = false;
        if (waitLoop_)
            waitLoop_->quit();
        emit stateChanged(TransferState::Error);
        return;
    }
    data_ = outcome.data;
    dataPos_ = 0;
    if (!outcome.closed) {
        emit stateChanged(TransferState::ResponseReceived);
        if (generation != generation_)
            return; // a handler cancelled
    }
    running_ = false;
    if (waitLoop_)
        waitLoop_->quit();
    emit stateChanged(TransferState::ResponseCompleted);
}

void TransferClient::joinWorker()
{
    if (worker_.joinable())
        worker_.join();
}

void TransferClient::cancel()
{
    const bool wasRunning = running_;
    const bool hadConnection = engine_->interrupt();
    joinWorker();
    engine_->dropConnections();
    ++generation_; // whatever the stopped request still reports is dropped
    if (wasRunning) {
        running_ = false;
        lastError_ =
            TransferError(TransferError::Cancelled, QStringLiteral("The request was cancelled."));
        data_.clear();
        dataPos_ = 0;
        if (waitLoop_)
            waitLoop_->quit();
    }
    if (wasRunning || hadConnection) {
        const quint64 generation = generation_;
        for (const TransferState state :
             {TransferState::Disconnecting, TransferState::Disconnected}) {
            QMetaObject::invokeMethod(
                this,
                [this, generation, state] {
                    if (generation == generation_)
                        emit stateChanged(state);
                },
                Qt::QueuedConnection);
        }
    }
}

QByteArray TransferClient::readChunk(int size, int /*type: text and bytes are the same bytes*/)
{
    if (size <= 0 || dataPos_ >= data_.size())
        return {};
    const QByteArray chunk = data_.mid(dataPos_, size);
    dataPos_ += chunk.size();
    return chunk;
}

QString TransferClient::responseHeader(const QString& name) const
{
    const QString all = QString::fromLatin1(headers_);
    if (name.isEmpty())
        return all;
    const QStringList lines = all.split(QStringLiteral("\r\n"));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(u':');
        if (colon > 0 && lines[i].left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return lines[i].mid(colon + 1).trimmed();
    }
    return {};
}

QByteArray TransferClient::fetch(const QString& address)
{
    if (running_) {
        lastError_ =
            TransferError(TransferError::isBusy, QStringLiteral("Still executing last request"));
        return {};
    }
    try {
        TransferJob job = prepare(address, QStringLiteral("GET"), true);
        url_ = address;
        start(std::move(job));
    } catch (const TransferError& error) {
        lastError_ = error;
        return {};
    }
    QEventLoop loop;
    waitLoop_ = &loop;
    if (running_)
        loop.exec();
    waitLoop_ = nullptr;
    if (lastError_.number() != 0)
        return {};
    const QByteArray document = data_.mid(dataPos_);
    dataPos_ = data_.size();
    return document;
}
