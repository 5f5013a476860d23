// Putting a complete upload in place on FTP and SFTP servers.

#include "net/CurlEngine.h"

bool TransferEngine::putInPlace(const TransferJob& job, const QByteArray& root, const QString& temp,
                                const QString& target, bool sftp, TransferOutcome& outcome)
{
    const QByteArray from = temp.toUtf8();
    const QByteArray to = target.toUtf8();
    const QByteArrayList rename = sftp ? QByteArrayList{"rename \"" + from + "\" \"" + to + '"'}
                                       : QByteArrayList{"RNFR " + from, "RNTO " + to};
    TransferOutcome first;
    if (quote(job, root, rename, first, nullptr))
        return true;
    if (first.error.number() == TransferError::Cancelled ||
        first.error.number() == TransferError::TimedOut ||
        first.error.number() == TransferError::ConnectionLost ||
        first.error.number() == TransferError::CannotConnect) {
        outcome = first;
        return false;
    }
    QByteArrayList replace =
        sftp ? QByteArrayList{"rm \"" + to + '"'} : QByteArrayList{"DELE " + to};
    replace += rename;
    if (!quote(job, root, replace, outcome, nullptr))
        return false;
    outcome.notice = QStringLiteral("The server would not rename the upload over %1, so the old "
                                    "file was deleted first.")
                         .arg(target);
    return true;
}
