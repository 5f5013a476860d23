// SFTP against a real OpenSSH server: log-in with a key or the agent, the
// host key questions (unknown host trusted or not, changed key refused with
// nothing sent), and a publish from the command line onto a server that will
// not rename over a file.

#include "SshServer.h"
#include "net/SshHostKeys.h"
#include "net/TransferRun.h"

#include <QElapsedTimer>

using namespace PublishFixture;
using namespace TransferRun;

class TestSftp : public QObject
{
    Q_OBJECT
    QTemporaryDir home; // HOME for the whole test: the user's ~/.ssh is never read
    std::unique_ptr<SshServer> ssh;
    std::unique_ptr<TransferClient> inet;
    std::unique_ptr<Runner> run;

    static QString knownHosts() { return SshHostKeys::knownHostsPath(); }
    void installKey(const QString& name = "id_ed25519") const
    {
        QDir().mkpath(home.filePath(".ssh"));
        QVERIFY(QFile::copy(ssh->clientKey(), home.filePath(".ssh/" + name)));
    }
    void trustServer() const
    {
        QVERIFY(writeFile(knownHosts(), "# hosts\n" + ssh->knownHostsLine() + '\n'));
    }
    QString hostKeyText(const char* text) const
    {
        const QString s = QString(text).arg(ssh->port()).arg(ssh->hostFingerprint());
        return s.contains("%3") ? s.arg(knownHosts()) : s;
    }

private slots:
    void initTestCase()
    {
        qputenv("HOME", QFile::encodeName(home.path()));
        QCOMPARE(knownHosts(), home.filePath(".ssh/known_hosts"));
    }

    void init()
    {
        QDir(home.filePath(".ssh")).removeRecursively();
        qunsetenv("SSH_AUTH_SOCK");
        ssh = std::make_unique<SshServer>();
        REQUIRE_RUNNING(*ssh);
        inet = std::make_unique<TransferClient>();
        inet->setUrl(ssh->url());
        inet->setUserName(ssh->user());
        inet->setRequestTimeout(30);
        inet->setPrompt(&workspace().prompt());
        run = std::make_unique<Runner>(*inet);
    }
    void cleanup() { run.reset(), inet.reset(), ssh.reset(); }

    // No password: the key in ~/.ssh, or the agent's key, logs in. Neither:
    // the server refuses the log-in.
    void logInWithoutPassword_data()
    {
        QTest::addColumn<QString>("keyFile");
        QTest::addColumn<bool>("agent");
        QTest::newRow("id_ed25519") << "id_ed25519" << false;
        QTest::newRow("id_rsa (the file name only)") << "id_rsa" << false;
        QTest::newRow("agent") << "" << true;
        QTest::newRow("nothing") << "" << false;
    }

    void logInWithoutPassword()
    {
        QFETCH(QString, keyFile);
        QFETCH(bool, agent);
        trustServer();
        if (!keyFile.isEmpty())
            installKey(keyFile);
        SshAgent sshAgent;
        if (agent) {
            QVERIFY2(sshAgent.isRunning() && sshAgent.add(ssh->clientKey()),
                     qPrintable(sshAgent.errorString()));
            qputenv("SSH_AUTH_SOCK", QFile::encodeName(sshAgent.socket()));
        }
        QVERIFY(writeFile(ssh->root() + "/page.html", "old"));
        ScriptedPrompt p;
        const QString local = home.filePath("got.html");
        QFile::remove(local);
        const bool refused = keyFile.isEmpty() && !agent;
        const QString error =
            run->expect([&] { inet->download("page.html", local); },
                        refused ? TransferError::RequestFailed : 0, refused * 530);
        QVERIFY2(error.isEmpty(), qPrintable(error + ssh->log()));
        QCOMPARE(readFile(local), refused ? "<missing>" : QByteArray("old"));
        QCOMPARE(p.texts(), QStringList());
    }

    // A server not in known_hosts: the user sees its fingerprint and decides.
    void unknownHostTrusted()
    {
        installKey();
        ScriptedPrompt p;
        p.answers << Answer::Yes;
        const auto pwd = [this] { inet->currentFolder(); };
        RUN_OK(*run, pwd);
        SHOWN(p, {hostKeyText("Unknown Host Key: The server 127.0.0.1 (port %1) is not known yet. "
                              "Its ssh-ed25519 host key has the fingerprint\r\n%2\r\nTrust this "
                              "server and remember its key in %3?")});
        QCOMPARE(p.messages[0].buttons, Buttons::YesNo);
        // Remembered in the form OpenSSH reads itself; on port 22 without
        // the brackets.
        QCOMPARE(readFile(knownHosts()), ssh->knownHostsLine() + '\n');
        const QByteArray blob = QByteArray::fromBase64(ssh->hostPublicKey().split(' ').value(1));
        QCOMPARE(SshHostKeys::knownHostsLine("example.com", 22, blob),
                 "example.com " + ssh->knownHostsLine().split(' ').mid(1).join(' '));
        QCOMPARE(SshHostKeys::keyType(QByteArray("\0\0\0\x40xyz", 7)) +
                     SshHostKeys::keyType(QByteArray("\0\0", 2)),
                 QByteArray()); // cut short

        // The next connection asks nothing.
        RUN_OK(*run, [this] { inet->close(); });
        RUN_OK(*run, pwd);
        QCOMPARE(p.messages.size(), 1);
        QCOMPARE(ssh->log().count("Accepted publickey"), 2); // on two connections
    }

    // Not trusted, or a key that changed (nothing left to decide): the
    // connection ends before the log-in, nothing reaches the server and
    // known_hosts stays as it was.
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
        QByteArray hosts = "<missing>";
        if (changed) {
            trustServer();
            QVERIFY2(ssh->replaceHostKey(), qPrintable(ssh->errorString()));
            hosts = readFile(knownHosts());
        }
        ScriptedPrompt p;
        p.answers << Answer::No;
        QVERIFY(writeFile(home.filePath("new.html"), "new page"));
        QCOMPARE((*run)([this] { inet->upload(home.filePath("new.html"), "page.html"); }),
                 QString("%1 ").arg(TransferError::SecureConnectionFailed) +
                     hostKeyText(changed ? "The host key of the server 127.0.0.1 (port %1) has "
                                           "changed: it now shows %2, not the key remembered in "
                                           "%3. Someone may be intercepting the connection, so "
                                           "nothing was sent. If the server's key was changed on "
                                           "purpose, remove its old line from %3 and connect "
                                           "again."
                                         : "The host key of the server 127.0.0.1 (port %1) (%2) "
                                           "was not trusted, so nothing was sent."));
        QCOMPARE(p.messages.size(), changed ? 0 : 1);
        QCOMPARE(readFile(knownHosts()), hosts);
        QVERIFY2(!ssh->log().contains("Accepted") && !ssh->log().contains("userauth"),
                 ssh->log().constData());
        QCOMPARE(filesIn(ssh->root()), QStringList());
    }

    // Cancel while the question is open (the window closed meanwhile) stops
    // the request at once; the late answer trusts nothing.
    void cancelWhileAsking()
    {
        installKey();
        ScriptedPrompt p;
        p.answers << Answer::Yes;
        p.whenAsked = [this] { inet->cancel(); };
        QElapsedTimer took;
        took.start();
        inet->currentFolder();
        QVERIFY(QTest::qWaitFor([&] { return !inet->isBusy(); }, Wait));
        QCOMPARE(p.messages.size(), 1);
        QCOMPARE(inet->lastError().number(), TransferError::Cancelled);
        QVERIFY(took.elapsed() < 20000);
        QVERIFY(!QFileInfo::exists(knownHosts()) && !ssh->log().contains("Accepted"));
    }

    // The command line publishes over SFTP with the key and no password.
    // OpenSSH will not rename over an existing file, so the old page is
    // moved aside, the new one moved in and only then the old one deleted:
    // the page is replaced whole and nothing stays beside it.
    void publishFromTheCommandLine()
    {
        installKey();
        trustServer();
        const QString page = ssh->root() + "/www/index.html";
        QVERIFY(writeFile(page, PublishFixture::page(2)));
        QTemporaryDir dir, data;
        const Keys keys{{"website", kWebsite},      {"ftpsite", ssh->url().section('/', 0, 2)},
                        {"username", ssh->user()},  {"password", ""},
                        {"ftpremote", page},        {"autoftp", "True"},
                        {"retreivemode", "ftp"},    {"connection", "direct"},
                        {"timeout", "30"},          {"archive", "false"},
                        {"backendenabled", "False"}};
        QVERIFY(writeIni(dir.path(), {{1, keys}}));
        const ProgramRun r = runProgram(
            {"post", "--dir", dir.path(), "--title", "Over SFTP", "--body", "B", "--yes"},
            data.path());
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        const QByteArray live = readFile(page);
        QVERIFY(live.contains("Over SFTP"));
        QCOMPARE(live, readFile(dir.filePath("webbie1.html")));
        QCOMPARE(readSetting(dir.filePath("weblog.ini"), "1", "Fail"), QString("False"));
        QCOMPARE(filesIn(ssh->root() + "/www"), QStringList{"index.html"});
    }
};

QTEST_GUILESS_MAIN(TestSftp)
#include "tst_sftp.moc"
