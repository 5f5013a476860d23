#include "SshServer.h"

#include "PublishFixture.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>

#include <optional>

#include <unistd.h>

namespace {

// Runs `program` to its end; its output, or nothing with `error` set.
std::optional<QByteArray> run(const QString& program, const QStringList& arguments, QString* error,
                              const QString& agentSocket = {})
{
    QProcess process;
    if (!agentSocket.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("SSH_AUTH_SOCK", agentSocket);
        process.setProcessEnvironment(env);
    }
    process.start(program, arguments);
    process.closeWriteChannel();
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return process.readAllStandardOutput();
    *error = QStringLiteral("%1 %2 failed: %3 %4")
                 .arg(program, arguments.join(u' '), process.errorString(),
                      QString::fromLocal8Bit(process.readAllStandardError()));
    return std::nullopt;
}

// Ends `process`: politely first, by force if it does not go.
void stopProcess(QProcess& process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

SshServer::SshServer()
{
    if (!QFileInfo(QStringLiteral("/usr/sbin/sshd")).isExecutable()) {
        error_ = QStringLiteral("/usr/sbin/sshd is missing (Debian package openssh-server)");
        return;
    }
    if (::geteuid() == 0) // sshd started by root wants its privilege separation folder
        QDir().mkpath(QStringLiteral("/run/sshd"));
    if (!makeKey("host") || !makeKey("client"))
        return;
    if (!QFile::copy(keys_.filePath("client.pub"), keys_.filePath("authorized_keys"))) {
        error_ = QStringLiteral("cannot write authorized_keys");
        return;
    }
    // A free port, found by a probe that lets it go again; another server
    // started at the same moment may take it first, so try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        QTcpServer probe;
        port_ = probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
        probe.close();
        log_.clear();
        if (start() || !log_.contains("Address already in use"))
            return;
    }
}

bool SshServer::makeKey(const QString& name)
{
    const QString path = keys_.filePath(name);
    QFile::remove(path);
    QFile::remove(path + ".pub");
    return run("ssh-keygen",
               {"-q", "-t", "ed25519", "-N", "", "-C", "pagewick-test-" + name, "-f", path},
               &error_)
        .has_value();
}

QString SshServer::user() const
{
    const QString name = qEnvironmentVariable("USER");
    return !name.isEmpty()    ? name
           : ::geteuid() == 0 ? QStringLiteral("root")
                              : qEnvironmentVariable("LOGNAME");
}

bool SshServer::start()
{
    error_.clear();
    const QString config = keys_.filePath("sshd_config");
    if (!PublishFixture::writeFile(
            config, QStringLiteral("Port %1\nListenAddress 127.0.0.1\nHostKey %2\nPidFile none\n"
                                   "AuthorizedKeysFile %3\nPubkeyAuthentication yes\n"
                                   "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                                   "UsePAM no\nPermitRootLogin prohibit-password\nAllowUsers %4\n"
                                   "StrictModes no\nSubsystem sftp internal-sftp\n"
                                   "LogLevel VERBOSE\n")
                        .arg(port_)
                        .arg(keys_.filePath("host"), keys_.filePath("authorized_keys"), user())
                        .toUtf8())) {
        error_ = QStringLiteral("cannot write sshd_config");
        return false;
    }
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start("/usr/sbin/sshd", {"-D", "-e", "-f", config});
    // Ready once it accepts connections.
    const QDeadlineTimer deadline(20000);
    while (process_.waitForStarted(10000) && !deadline.hasExpired()) {
        QTcpSocket probe;
        if (log().contains("Server listening")) {
            probe.connectToHost(QStringLiteral("127.0.0.1"), port_);
            if (probe.waitForConnected(1000))
                return true;
        }
        process_.waitForReadyRead(100);
    }
    error_ = QStringLiteral("sshd is not listening on port %1 (%2): %3")
                 .arg(port_)
                 .arg(process_.errorString(), QString::fromLocal8Bit(log()));
    stop();
    return false;
}

void SshServer::stop()
{
    stopProcess(process_);
    log();
}

QByteArray SshServer::hostPublicKey() const
{
    return PublishFixture::readFile(keys_.filePath("host.pub")).trimmed();
}

QString SshServer::hostFingerprint() const
{
    QString error; // ssh-keygen -l prints "256 SHA256:... comment (ED25519)"
    const auto out =
        run("ssh-keygen", {"-l", "-E", "sha256", "-f", keys_.filePath("host.pub")}, &error);
    return out ? QString::fromLatin1(out->split(' ').value(1)) : error;
}

QByteArray SshServer::knownHostsLine() const
{
    const QList<QByteArray> parts = hostPublicKey().split(' ');
    return "[127.0.0.1]:" + QByteArray::number(port_) + ' ' + parts.value(0) + ' ' + parts.value(1);
}

SshAgent::SshAgent()
{
    const QString socket = dir_.filePath("agent.sock");
    process_.start("ssh-agent", {"-D", "-a", socket});
    const QDeadlineTimer deadline(10000);
    while (process_.waitForStarted(10000) && !deadline.hasExpired() && !QFileInfo::exists(socket))
        process_.waitForFinished(50);
    if (QFileInfo::exists(socket))
        socket_ = socket;
    else
        error_ = QStringLiteral("ssh-agent made no socket: ") + process_.errorString();
}

SshAgent::~SshAgent()
{
    stopProcess(process_);
}

bool SshAgent::add(const QString& privateKey)
{
    return run("ssh-add", {"-q", privateKey}, &error_, socket_).has_value();
}
