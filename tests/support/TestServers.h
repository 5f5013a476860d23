#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Local FTP and HTTP servers for tests: Python scripts in tests/support run
// on 127.0.0.1 with a free port and a fresh temporary root folder; each
// object starts its server in the constructor and stops it in the
// destructor. Check isRunning() (errorString() says why not) before use.
// Misbehaviour can be switched on and off while the server runs; it applies
// from the next command or transfer on.

// The interpreter that carries pyftpdlib (another python3 may come first on
// PATH).
inline constexpr const char* TestServerPython = "/usr/bin/python3";

class TestServerBase
{
public:
    virtual ~TestServerBase();
    TestServerBase(const TestServerBase&) = delete;
    TestServerBase& operator=(const TestServerBase&) = delete;

    bool isRunning() const;
    QString errorString() const { return error_; }

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return port_; }
    // The folder the server serves.
    QString root() const { return root_.path(); }
    // `relative` (below root) as a local path.
    QString rootPath(const QString& relative) const;

    // Writes a file below root, creating its folders.
    bool writeFile(const QString& relative, const QByteArray& bytes) const;
    QByteArray readFile(const QString& relative) const;
    bool fileExists(const QString& relative) const;

    // The log lines written so far (see the scripts for their form).
    QStringList logLines() const;
    void clearLog() const;

    // Back to normal behaviour.
    void resetBehaviour();

    // The certificate the servers use with TLS, to trust it
    // (TransferClient::setCaCertificates) or to see it refused without it.
    static QString certificateFile();

protected:
    TestServerBase(const QString& script, bool tls);
    // Sets `key` of the control file; a null value removes it.
    void setControl(const QString& key, const QJsonValue& value);
    // Adds `value` to the list under `key`.
    void appendControl(const QString& key, const QString& value);
    void writeControl();

    QJsonObject control_;

private:
    QTemporaryDir root_;
    QTemporaryDir work_; // control file and log
    QProcess process_;
    quint16 port_ = 0;
    QString error_;
};

class FtpTestServer : public TestServerBase
{
public:
    static inline const QString User = QStringLiteral("tester");
    static inline const QString Password = QStringLiteral("secret");

    enum class Security
    {
        Plain,
        Tls
    };
    // With Tls the server demands AUTH TLS (explicit FTPS) before logging
    // in, and protected data connections.
    explicit FtpTestServer(Security security = Security::Plain);

    // "ftp://127.0.0.1:PORT", or "ftps://..." for a TLS server.
    QString url() const;

    // The user may do nothing in `serverPath` ("/locked") or below: 550.
    void denyAccess(const QString& serverPath)
    {
        appendControl(QStringLiteral("deny"), serverPath);
    }
    // Uploads keep the first `bytes` bytes and are answered with 452.
    void setDiskFullAfter(qint64 bytes) { setControl(QStringLiteral("disk_full_after"), bytes); }
    // Uploads keep the first `bytes` bytes and are still answered with 226.
    void setLoseAfter(qint64 bytes) { setControl(QStringLiteral("lose_after"), bytes); }
    // After `bytes` bytes of a data transfer the server closes the data and
    // control connections without a reply.
    void setDropAfter(qint64 bytes) { setControl(QStringLiteral("drop_after"), bytes); }
    // After `bytes` bytes of a data transfer the server goes silent, with
    // the connections left open.
    void setStallAfter(qint64 bytes) { setControl(QStringLiteral("stall_after"), bytes); }
    // Pause `delayMs` after every `blockSize` bytes of a data transfer.
    void setSlow(int delayMs, int blockSize = 8192);
    // false: answer MLSD with 500, so that clients fall back to LIST.
    void setMlsdSupported(bool supported);
    enum class Renaming
    {
        Allowed,
        // RNTO onto an existing file answers 550 (as OpenSSH's SFTP does).
        NotOverExisting,
        // every RNFR answers 550.
        Refused
    };
    void setRenaming(Renaming renaming);
    // STOR of a file whose name begins with `name` answers 550 (stores
    // nothing); several names may fail.
    void failUploadsOf(const QString& name) { appendControl(QStringLiteral("fail_files"), name); }
    // RNFR of the upload copy of `name` ("name.pagewick-upload") answers 550:
    // that file cannot be put in place, other files can.
    void failRenamesOf(const QString& name) { appendControl(QStringLiteral("fail_renames"), name); }

    // Command lines received, in order ("USER tester", "RETR /a.html").
    QStringList commands() const;
    int connectionCount() const;
    int loginCount() const;

private:
    bool tls_ = false;
};

class HttpTestServer : public TestServerBase
{
public:
    struct Behaviour
    {
        int status = 0;        // answer with this status and a short page instead of the file
        bool noLength = false; // no Content-Length; close after the body
        qint64 extraBytes = 0; // a moment after the body, this much more than announced
        bool closeWithoutAnswer = false;
        int delayMs = 0; // pause after every block of the body
        int blockSize = 8192;
        qint64 stallAfter = -1;         // send this many body bytes, then nothing for a minute
        QMap<QString, QString> headers; // extra response headers
    };

    enum class Security
    {
        Plain,
        Tls
    };
    explicit HttpTestServer(Security security = Security::Plain);

    // "http://127.0.0.1:PORT" followed by `path` ("/index.html").
    QString url(const QString& path = QStringLiteral("/")) const;

    // How requests for `path` (without query) are answered.
    void setBehaviour(const QString& path, const Behaviour& behaviour);
    // How requests for paths without a behaviour of their own are answered.
    void setDefaultBehaviour(const Behaviour& behaviour);

    // Requests received, in order ("GET /index.html").
    QStringList requests() const;

private:
    static QJsonObject toJson(const Behaviour& behaviour);
    bool tls_ = false;
};
