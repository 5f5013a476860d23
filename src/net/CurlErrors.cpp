#include "net/CurlErrors.h"

#include <QDir>

namespace {

bool isTlsFailure(CURLcode code)
{
    switch (code) {
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
        return true;
    default:
        return false;
    }
}

bool isConnectionLoss(CURLcode code)
{
    switch (code) {
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_UPLOAD_FAILED:
    case CURLE_FTP_ACCEPT_FAILED:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_SSH:
        return true;
    default:
        return false;
    }
}

} // namespace

void mapCurlFailure(const CurlFailure& failure, const TransferJob& job, TransferOutcome& outcome)
{
    const CURLcode code = failure.code;
    const QString& detail = failure.detail;
    auto set = [&](int number, const QString& description) {
        outcome.error = TransferError(number, description);
    };
    auto serverRefused = [&](int reply, const QString& text) {
        outcome.responseCode = reply;
        outcome.responseInfo = text;
        set(TransferError::RequestFailed,
            QStringLiteral("Request to remote computer failed: %1 %2").arg(reply).arg(text));
    };

    if (failure.cancelled) {
        set(TransferError::Cancelled, QStringLiteral("The request was cancelled."));
        return;
    }
    if (failure.tooLarge) {
        set(TransferError::OtherFailure,
            QStringLiteral("The document is larger than %1 bytes, so the download was stopped.")
                .arg(job.maxBytes));
        return;
    }
    if (failure.deadlineExpired) {
        set(TransferError::TimedOut,
            QStringLiteral("The request took longer than %1 seconds in all and was stopped.")
                .arg(job.deadline));
        return;
    }
    if (failure.stalled || code == CURLE_OPERATION_TIMEDOUT) {
        set(TransferError::TimedOut,
            QStringLiteral("Request timed out (no answer for %1 seconds).").arg(job.timeout));
        return;
    }
    if (failure.localWriteFailed) {
        set(TransferError::LocalFileError,
            QStringLiteral("Cannot write the local file %1: %2")
                .arg(QDir::toNativeSeparators(job.local),
                     failure.localError.isEmpty() ? detail : failure.localError));
        return;
    }
    if (failure.localReadFailed) {
        set(TransferError::LocalFileError,
            QStringLiteral("Cannot read the local file %1: %2")
                .arg(QDir::toNativeSeparators(job.local),
                     failure.localError.isEmpty() ? detail : failure.localError));
        return;
    }
    if (!failure.sshRefusal.isEmpty()) {
        set(TransferError::SecureConnectionFailed, failure.sshRefusal);
        return;
    }
    if (code == CURLE_PEER_FAILED_VERIFICATION) {
        set(TransferError::SecureConnectionFailed,
            QStringLiteral("The server's certificate could not be verified: %1").arg(detail));
        return;
    }
    if (code == CURLE_USE_SSL_FAILED) {
        set(TransferError::SecureConnectionFailed,
            QStringLiteral("The server does not offer a secure (TLS) connection: %1").arg(detail));
        return;
    }
    if (isTlsFailure(code)) {
        set(TransferError::SecureConnectionFailed,
            QStringLiteral("A secure (TLS) connection could not be set up: %1").arg(detail));
        return;
    }
    if (job.protocol == Protocol::Ftp && failure.replyCode >= 400) {
        serverRefused(failure.replyCode, failure.replyText);
        return;
    }
    if (job.protocol == Protocol::Sftp || job.protocol == Protocol::File) {
        // Speak in the FTP codes of the same meaning.
        switch (code) {
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_FILE_COULDNT_READ_FILE:
            serverRefused(550, QStringLiteral("No such file or directory."));
            return;
        case CURLE_REMOTE_ACCESS_DENIED:
            serverRefused(550, QStringLiteral("Permission denied."));
            return;
        case CURLE_LOGIN_DENIED:
            serverRefused(530, QStringLiteral("Login incorrect."));
            return;
        case CURLE_REMOTE_DISK_FULL:
            serverRefused(452, QStringLiteral("Insufficient storage space."));
            return;
        case CURLE_QUOTE_ERROR:
            serverRefused(550, detail);
            return;
        case CURLE_WRITE_ERROR:
            if (job.protocol == Protocol::File) {
                serverRefused(550, QStringLiteral("Cannot write the file: %1").arg(detail));
                return;
            }
            break;
        default:
            break;
        }
    }
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
        set(TransferError::CannotConnect,
            QStringLiteral("Unable to connect to remote host: %1").arg(detail));
        return;
    case CURLE_GOT_NOTHING:
        set(TransferError::ConnectionLost,
            QStringLiteral("The server closed the connection without answering."));
        return;
    case CURLE_URL_MALFORMAT:
        set(TransferError::InvalidUrl, QStringLiteral("Invalid address: %1").arg(detail));
        return;
    case CURLE_LOGIN_DENIED:
        serverRefused(530, detail);
        return;
    default:
        break;
    }
    if (isConnectionLoss(code)) {
        set(TransferError::ConnectionLost,
            QStringLiteral("The connection was lost during the transfer: %1").arg(detail));
        return;
    }
    set(TransferError::OtherFailure, detail);
}
