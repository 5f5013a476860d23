// SFTP against a real OpenSSH server: log-in with a key and with the agent
// instead of a password, the host key questions (unknown host trusted or
// not, changed key refused with nothing sent), uploads renamed into place,
// and a whole publish from the command line.

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "SshServer.h"
#include "base/IniFile.h"
#include "net/SshHostKeys.h"
#include "net/TransferClient.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace PublishFixture;

namespace {

constexpr int Wait = 60000;

// Runs one command to its end; empty when it succeeded, else the error.
QString run(TransferClient& inet, const QString& command)
{
    try {
        inet.execute({}, command);
    } catch (const TransferError& e) {
        return QStringLiteral("refused: ") + e.description();
    }
    if (!QTest::qWaitFor([&] { return !inet.isBusy(); }, Wait))
        return QStringLiteral("did not finish");
    const TransferError e = inet.lastError();
    return e.number() == 0 ? QString()
                           : QStringLiteral("%1 %2").arg(e.number()).arg(e.description());
}

// A prompt that runs `answer` for every question.
class CallbackPrompt final : public Prompt
{
public:
    explicit CallbackPrompt(std::function<Answer()> answer) : answer_(std::move(answer))
    {
        setPrompt(this);
    }
    ~CallbackPrompt() override { setPrompt(nullptr); }
    int asked = 0;
    Answer ask(const Message&) override
    {
        ++asked;
        return answer_();
    }
    std::optional<QString> input(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<QString> chooseFile(const FileRequest&) override { return std::nullopt; }
    std::optional<quint32> chooseColor(quint32) override { return std::nullopt; }
    std::optional<QString> chooseFont() override { return std::nullopt; }
    void openDocument(const QString&) override {}
    void beep() override {}

private:
    std::function<Answer()> answer_;
};

QString knownHosts()
{
    return SshHostKeys::knownHostsPath();
}

} // namespace

class TestSftp : public QObject
{
    Q_OBJECT

    QTemporaryDir home; // HOME for the whole test: the user's ~/.ssh is never read
    std::unique_ptr<SshServer> ssh;

    void useServer(TransferClient& inet) const
    {
        inet.setUrl(ssh->url());
        inet.setUserName(ssh->user());
        inet.setPassword(QString());
        inet.setRequestTimeout(30);
    }
    void installKey(const QString& name = QStringLiteral("id_ed25519")) const
    {
        QDir().mkpath(home.filePath(QStringLiteral(".ssh")));
        QVERIFY(QFile::copy(ssh->clientKey(), home.filePath(QStringLiteral(".ssh/") + name)));
    }
    void trustServer() const
    {
        QVERIFY(writeFile(knownHosts(), "# hosts\n" + ssh->knownHostsLine() + '\n'));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", QFile::encodeName(home.path()));
        qunsetenv("SSH_AUTH_SOCK");
        QCOMPARE(knownHosts(), home.filePath(QStringLiteral(".ssh/known_hosts")));
    }

    void init()
    {
        QDir(home.filePath(QStringLiteral(".ssh"))).removeRecursively();
        qunsetenv("SSH_AUTH_SOCK");
        ssh = std::make_unique<SshServer>();
        REQUIRE_RUNNING(*ssh);
    }

    void cleanup() { ssh.reset(); }

    void fingerprintAndKnownHostsLine()
    {
        const QByteArray blob = QByteArray::fromBase64(ssh->hostPublicKey().split(' ').value(1));
        QCOMPARE(SshHostKeys::fingerprint(blob), ssh->hostFingerprint());
        QCOMPARE(SshHostKeys::keyType(blob), QByteArray("ssh-ed25519"));
        QCOMPARE(SshHostKeys::knownHostsLine(QStringLiteral("127.0.0.1"), ssh->port(), blob),
                 ssh->knownHostsLine());
        QCOMPARE(SshHostKeys::knownHostsLine(QStringLiteral("example.com"), 22, blob),
                 "example.com " + ssh->knownHostsLine().split(' ').mid(1).join(' '));
        QCOMPARE(SshHostKeys::keyType(QByteArray("\0\0\0\x40xyz", 7)), QByteArray());
        QCOMPARE(SshHostKeys::keyType(QByteArray()), QByteArray());
    }

    // No password: the key in ~/.ssh, or the agent's key, logs in. Neither:
    // the server refuses the log-in.
    void logInWithoutPassword_data()
    {
        QTest::addColumn<QString>("keyFile");
        QTest::addColumn<bool>("agent");
        QTest::addColumn<bool>("loggedIn");
        QTest::newRow("id_ed25519") << "id_ed25519" << false << true;
        QTest::newRow("id_rsa (the file name only)") << "id_rsa" << false << true;
        QTest::newRow("agent") << "" << true << true;
        QTest::newRow("nothing") << "" << false << false;
    }

    void logInWithoutPassword()
    {
        QFETCH(QString, keyFile);
        QFETCH(bool, agent);
        QFETCH(bool, loggedIn);
        trustServer();
        if (!keyFile.isEmpty())
            installKey(keyFile);
        SshAgent sshAgent;
        if (agent) {
            QVERIFY2(sshAgent.isRunning(), qPrintable(sshAgent.errorString()));
            QVERIFY2(sshAgent.add(ssh->clientKey()), qPrintable(sshAgent.errorString()));
            qputenv("SSH_AUTH_SOCK", QFile::encodeName(sshAgent.socket()));
        }
        QVERIFY(writeFile(ssh->root() + QStringLiteral("/page.html"), "old"));
        ScriptedPrompt p;
        TransferClient inet;
        useServer(inet);
        const QString local = home.filePath(QStringLiteral("got.html"));
        const QString error = run(inet, QStringLiteral("GET page.html ") + local);
        QCOMPARE(p.texts(), QStringList());
        if (loggedIn) {
            QVERIFY2(error.isEmpty(), qPrintable(error + ssh->log()));
            QCOMPARE(readFile(local), QByteArray("old"));
            QVERIFY(ssh->log().contains("Accepted publickey for " + ssh->user().toUtf8()));
        } else {
            QVERIFY(error.startsWith(QStringLiteral("35756")));
            QCOMPARE(inet.responseCode(), 530);
        }
        qunsetenv("SSH_AUTH_SOCK");
    }

    // A server not in known_hosts: the user sees its fingerprint and decides.
    void unknownHostTrusted()
    {
        installKey();
        ScriptedPrompt p;
        p.answers << Answer::Yes;
        TransferClient inet;
        useServer(inet);
        QCOMPARE(run(inet, QStringLiteral("PWD")), QString());
        QCOMPARE(p.messages.size(), 1);
        const Message& asked = p.messages[0];
        QCOMPARE(asked.title, QStringLiteral("Unknown Host Key"));
        QCOMPARE(asked.buttons, Buttons::YesNo);
        QCOMPARE(asked.text,
                 QStringLiteral("The server 127.0.0.1 (port %1) is not known yet. Its ssh-ed25519 "
                                "host key has the fingerprint\r\n%2\r\nTrust this server and "
                                "remember its key in %3?")
                     .arg(ssh->port())
                     .arg(ssh->hostFingerprint(), knownHosts()));
        // Remembered in the form OpenSSH reads itself.
        QCOMPARE(readFile(knownHosts()), ssh->knownHostsLine() + '\n');
        QProcess lookup;
        lookup.start(QStringLiteral("ssh-keygen"),
                     {QStringLiteral("-F"), QStringLiteral("[127.0.0.1]:%1").arg(ssh->port()),
                      QStringLiteral("-f"), knownHosts()});
        QVERIFY(lookup.waitForFinished(10000));
        QCOMPARE(lookup.exitCode(), 0);

        // The next connection asks nothing.
        TransferClient again;
        useServer(again);
        QCOMPARE(run(again, QStringLiteral("PWD")), QString());
        QCOMPARE(p.messages.size(), 1);
    }

    // Not trusted, or a key that changed: the connection ends before the
    // log-in, nothing reaches the server and known_hosts stays as it was.
    void hostRefused_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::newRow("unknown, not trusted") << false;
        QTest::newRow("changed key") << true;
    }

    void hostRefused()
    {
        QFETCH(bool, changed);
        installKey();
        QByteArray hosts;
        if (changed) {
            trustServer();
            QVERIFY2(ssh->replaceHostKey(), qPrintable(ssh->errorString()));
            hosts = readFile(knownHosts());
        }
        ScriptedPrompt p;
        p.answers << Answer::No;
        TransferClient inet;
        useServer(inet);
        QVERIFY(writeFile(home.filePath(QStringLiteral("new.html")), "new page"));
        const QString error =
            run(inet, QStringLiteral("PUT ") + home.filePath(QStringLiteral("new.html")) +
                          QStringLiteral(" page.html"));
        QVERIFY2(inet.lastError().number() == TransferError::SecureConnectionFailed,
                 qPrintable(error + ssh->log()));
        if (changed) {
            QCOMPARE(p.messages.size(), 0); // nothing to decide
            QCOMPARE(
                inet.lastError().description(),
                QStringLiteral("The host key of the server 127.0.0.1 (port %1) has changed: it "
                               "now shows %2, not the key remembered in %3. Someone may be "
                               "intercepting the connection, so nothing was sent. If the "
                               "server's key was changed on purpose, remove its old line from "
                               "%3 and connect again.")
                    .arg(ssh->port())
                    .arg(ssh->hostFingerprint(), knownHosts()));
            QCOMPARE(readFile(knownHosts()), hosts);
        } else {
            QCOMPARE(p.messages.size(), 1);
            QVERIFY(p.messages[0].text.contains(ssh->hostFingerprint()));
            QCOMPARE(inet.lastError().description(),
                     QStringLiteral("The host key of the server 127.0.0.1 (port %1) (%2) was not "
                                    "trusted, so nothing was sent.")
                         .arg(ssh->port())
                         .arg(ssh->hostFingerprint()));
            QVERIFY(!QFileInfo::exists(knownHosts()));
        }
        QVERIFY2(!ssh->log().contains("Accepted"), ssh->log().constData());
        QVERIFY(!ssh->log().contains("userauth"));
        QCOMPARE(QDir(ssh->root()).entryList(QDir::Files | QDir::Hidden), QStringList());
    }

    // Cancel while the question is open (the window closed meanwhile) stops
    // the request at once; the late answer trusts nothing.
    void cancelWhileAsking()
    {
        installKey();
        TransferClient inet;
        useServer(inet);
        CallbackPrompt p([&inet] {
            inet.cancel();
            return Answer::Yes;
        });
        QElapsedTimer took;
        took.start();
        inet.execute({}, QStringLiteral("PWD"));
        QVERIFY(QTest::qWaitFor([&] { return !inet.isBusy(); }, Wait));
        QCOMPARE(p.asked, 1);
        QCOMPARE(inet.lastError().number(), TransferError::Cancelled);
        QVERIFY(took.elapsed() < 20000);
        QVERIFY(!QFileInfo::exists(knownHosts()));
        QVERIFY(!ssh->log().contains("Accepted"));
    }

    // Uploads go to a temporary name and are renamed over the page (OpenSSH
    // will not rename over an existing file): the page is replaced whole and
    // no temporary file stays behind.
    void uploadReplacesThePage()
    {
        installKey();
        trustServer();
        const QString page = ssh->root() + QStringLiteral("/www/index.html");
        QVERIFY(writeFile(page, "old page"));
        TransferClient inet;
        useServer(inet);
        QVERIFY(writeFile(home.filePath(QStringLiteral("new.html")), "new page"));
        QCOMPARE(run(inet, QStringLiteral("PUT ") + home.filePath(QStringLiteral("new.html")) +
                               QStringLiteral(" www/index.html")),
                 QString());
        QCOMPARE(readFile(page), QByteArray("new page"));
        QCOMPARE(QDir(ssh->root() + QStringLiteral("/www")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("index.html")});
    }

    // The command line publishes over SFTP with the key and no password.
    void publishFromTheCommandLine()
    {
        installKey();
        trustServer();
        QVERIFY(writeFile(ssh->root() + QStringLiteral("/www/index.html"), page(2)));
        QTemporaryDir dir, data;
        QVERIFY(writeIni(
            dir.path(),
            {{1,
              {{QStringLiteral("website"), kWebsite},
               {QStringLiteral("ftpsite"), QStringLiteral("sftp://127.0.0.1:%1").arg(ssh->port())},
               {QStringLiteral("username"), ssh->user()},
               {QStringLiteral("password"), QString()},
               {QStringLiteral("ftpremote"), ssh->root() + QStringLiteral("/www/index.html")},
               {QStringLiteral("autoftp"), QStringLiteral("True")},
               {QStringLiteral("retreivemode"), QStringLiteral("ftp")},
               {QStringLiteral("connection"), QStringLiteral("direct")},
               {QStringLiteral("timeout"), QStringLiteral("30")},
               {QStringLiteral("archive"), QStringLiteral("false")},
               {QStringLiteral("backendenabled"), QStringLiteral("False")}}}}));
        const auto post = [&](const QString& title, QByteArray* said) {
            QProcess pagewick;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("PAGEWICK_NOW"), QStringLiteral("2000-12-05T17:44:36"));
            env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
            pagewick.setProcessEnvironment(env);
            pagewick.start(QStringLiteral(PAGEWICK_BINARY),
                           {QStringLiteral("post"), QStringLiteral("--dir"), dir.path(),
                            QStringLiteral("--title"), title, QStringLiteral("--body"),
                            QStringLiteral("B"), QStringLiteral("--yes")});
            pagewick.closeWriteChannel();
            if (!pagewick.waitForFinished(90000))
                return -2;
            *said = pagewick.readAllStandardError() + pagewick.readAllStandardOutput();
            return pagewick.exitStatus() == QProcess::NormalExit ? pagewick.exitCode() : -1;
        };
        const QString ini = dir.filePath(QStringLiteral("weblog.ini"));
        QByteArray said;
        QVERIFY2(post(QStringLiteral("Over SFTP"), &said) == 0, said.constData());
        const QByteArray live = readFile(ssh->root() + QStringLiteral("/www/index.html"));
        QVERIFY(live.contains("Over SFTP"));
        QCOMPARE(live, readFile(dir.filePath(QStringLiteral("webbie1.html"))));
        QCOMPARE(readSetting(ini, QStringLiteral("1"), QStringLiteral("Fail")),
                 QStringLiteral("False"));
        QCOMPARE(QDir(ssh->root() + QStringLiteral("/www")).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("index.html")});

        // Another server in its place: the publish stops before anything is
        // sent, says why, and the page stays as it was.
        QVERIFY2(ssh->replaceHostKey(), qPrintable(ssh->errorString()));
        QVERIFY(post(QStringLiteral("Intercepted"), &said) == 1);
        QVERIFY2(said.contains("Transfer Error: 35783 The host key of the server 127.0.0.1 (port " +
                               QByteArray::number(ssh->port()) + ") has changed"),
                 said.constData());
        QCOMPARE(readFile(ssh->root() + QStringLiteral("/www/index.html")), live);
        const QByteArray log = ssh->log();
        QCOMPARE(log.indexOf("Accepted publickey", log.lastIndexOf("Server listening")), -1);
    }
};

QTEST_GUILESS_MAIN(TestSftp)
#include "tst_sftp.moc"
