// FTP and FTPS: the commands over one kept libcurl connection.

#include "net/CurlEngine.h"
#include "net/FtpListing.h"
#include "net/RemotePath.h"

#include <optional>

// Asks the FTP server for the size of the file just stored: a connection
// that broke at the wrong moment can leave a shortened file behind although
// the server confirmed the upload. Servers without SIZE are taken at their
// word.
bool TransferEngine::verifyUpload(const TransferJob& job, const QByteArray& url,
                                  const QString& path, qint64 size, TransferOutcome& outcome)
{
    Reply reply;
    if (!quote(job, url, {"*SIZE " + path.toUtf8()}, outcome, &reply))
        return false;
    if (reply.code != 213)
        return true;
    bool number = false;
    const qint64 stored = reply.text.trimmed().toLongLong(&number);
    if (!number || stored == size)
        return true;
    outcome.error =
        TransferError(TransferError::ConnectionLost,
                      QStringLiteral("The upload arrived incomplete: the server has %1 of "
                                     "%2 bytes.")
                          .arg(stored)
                          .arg(size));
    return false;
}

void TransferEngine::runFtp(const TransferJob& job, TransferOutcome& outcome)
{
    if (job.op == Operation::Close) {
        close(outcome);
        return;
    }
    const QByteArray root = job.base + '/';
    if (!cwdKnown_) {
        // Logging in; libcurl asks for the log-in directory on its own.
        if (!quote(job, root, {}, outcome, nullptr))
            return;
        char* entry = nullptr;
        curl_easy_getinfo(easy_.get(), CURLINFO_FTP_ENTRY_PATH, &entry);
        QString home = entry ? QString::fromUtf8(entry) : QString();
        if (!home.startsWith(u'/'))
            home = QStringLiteral("/");
        cwd_ = RemotePath::resolve(home, job.startPath);
        cwdKnown_ = true;
        if (job.op == Operation::Connect)
            return;
    }

    switch (job.op) {
    case Operation::Connect:
        quote(job, root, {"NOOP"}, outcome, nullptr);
        return;
    case Operation::Get:
        download(job, job.base + RemotePath::ftpFile(RemotePath::resolve(cwd_, job.remote)),
                 outcome);
        return;
    case Operation::Put:
    case Operation::Stage:
    case Operation::Place:
    case Operation::Discard:
        runUploadStep(job, root, RemotePath::resolve(cwd_, job.remote), false, outcome);
        return;
    case Operation::List: {
        const QByteArray url = job.base + RemotePath::ftpDirectory(cwd_);
        for (;;) {
            const bool machineList = !mlsdRefused_;
            Transfer transfer;
            QByteArray raw;
            transfer.memory = &raw;
            setUp(transfer, job, url);
            if (machineList)
                require(CURLOPT_CUSTOMREQUEST, "MLSD", "CURLOPT_CUSTOMREQUEST");
            const CURLcode code = perform(transfer, job);
            if (code != CURLE_OK && machineList && transfer.abort == Abort::None &&
                (transfer.replyCode == 500 || transfer.replyCode == 502 ||
                 transfer.replyCode == 504)) {
                mlsdRefused_ = true; // an older server: read its LIST instead
                continue;
            }
            if (code != CURLE_OK) {
                fail(outcome, transfer, code, job);
                return;
            }
            outcome.data = FtpListing::format(machineList ? FtpListing::parseMlsd(raw)
                                                          : FtpListing::parseList(raw));
            return;
        }
    }
    case Operation::Pwd:
    case Operation::Cd: {
        const QString target =
            job.op == Operation::Cd ? RemotePath::resolve(cwd_, job.remote) : cwd_;
        Reply reply;
        if (!quote(job, root, {"CWD " + target.toUtf8(), "PWD"}, outcome, &reply))
            return;
        const std::optional<QString> directory = RemotePath::parsePwdReply(reply.pwd);
        cwd_ = directory && directory->startsWith(u'/') ? *directory : target;
        if (job.op == Operation::Pwd)
            outcome.data = cwd_.toUtf8();
        return;
    }
    case Operation::HttpGet:
    case Operation::Close:
        return;
    }
}
