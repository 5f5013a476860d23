#pragma once

// A real OpenSSH server for the SFTP tests: /usr/sbin/sshd in the foreground
// on 127.0.0.1 and a free port, as the test's own user (root in CI, allowed
// explicitly), with a throwaway host key and one throwaway client key as its
// only authorized key, no PAM, no passwords. It serves the real file system;
// tests work below root(). SshAgent is an ssh-agent of its own.

#include <QProcess>
#include <QTemporaryDir>

class SshServer
{
public:
    SshServer();
    ~SshServer() { stop(); }
    SshServer(const SshServer&) = delete;
    SshServer& operator=(const SshServer&) = delete;

    bool isRunning() const { return process_.state() == QProcess::Running && error_.isEmpty(); }
    QString errorString() const { return error_; }
    quint16 port() const { return port_; }
    QString user() const;
    // "sftp://127.0.0.1:port" followed by the absolute path of root().
    QString url() const { return QStringLiteral("sftp://127.0.0.1:%1%2").arg(port_).arg(root()); }
    QString root() const { return root_.path(); }
    QString clientKey() const { return keys_.filePath("client"); } // accepted, no passphrase
    // The host key's public line ("ssh-ed25519 AAAA... comment"), its
    // fingerprint as ssh-keygen shows it ("SHA256:...") and its known_hosts line.
    QByteArray hostPublicKey() const;
    QString hostFingerprint() const;
    QByteArray knownHostsLine() const;
    // Starts again on the same port with a new host key: the server an
    // attacker would put in its place.
    bool replaceHostKey() { return stop(), makeKey("host") && start(); }
    QByteArray log() { return log_ += process_.readAll(); } // what sshd logged so far

private:
    bool makeKey(const QString& name);
    bool start();
    void stop();

    QTemporaryDir keys_, root_; // host key, client key, configuration; served files
    QProcess process_;
    QByteArray log_;
    quint16 port_ = 0;
    QString error_;
};

class SshAgent
{
public:
    SshAgent();
    ~SshAgent();
    SshAgent(const SshAgent&) = delete;
    SshAgent& operator=(const SshAgent&) = delete;

    bool isRunning() const { return process_.state() == QProcess::Running && !socket_.isEmpty(); }
    QString errorString() const { return error_; }
    QString socket() const { return socket_; } // the value for SSH_AUTH_SOCK
    bool add(const QString& privateKey);

private:
    QTemporaryDir dir_;
    QProcess process_;
    QString socket_, error_;
};
