// SFTP: the commands emulated with libcurl's SFTP quote commands and
// directory reads.

#include "net/CurlEngine.h"
#include "net/FtpListing.h"
#include "net/RemotePath.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>
#include <optional>

void TransferEngine::runSftp(const TransferJob& job, TransferOutcome& outcome)
{
    if (job.op == Operation::Close) {
        close(outcome);
        return;
    }
    if (!cwdKnown_ || job.op == Operation::Connect) {
        // Asked about "~/", libcurl's pwd answers with the home directory.
        Reply reply;
        if (!quote(job, job.base + "/~/", {"pwd"}, outcome, &reply))
            return;
        if (!cwdKnown_) {
            const QString home = RemotePath::parsePwdReply(reply.pwd).value_or(QStringLiteral("/"));
            cwd_ = RemotePath::resolve(home, job.startPath);
            cwdKnown_ = true;
        }
        if (job.op == Operation::Connect)
            return;
    }

    // SFTP requests leave no trace in the debug stream; the request starts here.
    raise(TransferState::SendingRequest);

    auto list = [&](const QString& directory, QByteArray* names) {
        Transfer transfer;
        QByteArray raw;
        transfer.memory = &raw;
        setUp(transfer, job, job.base + RemotePath::sftpDirectory(directory));
        const CURLcode code = perform(transfer, job);
        if (code != CURLE_OK) {
            fail(outcome, transfer, code, job);
            return false;
        }
        if (names)
            *names = FtpListing::format(FtpListing::parseList(raw));
        return true;
    };

    switch (job.op) {
    case Operation::Get:
        download(job, job.base + RemotePath::sftpFile(RemotePath::resolve(cwd_, job.remote)),
                 outcome);
        return;
    case Operation::Put:
    case Operation::Stage: {
        const QString path = RemotePath::resolve(cwd_, job.remote);
        const QString temp = RemotePath::uploadTemp(path);
        if (upload(job, job.base + RemotePath::sftpFile(temp), outcome) &&
            (job.op == Operation::Stage ||
             putInPlace(job, job.base + "/", temp, path, true, outcome)))
            return;
        TransferOutcome ignored;
        if (outcome.error.number() != TransferError::Cancelled)
            quote(job, job.base + "/", {"*rm \"" + temp.toUtf8() + '"'}, ignored, nullptr);
        return;
    }
    case Operation::Place: {
        const QString path = RemotePath::resolve(cwd_, job.remote);
        putInPlace(job, job.base + "/", RemotePath::uploadTemp(path), path, true, outcome);
        return;
    }
    case Operation::Discard: {
        const QString temp = RemotePath::uploadTemp(RemotePath::resolve(cwd_, job.remote));
        quote(job, job.base + "/", {"*rm \"" + temp.toUtf8() + '"'}, outcome, nullptr);
        return;
    }
    case Operation::List:
        list(cwd_, &outcome.data);
        return;
    case Operation::Pwd:
        outcome.data = cwd_.toUtf8();
        return;
    case Operation::Cd: {
        // SFTP has no current directory: reading the target shows it exists.
        const QString target = RemotePath::resolve(cwd_, job.remote);
        if (list(target, nullptr))
            cwd_ = target;
        return;
    }
    case Operation::Connect:
    case Operation::HttpGet:
    case Operation::Close:
        return;
    }
}
