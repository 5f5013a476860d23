#include "TestServers.h"

#include "PublishFixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

static QString supportFile(const QString& name)
{
    return QStringLiteral(PAGEWICK_TEST_SUPPORT_DIR "/") + name;
}

TestServerBase::TestServerBase(const QString& script, Security security)
    : tls_(security == Security::Tls)
{
    resetBehaviour();
    QStringList arguments{supportFile(script),
                          "--root",
                          root_.path(),
                          "--control",
                          work_.filePath("control.json"),
                          "--log",
                          work_.filePath("server.log")};
    if (tls_)
        arguments << "--tls-cert" << certificateFile() << "--tls-key"
                  << supportFile("tls/server.key");
    // Not the test's current folder, which a test may delete: pyftpdlib
    // reads its own at every CWD and drops the connection when it is gone.
    process_.setWorkingDirectory(QDir::tempPath());
    process_.start(QString::fromLatin1(TestServerPython), arguments);
    // The script prints "PORT <n>" once it listens, or "ERROR <why>".
    QByteArray output;
    const QDeadlineTimer deadline(20000);
    while (process_.waitForStarted(10000) && !deadline.hasExpired() &&
           (process_.canReadLine() ||
            process_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))) {
        while (process_.canReadLine()) {
            const QByteArray line = process_.readLine();
            output += line;
            if (line.startsWith("PORT ") && (port_ = quint16(line.mid(5).trimmed().toUInt())))
                return;
        }
    }
    error_ = QStringLiteral("%1 did not report its port (%2). Output: %3 Errors: %4")
                 .arg(script, process_.errorString(),
                      QString::fromUtf8(output + process_.readAllStandardOutput()),
                      QString::fromUtf8(process_.readAllStandardError()));
    process_.kill();
    process_.waitForFinished(5000);
}

TestServerBase::~TestServerBase()
{
    // Closing its input makes the script leave; kill it if it does not.
    process_.closeWriteChannel();
    if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString TestServerBase::rootPath(const QString& relative) const
{
    return QDir::cleanPath(root_.path() + u'/' + relative);
}

bool TestServerBase::writeFile(const QString& relative, const QByteArray& bytes) const
{
    return PublishFixture::writeFile(rootPath(relative), bytes);
}

QByteArray TestServerBase::readFile(const QString& relative) const
{
    return PublishFixture::readFile(rootPath(relative));
}

bool TestServerBase::fileExists(const QString& relative) const
{
    return QFileInfo::exists(rootPath(relative));
}

QStringList TestServerBase::logLines() const
{
    QFile file(work_.filePath("server.log"));
    return file.open(QIODevice::ReadOnly)
               ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
               : QStringList();
}

void TestServerBase::clearLog() const
{
    QFile::remove(work_.filePath("server.log"));
}

QString TestServerBase::certificateFile()
{
    return supportFile("tls/server.crt");
}

QString TestServerBase::url(const char* plain, const char* tls) const
{
    return QStringLiteral("%1://%2:%3").arg(QLatin1String(tls_ ? tls : plain), host()).arg(port_);
}

void TestServerBase::setControl(const QString& key, const QJsonValue& value)
{
    if (key.isEmpty())
        control_ = {};
    else if (value.isNull())
        control_.remove(key);
    else
        control_.insert(key, value);
    // Replaced in one step, so the server never reads half a file.
    QSaveFile file(work_.filePath("control.json"));
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(control_).toJson(QJsonDocument::Compact));
        file.commit();
    }
}

void TestServerBase::appendControl(const QString& key, const QString& value)
{
    setControl(key, control_.value(key).toArray() + value);
}

QStringList FtpTestServer::linesAfter(const QString& mark) const
{
    QStringList lines;
    for (const QString& line : logLines())
        if (line.startsWith(mark))
            lines << line.mid(mark.size());
    return lines;
}

void HttpTestServer::setAnswer(const QString& path, const QString& how, const QJsonObject& headers)
{
    QJsonObject paths = control_.value("paths").toObject();
    paths.insert(path, QJsonObject{{"how", how}, {"headers", headers}});
    setControl("paths", paths);
}
