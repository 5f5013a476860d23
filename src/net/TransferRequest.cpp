#include "net/TransferRequest.h"

#include "net/TransferClient.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include <optional>
#include <utility>

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

namespace {

// Words of `text` split at blanks, where a word in double quotes may hold
// blanks, and a doubled quote inside quotes is one quote of the name.
// nullopt when a quote is not closed.
std::optional<QStringList> quotedWords(const QString& text)
{
    QStringList words;
    QString current;
    bool inQuotes = false;
    bool hasWord = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"' && inQuotes && i + 1 < text.size() && text[i + 1] == u'"') {
            current += c;
            ++i;
        } else if (c == u'"') {
            inQuotes = !inQuotes;
            hasWord = true;
        } else if (c == u' ' && !inQuotes) {
            if (hasWord)
                words << current;
            current.clear();
            hasWord = false;
        } else {
            current += c;
            hasWord = true;
        }
    }
    if (inQuotes)
        return std::nullopt;
    if (hasWord)
        words << current;
    return words;
}

// The one path of CD, PLACE, DISCARD and FACTS: taken whole, or from its quotes.
QString singlePath(const QString& rest)
{
    if (rest.size() < 2 || !rest.startsWith(u'"') || !rest.endsWith(u'"'))
        return rest;
    const std::optional<QStringList> words = quotedWords(rest);
    return words && words->size() == 1 ? words->constFirst() : rest.mid(1, rest.size() - 2);
}

bool folderExists(const QString& localFile)
{
    return QFileInfo(QFileInfo(localFile).absolutePath()).isDir();
}

QList<qsizetype> blanksIn(const QString& text)
{
    QList<qsizetype> blanks;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u' ')
            blanks << i;
    }
    return blanks;
}

// "GET remote local": see the rule in TransferClient.h.
std::pair<QString, QString> splitGet(const QString& rest)
{
    const QList<qsizetype> blanks = blanksIn(rest);
    if (blanks.isEmpty())
        return {rest, {}};
    for (const qsizetype blank : blanks) {
        const QString local = rest.mid(blank + 1).trimmed();
        if (local.startsWith(u'/') && folderExists(local))
            return {rest.left(blank).trimmed(), local};
    }
    for (auto it = blanks.crbegin(); it != blanks.crend(); ++it) {
        const QString local = rest.mid(*it + 1).trimmed();
        if (!local.isEmpty() && !local.startsWith(u'/') && folderExists(local))
            return {rest.left(*it).trimmed(), local};
    }
    return {rest.left(blanks.last()).trimmed(), rest.mid(blanks.last() + 1).trimmed()};
}

// "PUT local remote": see the rule in TransferClient.h.
std::optional<std::pair<QString, QString>> splitPut(const QString& rest)
{
    const QList<qsizetype> blanks = blanksIn(rest);
    for (auto it = blanks.crbegin(); it != blanks.crend(); ++it) {
        const QString local = rest.left(*it).trimmed();
        if (QFileInfo(local).isFile())
            return std::pair{local, rest.mid(*it + 1).trimmed()};
    }
    return std::nullopt;
}

QString absoluteLocal(const QString& path)
{
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
}

} // namespace

QString quoteCommandPath(const QString& path)
{
    QString quoted = path;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

TransferJob parseRequest(const QString& address, const QString& command, bool document,
                         const RequestDefaults& defaults)
{
    refuseControlCharacters(address, QStringLiteral("The address"), TransferError::InvalidUrl);
    refuseControlCharacters(defaults.userName, QStringLiteral("The user name"),
                            TransferError::InvalidCommand);
    refuseControlCharacters(defaults.password, QStringLiteral("The password"),
                            TransferError::InvalidCommand);
    refuseControlCharacters(command, QStringLiteral("The command"), TransferError::InvalidCommand);

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

    // "GET" alone on a file:// address reads that file, as on an HTTP one.
    const bool wholeFile = job.protocol == Protocol::File &&
                           command.trimmed().compare(u"GET", Qt::CaseInsensitive) == 0;
    if (document || wholeFile) {
        // fetch: the address is the document itself.
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
                throw TransferError(
                    TransferError::InvalidUrl,
                    QStringLiteral("The address %1 names no document.").arg(address));
            }
        }
        job.directoryKey = job.connectionKey + u'|' + job.startPath;
        return job;
    }
    job.directoryKey = job.connectionKey + u'|' + job.startPath;

    const QString trimmed = command.trimmed();
    const qsizetype blank = trimmed.indexOf(u' ');
    const QString verb = (blank < 0 ? trimmed : trimmed.left(blank)).toUpper();
    const QString rest = blank < 0 ? QString() : trimmed.mid(blank + 1).trimmed();
    auto refuse = [&](const QString& why) {
        return TransferError(
            TransferError::InvalidCommand,
            QStringLiteral("The command \"%1\" cannot be carried out: %2").arg(command, why));
    };

    if (job.protocol == Protocol::Http) {
        if (!verb.isEmpty() && verb != u"GET")
            throw refuse(QStringLiteral("HTTP addresses support GET only."));
        return job;
    }

    if (verb.isEmpty()) {
        job.op = Operation::Connect;
    } else if (verb == u"GET") {
        job.op = Operation::Get;
        if (rest.contains(u'"')) {
            const std::optional<QStringList> words = quotedWords(rest);
            if (!words || words->isEmpty() || words->size() > 2)
                throw refuse(QStringLiteral(
                    "give the remote and the local file, each in quotes if it has blanks."));
            job.remote = words->at(0);
            job.local = words->size() > 1 ? words->at(1) : QString();
        } else {
            std::tie(job.remote, job.local) = splitGet(rest);
        }
        job.local = absoluteLocal(job.local);
    } else if (verb == u"PUT" || verb == u"STAGE") {
        job.op = verb == u"PUT" ? Operation::Put : Operation::Stage;
        if (rest.contains(u'"')) {
            const std::optional<QStringList> words = quotedWords(rest);
            if (!words || words->size() != 2)
                throw refuse(QStringLiteral(
                    "give the local and the remote file, each in quotes if it has blanks."));
            job.local = words->at(0);
            job.remote = words->at(1);
        } else {
            const auto parts = splitPut(rest);
            if (!parts) {
                if (!rest.contains(u' '))
                    throw refuse(QStringLiteral("give the local and the remote file."));
                throw TransferError(
                    TransferError::LocalFileError,
                    QStringLiteral("The command \"%1\" names no existing local file.")
                        .arg(command));
            }
            std::tie(job.local, job.remote) = *parts;
        }
        job.local = absoluteLocal(job.local);
        if (!QFileInfo(job.local).isFile()) {
            throw TransferError(TransferError::LocalFileError,
                                QStringLiteral("The local file %1 does not exist.")
                                    .arg(QDir::toNativeSeparators(job.local)));
        }
    } else if (verb == u"CD" || verb == u"CWD") {
        job.op = Operation::Cd;
        job.remote = singlePath(rest);
    } else if (verb == u"PLACE" || verb == u"DISCARD" || verb == u"FACTS") {
        job.op = verb == u"PLACE"     ? Operation::Place
                 : verb == u"DISCARD" ? Operation::Discard
                                      : Operation::Facts;
        job.remote = singlePath(rest);
    } else if (verb == u"CDUP") {
        job.op = Operation::Cd;
        job.remote = QStringLiteral("..");
    } else if (verb == u"LS" || verb == u"DIR") {
        job.op = Operation::List;
        job.remote = singlePath(rest);
    } else if (verb == u"MKDIR" || verb == u"MKD") {
        job.op = Operation::MakeFolder;
        job.remote = singlePath(rest);
    } else if (verb == u"PWD") {
        job.op = Operation::Pwd;
    } else if (verb == u"CLOSE" || verb == u"QUIT") {
        job.op = Operation::Close;
    } else {
        throw refuse(QStringLiteral("unknown command."));
    }
    if ((job.op == Operation::Get || job.op == Operation::Put || job.op == Operation::Cd ||
         job.op == Operation::MakeFolder || job.op == Operation::Facts) &&
        job.remote.isEmpty())
        throw refuse(QStringLiteral("the remote path is missing."));
    return job;
}
