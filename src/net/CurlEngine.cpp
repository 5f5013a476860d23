#include "net/CurlEngine.h"

#include "net/CurlErrors.h"
#include "net/FtpListing.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <optional>
#include <sys/select.h>
#include <unistd.h>
#include <utility>

int TransferEngine::onDebug(CURL*, curl_infotype type, char*, size_t, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    TransferEngine* engine = transfer->engine;
    switch (type) {
    case CURLINFO_HEADER_IN:
    case CURLINFO_DATA_IN:
        transfer->quiet.restart();
        if (engine->lastState_ == int(TransferState::Connecting))
            engine->raise(TransferState::Connected);
        if (engine->reached(TransferState::SendingRequest)) {
            engine->raise(TransferState::RequestSent);
            engine->raise(TransferState::ReceivingResponse);
        }
        break;
    case CURLINFO_HEADER_OUT:
        transfer->quiet.restart();
        if (engine->lastState_ == int(TransferState::Connecting))
            engine->raise(TransferState::Connected);
        engine->raise(TransferState::SendingRequest);
        break;
    case CURLINFO_DATA_OUT:
    case CURLINFO_SSL_DATA_IN:
    case CURLINFO_SSL_DATA_OUT:
        transfer->quiet.restart();
        if (engine->lastState_ == int(TransferState::Connecting))
            engine->raise(TransferState::Connected);
        break;
    default:
        break;
    }
    return 0;
}

size_t TransferEngine::onHeader(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const size_t length = size * count;
    QByteArray line(data, qsizetype(length));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);

    if (transfer->protocol == Protocol::Http) {
        if (line.startsWith("HTTP/"))
            transfer->headers.clear(); // a new answer (after a redirect or 100 Continue)
        if (!line.isEmpty())
            transfer->headers << line;
        return length;
    }

    // FTP replies: "123 text", or "123-first" ... "123 last" for several lines.
    transfer->replyLines << line;
    const bool final =
        line.size() >= 4 && FtpListing::isDigits(line.left(3), 3, 3) && line[3] == ' ' &&
        (transfer->replyLines.size() == 1 || transfer->replyLines.first().left(3) == line.left(3));
    if (final) {
        QByteArrayList texts;
        for (const QByteArray& part : std::as_const(transfer->replyLines)) {
            const bool coded = part.size() >= 4 && FtpListing::isDigits(part.left(3), 3, 3) &&
                               (part[3] == ' ' || part[3] == '-');
            const QByteArray text = (coded ? part.mid(4) : part).trimmed();
            if (!text.isEmpty())
                texts << text;
        }
        transfer->replyCode = line.left(3).toInt();
        transfer->replyText = texts.join(' ');
        if (transfer->replyCode == 257)
            transfer->pwdReply = transfer->replyLines.first().mid(4);
        transfer->replyLines.clear();
    }
    return length;
}

size_t TransferEngine::onWrite(char* data, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const qint64 length = qint64(size * count);
    transfer->received += length;
    if (transfer->maxBytes > 0 && transfer->received > transfer->maxBytes) {
        transfer->tooLarge = true;
        return 0;
    }
    if (transfer->memory) {
        transfer->memory->append(data, length);
    } else if (transfer->file) {
        if (transfer->file->write(data, length) != length) {
            transfer->localWriteFailed = true;
            return 0;
        }
    }
    return size_t(length);
}

size_t TransferEngine::onRead(char* buffer, size_t size, size_t count, void* user)
{
    auto* transfer = static_cast<Transfer*>(user);
    const qint64 got = transfer->upload->read(buffer, qint64(size * count));
    if (got < 0) {
        transfer->localReadFailed = true;
        return CURL_READFUNC_ABORT;
    }
    return size_t(got);
}

int TransferEngine::onProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up)
{
    auto* transfer = static_cast<Transfer*>(user);
    if (down != transfer->seenDown || up != transfer->seenUp) {
        transfer->seenDown = down;
        transfer->seenUp = up;
        transfer->quiet.restart();
    }
    return transfer->engine->cancel_ ? 1 : 0;
}

curl_socket_t TransferEngine::onOpenSocket(void* user, curlsocktype, curl_sockaddr* address)
{
    auto* engine = static_cast<TransferEngine*>(user);
    curl_socket_t socket = CURL_SOCKET_BAD;
    {
        std::lock_guard lock(engine->mutex_);
        if (engine->cancel_)
            return CURL_SOCKET_BAD;
        socket = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
        if (socket == CURL_SOCKET_BAD)
            return socket;
        engine->sockets_.insert(socket);
    }
    engine->raise(TransferState::ResolvingHost);
    engine->raise(TransferState::HostResolved);
    engine->raise(TransferState::Connecting);
    return socket;
}

int TransferEngine::onCloseSocket(void* user, curl_socket_t socket)
{
    auto* engine = static_cast<TransferEngine*>(user);
    {
        std::lock_guard lock(engine->mutex_);
        engine->sockets_.erase(socket);
    }
    return ::close(socket);
}

int TransferEngine::onResolverStart(void*, void*, void* user)
{
    static_cast<TransferEngine*>(user)->raise(TransferState::ResolvingHost);
    return 0;
}

void TransferEngine::setUp(Transfer& transfer, const TransferJob& job, const QByteArray& url)
{
    CURL* h = easy_.get();
    curl_easy_reset(h);
    transfer.engine = this;
    transfer.protocol = job.protocol;
    transfer.maxBytes = job.maxBytes;

    require(CURLOPT_URL, url.constData(), "CURLOPT_URL");
    require(CURLOPT_NOSIGNAL, 1L, "CURLOPT_NOSIGNAL");
    require(CURLOPT_ERRORBUFFER, transfer.errorBuffer, "CURLOPT_ERRORBUFFER");
    require(CURLOPT_VERBOSE, 1L, "CURLOPT_VERBOSE");
    require(CURLOPT_DEBUGFUNCTION, &TransferEngine::onDebug, "CURLOPT_DEBUGFUNCTION");
    require(CURLOPT_DEBUGDATA, &transfer, "CURLOPT_DEBUGDATA");
    require(CURLOPT_HEADERFUNCTION, &TransferEngine::onHeader, "CURLOPT_HEADERFUNCTION");
    require(CURLOPT_HEADERDATA, &transfer, "CURLOPT_HEADERDATA");
    require(CURLOPT_WRITEFUNCTION, &TransferEngine::onWrite, "CURLOPT_WRITEFUNCTION");
    require(CURLOPT_WRITEDATA, &transfer, "CURLOPT_WRITEDATA");
    require(CURLOPT_READFUNCTION, &TransferEngine::onRead, "CURLOPT_READFUNCTION");
    require(CURLOPT_READDATA, &transfer, "CURLOPT_READDATA");
    require(CURLOPT_NOPROGRESS, 0L, "CURLOPT_NOPROGRESS");
    require(CURLOPT_XFERINFOFUNCTION, &TransferEngine::onProgress, "CURLOPT_XFERINFOFUNCTION");
    require(CURLOPT_XFERINFODATA, &transfer, "CURLOPT_XFERINFODATA");
    // Sockets are opened and closed through the engine, so that Cancel can
    // shut them down from the UI thread.
    require(CURLOPT_OPENSOCKETFUNCTION, &TransferEngine::onOpenSocket,
            "CURLOPT_OPENSOCKETFUNCTION");
    require(CURLOPT_OPENSOCKETDATA, this, "CURLOPT_OPENSOCKETDATA");
    require(CURLOPT_CLOSESOCKETFUNCTION, &TransferEngine::onCloseSocket,
            "CURLOPT_CLOSESOCKETFUNCTION");
    require(CURLOPT_CLOSESOCKETDATA, this, "CURLOPT_CLOSESOCKETDATA");
    // Only raises ResolvingHost a little earlier; the socket callback raises
    // it too, so a libcurl without it loses nothing.
    curl_easy_setopt(h, CURLOPT_RESOLVER_START_FUNCTION, &TransferEngine::onResolverStart);
    curl_easy_setopt(h, CURLOPT_RESOLVER_START_DATA, this);

    if (job.timeout > 0) {
        require(CURLOPT_CONNECTTIMEOUT, long(job.timeout), "CURLOPT_CONNECTTIMEOUT");
        require(CURLOPT_SERVER_RESPONSE_TIMEOUT, long(job.timeout),
                "CURLOPT_SERVER_RESPONSE_TIMEOUT");
    }
    if (job.hasUser) {
        require(CURLOPT_USERNAME, job.user.toUtf8().constData(), "CURLOPT_USERNAME");
        require(CURLOPT_PASSWORD, job.password.toUtf8().constData(), "CURLOPT_PASSWORD");
    }
    if (!job.caFile.isEmpty())
        require(CURLOPT_CAINFO, QFile::encodeName(job.caFile).constData(), "CURLOPT_CAINFO");

    switch (job.protocol) {
    case Protocol::Http:
        require(CURLOPT_PROTOCOLS_STR, "http,https", "CURLOPT_PROTOCOLS_STR");
        require(CURLOPT_REDIR_PROTOCOLS_STR, "http,https", "CURLOPT_REDIR_PROTOCOLS_STR");
        require(CURLOPT_FOLLOWLOCATION, 1L, "CURLOPT_FOLLOWLOCATION");
        require(CURLOPT_MAXREDIRS, 10L, "CURLOPT_MAXREDIRS");
        // HTTP/1.1 keeps the status line in the form callers read it in.
        require(CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1), "CURLOPT_HTTP_VERSION");
        require(CURLOPT_USERAGENT, "Pagewick", "CURLOPT_USERAGENT");
        // A fresh connection for every request: a server that sent more
        // than its Content-Length would otherwise hand the surplus to the
        // next request on the kept connection as the start of its answer.
        require(CURLOPT_FORBID_REUSE, 1L, "CURLOPT_FORBID_REUSE");
        break;
    case Protocol::Ftp:
        require(CURLOPT_PROTOCOLS_STR, "ftp,ftps", "CURLOPT_PROTOCOLS_STR");
        require(CURLOPT_FTP_FILEMETHOD, long(CURLFTPMETHOD_NOCWD), "CURLOPT_FTP_FILEMETHOD");
        if (job.tls) {
            require(CURLOPT_USE_SSL, long(CURLUSESSL_ALL), "CURLOPT_USE_SSL");
            // TLS 1.2 at most: under TLS 1.3 the server sends session
            // tickets on the data connection after the handshake. An upload
            // never reads them, so closing that connection resets it, and the
            // server may lose the end of the file while reporting success.
            require(CURLOPT_SSLVERSION,
                    long(CURL_SSLVERSION_TLSv1_2) | long(CURL_SSLVERSION_MAX_TLSv1_2),
                    "CURLOPT_SSLVERSION");
        }
        break;
    case Protocol::Sftp: {
        require(CURLOPT_PROTOCOLS_STR, "sftp", "CURLOPT_PROTOCOLS_STR");
        const QUrl server(QString::fromUtf8(job.base));
        sshKeys_.setUp(h, server.host(), server.port(22), job.password);
        break;
    }
    case Protocol::File:
        require(CURLOPT_PROTOCOLS_STR, "file", "CURLOPT_PROTOCOLS_STR");
        break;
    }
}

// How long to wait for the sockets libcurl names before performing again.
// Between the steps of an FTP exchange libcurl (7.88) does not always name a
// socket, nor a timer that ends the wait in time: after the reply to EPSV it
// returns before connecting the data connection, and a poll would sleep its
// whole period, once for every file sent. With no socket named the next
// perform goes on after 1 ms; otherwise the poll ends when a named socket is
// ready, or after 20 ms at most, so that Cancel and the time-outs are seen.
static int pollPeriod(CURLM* multiHandle)
{
    fd_set readSet, writeSet, errorSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&errorSet);
    int highest = -1;
    if (curl_multi_fdset(multiHandle, &readSet, &writeSet, &errorSet, &highest) != CURLM_OK)
        return 1;
    return highest < 0 ? 1 : 20;
}

// Runs the transfer set up on the easy handle through the engine's multi
// handle, so that connections are kept between transfers, while watching for
// Cancel and for stalls.
CURLcode TransferEngine::perform(Transfer& transfer, const TransferJob& job)
{
    CURL* easy = easy_.get();
    CURLM* multiHandle = multi();
    CurlMultiAttachment attachment(multiHandle, easy);
    if (!attachment.isAttached())
        return CURLE_FAILED_INIT;
    transfer.quiet.start();
    QElapsedTimer whole;
    whole.start();
    for (;;) {
        int running = 0;
        curl_multi_perform(multiHandle, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multiHandle, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
                return message->data.result;
        }
        if (cancel_) {
            transfer.abort = Abort::Cancel;
            return CURLE_ABORTED_BY_CALLBACK;
        }
        if (job.deadline > 0 && whole.hasExpired(qint64(job.deadline) * 1000)) {
            transfer.abort = Abort::Deadline;
            return CURLE_OPERATION_TIMEDOUT;
        }
        if (job.timeout > 0 && transfer.quiet.hasExpired(qint64(job.timeout) * 1000)) {
            transfer.abort = Abort::Stall;
            return CURLE_OPERATION_TIMEDOUT;
        }
        curl_multi_poll(multiHandle, nullptr, 0, pollPeriod(multiHandle), nullptr);
    }
}

void TransferEngine::fail(TransferOutcome& outcome, const Transfer& transfer, CURLcode code,
                          const TransferJob& job) const
{
    CurlFailure failure;
    failure.code = code;
    failure.detail = transfer.errorBuffer[0] ? QString::fromUtf8(transfer.errorBuffer)
                                             : QString::fromUtf8(curl_easy_strerror(code));
    failure.cancelled = transfer.abort == Abort::Cancel ||
                        (code == CURLE_ABORTED_BY_CALLBACK && cancel_ && !transfer.localReadFailed);
    failure.stalled = transfer.abort == Abort::Stall;
    failure.deadlineExpired = transfer.abort == Abort::Deadline;
    failure.tooLarge = transfer.tooLarge;
    failure.localWriteFailed = transfer.localWriteFailed;
    failure.localReadFailed = transfer.localReadFailed;
    if (transfer.localWriteFailed && transfer.file)
        failure.localError = transfer.file->errorString();
    if (transfer.localReadFailed && transfer.upload)
        failure.localError = transfer.upload->errorString();
    if (job.protocol == Protocol::Sftp)
        failure.sshRefusal = sshKeys_.refusal();
    failure.replyCode = transfer.replyCode;
    failure.replyText = QString::fromUtf8(transfer.replyText);
    mapCurlFailure(failure, job, outcome);
}

void TransferEngine::refuseOption(const char* name, CURLcode result)
{
    throw TransferError(
        TransferError::OtherFailure,
        QStringLiteral("libcurl refused the option %1: %2")
            .arg(QString::fromLatin1(name), QString::fromUtf8(curl_easy_strerror(result))));
}

void TransferEngine::close(TransferOutcome& outcome)
{
    raise(TransferState::Disconnecting);
    dropConnections();
    raise(TransferState::Disconnected);
    outcome.closed = true;
}

bool TransferEngine::download(const TransferJob& job, const QByteArray& url,
                              TransferOutcome& outcome)
{
    Transfer transfer;
    QByteArray memory;
    std::optional<QSaveFile> file;
    if (job.local.isEmpty()) {
        transfer.memory = &memory;
    } else {
        // The data goes to a temporary file beside the target, which takes
        // the target's place only once everything has arrived.
        file.emplace(job.local);
        if (!file->open(QIODevice::WriteOnly)) {
            outcome.error =
                TransferError(TransferError::LocalFileError,
                              QStringLiteral("Cannot create the local file %1: %2")
                                  .arg(QDir::toNativeSeparators(job.local), file->errorString()));
            return false;
        }
        transfer.file = &*file;
    }
    setUp(transfer, job, url);
    const CURLcode code = perform(transfer, job);
    if (code != CURLE_OK) {
        if (file)
            file->cancelWriting();
        fail(outcome, transfer, code, job);
        return false;
    }
    if (file) {
        if (!file->commit()) {
            outcome.error =
                TransferError(TransferError::LocalFileError,
                              QStringLiteral("Cannot replace the local file %1: %2")
                                  .arg(QDir::toNativeSeparators(job.local), file->errorString()));
            return false;
        }
    } else {
        outcome.data = memory;
    }
    return true;
}

bool TransferEngine::upload(const TransferJob& job, const QByteArray& url, TransferOutcome& outcome)
{
    QFile source(job.local);
    if (!source.open(QIODevice::ReadOnly)) {
        outcome.error =
            TransferError(TransferError::LocalFileError,
                          QStringLiteral("Cannot read the local file %1: %2")
                              .arg(QDir::toNativeSeparators(job.local), source.errorString()));
        return false;
    }
    Transfer transfer;
    transfer.upload = &source;
    setUp(transfer, job, url);
    require(CURLOPT_UPLOAD, 1L, "CURLOPT_UPLOAD");
    require(CURLOPT_INFILESIZE_LARGE, curl_off_t(source.size()), "CURLOPT_INFILESIZE_LARGE");
    const CURLcode code = perform(transfer, job);
    if (code != CURLE_OK) {
        fail(outcome, transfer, code, job);
        return false;
    }
    return true;
}

// Sends `commands` on the connection without transferring data. A command
// starting with "*" may fail without failing the request.
bool TransferEngine::quote(const TransferJob& job, const QByteArray& url,
                           const QByteArrayList& commands, TransferOutcome& outcome, Reply* reply)
{
    CurlSlist list;
    for (const QByteArray& command : commands) {
        if (!list.append(command)) {
            throw TransferError(
                TransferError::OtherFailure,
                QStringLiteral("libcurl could not take the command %1 (out of memory).")
                    .arg(QString::fromUtf8(command)));
        }
    }
    Transfer transfer;
    setUp(transfer, job, url);
    require(CURLOPT_NOBODY, 1L, "CURLOPT_NOBODY");
    if (!list.isEmpty())
        require(CURLOPT_QUOTE, list.get(), "CURLOPT_QUOTE");
    const CURLcode code = perform(transfer, job);
    if (code != CURLE_OK) {
        fail(outcome, transfer, code, job);
        return false;
    }
    if (reply)
        *reply = {transfer.replyCode, transfer.replyText, transfer.pwdReply};
    return true;
}

// Renames the complete upload `temp` over `target`. Some servers refuse to
// rename over an existing file: then the target is deleted first, and the
// caller is told through the notice (the old file is gone for a moment).

TransferOutcome TransferEngine::run(const TransferJob& job, StateSink states)
{
    states_ = std::move(states);
    lastState_ = 0;
    TransferOutcome outcome;
    if (!easy_) {
        outcome.error = TransferError(TransferError::OtherFailure,
                                      QStringLiteral("libcurl could not be started."));
        return outcome;
    }
    if (job.connectionKey != connectionKey_) {
        dropConnections();
        connectionKey_ = job.connectionKey;
        mlsdRefused_ = false;
        renameOverRefused_ = false;
    }
    if (job.directoryKey != directoryKey_) {
        directoryKey_ = job.directoryKey;
        cwdKnown_ = false;
    }
    try {
        switch (job.protocol) {
        case Protocol::Http:
            runHttp(job, outcome);
            break;
        case Protocol::Ftp:
            runFtp(job, outcome);
            break;
        case Protocol::Sftp:
            runSftp(job, outcome);
            break;
        case Protocol::File:
            runFile(job, outcome);
            break;
        }
    } catch (const TransferError& error) {
        // An option libcurl refused: nothing of this request went out
        // with settings other than those asked for.
        outcome.error = error;
    }
    states_ = nullptr;
    return outcome;
}
