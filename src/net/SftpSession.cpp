// SFTP: the commands emulated with libcurl's SFTP quote commands and
// directory reads.

#include "net/CurlEngine.h"
#include "net/FtpListing.h"
#include "net/RemotePath.h"

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
    case Operation::Stage:
    case Operation::Place:
    case Operation::Discard:
        runUploadStep(job, job.base + "/", RemotePath::resolve(cwd_, job.remote), true, outcome);
        return;
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
