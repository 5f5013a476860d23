#include "net/TransferRequest.h"

#include <QDir>
#include <QUrl>

// Throws when `text` holds a character below 0x20 or DEL: libcurl would send
// CR LF straight to an FTP server, where it starts a command of its own.
void refuseControlCharacters(const QString& text, const QString& what, int number)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            throw TransferError(number, QStringLiteral("%1 contains a control character (code %2); "
                                                       "nothing was sent.")
                                            .arg(what)
                                            .arg(c.unicode()));
        }
    }
}

TransferJob parseAddress(const QString& address, const RequestDefaults& defaults,
                         const QStringList& paths)
{
    refuseControlCharacters(address, QStringLiteral("The address"), TransferError::InvalidUrl);
    refuseControlCharacters(defaults.userName, QStringLiteral("The user name"),
                            TransferError::InvalidCommand);
    refuseControlCharacters(defaults.password, QStringLiteral("The password"),
                            TransferError::InvalidCommand);
    for (const QString& path : paths)
        refuseControlCharacters(path, QStringLiteral("The command"), TransferError::InvalidCommand);

    QString text = address.trimmed();
    if (text.isEmpty())
        throw TransferError(TransferError::InvalidUrl, QStringLiteral("No address has been set."));
    if (!text.contains(QStringLiteral("://")))
        text.prepend(QStringLiteral("ftp://"));
    const QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid()) {
        throw TransferError(
            TransferError::InvalidUrl,
            QStringLiteral("The address %1 is not valid: %2").arg(address, url.errorString()));
    }

    TransferJob job;
    job.timeout = defaults.timeout;
    job.maxBytes = defaults.maxBytes;
    job.deadline = defaults.deadline;
    job.caFile = defaults.caFile;
    job.user = defaults.userName.isEmpty() ? url.userName(QUrl::FullyDecoded) : defaults.userName;
    job.password =
        defaults.userName.isEmpty() ? url.password(QUrl::FullyDecoded) : defaults.password;
    job.hasUser = !job.user.isEmpty();
    refuseControlCharacters(job.user, QStringLiteral("The user name"), TransferError::InvalidUrl);
    refuseControlCharacters(job.password, QStringLiteral("The password"),
                            TransferError::InvalidUrl);

    const QString scheme = url.scheme().toLower();
    const QString path = url.path(QUrl::FullyDecoded);
    refuseControlCharacters(path, QStringLiteral("The address"), TransferError::InvalidUrl);
    QString identity;

    if (scheme == u"http" || scheme == u"https") {
        if (url.host().isEmpty())
            throw TransferError(TransferError::InvalidUrl,
                                QStringLiteral("The address names no host."));
        job.protocol = Protocol::Http;
        job.op = Operation::HttpGet;
        job.base = url.toEncoded(QUrl::RemoveFragment);
        identity = scheme + u'|' + url.host() + u'|' + QString::number(url.port(-1));
    } else if (scheme == u"ftp" || scheme == u"ftps" || scheme == u"sftp") {
        if (url.host().isEmpty())
            throw TransferError(TransferError::InvalidUrl,
                                QStringLiteral("The address names no host."));
        const int port = url.port(-1);
        job.protocol = scheme == u"sftp" ? Protocol::Sftp : Protocol::Ftp;
        job.tls = scheme == u"ftps";
        QUrl base;
        // ftps:// on port 990 is implicit TLS; elsewhere TLS is asked for
        // with AUTH TLS on a plain FTP connection.
        base.setScheme(scheme == u"sftp"        ? QStringLiteral("sftp")
                       : job.tls && port == 990 ? QStringLiteral("ftps")
                                                : QStringLiteral("ftp"));
        base.setHost(url.host());
        if (port > 0)
            base.setPort(port);
        job.base = base.toEncoded();
        if (job.protocol == Protocol::Ftp) {
            // "/dir" is relative to the log-in directory, "/%2Fdir" absolute.
            job.startPath = path.startsWith(u'/') ? path.mid(1) : path;
        } else if (path.startsWith(QStringLiteral("/~/")) || path == u"/~") {
            job.startPath = path.mid(3);
        } else {
            job.startPath = path == u"/" ? QString() : path;
        }
        identity = scheme + u'|' + url.host() + u'|' + QString::number(port);
    } else if (scheme == u"file") {
        job.protocol = Protocol::File;
        job.localRoot = QDir::cleanPath(url.toLocalFile());
        if (!QDir::isAbsolutePath(job.localRoot)) {
            throw TransferError(
                TransferError::InvalidUrl,
                QStringLiteral("The address %1 names no local folder.").arg(address));
        }
        identity = QStringLiteral("file|") + job.localRoot;
    } else {
        throw TransferError(TransferError::InvalidUrl,
                            QStringLiteral("The address %1 uses an unsupported scheme (%2).")
                                .arg(address, url.scheme()));
    }
    job.connectionKey = identity + u'|' + job.user + u'|' + job.password + u'|' + job.caFile;

    job.directoryKey = job.connectionKey + u'|' + job.startPath;
    return job;
}

void aimAtDocument(TransferJob& job, const QString& address)
{
    if (job.protocol == Protocol::File) {
        job.remote = job.localRoot;
        job.localRoot = QStringLiteral("/");
        job.connectionKey = QStringLiteral("file|/");
        job.op = Operation::Get;
    } else if (job.protocol != Protocol::Http) {
        job.remote = job.startPath;
        job.startPath.clear();
        job.op = Operation::Get;
        if (job.remote.isEmpty() || job.remote.endsWith(u'/')) {
            throw TransferError(TransferError::InvalidUrl,
                                QStringLiteral("The address %1 names no document.").arg(address));
        }
    }
    job.directoryKey = job.connectionKey + u'|' + job.startPath;
}
