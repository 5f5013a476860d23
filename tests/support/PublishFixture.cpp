#include "PublishFixture.h"

#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/Startup.h"
#include "core/config/PasswordScrambler.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>

#include <algorithm>

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
    } else if (word == QLatin1String("endless")) {
        behaviour.noLength = true;
        behaviour.extraBytes = bytes;
    } else if (how == QLatin1String("slow")) {
        behaviour.delayMs = 400;
        behaviour.blockSize = 1024;
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

Keys publishKeys(const FtpTestServer& ftp)
{
    Keys keys = ftpKeys(ftp);
    keys.insert({{QStringLiteral("archive"), QStringLiteral("true")},
                 {QStringLiteral("archiveftp"), QStringLiteral("www/archive.html")},
                 {QStringLiteral("archiveurl"),
                  QStringLiteral("http://www.example.com/weblog/archive.html")},
                 {QStringLiteral("backendenabled"), QStringLiteral("True")},
                 {QStringLiteral("backendtitle"), QStringLiteral("Ann & Bob's <log>")},
                 {QStringLiteral("backenddescript"), QStringLiteral("News")}});
    return keys;
}

Keys httpKeys(const QString& address, const FtpTestServer* ftp)
{
    Keys keys{{QStringLiteral("website"), address},
              {QStringLiteral("ftpsite"), QStringLiteral("ftp://127.0.0.1:%1").arg(closedPort())},
              {QStringLiteral("ftpremote"), QStringLiteral("index.html")},
              {QStringLiteral("timeout"), QStringLiteral("2")},
              {QStringLiteral("autoftp"), QStringLiteral("True")},
              {QStringLiteral("connection"), QStringLiteral("direct")},
              {QStringLiteral("retreivemode"), QStringLiteral("auto")},
              {QStringLiteral("archive"), QStringLiteral("false")}};
    if (ftp)
        keys.insert({{QStringLiteral("ftpsite"), ftp->url()},
                     {QStringLiteral("username"), FtpTestServer::User},
                     {QStringLiteral("password"), FtpTestServer::Password}});
    return keys;
}

QString describe(const QList<Message>& messages)
{
    QStringList out;
    for (const Message& m : messages)
        out << m.title + QStringLiteral(": ") + m.text;
    return out.join(QStringLiteral(" | "))
        .replace(QLatin1Char('\r'), QStringLiteral("\\r"))
        .replace(QLatin1Char('\n'), QStringLiteral("\\n"));
}

bool shownAre(const QList<Message>& messages, const QStringList& patterns)
{
    if (messages.size() != patterns.size())
        return false;
    for (qsizetype i = 0; i < patterns.size(); ++i) {
        const QString text = messages[i].title + QStringLiteral(": ") + messages[i].text;
        const QString& p = patterns[i];
        const QString head = p.section(QLatin1Char('*'), 0, 0);
        const QString tail = p.section(QLatin1Char('*'), 1);
        if (!p.contains(QLatin1Char('*')) ? text != p
                                          : text.size() <= head.size() + tail.size() ||
                                                !text.startsWith(head) || !text.endsWith(tail))
            return false;
    }
    return true;
}

bool Session::start(const Keys& keys)
{
    if (!dir.isValid() || !setProgramDir(dir.path()) || !writeIni(dir.path(), {{1, keys}}))
        return false;
    settings() = Settings();
    startUp(settings(), prompt, view);
    flows = std::make_unique<PageEditor>(view, hooks);
    publisher = std::make_unique<Publisher>(view, *flows, hooks);
    hooks.publisher = publisher.get();
    view.entry = {QStringLiteral("Hello"),   QStringLiteral("World"),
                  QStringLiteral("Ann"),     QString(),
                  QStringLiteral("http://"), QString()};
    return true;
}

void Session::again()
{
    prompt.clear();
    view.status.clear();
}

bool Session::preview()
{
    publisher->retrievePage(false);
    flows->preview();
    return view.finishEnabled;
}

bool Session::said(const QStringList& lines) const
{
    return std::all_of(lines.begin(), lines.end(),
                       [this](const QString& line) { return view.status.contains(line); });
}

bool Session::commandsOn() const
{
    return view.previewEnabled && view.preferencesEnabled && view.backupEnabled &&
           view.deleteLastEnabled && !view.busy;
}

} // namespace PublishFixture
