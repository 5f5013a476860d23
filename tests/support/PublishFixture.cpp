#include "PublishFixture.h"

#include "base/IniFile.h"
#include "base/Prompt.h"
#include "core/config/PasswordScrambler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>

namespace PublishFixture {

QByteArray page(int entries, qsizetype padding)
{
    QByteArray text = "<html>\r\n<head><title>Test weblog</title></head>\r\n<body>\r\n"
                      "<h1>Test weblog</h1>\r\n<!--pagewick-->\r\n";
    for (int i = 1; i <= entries; ++i) {
        const QByteArray n = QByteArray::number(i);
        const QByteArray day = QByteArray::number(qMax(1, 5 - i));
        text += "<!--|12/" + day + "/2000|9:00:0" + QByteArray::number(i % 10) +
                " AM|--><a name=\"e" + n + "\"></a>Old post " + n + "<!--Title--><br>\r\n";
        text += "Text of post " + n + (i == entries ? "<!--**END**-->" : "") + "\r\n";
    }
    if (padding > 0)
        text += "<!-- " + QByteArray(padding, 'p') + " -->\r\n";
    text += "</body>\r\n</html>\r\n";
    return text;
}

QByteArray archivePage()
{
    return "<html>\r\n<body>\r\n<h1>Archive</h1>\r\n<!--PagewickArchiveStart-->\r\n"
           "<!--|11/1/2000|8:00:00 AM|--><a name=\"a1\"></a>Archived<!--Title--><br>\r\n"
           "Archived text\r\n</body>\r\n</html>\r\n";
}

bool writeIni(const QString& dir, const QMap<int, Keys>& sections, const QString& generalConfig)
{
    const QString file = dir + QStringLiteral("/weblog.ini");
    QFile::remove(file);
    if (!writeSetting(QStringLiteral("General"), QStringLiteral("Config"), generalConfig, file))
        return false;
    for (auto s = sections.cbegin(); s != sections.cend(); ++s) {
        const QString section = QString::number(s.key());
        for (auto k = s.value().cbegin(); k != s.value().cend(); ++k) {
            const QString value = k.key() == QLatin1String("password")
                                      ? TextEncrypt(k.value(), true, prompt())
                                      : k.value();
            if (!writeSetting(section, k.key(), value, file))
                return false;
        }
    }
    return true;
}

Keys ftpKeys(const FtpTestServer& ftp, const QString& remote)
{
    return {{QStringLiteral("website"), kWebsite},
            {QStringLiteral("ftpsite"), ftp.url()},
            {QStringLiteral("username"), FtpTestServer::User},
            {QStringLiteral("password"), FtpTestServer::Password},
            {QStringLiteral("ftpremote"), remote},
            {QStringLiteral("timeout"), QStringLiteral("30")},
            {QStringLiteral("autoftp"), QStringLiteral("True")},
            {QStringLiteral("connection"), QStringLiteral("direct")},
            {QStringLiteral("retreivemode"), QStringLiteral("ftp")}};
}

HttpTestServer::Behaviour httpBehaviour(const QString& how)
{
    HttpTestServer::Behaviour behaviour;
    const QStringList words = how.split(u' ', Qt::SkipEmptyParts);
    const QString word = words.value(0);
    const qint64 bytes = words.value(1).toLongLong();
    bool known = true;
    if (how == QLatin1String("no length")) {
        behaviour.noLength = true;
    } else if (word == QLatin1String("extra")) {
        behaviour.extraBytes = bytes;
    } else if (word == QLatin1String("cut")) {
        behaviour.noLength = true;
        behaviour.headers.insert(QStringLiteral("Content-Length"), QString::number(bytes));
    } else if (how == QLatin1String("close")) {
        behaviour.closeWithoutAnswer = true;
    } else if (word == QLatin1String("stall")) {
        behaviour.stallAfter = bytes;
    } else if (!how.isEmpty()) {
        behaviour.status = how.toInt(&known);
    }
    if (!known)
        qFatal("httpBehaviour: unknown answer \"%s\"", qPrintable(how));
    return behaviour;
}

quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return 1;
    const quint16 port = probe.serverPort();
    probe.close(); // nothing listens there any more
    return port;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace PublishFixture
