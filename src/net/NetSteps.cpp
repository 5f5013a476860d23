// The transfers every request of a NetSession is made of: setting up the
// easy handle, libcurl's callbacks, and download, upload and quote.

#include "net/CurlErrors.h"
#include "net/FtpListing.h"
#include "net/NetSession.h"

#include "base/Prompt.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <memory>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

int NetSession::onDebug(CURL*, curl_infotype type, char*, size_t, void* user)
{
    auto* step = static_cast<Step*>(user);
    if (type != CURLINFO_TEXT)
        step->quiet.restart();
    NetRequest* request = step->session->active_;
    if (!request || type == CURLINFO_TEXT)
        return 0;
    if (request->lastState_ == int(TransferState::Connecting))
        request->noteState(TransferState::Connected);
    if (type == CURLINFO_HEADER_OUT) {
        request->noteState(TransferState::SendingRequest);
    } else if ((type == CURLINFO_HEADER_IN || type == CURLINFO_DATA_IN) &&
               request->reached(TransferState::SendingRequest)) {
        request->noteState(TransferState::RequestSent);
        request->noteState(TransferState::ReceivingResponse);
    }
    return 0;
}

curl_socket_t NetSession::onOpenSocket(void* user, curlsocktype, curl_sockaddr* address)
{
    auto* session = static_cast<NetSession*>(user);
    const curl_socket_t socket =
        ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (socket == CURL_SOCKET_BAD)
        return socket;
    session->driver_.opened(socket);
    if (NetRequest* request = session->active_) {
        for (const TransferState state :
             {TransferState::ResolvingHost, TransferState::HostResolved, TransferState::Connecting})
            request->noteState(state);
    }
    return socket;
}

int NetSession::onCloseSocket(void* user, curl_socket_t socket)
{
    static_cast<NetSession*>(user)->driver_.closing(socket);
    return ::close(socket);
}

size_t NetSession::onHeader(char* data, size_t size, size_t count, void* user)
{
    auto* step = static_cast<Step*>(user);
    const size_t length = size * count;
    QByteArray line(data, qsizetype(length));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (step->session->job_.protocol == Protocol::Http) {
        if (line.startsWith("HTTP/"))
            step->headers.clear(); // a new answer (after a redirect or 100 Continue)
        if (!line.isEmpty())
            step->headers << line;
        return length;
    }
    // FTP replies: "123 text", or "123-first" ... "123 last" for several lines.
    // (libcurl adds header lines of its own, "Content-Length: 12", for a
    // request without data: no reply starts so.)
    if (step->replyLines.isEmpty() && !FtpListing::isDigits(line.left(3), 3, 3))
        return length;
    step->replyLines << line;
    const bool final =
        line.size() >= 4 && FtpListing::isDigits(line.left(3), 3, 3) && line[3] == ' ' &&
        (step->replyLines.size() == 1 || step->replyLines.first().left(3) == line.left(3));
    if (final) {
        QByteArrayList texts;
        for (const QByteArray& part : std::as_const(step->replyLines)) {
            const bool coded = part.size() >= 4 && FtpListing::isDigits(part.left(3), 3, 3) &&
                               (part[3] == ' ' || part[3] == '-');
            const QByteArray text = (coded ? part.mid(4) : part).trimmed();
            if (!text.isEmpty())
                texts << text;
        }
        step->replyCode = line.left(3).toInt();
        step->replyText = texts.join(' ');
        if (step->replyCode == 257)
            step->pwdReply = step->replyLines.first().mid(4);
        step->replyLines.clear();
    }
    return length;
}

size_t NetSession::onWrite(char* data, size_t size, size_t count, void* user)
{
    auto* step = static_cast<Step*>(user);
    const qint64 length = qint64(size * count);
    step->received += length;
    const qint64 maxBytes = step->session->job_.maxBytes;
    if (maxBytes > 0 && step->received > maxBytes) {
        step->tooLarge = true;
        return 0;
    }
    if (step->memory) {
        step->memory->append(data, length);
    } else if (step->file && step->file->write(data, length) != length) {
        step->localWriteFailed = true;
        return 0;
    }
    return size_t(length);
}

size_t NetSession::onRead(char* buffer, size_t size, size_t count, void* user)
{
    auto* step = static_cast<Step*>(user);
    const qint64 got = step->upload->read(buffer, qint64(size * count));
    if (got < 0) {
        step->localReadFailed = true;
        return CURL_READFUNC_ABORT;
    }
    return size_t(got);
}

// Only notes what moved: signals go out from the event loop, never from
// inside libcurl.
int NetSession::onProgress(void* user, curl_off_t total, curl_off_t down, curl_off_t, curl_off_t up)
{
    auto* step = static_cast<Step*>(user);
    if (down != step->seenDown || up != step->seenUp) {
        step->seenDown = down;
        step->seenUp = up;
        step->quiet.restart();
        if (step->request && step->upload)
            step->request->noteProgress(up, step->uploadSize);
        else if (step->request)
            step->request->noteProgress(down, total > 0 ? total : -1);
    }
    return 0;
}

template <typename Value> void NetSession::require(CURLoption option, Value value, const char* name)
{
    const CURLcode result = curl_easy_setopt(easy_.get(), option, value);
    if (result != CURLE_OK) {
        throw TransferError(
            TransferError::OtherFailure,
            QStringLiteral("libcurl refused the option %1: %2")
                .arg(QString::fromLatin1(name), QString::fromUtf8(curl_easy_strerror(result))));
    }
}

void NetSession::setUp(Step& step, const QByteArray& url)
{
    CURL* h = easy_.get();
    if (!h)
        throw TransferError(TransferError::OtherFailure,
                            QStringLiteral("libcurl could not be started."));
    curl_easy_reset(h);
    step.session = this;
    const TransferJob& job = job_;
    require(CURLOPT_URL, url.constData(), "CURLOPT_URL");
    require(CURLOPT_NOSIGNAL, 1L, "CURLOPT_NOSIGNAL");
    require(CURLOPT_ERRORBUFFER, step.errorBuffer, "CURLOPT_ERRORBUFFER");
    require(CURLOPT_VERBOSE, 1L, "CURLOPT_VERBOSE");
    require(CURLOPT_DEBUGFUNCTION, &NetSession::onDebug, "CURLOPT_DEBUGFUNCTION");
    require(CURLOPT_DEBUGDATA, &step, "CURLOPT_DEBUGDATA");
    require(CURLOPT_HEADERFUNCTION, &NetSession::onHeader, "CURLOPT_HEADERFUNCTION");
    require(CURLOPT_HEADERDATA, &step, "CURLOPT_HEADERDATA");
    require(CURLOPT_WRITEFUNCTION, &NetSession::onWrite, "CURLOPT_WRITEFUNCTION");
    require(CURLOPT_WRITEDATA, &step, "CURLOPT_WRITEDATA");
    require(CURLOPT_READFUNCTION, &NetSession::onRead, "CURLOPT_READFUNCTION");
    require(CURLOPT_READDATA, &step, "CURLOPT_READDATA");
    require(CURLOPT_NOPROGRESS, 0L, "CURLOPT_NOPROGRESS");
    require(CURLOPT_XFERINFOFUNCTION, &NetSession::onProgress, "CURLOPT_XFERINFOFUNCTION");
    require(CURLOPT_XFERINFODATA, &step, "CURLOPT_XFERINFODATA");
    require(CURLOPT_OPENSOCKETFUNCTION, &NetSession::onOpenSocket, "CURLOPT_OPENSOCKETFUNCTION");
    require(CURLOPT_OPENSOCKETDATA, this, "CURLOPT_OPENSOCKETDATA");
    require(CURLOPT_CLOSESOCKETFUNCTION, &NetSession::onCloseSocket, "CURLOPT_CLOSESOCKETFUNCTION");
    require(CURLOPT_CLOSESOCKETDATA, this, "CURLOPT_CLOSESOCKETDATA");
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
        require(CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1), "CURLOPT_HTTP_VERSION");
        require(CURLOPT_USERAGENT, "Pagewick", "CURLOPT_USERAGENT");
        // A server that sent more than its Content-Length would hand the
        // surplus to the next request on a kept connection.
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

void NetSession::fail(TransferOutcome& outcome, const Step& step, CURLcode code,
                      const QString& local) const
{
    TransferJob job = job_;
    job.local = local;
    CurlFailure failure;
    failure.code = code;
    failure.detail = step.errorBuffer[0] ? QString::fromUtf8(step.errorBuffer)
                                         : QString::fromUtf8(curl_easy_strerror(code));
    failure.stalled = step.abort == Abort::Stall;
    failure.deadlineExpired = step.abort == Abort::Deadline;
    failure.tooLarge = step.tooLarge;
    failure.localWriteFailed = step.localWriteFailed;
    failure.localReadFailed = step.localReadFailed;
    if (step.localWriteFailed && step.file)
        failure.localError = step.file->errorString();
    if (step.localReadFailed && step.upload)
        failure.localError = step.upload->errorString();
    if (sftp())
        failure.sshRefusal = sshKeys_.refusal();
    failure.replyCode = step.replyCode;
    failure.replyText = QString::fromUtf8(step.replyText);
    mapCurlFailure(failure, job, outcome);
}

// Runs the transfer set up on `step`. On sftp:// an unknown host key is put
// to the user from the event loop, and the connection made again once it is
// trusted.
NetSession::Done NetSession::transfer(Step& step, TransferOutcome& outcome)
{
    const CURLcode code = co_await perform(step);
    if (code == CURLE_OK)
        co_return true;
    const QString question = sftp() ? sshKeys_.question() : QString();
    if (!question.isEmpty() && co_await askUser(question)) {
        sshKeys_.trustAskedKey();
        // The same transfer once more, from the start.
        const QUrl server(QString::fromUtf8(job_.base));
        sshKeys_.setUp(easy_.get(), server.host(), server.port(22), job_.password);
        step.errorBuffer[0] = 0;
        step.received = 0;
        if (step.memory)
            step.memory->clear();
        if (step.upload)
            step.upload->seek(0);
        const CURLcode again = co_await perform(step);
        if (again == CURLE_OK)
            co_return true;
        fail(outcome, step, again, step.upload ? step.upload->fileName() : QString());
        co_return false;
    }
    fail(outcome, step, code,
         step.upload ? step.upload->fileName()
         : step.file ? step.file->fileName()
                     : QString());
    co_return false;
}

// The question goes out from the event loop, not from inside libcurl; an
// abort meanwhile destroys the waiting coroutine, which is then not resumed.
NetSession::Done NetSession::askUser(QString question)
{
    struct Ask
    {
        QString text;
        Prompt* prompt;
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);
        bool yes = false;
        ~Ask() { *alive = false; }
        bool await_ready() const { return false; }
        void await_suspend(std::coroutine_handle<> waiting)
        {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [this, waiting, alive = alive] {
                    const bool answer =
                        prompt &&
                        prompt->message(text, Buttons::YesNo, Icon::Question,
                                        QStringLiteral("Unknown Host Key")) == Answer::Yes;
                    if (*alive) {
                        yes = answer;
                        waiting.resume();
                    }
                },
                Qt::QueuedConnection);
        }
        bool await_resume() const { return yes; }
    };
    // A named awaiter: GCC 12 destroys a temporary one in co_await twice.
    Ask ask{question, prompt_};
    const bool yes = co_await ask;
    co_return yes;
}

// `url` to the file `local`, through a temporary file beside it that takes
// its place only once everything has come; to outcome.data without `local`.
NetSession::Done NetSession::fetchTo(NetRequest* request, QByteArray url, QString local,
                                     TransferOutcome& outcome)
{
    Step step;
    step.request = request;
    QByteArray memory;
    std::optional<QSaveFile> file;
    if (local.isEmpty()) {
        step.memory = &memory;
    } else {
        file.emplace(local);
        if (!file->open(QIODevice::WriteOnly)) {
            outcome.error =
                TransferError(TransferError::LocalFileError,
                              QStringLiteral("Cannot create the local file %1: %2")
                                  .arg(QDir::toNativeSeparators(local), file->errorString()));
            co_return false;
        }
        step.file = &*file;
    }
    setUp(step, url);
    if (!co_await transfer(step, outcome))
        co_return false; // the QSaveFile drops what came
    if (file && !file->commit()) {
        outcome.error =
            TransferError(TransferError::LocalFileError,
                          QStringLiteral("Cannot replace the local file %1: %2")
                              .arg(QDir::toNativeSeparators(local), file->errorString()));
        co_return false;
    }
    if (request)
        request->noteProgress(step.received, step.received);
    outcome.data = memory;
    co_return true;
}

NetSession::Done NetSession::send(NetRequest* request, QString local, QByteArray url,
                                  TransferOutcome& outcome)
{
    QFile source(local);
    if (!source.open(QIODevice::ReadOnly)) {
        outcome.error =
            TransferError(TransferError::LocalFileError,
                          QStringLiteral("Cannot read the local file %1: %2")
                              .arg(QDir::toNativeSeparators(local), source.errorString()));
        co_return false;
    }
    Step step;
    step.request = request;
    step.upload = &source;
    step.uploadSize = source.size();
    setUp(step, url);
    if (job_.protocol == Protocol::Ftp) {
        // libcurl waits for the server's final reply to an FTP upload
        // without returning to the event loop, for as long as the server
        // takes to read what is still on its way. A small send buffer keeps
        // that short.
        const auto smallBuffer = [](void*, curl_socket_t socket, curlsocktype) {
            const int size = 64 * 1024;
            setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
            return int(CURL_SOCKOPT_OK);
        };
        require(CURLOPT_SOCKOPTFUNCTION, +smallBuffer, "CURLOPT_SOCKOPTFUNCTION");
    }
    require(CURLOPT_UPLOAD, 1L, "CURLOPT_UPLOAD");
    require(CURLOPT_INFILESIZE_LARGE, curl_off_t(source.size()), "CURLOPT_INFILESIZE_LARGE");
    if (!co_await transfer(step, outcome))
        co_return false;
    if (request)
        request->noteProgress(step.uploadSize, step.uploadSize);
    co_return true;
}

// Sends `commands` on the connection without moving data; a command
// starting with "*" may fail without failing the step.
NetSession::Done NetSession::quote(QByteArray url, QByteArrayList commands,
                                   TransferOutcome& outcome, Reply* reply)
{
    CurlSlist list;
    for (const QByteArray& command : std::as_const(commands)) {
        if (!list.append(command)) {
            throw TransferError(
                TransferError::OtherFailure,
                QStringLiteral("libcurl could not take the command %1 (out of memory).")
                    .arg(QString::fromUtf8(command)));
        }
    }
    Step step;
    setUp(step, url);
    require(CURLOPT_NOBODY, 1L, "CURLOPT_NOBODY");
    if (!list.isEmpty())
        require(CURLOPT_QUOTE, list.get(), "CURLOPT_QUOTE");
    if (!co_await transfer(step, outcome))
        co_return false;
    if (reply)
        *reply = {step.replyCode, step.replyText, step.pwdReply};
    co_return true;
}
