// The requests of a NetSession on FTP, SFTP and file:// (and the one of
// HTTP), each a coroutine over the transfers of NetSteps.cpp.

#include "net/FtpListing.h"
#include "net/NetSession.h"
#include "net/RemotePath.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <cstdio>
#include <optional>

namespace {

void refuse(TransferOutcome& outcome, int code, const QString& text)
{
    outcome.responseCode = code;
    outcome.responseInfo = text;
    outcome.error = TransferError(
        TransferError::RequestFailed,
        QStringLiteral("Request to remote computer failed: %1 %2").arg(code).arg(text));
}

QString noSuchFile()
{
    return QStringLiteral("No such file or directory.");
}

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

// The commands that delete `path` if it is there. (Lists are built outside
// the coroutines: GCC 12 cannot take braced lists in a co_await expression.)
QByteArrayList removal(bool sftp, const QString& path)
{
    return {sftp ? "*rm \"" + path.toUtf8() + '"' : "*DELE " + path.toUtf8()};
}

QByteArrayList commands(const QByteArray& first, const QByteArray& second = {})
{
    return second.isEmpty() ? QByteArrayList{first} : QByteArrayList{first, second};
}

} // namespace

NetRequest* NetSession::download(const QString& remote, const QString& localFile)
{
    const QString local = localFile.isEmpty() ? localFile : QFileInfo(localFile).absoluteFilePath();
    return enqueue([=, this] { return runDownload(remote, local); });
}

NetRequest* NetSession::stage(const QString& localFile, const QString& remote)
{
    const QString local = QFileInfo(localFile).absoluteFilePath();
    return enqueue([=, this] { return runStage(local, remote); });
}

NetRequest* NetSession::place(const QString& remote)
{
    return enqueue([=, this] { return runPlace(remote); });
}

NetRequest* NetSession::discard(const QString& remote)
{
    return enqueue([=, this] { return runDiscard(remote); });
}

NetRequest* NetSession::facts(const QString& remote)
{
    return enqueue([=, this] { return runFacts(remote); });
}

NetRequest* NetSession::list()
{
    return enqueue([this] { return runList({}, false); });
}

NetRequest* NetSession::listFolder(const QString& path)
{
    return enqueue([=, this] { return runList(path, true); });
}

NetRequest* NetSession::makeFolder(const QString& path)
{
    return enqueue([=, this] { return runMakeFolder(path); });
}

NetRequest* NetSession::currentFolder()
{
    return enqueue([this] { return runFolder(false, {}); });
}

NetRequest* NetSession::changeFolder(const QString& path)
{
    return enqueue([=, this] { return runFolder(true, path); });
}

NetRequest* NetSession::get()
{
    return enqueue([this] { return runGet(); });
}

bool NetSession::checkPaths(TransferOutcome& outcome, const QStringList& paths) const
{
    try {
        for (const QString& path : paths)
            refuseControlCharacters(path, QStringLiteral("The path"),
                                    TransferError::InvalidCommand);
    } catch (const TransferError& error) {
        outcome.error = error;
        return false;
    }
    if (job_.protocol == Protocol::Http) {
        outcome.error = TransferError(TransferError::InvalidCommand,
                                      QStringLiteral("HTTP addresses support GET only."));
        return false;
    }
    return true;
}

QByteArray NetSession::fileUrl(const QString& path) const
{
    return job_.base + (sftp() ? RemotePath::sftpFile(path) : RemotePath::ftpFile(path));
}

QString NetSession::localPath(const QString& path) const
{
    return QDir::cleanPath(job_.localRoot + u'/' + path);
}

// The start of every request but HTTP's: `paths` are checked, the session
// logs in, and `resolved` is the first path taken from the current folder.
// False when the request ends there (`outcome` tells why).
NetSession::Done NetSession::prepare(TransferOutcome& outcome, QStringList paths, QString& resolved)
{
    if (!checkPaths(outcome, paths))
        co_return false;
    // The awaiter and its result named: written as "if (!co_await
    // logIn(outcome))", GCC 12 builds a frame here that crashes when run.
    Done loggingIn = logIn(outcome);
    const bool loggedIn = co_await loggingIn;
    if (loggedIn)
        resolved = RemotePath::resolve(cwd_, paths.value(0));
    co_return loggedIn;
}

// Learns the folder the requests start from: the log-in folder (FTP), the
// home folder (SFTP) or the root (file://), with the address's path.
NetSession::Done NetSession::logIn(TransferOutcome& outcome)
{
    if (job_.protocol == Protocol::File && !QFileInfo(job_.localRoot).isDir()) {
        outcome.error = TransferError(TransferError::CannotConnect,
                                      QStringLiteral("Unable to connect to remote host: the folder "
                                                     "%1 does not exist.")
                                          .arg(QDir::toNativeSeparators(job_.localRoot)));
        co_return false;
    }
    if (cwdKnown_)
        co_return true;
    QString home = QStringLiteral("/");
    if (job_.protocol == Protocol::Ftp) {
        if (!co_await quote(job_.base + '/', QByteArrayList(), outcome))
            co_return false;
        char* entry = nullptr;
        curl_easy_getinfo(easy_.get(), CURLINFO_FTP_ENTRY_PATH, &entry);
        if (entry && entry[0] == '/')
            home = QString::fromUtf8(entry);
    } else if (sftp()) {
        // Asked about "~/", libcurl's pwd answers with the home directory.
        Reply reply;
        if (!co_await quote(job_.base + "/~/", commands("pwd"), outcome, &reply))
            co_return false;
        home = RemotePath::parsePwdReply(reply.pwd).value_or(home);
    }
    cwd_ = RemotePath::resolve(home, job_.startPath);
    cwdKnown_ = true;
    co_return true;
}

NetSession::Task NetSession::runDownload(QString remote, QString local)
{
    TransferOutcome outcome;
    const QStringList paths = QStringList() << remote << local;
    QString path;
    Done prepared = prepare(outcome, paths, path); // named: see NetTask.h
    if (!co_await prepared)
        co_return outcome;
    QByteArray url = fileUrl(path);
    if (job_.protocol == Protocol::File) {
        if (!QFileInfo(localPath(path)).isFile()) {
            refuse(outcome, 550, noSuchFile());
            co_return outcome;
        }
        url = QUrl::fromLocalFile(localPath(path)).toEncoded();
    }
    co_await fetchTo(active_, url, local, outcome);
    co_return outcome;
}

NetSession::Task NetSession::runStage(QString local, QString remote)
{
    TransferOutcome outcome;
    const QStringList paths = QStringList() << remote << local;
    QString target;
    Done prepared = prepare(outcome, paths, target); // named: see NetTask.h
    if (!co_await prepared)
        co_return outcome;
    const QString temp = RemotePath::uploadTemp(target);
    active_->leftover_ = target;
    if (job_.protocol == Protocol::File) {
        const QString real = localPath(target);
        if (!QFileInfo(QFileInfo(real).absolutePath()).isDir() || QFileInfo(real).isDir()) {
            refuse(outcome, 550, noSuchFile());
        } else if (!co_await send(active_, local,
                                  QUrl::fromLocalFile(RemotePath::uploadTemp(real)).toEncoded(),
                                  outcome)) {
            QFile::remove(RemotePath::uploadTemp(real));
        }
        co_return outcome;
    }
    if (!co_await send(active_, local, fileUrl(temp), outcome)) {
        TransferOutcome ignored;
        co_await quote(job_.base + '/', removal(sftp(), temp), ignored);
        co_return outcome;
    }
    if (sftp())
        co_return outcome;
    // A connection that broke at the wrong moment can leave a shortened
    // file although the server confirmed it. Servers without SIZE are taken
    // at their word.
    Reply reply;
    if (!co_await quote(job_.base + '/', commands("*SIZE " + temp.toUtf8()), outcome, &reply))
        co_return outcome;
    bool number = false;
    const qint64 stored = reply.text.trimmed().toLongLong(&number);
    const qint64 size = QFileInfo(local).size();
    if (reply.code == 213 && number && stored != size) {
        outcome.error =
            TransferError(TransferError::ConnectionLost,
                          QStringLiteral("The upload arrived incomplete: the server has %1 of "
                                         "%2 bytes.")
                              .arg(stored)
                              .arg(size));
        TransferOutcome ignored;
        co_await quote(job_.base + '/', removal(false, temp), ignored);
    }
    co_return outcome;
}

NetSession::Task NetSession::runPlace(QString remote)
{
    TransferOutcome outcome;
    const QStringList paths = QStringList() << remote;
    QString target;
    Done prepared = prepare(outcome, paths, target); // named: see NetTask.h
    if (!co_await prepared)
        co_return outcome;
    const QString temp = RemotePath::uploadTemp(target);
    if (job_.protocol != Protocol::File) {
        co_await putInPlace(temp, target, outcome);
        co_return outcome;
    }
    const QString real = localPath(target), realTemp = RemotePath::uploadTemp(real);
    if (!QFileInfo(realTemp).isFile()) {
        refuse(outcome, 550,
               QStringLiteral("No upload is waiting to replace %1.")
                   .arg(QDir::toNativeSeparators(real)));
    } else if (std::rename(QFile::encodeName(realTemp).constData(),
                           QFile::encodeName(real).constData()) != 0) {
        // rename() replaces the target in one step, or not at all.
        QFile::remove(realTemp);
        refuse(outcome, 550,
               QStringLiteral("The uploaded file could not replace %1.")
                   .arg(QDir::toNativeSeparators(real)));
    }
    co_return outcome;
}

NetSession::Task NetSession::runDiscard(QString remote)
{
    TransferOutcome outcome;
    const QStringList paths = QStringList() << remote;
    QString resolved;
    Done prepared = prepare(outcome, paths, resolved); // named: see NetTask.h
    if (!co_await prepared)
        co_return outcome;
    const QString temp = RemotePath::uploadTemp(resolved);
    if (job_.protocol == Protocol::File)
        QFile::remove(localPath(temp));
    else
        co_await quote(job_.base + '/', removal(sftp(), temp), outcome);
    co_return outcome;
}

NetSession::Task NetSession::runFacts(QString remote)
{
    TransferOutcome outcome;
    const QStringList paths = QStringList() << remote;
    QString path;
    Done prepared = prepare(outcome, paths, path); // named: see NetTask.h
    if (!co_await prepared)
        co_return outcome;
    if (job_.protocol == Protocol::File) {
        const QFileInfo info(localPath(path));
        if (info.isFile())
            outcome.facts = {true, info.size(), info.lastModified().toSecsSinceEpoch()};
        co_return outcome;
    }
    Step step;
    QByteArray ignored;
    step.memory = &ignored;
    setUp(step, fileUrl(path));
    require(CURLOPT_NOBODY, 1L, "CURLOPT_NOBODY");
    require(CURLOPT_FILETIME, 1L, "CURLOPT_FILETIME");
    if (!co_await transfer(step, outcome)) {
        if (outcome.responseCode == 550)
            outcome = TransferOutcome(); // not there
        co_return outcome;
    }
    curl_off_t size = -1, modified = -1;
    curl_easy_getinfo(easy_.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    curl_easy_getinfo(easy_.get(), CURLINFO_FILETIME_T, &modified);
    outcome.facts = {true, qint64(size), qint64(modified)};
    co_return outcome;
}

NetSession::Task NetSession::runList(QString folder, bool named)
{
    TransferOutcome outcome;
    const QStringList paths = QStringList() << folder;
    QString resolved;
    Done prepared = prepare(outcome, paths, resolved); // named: see NetTask.h
    if (!co_await prepared)
        co_return outcome;
    const QString path = named ? resolved : cwd_;
    if (job_.protocol == Protocol::File) {
        const QDir directory(localPath(path));
        if (!directory.exists()) {
            if (!named)
                refuse(outcome, 550, noSuchFile());
            co_return outcome;
        }
        QList<FtpListing::Entry> entries;
        for (const QFileInfo& info : directory.entryInfoList(
                 QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
            entries.append({info.fileName().toUtf8(), info.isDir()});
        outcome.data = FtpListing::format(entries);
        co_return outcome;
    }
    for (;;) {
        const bool machineList = job_.protocol == Protocol::Ftp && !mlsdRefused_;
        Step step;
        QByteArray raw;
        step.memory = &raw;
        setUp(step, job_.base + (sftp() ? RemotePath::sftpDirectory(path)
                                        : RemotePath::ftpDirectory(path)));
        if (machineList)
            require(CURLOPT_CUSTOMREQUEST, "MLSD", "CURLOPT_CUSTOMREQUEST");
        TransferOutcome attempt;
        if (!co_await transfer(step, attempt)) {
            if (machineList && step.abort == Abort::None &&
                (step.replyCode == 500 || step.replyCode == 502 || step.replyCode == 504)) {
                mlsdRefused_ = true; // an older server: read its LIST instead
                continue;
            }
            // No such folder (550, or 501 from some servers): nothing in it.
            if (named && step.abort == Abort::None && attempt.responseCode >= 450)
                co_return outcome;
            co_return attempt;
        }
        outcome.data = FtpListing::format(machineList ? FtpListing::parseMlsd(raw)
                                                      : FtpListing::parseList(raw));
        co_return outcome;
    }
}

NetSession::Task NetSession::runMakeFolder(QString path)
{
    TransferOutcome outcome;
    const QStringList paths = QStringList() << path;
    QString target;
    Done prepared = prepare(outcome, paths, target); // named: see NetTask.h
    if (!co_await prepared)
        co_return outcome;
    if (job_.protocol == Protocol::File) {
        if (!QDir().mkpath(localPath(target)))
            refuse(outcome, 550,
                   QStringLiteral("The folder %1 could not be made.")
                       .arg(QDir::toNativeSeparators(localPath(target))));
        co_return outcome;
    }
    // Every level from the top; one that is there already refuses, which
    // does not count.
    QByteArrayList levels;
    QString level;
    for (const QString& part : target.split(u'/', Qt::SkipEmptyParts)) {
        level += u'/' + part;
        levels << (sftp() ? "*mkdir \"" + level.toUtf8() + '"' : "*MKD " + level.toUtf8());
    }
    if (!levels.isEmpty())
        co_await quote(job_.base + '/', levels, outcome);
    co_return outcome;
}

NetSession::Task NetSession::runFolder(bool change, QString path)
{
    TransferOutcome outcome;
    const QStringList paths = QStringList() << path;
    QString resolved;
    Done prepared = prepare(outcome, paths, resolved); // named: see NetTask.h
    if (!co_await prepared)
        co_return outcome;
    const QString target = change ? resolved : cwd_;
    if (job_.protocol == Protocol::Ftp) {
        Reply reply;
        if (!co_await quote(job_.base + '/', commands("CWD " + target.toUtf8(), "PWD"), outcome,
                            &reply))
            co_return outcome;
        const std::optional<QString> directory = RemotePath::parsePwdReply(reply.pwd);
        cwd_ = directory && directory->startsWith(u'/') ? *directory : target;
    } else if (change && sftp()) {
        // SFTP has no current directory: reading the target shows it exists.
        Step step;
        QByteArray ignored;
        step.memory = &ignored;
        setUp(step, job_.base + RemotePath::sftpDirectory(target));
        if (!co_await transfer(step, outcome))
            co_return outcome;
        cwd_ = target;
    } else if (change) {
        if (!QFileInfo(localPath(target)).isDir()) {
            refuse(outcome, 550, noSuchFile());
            co_return outcome;
        }
        cwd_ = target;
    }
    if (!change)
        outcome.data = cwd_.toUtf8();
    co_return outcome;
}

NetSession::Task NetSession::runGet()
{
    TransferOutcome outcome;
    outcome.http = true;
    if (job_.protocol != Protocol::Http) {
        outcome.error = TransferError(TransferError::InvalidCommand,
                                      QStringLiteral("Only an HTTP address names a document to "
                                                     "get; download a file from this one."));
        co_return outcome;
    }
    Step step;
    step.request = active_;
    QByteArray body;
    step.memory = &body;
    setUp(step, job_.base);
    const bool ok = co_await transfer(step, outcome);
    outcome.headers = step.headers.join("\r\n");
    long status = 0;
    if (curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK)
        outcome.httpStatus = int(status);
    if (ok) {
        outcome.data = body;
        active_->noteProgress(body.size(), body.size());
    }
    co_return outcome;
}

// Renames the complete upload `temp` over `target`. Some servers (OpenSSH's
// SFTP among them) refuse to rename over an existing file: then the old
// file is moved aside, the new one moved in and only then the old one
// deleted; if the new one cannot be moved in, the old one is moved back.
// The live file is never deleted to make room. A server that renames
// nothing gets the target left alone and its answer reported.
NetSession::Done NetSession::putInPlace(QString temp, QString target, TransferOutcome& outcome)
{
    const bool sftp = this->sftp();
    const QByteArray root = job_.base + '/';
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
        if (co_await quote(root, rename(temp, target), first))
            co_return true;
        if (connectionFailed(first)) {
            outcome = first;
            co_return false;
        }
    }
    // Refused: perhaps only because the target exists. Move it aside.
    const QString aside = RemotePath::asideTemp(target);
    TransferOutcome ignored, moveAside;
    co_await quote(root, remove(aside, true), ignored); // left by an earlier attempt
    if (!co_await quote(root, rename(target, aside), moveAside)) {
        if (connectionFailed(moveAside)) {
            outcome = moveAside;
            co_return false;
        }
        if (renameOverRefused_) {
            // The target may simply not exist yet: a plain rename then.
            if (co_await quote(root, rename(temp, target), first))
                co_return true;
            if (connectionFailed(first)) {
                outcome = first;
                co_return false;
            }
        }
        outcome = first;
        outcome.error = TransferError(TransferError::RequestFailed,
                                      QStringLiteral("The server refused to rename the upload to "
                                                     "%1 (%2); %1 was not changed.")
                                          .arg(target, answerOf(first)));
        co_return false;
    }
    renameOverRefused_ = true;
    TransferOutcome moveIn;
    if (!co_await quote(root, rename(temp, target), moveIn)) {
        TransferOutcome back;
        const bool restored = co_await quote(root, rename(aside, target), back);
        outcome = moveIn;
        outcome.error = TransferError(
            moveIn.error.number(),
            restored ? QStringLiteral("The server refused to put the upload in place of %1 (%2); "
                                      "the old file was put back.")
                           .arg(target, answerOf(moveIn))
                     : QStringLiteral("The server refused to put the upload in place of %1 (%2), "
                                      "and the old file could not be put back: it is now %3.")
                           .arg(target, answerOf(moveIn), aside));
        co_return false;
    }
    TransferOutcome removal;
    if (!co_await quote(root, remove(aside, false), removal))
        outcome.notice = QStringLiteral("The old file %1 could not be deleted after the new one "
                                        "took its place: %2")
                             .arg(aside, answerOf(removal));
    co_return true;
}
