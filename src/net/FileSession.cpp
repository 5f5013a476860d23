// file://: a local folder acting as the server's root.

#include "net/CurlEngine.h"
#include "net/FtpListing.h"
#include "net/RemotePath.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>
#include <optional>

void TransferEngine::runFile(const TransferJob& job, TransferOutcome& outcome)
{
    if (job.op == Operation::Close) {
        close(outcome);
        return;
    }
    if (!QFileInfo(job.localRoot).isDir()) {
        outcome.error = TransferError(TransferError::CannotConnect,
                                      QStringLiteral("Unable to connect to remote host: the folder "
                                                     "%1 does not exist.")
                                          .arg(QDir::toNativeSeparators(job.localRoot)));
        return;
    }
    if (!cwdKnown_) {
        cwd_ = RemotePath::resolve(QStringLiteral("/"), job.startPath);
        cwdKnown_ = true;
    }
    raise(TransferState::SendingRequest);
    raise(TransferState::RequestSent);
    raise(TransferState::ReceivingResponse);

    auto real = [&](const QString& path) { return QDir::cleanPath(job.localRoot + u'/' + path); };
    auto refuse = [&](int code, const QString& text) {
        outcome.responseCode = code;
        outcome.responseInfo = text;
        outcome.error = TransferError(
            TransferError::RequestFailed,
            QStringLiteral("Request to remote computer failed: %1 %2").arg(code).arg(text));
    };

    switch (job.op) {
    case Operation::Get: {
        const QString source = real(RemotePath::resolve(cwd_, job.remote));
        if (!QFileInfo(source).isFile()) {
            refuse(550, QStringLiteral("No such file or directory."));
            return;
        }
        download(job, QUrl::fromLocalFile(source).toEncoded(), outcome);
        return;
    }
    case Operation::Put:
    case Operation::Stage:
    case Operation::Place:
    case Operation::Discard: {
        const QString target = real(RemotePath::resolve(cwd_, job.remote));
        const QString temp = RemotePath::uploadTemp(target);
        if (job.op == Operation::Discard) {
            QFile::remove(temp);
            return;
        }
        if (!QFileInfo(QFileInfo(target).absolutePath()).isDir() || QFileInfo(target).isDir()) {
            refuse(550, QStringLiteral("No such file or directory."));
            return;
        }
        if (job.op != Operation::Place &&
            !upload(job, QUrl::fromLocalFile(temp).toEncoded(), outcome)) {
            QFile::remove(temp);
            return;
        }
        if (job.op == Operation::Stage)
            return;
        if (!QFileInfo(temp).isFile()) {
            refuse(550, QStringLiteral("No upload is waiting to replace %1.")
                            .arg(QDir::toNativeSeparators(target)));
            return;
        }
        // rename() replaces the target in one step.
        if (std::rename(QFile::encodeName(temp).constData(),
                        QFile::encodeName(target).constData()) != 0) {
            QFile::remove(temp);
            refuse(550, QStringLiteral("The uploaded file could not replace %1.")
                            .arg(QDir::toNativeSeparators(target)));
        }
        return;
    }
    case Operation::List: {
        const QDir directory(real(cwd_));
        if (!directory.exists()) {
            refuse(550, QStringLiteral("No such file or directory."));
            return;
        }
        QList<FtpListing::Entry> entries;
        const QFileInfoList infos = directory.entryInfoList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& info : infos)
            entries.append({info.fileName().toUtf8(), info.isDir()});
        outcome.data = FtpListing::format(entries);
        return;
    }
    case Operation::Pwd:
        outcome.data = cwd_.toUtf8();
        return;
    case Operation::Cd: {
        const QString target = RemotePath::resolve(cwd_, job.remote);
        if (!QFileInfo(real(target)).isDir()) {
            refuse(550, QStringLiteral("No such file or directory."));
            return;
        }
        cwd_ = target;
        return;
    }
    case Operation::Connect:
    case Operation::HttpGet:
    case Operation::Close:
        return;
    }
}
