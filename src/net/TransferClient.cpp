#include "net/TransferClient.h"

#include "net/NetRequest.h"
#include "net/NetSession.h"
#include "net/TransferRequest.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

TransferClient::TransferClient(QObject* parent) : QObject(parent) {}

TransferClient::~TransferClient()
{
    ++generation_; // nothing more is reported
}

RequestDefaults TransferClient::defaults() const
{
    return {userName_, password_, caFile_, requestTimeout_, maxBytes_, deadline_};
}

// Starts `op` on url().
void TransferClient::run(Operation op, const QString& remote, const QString& local)
{
    if (running_) {
        throw TransferError(TransferError::isBusy, QStringLiteral("Still executing last request"));
    }
    const QStringList paths{remote, local};
    TransferJob job = parseAddress(url_, defaults(), paths);
    if (job.protocol == Protocol::Http) {
        throw TransferError(TransferError::InvalidCommand,
                            QStringLiteral("HTTP addresses support GET only."));
    }
    job.op = op;
    job.remote = remote;
    job.local = local.isEmpty() ? local : QFileInfo(local).absoluteFilePath();
    const bool namesNoFile = op == Operation::Connect || op == Operation::List ||
                             op == Operation::Pwd || op == Operation::Close;
    if (remote.isEmpty() && !namesNoFile) {
        throw TransferError(TransferError::InvalidCommand,
                            QStringLiteral("The remote path is missing; nothing was sent."));
    }
    if ((op == Operation::Put || op == Operation::Stage) && !QFileInfo(job.local).isFile()) {
        throw TransferError(TransferError::LocalFileError,
                            QStringLiteral("The local file %1 does not exist.")
                                .arg(QDir::toNativeSeparators(job.local)));
    }
    start(job);
}

void TransferClient::logIn()
{
    run(Operation::Connect);
}

void TransferClient::download(const QString& remote, const QString& localFile)
{
    run(Operation::Get, remote, localFile);
}

void TransferClient::upload(const QString& localFile, const QString& remote)
{
    run(Operation::Put, remote, localFile);
}

void TransferClient::stage(const QString& localFile, const QString& remote)
{
    run(Operation::Stage, remote, localFile);
}

void TransferClient::place(const QString& remote)
{
    run(Operation::Place, remote);
}

void TransferClient::discard(const QString& remote)
{
    run(Operation::Discard, remote);
}

void TransferClient::facts(const QString& remote)
{
    run(Operation::Facts, remote);
}

void TransferClient::list(const QString& folder)
{
    run(Operation::List, folder);
}

void TransferClient::makeFolder(const QString& folder)
{
    run(Operation::MakeFolder, folder);
}

void TransferClient::currentFolder()
{
    run(Operation::Pwd);
}

void TransferClient::changeFolder(const QString& folder)
{
    run(Operation::Cd, folder);
}

void TransferClient::close()
{
    run(Operation::Close);
}

void TransferClient::get(const QString& address)
{
    startDocument(address.isEmpty() ? url_ : address, false);
}

// Starts the download of the document `address` names (`anyScheme`: also
// on FTP and SFTP).
void TransferClient::startDocument(const QString& address, bool anyScheme)
{
    if (running_) {
        throw TransferError(TransferError::isBusy, QStringLiteral("Still executing last request"));
    }
    TransferJob job = parseAddress(address, defaults());
    if (!anyScheme && (job.protocol == Protocol::Ftp || job.protocol == Protocol::Sftp)) {
        throw TransferError(TransferError::InvalidCommand,
                            QStringLiteral("Only an HTTP address names a document to get; "
                                           "download a file from this one."));
    }
    aimAtDocument(job, address);
    url_ = address;
    start(job);
}

// The session of the job's server, log-in and starting folder, with its
// limits: the kept one when they are the same, else a new one. The old one
// and its connection go once the event loop is back: this may be called from
// its own report of a request's end. Nothing of it reaches this client any
// more.
NetSession* TransferClient::sessionFor(const TransferJob& job)
{
    const QString key = job.directoryKey + u'|' + QString::fromUtf8(job.base) + u'|' +
                        QString::number(job.timeout) + u'|' + QString::number(job.maxBytes) + u'|' +
                        QString::number(job.deadline);
    if (!session_ || key != sessionKey_) {
        if (session_) {
            for (NetRequest* request :
                 session_->findChildren<NetRequest*>(Qt::FindDirectChildrenOnly))
                disconnect(request, nullptr, this, nullptr);
            session_->deleteLater();
        }
        session_ = new NetSession(job, this);
        session_->setPrompt(prompt_);
        sessionKey_ = key;
    }
    return session_;
}

void TransferClient::start(const TransferJob& job)
{
    ++generation_;
    running_ = true;
    lastError_ = TransferError();
    responseCode_ = 0;
    responseInfo_.clear();
    notice_.clear();
    facts_ = FileFacts();
    data_.clear();
    dataPos_ = 0;
    if (job.protocol == Protocol::Http) {
        headers_.clear();
        httpStatus_ = 0;
    }
    dropData_ = job.op == Operation::Connect; // logged in: the folder is not asked for

    if (job.op == Operation::Close) {
        const auto closed = [this] {
            emit stateChanged(TransferState::Disconnecting);
            emit stateChanged(TransferState::Disconnected);
            TransferOutcome outcome;
            outcome.closed = true;
            finish(outcome);
        };
        if (session_) {
            // After whatever the session still does (the clean-up of a stop).
            follow(session_->logOut(), [closed](const TransferOutcome&) {
                closed();
                return true;
            });
            return;
        }
        const quint64 generation = generation_;
        QMetaObject::invokeMethod(
            this,
            [this, generation, closed] {
                if (generation == generation_)
                    closed();
            },
            Qt::QueuedConnection);
        return;
    }

    NetSession* session = sessionFor(job);
    switch (job.op) {
    case Operation::HttpGet:
        follow(session->get());
        break;
    case Operation::Connect:
    case Operation::Pwd:
        follow(session->currentFolder());
        break;
    case Operation::Get:
        follow(session->download(job.remote, job.local));
        break;
    case Operation::Put: {
        // Staged, then put in place; a copy that cannot be put in place is
        // deleted again.
        const QString remote = job.remote;
        follow(session->stage(job.local, remote), [this, remote](const TransferOutcome& staged) {
            if (staged.error.number() != 0)
                return false;
            follow(session_->place(remote), [this, remote](const TransferOutcome& placed) {
                if (placed.error.number() == 0)
                    return false;
                follow(session_->discard(remote), [this, placed](const TransferOutcome&) {
                    finish(placed);
                    return true;
                });
                return true;
            });
            return true;
        });
        break;
    }
    case Operation::Stage:
        follow(session->stage(job.local, job.remote));
        break;
    case Operation::Place:
        follow(session->place(job.remote));
        break;
    case Operation::Discard:
        follow(session->discard(job.remote));
        break;
    case Operation::Facts:
        follow(session->facts(job.remote));
        break;
    case Operation::List:
        follow(job.remote.isEmpty() ? session->list() : session->listFolder(job.remote));
        break;
    case Operation::MakeFolder:
        follow(session->makeFolder(job.remote));
        break;
    case Operation::Cd:
        follow(session->changeFolder(job.remote));
        break;
    case Operation::Close:
        break;
    }
}

// Reports `request` as the running one. `then` is given its outcome first:
// true when it has taken over (started the next request of the command).
void TransferClient::follow(NetRequest* request, const Then& then)
{
    request_ = request;
    const quint64 generation = generation_;
    connect(request, &NetRequest::stateChanged, this, [this, generation](TransferState state) {
        if (generation == generation_)
            emit stateChanged(state);
    });
    connect(request, &NetRequest::progress, this, [this, generation](qint64 done, qint64 total) {
        if (generation == generation_)
            emit progress(done, total);
    });
    connect(request, &NetRequest::finished, this,
            [this, generation, request, then](const TransferOutcome& outcome) {
                request->deleteLater();
                if (generation != generation_ || (then && then(outcome)))
                    return;
                TransferOutcome result = outcome;
                if (dropData_)
                    result.data.clear();
                finish(result);
            });
}

void TransferClient::finish(const TransferOutcome& outcome)
{
    const quint64 generation = generation_;
    request_ = nullptr;
    responseCode_ = outcome.responseCode;
    responseInfo_ = outcome.responseInfo;
    lastError_ = outcome.error;
    notice_ = outcome.notice;
    facts_ = outcome.facts;
    if (outcome.http) {
        headers_ = outcome.headers;
        httpStatus_ = outcome.httpStatus;
    }
    if (outcome.error.number() != 0) {
        running_ = false;
        emit stateChanged(TransferState::Error);
        emit finished();
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
    emit stateChanged(TransferState::ResponseCompleted);
    emit finished();
}

void TransferClient::cancel()
{
    const bool wasRunning = running_;
    ++generation_; // whatever the stopped request still reports is dropped
    if (request_)
        request_->abort();
    request_ = nullptr;
    if (session_)
        session_->closeConnection();
    if (wasRunning) {
        running_ = false;
        lastError_ =
            TransferError(TransferError::Cancelled, QStringLiteral("The request was cancelled."));
        data_.clear();
        dataPos_ = 0;
        QMetaObject::invokeMethod(this, &TransferClient::finished, Qt::QueuedConnection);
    }
    if (wasRunning || session_) {
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

QByteArray TransferClient::readAll()
{
    const QByteArray rest = data_.mid(dataPos_);
    dataPos_ = data_.size();
    return rest;
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

bool TransferClient::fetch(const QString& address)
{
    try {
        startDocument(address, true);
    } catch (const TransferError& error) {
        lastError_ = error;
        return false;
    }
    return true;
}

QString quoteCommandPath(const QString& path)
{
    QString quoted = path;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}
