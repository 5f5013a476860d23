#include "PublishFixture.h"
#include "Waiting.h"

#include "core/Startup.h"
#include "core/config/PasswordScrambler.h"

#include <QDir>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>

#include <algorithm>

namespace PublishFixture {

QByteArray page(int entries, qsizetype padding)
{
    QByteArray text = "<html>\r\n<head><title>Test weblog</title></head>\r\n<body>\r\n"
                      "<h1>Test weblog</h1>\r\n<!--pagewick-->\r\n";
    for (int i = 1; i <= entries; ++i) {
        const QByteArray n = QByteArray::number(i);
        text += "<!--|12/" + QByteArray::number(qMax(1, 5 - i)) + "/2000|9:00:0" +
                QByteArray::number(i % 10) + " AM|--><a name=\"e" + n + "\"></a>Old post " + n +
                "<!--Title--><br>\r\nText of post " + n + (i == entries ? "<!--**END**-->" : "") +
                "\r\n";
    }
    if (padding > 0)
        text += "<!-- " + QByteArray(padding, 'p') + " -->\r\n";
    return text + "</body>\r\n</html>\r\n";
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
    QuietPrompt quiet;
    QFile::remove(file);
    bool written = writeSetting("General", "Config", generalConfig, file);
    for (auto s = sections.cbegin(); s != sections.cend(); ++s)
        for (auto k = s->cbegin(); k != s->cend(); ++k)
            written =
                written && writeSetting(QString::number(s.key()), k.key(),
                                        k.key() == u"password" ? TextEncrypt(k.value(), true, quiet)
                                                               : k.value(),
                                        file);
    return written;
}

Keys ftpKeys(const FtpTestServer& ftp, const QString& remote)
{
    return {{"website", kWebsite},      {"ftpsite", ftp.url()},   {"username", ftp.User},
            {"password", ftp.Password}, {"ftpremote", remote},    {"timeout", "30"},
            {"autoftp", "True"},        {"connection", "direct"}, {"retreivemode", "ftp"}};
}

Keys publishKeys(const FtpTestServer& ftp)
{
    Keys keys = ftpKeys(ftp);
    keys.insert({{"archive", "true"},
                 {"archiveftp", "www/archive.html"},
                 {"archiveurl", "http://www.example.com/weblog/archive.html"},
                 {"backendenabled", "True"},
                 {"backendtitle", "Ann & Bob's <log>"},
                 {"backenddescript", "News"}});
    return keys;
}

Keys httpKeys(const QString& address, const FtpTestServer* ftp)
{
    Keys keys{{"website", address},
              {"ftpremote", "index.html"},
              {"timeout", "2"},
              {"autoftp", "True"},
              {"connection", "direct"},
              {"retreivemode", "auto"},
              {"archive", "false"},
              {"ftpsite", QStringLiteral("ftp://127.0.0.1:%1").arg(closedPort())}};
    if (ftp)
        keys.insert(
            {{"ftpsite", ftp->url()}, {"username", ftp->User}, {"password", ftp->Password}});
    return keys;
}

quint16 closedPort()
{
    QTcpServer probe; // closed again when it goes
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 1;
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

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

static QStringList shown(const QList<Message>& messages)
{
    QStringList texts;
    for (const Message& m : messages)
        texts << m.title + QStringLiteral(": ") + m.text;
    return texts;
}

QString describe(const QList<Message>& messages)
{
    return shown(messages).join(" | ").replace(u'\r', "\\r").replace(u'\n', "\\n");
}

bool shownAre(const QList<Message>& messages, const QStringList& patterns)
{
    QStringList expressions; // one message each, joined by a character none of them holds
    for (const QString& p : patterns)
        expressions << QRegularExpression::escape(p).replace("\\*", "[^\\x1f]+");
    const QRegularExpression all(QRegularExpression::anchoredPattern(expressions.join(u'\x1f')),
                                 QRegularExpression::DotMatchesEverythingOption);
    return all.match(shown(messages).join(u'\x1f')).hasMatch();
}

QString ProgramRun::describe() const
{
    return QStringLiteral("exit %1%2\nstdout:\n%3\nstderr:\n%4")
        .arg(exitCode)
        .arg(finished ? "" : " (did not finish)", out, err);
}

ProgramRun runProgram(const QStringList& arguments, const QString& dataHome,
                      const std::function<void(QProcess&)>& during)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("PAGEWICK_OFFLINE"), env.remove("PAGEWICK_SITE");
    env.insert("PAGEWICK_NOW", "2000-12-05T17:44:36");
    env.insert("LC_ALL", "en_US.UTF-8");
    env.insert("LANG", "en_US.UTF-8");
    env.insert("XDG_DATA_HOME", dataHome);
    process.setProcessEnvironment(env);
    process.start(PAGEWICK_BINARY, arguments);
    process.closeWriteChannel();
    if (during && process.waitForStarted(10000))
        during(process);
    ProgramRun r;
    r.finished = process.state() == QProcess::NotRunning || process.waitForFinished(90000);
    if (!r.finished) {
        process.kill();
        process.waitForFinished(5000);
    }
    r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

QString Servers::startServers()
{
    m_ftp = std::make_unique<FtpTestServer>();
    m_http = std::make_unique<HttpTestServer>();
    if (!m_ftp->isRunning() || !m_http->isRunning())
        return m_ftp->errorString() + m_http->errorString();
    const bool written = m_ftp->writeFile("www/index.html", page(2)) &&
                         m_ftp->writeFile("www/archive.html", archivePage()) &&
                         m_http->writeFile("index.html", page(2)) &&
                         m_http->writeFile("archive.html", archivePage());
    return written ? QString() : QStringLiteral("cannot write the pages");
}

void pinClockAndLocale()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    qputenv("PAGEWICK_NOW", "2000-12-05T17:44:36");
    qunsetenv("PAGEWICK_OFFLINE");
}

bool Session::start(const Keys& keys)
{
    if (!dir.isValid() || !useProgramDir(dir.path()) || !writeIni(dir.path(), {{1, keys}}))
        return false;
    startUp(workspace(), view);
    flows = std::make_unique<PageEditor>(workspace(), view, hooks);
    publisher = std::make_unique<Publisher>(workspace(), view, *flows, hooks);
    hooks.publisher = publisher.get();
    view.entry = {"Hello", "World", "Ann", {}, "http://", {}};
    return true;
}

bool Session::settle()
{
    return QTest::qWaitFor([this] { return !publisher->isRunning(); }, 60000);
}

bool Session::preview()
{
    publisher->retrievePage(false);
    if (!settle())
        return false;
    flows->preview();
    return settle() && view.finishEnabled;
}

template <typename List, typename Get> static List each(const QStringList& names, Get get)
{
    List out;
    for (const QString& name : names)
        out << get(name);
    return out;
}

QByteArrayList Session::files(const QStringList& stems) const
{
    return each<QByteArrayList>(stems, [this](const QString& stem) { return file(stem); });
}

QStringList Session::inis(const QStringList& keys) const
{
    return each<QStringList>(keys, [this](const QString& key) { return ini(key); });
}

bool Session::said(const QStringList& lines) const
{
    return std::all_of(lines.begin(), lines.end(),
                       [this](const QString& line) { return view.status.contains(line); });
}

} // namespace PublishFixture
