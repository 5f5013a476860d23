#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Local FTP and HTTP servers for tests: the Python scripts beside this file
// on 127.0.0.1, a free port and a fresh root folder, for the lifetime of the
// object. Check isRunning() (errorString() says why not) before use.
// Misbehaviour switched on applies from the next command or transfer on.

// The interpreter that carries pyftpdlib (another python3 may come first).
inline constexpr const char* TestServerPython = "/usr/bin/python3";

class TestServerBase
{
public:
    enum class Security
    {
        Plain,
        Tls // FTP: AUTH TLS demanded before log-in, protected data connections
    };
    virtual ~TestServerBase();
    TestServerBase(const TestServerBase&) = delete;
    TestServerBase& operator=(const TestServerBase&) = delete;

    bool isRunning() const { return port_ != 0 && process_.state() == QProcess::Running; }
    QString errorString() const { return error_; }
    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return port_; }
    QString root() const { return root_.path(); }
    QString rootPath(const QString& relative) const; // below root, as a local path
    bool writeFile(const QString& relative, const QByteArray& bytes) const; // makes folders
    QByteArray readFile(const QString& relative) const; // "<missing>" when it is not there
    bool fileExists(const QString& relative) const;
    QStringList logLines() const;
    void clearLog() const;
    void resetBehaviour() { setControl({}, {}); }
    static QString certificateFile(); // of the TLS servers, to trust it or see it refused

protected:
    TestServerBase(const QString& script, Security security);
    QString url(const char* plain, const char* tls) const;
    // Sets `key` of the control file (null value: removes it; no key: clears
    // them all), or adds `value` to the list under `key`.
    void setControl(const QString& key, const QJsonValue& value);
    void appendControl(const QString& key, const QString& value);

    QJsonObject control_;

private:
    QTemporaryDir root_, work_; // served files; control file and log
    QProcess process_;
    quint16 port_ = 0;
    bool tls_;
    QString error_;
};

class FtpTestServer : public TestServerBase
{
public:
    static inline const QString User = QStringLiteral("tester");
    static inline const QString Password = QStringLiteral("secret");
    explicit FtpTestServer(Security security = Security::Plain)
        : TestServerBase(QStringLiteral("ftpserver.py"), security)
    {
    }
    QString url() const { return TestServerBase::url("ftp", "ftps"); } // "ftp://127.0.0.1:PORT"

    // Nothing may be done in `serverPath` ("/locked") or below: 550.
    void denyAccess(const QString& serverPath) { appendControl("deny", serverPath); }
    // Uploads keep the first `bytes` bytes and are answered with 452 (full)
    // or 226 (lose); data transfers break off after `bytes` bytes with both
    // connections closed (drop) or left open and silent (stall).
    void setDiskFullAfter(qint64 bytes) { setControl("disk_full_after", bytes); }
    void setLoseAfter(qint64 bytes) { setControl("lose_after", bytes); }
    void setDropAfter(qint64 bytes) { setControl("drop_after", bytes); }
    void setStallAfter(qint64 bytes) { setControl("stall_after", bytes); }
    // The command `verb` ("MLSD", "RETR"...) is never answered, as by a server
    // that hangs.
    void hangOn(const QString& verb) { appendControl("hang", verb); }
    // Pause `delayMs` after every `blockSize` bytes of a data transfer.
    void setSlow(int delayMs, int blockSize = 8192)
    {
        control_.insert("block_size", blockSize);
        setControl("delay_ms", delayMs);
    }
    // false: MLSD is answered with 500, so that clients fall back to LIST.
    void setMlsdSupported(bool on) { setControl("no_mlsd", on ? QJsonValue() : QJsonValue(true)); }
    enum class Renaming
    {
        Allowed,
        NotOverExisting, // RNTO onto an existing file answers 550 (as OpenSSH's SFTP)
        Refused          // every RNFR answers 550
    };
    void setRenaming(Renaming r)
    {
        setControl("rename", r == Renaming::Allowed   ? QJsonValue()
                             : r == Renaming::Refused ? QJsonValue("refuse")
                                                      : QJsonValue("over_existing"));
    }
    // STOR of a file whose name begins with `name` answers 550; RNFR of the
    // upload copy of `name` ("name.pagewick-upload") answers 550.
    void failUploadsOf(const QString& name) { appendControl("fail_files", name); }
    void failRenamesOf(const QString& name) { appendControl("fail_renames", name); }

    QStringList commands() const { return linesAfter("CMD "); } // received ("RETR /a.html")
    int connectionCount() const { return int(logLines().count("CONNECT")); }
    int loginCount() const { return int(linesAfter("LOGIN ").size()); }
    // The log without the end of a session the client closed before: its
    // QUIT and DISCONNECT may reach the log after it was cleared. Empty when
    // nobody has connected since.
    QStringList newSessionLines() const
    {
        QStringList lines = logLines();
        lines.removeIf([](const QString& l) { return l == "CMD QUIT" || l == "DISCONNECT"; });
        return lines;
    }

private:
    QStringList linesAfter(const QString& mark) const; // the log lines with `mark`, without it
};

class HttpTestServer : public TestServerBase
{
public:
    explicit HttpTestServer(Security security = Security::Plain)
        : TestServerBase(QStringLiteral("httpserver.py"), security)
    {
    }
    // "http://127.0.0.1:PORT" followed by `path` ("/index.html").
    QString url(const QString& path = QStringLiteral("/")) const
    {
        return TestServerBase::url("http", "https") + (path.startsWith(u'/') ? "" : "/") + path;
    }
    // How requests for `path` (without query; "*": paths without an answer
    // of their own) are answered, with `headers` added: `how` is "" as usual,
    // a status ("404") with a short page, "no length" (no Content-Length,
    // closed after the body), "extra N" (N bytes more than announced, a
    // moment later), "cut N" (announces N, closes after the shorter body),
    // "close" (closed without an answer), "stall N" (silent for a minute
    // after N body bytes), "endless N" (no length, N bytes more) or "slow"
    // (1 KB blocks, 0.4 s apart; "slow MS BYTES" for other pauses and blocks).
    void setAnswer(const QString& path, const QString& how, const QJsonObject& headers = {});
    QStringList requests() const { return logLines(); } // in order ("GET /index.html")
};
