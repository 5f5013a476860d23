#include "net/SshHostKeys.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <memory>

namespace SshHostKeys {

QString knownHostsPath()
{
    return QDir::homePath() + QStringLiteral("/.ssh/known_hosts");
}

QString fingerprint(QByteArrayView keyBlob)
{
    return QStringLiteral("SHA256:") +
           QString::fromLatin1(QCryptographicHash::hash(keyBlob, QCryptographicHash::Sha256)
                                   .toBase64(QByteArray::OmitTrailingEquals));
}

QByteArray keyType(QByteArrayView keyBlob)
{
    // An SSH key blob starts with its type name: a 32-bit big-endian length,
    // then the name.
    if (keyBlob.size() < 4)
        return {};
    const auto byte = [&](int i) { return quint32(static_cast<unsigned char>(keyBlob[i])); };
    const quint32 length = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    if (length == 0 || length > 64 || length > quint32(keyBlob.size() - 4))
        return {};
    const QByteArray name = keyBlob.sliced(4, length).toByteArray();
    for (const char c : name)
        if (c <= ' ' || c > '~')
            return {};
    return name;
}

QByteArray knownHostsLine(const QString& host, int port, QByteArrayView keyBlob)
{
    const QByteArray name = port == 22 || port <= 0
                                ? host.toUtf8()
                                : '[' + host.toUtf8() + "]:" + QByteArray::number(port);
    return name + ' ' + keyType(keyBlob) + ' ' + keyBlob.toByteArray().toBase64();
}

bool remember(const QString& path, const QString& host, int port, QByteArrayView keyBlob,
              QString* error)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo::exists(folder)) {
        if (!QDir().mkpath(folder)) {
            if (error)
                *error = QStringLiteral("cannot create the folder %1").arg(folder);
            return false;
        }
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QFile file(path);
    const bool existed = file.exists();
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (!existed)
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QByteArray line = knownHostsLine(host, port, keyBlob) + '\n';
    // A file whose last line has no line end gets one first.
    if (file.size() > 0 && file.seek(file.size() - 1) && file.peek(1) != "\n")
        line.prepend('\n');
    file.seek(file.size());
    if (file.write(line) != line.size() || !file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

QString privateKeyFile()
{
    for (const char* name : {"id_ed25519", "id_rsa"}) {
        const QString path = QDir::homePath() + QStringLiteral("/.ssh/") + QLatin1String(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

} // namespace SshHostKeys

namespace {

QString hostText(const QString& host, int port)
{
    return port == 22 ? host : QStringLiteral("%1 (port %2)").arg(host).arg(port);
}

QByteArray blobOf(const curl_khkey* key)
{
    if (!key || !key->key)
        return {};
    // libcurl hands the key either raw (len > 0) or as Base64 text (len 0).
    return key->len > 0 ? QByteArray(key->key, qsizetype(key->len))
                        : QByteArray::fromBase64(QByteArray(key->key));
}

} // namespace

void SshHostKeyCheck::setUp(CURL* h, const QString& host, int port, const QString& password)
{
    m_host = host;
    m_port = port > 0 ? port : 22;
    m_refusal.clear();
    m_question.clear();
    // libcurl reads the file (a missing one is an empty list) and lets the
    // callback decide about every key, known or not.
    curl_easy_setopt(h, CURLOPT_SSH_KNOWNHOSTS,
                     QFile::encodeName(SshHostKeys::knownHostsPath()).constData());
    curl_easy_setopt(h, CURLOPT_SSH_KEYFUNCTION, &SshHostKeyCheck::onKey);
    curl_easy_setopt(h, CURLOPT_SSH_KEYDATA, this);

    long methods = 0;
    if (!password.isEmpty()) {
        methods = CURLSSH_AUTH_PASSWORD | CURLSSH_AUTH_KEYBOARD;
    } else {
        methods = CURLSSH_AUTH_AGENT;
        const QString key = SshHostKeys::privateKeyFile();
        if (!key.isEmpty()) {
            methods |= CURLSSH_AUTH_PUBLICKEY;
            curl_easy_setopt(h, CURLOPT_SSH_PRIVATE_KEYFILE, QFile::encodeName(key).constData());
        }
    }
    curl_easy_setopt(h, CURLOPT_SSH_AUTH_TYPES, methods);
}

int SshHostKeyCheck::onKey(CURL*, const curl_khkey*, const curl_khkey* found, curl_khmatch match,
                           void* self)
{
    return static_cast<SshHostKeyCheck*>(self)->check(found, match);
}

int SshHostKeyCheck::check(const curl_khkey* found, curl_khmatch match)
{
    if (match == CURLKHMATCH_OK)
        return CURLKHSTAT_FINE;
    const QByteArray blob = blobOf(found);
    const QString where = hostText(m_host, m_port);
    const QString file = QDir::toNativeSeparators(SshHostKeys::knownHostsPath());
    const QString print = SshHostKeys::fingerprint(blob);
    if (match == CURLKHMATCH_MISMATCH) {
        m_refusal = QStringLiteral(
                        "The host key of the server %1 has changed: it now shows %2, not the key "
                        "remembered in %3. Someone may be intercepting the connection, so nothing "
                        "was sent. If the server's key was changed on purpose, remove its old line "
                        "from %3 and connect again.")
                        .arg(where, print, file);
        return CURLKHSTAT_REJECT;
    }
    const QString question =
        QStringLiteral("The server %1 is not known yet. Its %2 host key has the fingerprint\r\n"
                       "%3\r\nTrust this server and remember its key in %4?")
            .arg(where, QString::fromLatin1(SshHostKeys::keyType(blob)), print, file);
    // libcurl must not wait for the user: the connection ends here, and the
    // question goes to the user from the event loop.
    m_question = question;
    m_askedKey = blob;
    m_refusal = QStringLiteral("The host key of the server %1 (%2) was not trusted, so "
                               "nothing was sent.")
                    .arg(where, print);
    return CURLKHSTAT_REJECT;
}

void SshHostKeyCheck::trustAskedKey()
{
    QString error;
    if (!SshHostKeys::remember(SshHostKeys::knownHostsPath(), m_host, m_port, m_askedKey, &error))
        qWarning("Cannot remember the host key in %s: %s",
                 qPrintable(SshHostKeys::knownHostsPath()), qPrintable(error));
}
