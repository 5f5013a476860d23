#include "TestServers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

QString supportFile(const QString& name)
{
    return QStringLiteral(PAGEWICK_TEST_SUPPORT_DIR) + u'/' + name;
}

} // namespace

TestServerBase::TestServerBase(const QString& script, bool tls)
{
    if (!root_.isValid() || !work_.isValid()) {
        error_ = QStringLiteral("cannot create a temporary folder");
        return;
    }
    writeControl();
    const QString python = QString::fromLatin1(TestServerPython);
    if (!QFileInfo(python).isExecutable()) {
        error_ = python + QStringLiteral(" is missing");
        return;
    }
    QStringList arguments{supportFile(script),
                          QStringLiteral("--root"),
                          root_.path(),
                          QStringLiteral("--control"),
                          work_.filePath(QStringLiteral("control.json")),
                          QStringLiteral("--log"),
                          work_.filePath(QStringLiteral("server.log"))};
    if (tls) {
        arguments << QStringLiteral("--tls-cert") << certificateFile()
                  << QStringLiteral("--tls-key") << supportFile(QStringLiteral("tls/server.key"));
    }
    process_.setProgram(python);
    process_.setArguments(arguments);
    process_.start();
    if (!process_.waitForStarted(10000)) {
        error_ = QStringLiteral("%1 did not start: %2").arg(script, process_.errorString());
        return;
    }

    // The script prints "PORT <n>" once it listens, or "ERROR <why>".
    QByteArray output;
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
        if (!process_.canReadLine())
            process_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        while (process_.canReadLine()) {
            const QByteArray line = process_.readLine().trimmed();
            output += line + '\n';
            if (line.startsWith("PORT ")) {
                port_ = quint16(line.mid(5).toUInt());
                if (port_ != 0)
                    return;
            }
        }
    }
    output += process_.readAllStandardOutput();
    error_ = QStringLiteral("%1 did not report its port. Output: %2 Errors: %3")
                 .arg(script, QString::fromUtf8(output),
                      QString::fromUtf8(process_.readAllStandardError()));
    process_.kill();
    process_.waitForFinished(5000);
}

TestServerBase::~TestServerBase()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    // Closing its input makes the script leave; kill it if it does not.
    process_.closeWriteChannel();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

bool TestServerBase::isRunning() const
{
    return port_ != 0 && process_.state() == QProcess::Running;
}

QString TestServerBase::rootPath(const QString& relative) const
{
    return QDir::cleanPath(root_.path() + u'/' + relative);
}

bool TestServerBase::writeFile(const QString& relative, const QByteArray& bytes) const
{
    const QString path = rootPath(relative);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray TestServerBase::readFile(const QString& relative) const
{
    QFile file(rootPath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestServerBase::fileExists(const QString& relative) const
{
    return QFileInfo::exists(rootPath(relative));
}

QStringList TestServerBase::logLines() const
{
    QFile file(work_.filePath(QStringLiteral("server.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.isEmpty())
            lines << QString::fromUtf8(line);
    }
    return lines;
}

void TestServerBase::clearLog() const
{
    QFile::remove(work_.filePath(QStringLiteral("server.log")));
}

QString TestServerBase::certificateFile()
{
    return supportFile(QStringLiteral("tls/server.crt"));
}

void TestServerBase::setControl(const QString& key, const QJsonValue& value)
{
    if (value.isNull())
        control_.remove(key);
    else
        control_.insert(key, value);
    writeControl();
}

void TestServerBase::appendControl(const QString& key, const QString& value)
{
    QJsonArray values = control_.value(key).toArray();
    values.append(value);
    setControl(key, values);
}

void TestServerBase::resetBehaviour()
{
    control_ = QJsonObject();
    writeControl();
}

void TestServerBase::writeControl()
{
    // Replaced in one step, so the server never reads half a file.
    QSaveFile file(work_.filePath(QStringLiteral("control.json")));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(control_).toJson(QJsonDocument::Compact));
        file.commit();
    }
}

// ---- FTP --------------------------------------------------------------------

FtpTestServer::FtpTestServer(Security security)
    : TestServerBase(QStringLiteral("ftpserver.py"), security == Security::Tls),
      tls_(security == Security::Tls)
{
}

QString FtpTestServer::url() const
{
    return QStringLiteral("%1://%2:%3")
        .arg(tls_ ? QStringLiteral("ftps") : QStringLiteral("ftp"), host())
        .arg(port());
}

void FtpTestServer::setRenaming(Renaming renaming)
{
    setControl(QStringLiteral("rename"), renaming == Renaming::Allowed ? QJsonValue()
                                         : renaming == Renaming::Refused
                                             ? QStringLiteral("refuse")
                                             : QStringLiteral("over_existing"));
}

void FtpTestServer::setSlow(int delayMs, int blockSize)
{
    control_.insert(QStringLiteral("block_size"), blockSize);
    setControl(QStringLiteral("delay_ms"), delayMs);
}

void FtpTestServer::setMlsdSupported(bool supported)
{
    setControl(QStringLiteral("no_mlsd"), supported ? QJsonValue() : QJsonValue(true));
}

QStringList FtpTestServer::commands() const
{
    QStringList commands;
    for (const QString& line : logLines()) {
        if (line.startsWith(QStringLiteral("CMD ")))
            commands << line.mid(4);
    }
    return commands;
}

int FtpTestServer::connectionCount() const
{
    return int(logLines().count(QStringLiteral("CONNECT")));
}

int FtpTestServer::loginCount() const
{
    return int(logLines().filter(QRegularExpression(QStringLiteral("^LOGIN "))).size());
}

// ---- HTTP -------------------------------------------------------------------

HttpTestServer::HttpTestServer(Security security)
    : TestServerBase(QStringLiteral("httpserver.py"), security == Security::Tls),
      tls_(security == Security::Tls)
{
}

QString HttpTestServer::url(const QString& path) const
{
    return QStringLiteral("%1://%2:%3%4")
        .arg(tls_ ? QStringLiteral("https") : QStringLiteral("http"), host())
        .arg(port())
        .arg(path.startsWith(u'/') ? path : u'/' + path);
}

QJsonObject HttpTestServer::toJson(const Behaviour& behaviour)
{
    QJsonObject json;
    if (behaviour.status != 0)
        json.insert(QStringLiteral("status"), behaviour.status);
    if (behaviour.noLength)
        json.insert(QStringLiteral("no_length"), true);
    if (behaviour.extraBytes > 0)
        json.insert(QStringLiteral("extra"), behaviour.extraBytes);
    if (behaviour.closeWithoutAnswer)
        json.insert(QStringLiteral("close"), true);
    if (behaviour.delayMs > 0)
        json.insert(QStringLiteral("delay_ms"), behaviour.delayMs);
    json.insert(QStringLiteral("block_size"), behaviour.blockSize);
    if (behaviour.stallAfter >= 0)
        json.insert(QStringLiteral("stall_after"), behaviour.stallAfter);
    QJsonObject headers;
    for (auto it = behaviour.headers.cbegin(); it != behaviour.headers.cend(); ++it)
        headers.insert(it.key(), it.value());
    if (!headers.isEmpty())
        json.insert(QStringLiteral("headers"), headers);
    return json;
}

void HttpTestServer::setBehaviour(const QString& path, const Behaviour& behaviour)
{
    QJsonObject paths = control_.value(QStringLiteral("paths")).toObject();
    paths.insert(path, toJson(behaviour));
    setControl(QStringLiteral("paths"), paths);
}

void HttpTestServer::setDefaultBehaviour(const Behaviour& behaviour)
{
    setControl(QStringLiteral("default"), toJson(behaviour));
}

QStringList HttpTestServer::requests() const
{
    return logLines();
}
