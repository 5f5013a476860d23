#pragma once

// A real OpenSSH server for the SFTP tests: /usr/sbin/sshd on 127.0.0.1 and
// a free high port, run in the foreground by the test as the test's own
// user (root in CI, which the configuration allows explicitly), with a
// throwaway host key, one throwaway client key as its only authorized key,
// no PAM and no passwords. Files are served from the real file system; the
// test works below root().
//
//   SshServer ssh;
//   REQUIRE_RUNNING(ssh);
//   inet.setUrl(ssh.url());  inet.setUserName(ssh.user());
//
// SshAgent runs an ssh-agent of its own on a socket in a temporary folder.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class SshServer
{
public:
    SshServer();
    ~SshServer();
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    bool isRunning() const;
    QString errorString() const { return error_; }

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return port_; }
    QString user() const;
    // "sftp://127.0.0.1:port" followed by the absolute path of root().
    QString url() const;
    // A folder of the test's own, below which the tests put their files.
    QString root() const { return root_.path(); }

    // The private key the server accepts (no passphrase).
    QString clientKey() const { return keys_.filePath(QStringLiteral("client")); }
    // The host key's public line ("ssh-ed25519 AAAA... comment") and its
    // fingerprint as ssh-keygen shows it ("SHA256:...").
    QByteArray hostPublicKey() const;
    QString hostFingerprint() const;
    // The line known_hosts holds for this server.
    QByteArray knownHostsLine() const;

    // Stops the server, makes a new host key and starts it again on the
    // same port: the server an attacker would put in its place.
    bool replaceHostKey();

    // What sshd logged so far.
    QByteArray log();

private:
    bool makeKey(const QString& name);
    bool start();
    void stop();

    QTemporaryDir keys_; // host key, client key, configuration
    QTemporaryDir root_;
    QProcess process_;
    QByteArray log_;
    quint16 port_ = 0;
    int generation_ = 0;
    QString error_;
};

class SshAgent
{
public:
    SshAgent();
    ~SshAgent();
    SshAgent(const SshAgent&) = delete;
    SshAgent& operator=(const SshAgent&) = delete;

    bool isRunning() const { return process_.state() == QProcess::Running && !socket().isEmpty(); }
    QString errorString() const { return error_; }
    // The value for SSH_AUTH_SOCK.
    QString socket() const { return socket_; }
    bool add(const QString& privateKey);

private:
    QTemporaryDir dir_;
    QProcess process_;
    QString socket_;
    QString error_;
};
