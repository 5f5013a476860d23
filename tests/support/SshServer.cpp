#include "SshServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>

#include <unistd.h>

namespace {

bool run(const QString& program, const QStringList& arguments, QString* error,
         QByteArray* output = nullptr, const QProcessEnvironment& env = {})
{
    QProcess process;
    if (!env.isEmpty())
        process.setProcessEnvironment(env);
    process.start(program, arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *error = QStringLiteral("%1 %2 failed: %3 %4")
                     .arg(program, arguments.join(u' '), process.errorString(),
                          QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return true;
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

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost))
        return 0;
    return probe.serverPort();
}

} // namespace

SshServer::SshServer()
{
    if (!keys_.isValid() || !root_.isValid()) {
        error_ = QStringLiteral("cannot create a temporary folder");
        return;
    }
    if (!QFileInfo(QStringLiteral("/usr/sbin/sshd")).isExecutable()) {
        error_ = QStringLiteral("/usr/sbin/sshd is missing (Debian package openssh-server)");
        return;
    }
    // sshd started by root wants its privilege separation folder.
    if (::geteuid() == 0 && !QFileInfo::exists(QStringLiteral("/run/sshd")))
        QDir().mkpath(QStringLiteral("/run/sshd"));
    if (!makeKey(QStringLiteral("host")) || !makeKey(QStringLiteral("client")))
        return;
    QFile::remove(keys_.filePath(QStringLiteral("authorized_keys")));
    if (!QFile::copy(keys_.filePath(QStringLiteral("client.pub")),
                     keys_.filePath(QStringLiteral("authorized_keys")))) {
        error_ = QStringLiteral("cannot write authorized_keys");
        return;
    }
    port_ = freePort();
    start();
}

SshServer::~SshServer()
{
    stop();
}

bool SshServer::makeKey(const QString& name)
{
    const QString path = keys_.filePath(name);
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".pub"));
    return run(QStringLiteral("ssh-keygen"),
               {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                QStringLiteral("-N"), QString(), QStringLiteral("-C"),
                QStringLiteral("pagewick-test-") + name, QStringLiteral("-f"), path},
               &error_);
}

QString SshServer::user() const
{
    const QString name = qEnvironmentVariable("USER");
    if (!name.isEmpty())
        return name;
    return ::geteuid() == 0 ? QStringLiteral("root") : qEnvironmentVariable("LOGNAME");
}

QString SshServer::url() const
{
    return QStringLiteral("sftp://127.0.0.1:%1%2").arg(port_).arg(root());
}

bool SshServer::start()
{
    error_.clear();
    const QString config = keys_.filePath(QStringLiteral("sshd_config"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error_ = QStringLiteral("cannot write sshd_config");
        return false;
    }
    const QByteArray text = QStringLiteral("Port %1\n"
                                           "ListenAddress 127.0.0.1\n"
                                           "HostKey %2\n"
                                           "PidFile none\n"
                                           "AuthorizedKeysFile %3\n"
                                           "PubkeyAuthentication yes\n"
                                           "PasswordAuthentication no\n"
                                           "KbdInteractiveAuthentication no\n"
                                           "UsePAM no\n"
                                           "PermitRootLogin prohibit-password\n"
                                           "AllowUsers %4\n"
                                           "StrictModes no\n"
                                           "Subsystem sftp internal-sftp\n"
                                           "LogLevel VERBOSE\n")
                                .arg(port_)
                                .arg(keys_.filePath(QStringLiteral("host")),
                                     keys_.filePath(QStringLiteral("authorized_keys")), user())
                                .toUtf8();
    file.write(text);
    file.close();

    process_.setProgram(QStringLiteral("/usr/sbin/sshd"));
    process_.setArguments(
        {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), config});
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start();
    if (!process_.waitForStarted(10000)) {
        error_ = QStringLiteral("sshd did not start: ") + process_.errorString();
        return false;
    }
    // Ready once it accepts connections.
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
        log_ += process_.readAll();
        if (log_.contains("Server listening")) {
            QTcpSocket probe;
            probe.connectToHost(host(), port_);
            if (probe.waitForConnected(1000))
                return true;
        }
        process_.waitForReadyRead(100);
    }
    log_ += process_.readAll();
    error_ = QStringLiteral("sshd is not listening on port %1: %2")
                 .arg(port_)
                 .arg(QString::fromLocal8Bit(log_));
    stop();
    return false;
}

void SshServer::stop()
{
    stopProcess(process_);
    log_ += process_.readAll();
}

bool SshServer::isRunning() const
{
    return process_.state() == QProcess::Running && error_.isEmpty();
}

QByteArray SshServer::log()
{
    log_ += process_.readAll();
    return log_;
}

QByteArray SshServer::hostPublicKey() const
{
    QFile file(keys_.filePath(QStringLiteral("host.pub")));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

QString SshServer::hostFingerprint() const
{
    QByteArray out;
    QString error;
    if (!run(QStringLiteral("ssh-keygen"),
             {QStringLiteral("-l"), QStringLiteral("-E"), QStringLiteral("sha256"),
              QStringLiteral("-f"), keys_.filePath(QStringLiteral("host.pub"))},
             &error, &out))
        return error;
    // "256 SHA256:... comment (ED25519)"
    return QString::fromLatin1(out.split(' ').value(1));
}

QByteArray SshServer::knownHostsLine() const
{
    const QList<QByteArray> parts = hostPublicKey().split(' ');
    return "[127.0.0.1]:" + QByteArray::number(port_) + ' ' + parts.value(0) + ' ' + parts.value(1);
}

bool SshServer::replaceHostKey()
{
    stop();
    process_.readAll();
    return makeKey(QStringLiteral("host")) && start();
}

SshAgent::SshAgent()
{
    if (!dir_.isValid()) {
        error_ = QStringLiteral("cannot create a temporary folder");
        return;
    }
    const QString socket = dir_.filePath(QStringLiteral("agent.sock"));
    process_.setProgram(QStringLiteral("ssh-agent"));
    process_.setArguments({QStringLiteral("-D"), QStringLiteral("-a"), socket});
    process_.start();
    if (!process_.waitForStarted(10000)) {
        error_ = QStringLiteral("ssh-agent did not start: ") + process_.errorString();
        return;
    }
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && !QFileInfo::exists(socket))
        process_.waitForFinished(50);
    if (QFileInfo::exists(socket))
        socket_ = socket;
    else
        error_ = QStringLiteral("ssh-agent made no socket");
}

SshAgent::~SshAgent()
{
    stopProcess(process_);
}

bool SshAgent::add(const QString& privateKey)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SSH_AUTH_SOCK"), socket_);
    return run(QStringLiteral("ssh-add"), {QStringLiteral("-q"), privateKey}, &error_, nullptr,
               env);
}
