// Putting a complete upload in place on FTP and SFTP servers.

#include "net/CurlEngine.h"
#include "net/RemotePath.h"

#include <QFileInfo>

namespace {

// A failure of the connection itself rather than an answer of the server:
// nothing more can be tried on it.
bool connectionFailed(const TransferOutcome& outcome)
{
    switch (outcome.error.number()) {
    case TransferError::Cancelled:
    case TransferError::TimedOut:
    case TransferError::ConnectionLost:
    case TransferError::CannotConnect:
        return true;
    default:
        return false;
    }
}

QString answerOf(const TransferOutcome& outcome)
{
    return outcome.responseCode != 0
               ? QString::number(outcome.responseCode) + u' ' + outcome.responseInfo
               : outcome.error.description();
}

} // namespace

// PUT, STAGE, PLACE and DISCARD of `target` on an FTP or SFTP server. The
// data goes to the temporary name beside the target; on FTP its size is
// checked. Whatever goes wrong before the upload is in place, the target is
// not touched and the partial copy goes if the connection still allows it.
void TransferEngine::runUploadStep(const TransferJob& job, const QByteArray& root,
                                   const QString& target, bool sftp, TransferOutcome& outcome)
{
    const QString temp = RemotePath::uploadTemp(target);
    const auto removeTemp = [&](TransferOutcome& result) {
        const QByteArray path = temp.toUtf8();
        quote(job, root, {sftp ? "*rm \"" + path + '"' : "*DELE " + path}, result, nullptr);
    };
    switch (job.op) {
    case Operation::Discard:
        removeTemp(outcome);
        return;
    case Operation::Place:
        putInPlace(job, root, temp, target, sftp, outcome);
        return;
    default:
        break;
    }
    const QByteArray url =
        job.base + (sftp ? RemotePath::sftpFile(temp) : RemotePath::ftpFile(temp));
    if (upload(job, url, outcome) &&
        (sftp || verifyUpload(job, root, temp, QFileInfo(job.local).size(), outcome)) &&
        (job.op == Operation::Stage || putInPlace(job, root, temp, target, sftp, outcome)))
        return;
    TransferOutcome ignored;
    if (outcome.error.number() != TransferError::Cancelled)
        removeTemp(ignored);
}

// Renames the complete upload `temp` over `target`. Some servers (OpenSSH's
// SFTP among them) refuse to rename over an existing file: then the old
// file is moved aside, the new one moved in and only then the old one
// deleted; if the new one cannot be moved in, the old one is moved back. The
// live file is never deleted to make room. A server that renames nothing
// gets the target left alone and its answer reported.
bool TransferEngine::putInPlace(const TransferJob& job, const QByteArray& root, const QString& temp,
                                const QString& target, bool sftp, TransferOutcome& outcome)
{
    auto rename = [sftp](const QString& from, const QString& to) {
        return sftp ? QByteArrayList{"rename \"" + from.toUtf8() + "\" \"" + to.toUtf8() + '"'}
                    : QByteArrayList{"RNFR " + from.toUtf8(), "RNTO " + to.toUtf8()};
    };
    auto remove = [sftp](const QString& path, bool optional) {
        const QByteArray mark = optional ? "*" : "";
        return sftp ? QByteArrayList{mark + "rm \"" + path.toUtf8() + '"'}
                    : QByteArrayList{mark + "DELE " + path.toUtf8()};
    };

    TransferOutcome first;
    if (!renameOverRefused_) {
        if (quote(job, root, rename(temp, target), first, nullptr))
            return true;
        if (connectionFailed(first)) {
            outcome = first;
            return false;
        }
    }

    // Refused: perhaps only because the target exists. Move it aside.
    const QString aside = RemotePath::asideTemp(target);
    TransferOutcome ignored;
    quote(job, root, remove(aside, true), ignored, nullptr); // left by an earlier attempt
    TransferOutcome moveAside;
    if (!quote(job, root, rename(target, aside), moveAside, nullptr)) {
        if (connectionFailed(moveAside)) {
            outcome = moveAside;
            return false;
        }
        if (renameOverRefused_) {
            // The target may simply not exist yet: a plain rename then.
            if (quote(job, root, rename(temp, target), first, nullptr))
                return true;
            if (connectionFailed(first)) {
                outcome = first;
                return false;
            }
        }
        // The server renames nothing here: the target stays as it is.
        outcome = first;
        outcome.error = TransferError(TransferError::RequestFailed,
                                      QStringLiteral("The server refused to rename the upload to "
                                                     "%1 (%2); %1 was not changed.")
                                          .arg(target, answerOf(first)));
        return false;
    }

    renameOverRefused_ = true;
    TransferOutcome moveIn;
    if (!quote(job, root, rename(temp, target), moveIn, nullptr)) {
        TransferOutcome back;
        const bool restored = quote(job, root, rename(aside, target), back, nullptr);
        outcome = moveIn;
        outcome.error = TransferError(
            moveIn.error.number(),
            restored ? QStringLiteral("The server refused to put the upload in place of %1 (%2); "
                                      "the old file was put back.")
                           .arg(target, answerOf(moveIn))
                     : QStringLiteral("The server refused to put the upload in place of %1 (%2), "
                                      "and the old file could not be put back: it is now %3.")
                           .arg(target, answerOf(moveIn), aside));
        return false;
    }

    TransferOutcome removal;
    if (!quote(job, root, remove(aside, false), removal, nullptr)) {
        outcome.notice = QStringLiteral("The old file %1 could not be deleted after the new one "
                                        "took its place: %2")
                             .arg(aside, answerOf(removal));
    }
    return true;
}
