#pragma once

// The transfers of one address and log-in (ftp://, ftps://, sftp://,
// file:// or http(s)://) as typed requests on the thread of the event loop:
// libcurl's multi interface driven by a CurlMultiDriver, no worker thread,
// nothing that waits. The requests run one after another in the order they
// were made; the connection is kept between them (except for HTTP, where
// every request has a connection of its own) and the current folder too.
//
// Remote paths are taken from the current folder, which starts where the
// address points (FTP: below the log-in folder; see TransferClient.h).
// Refused before anything is sent (the request finishes with the error):
// control characters in the address, user name, password or a path.

#include "net/CurlHandles.h"
#include "net/CurlMultiDriver.h"
#include "net/NetRequest.h"
#include "net/SshHostKeys.h"

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSaveFile>
#include <QTimer>

#include <deque>

class Prompt;

class NetSession : public QObject
{
    Q_OBJECT

public:
    // `login`: user name and password (empty: those in the address), the
    // certificates to trust, the time-out for connecting and for any stall
    // of a request, and the download limits.
    NetSession(const QString& address, const RequestDefaults& login, QObject* parent = nullptr);
    // An address and log-in already taken apart (parseAddress); its
    // operation and paths are not read.
    explicit NetSession(const TransferJob& job, QObject* parent = nullptr);
    ~NetSession() override;

    // `remote` to `localFile`, which is replaced only once all has come (a
    // failure leaves it as it was); to result().data when `localFile` is
    // empty.
    NetRequest* download(const QString& remote, const QString& localFile = {});
    // `localFile` to "remote.pagewick-upload" beside `remote`, its size
    // checked (FTP); `remote` is not touched. A failure deletes the copy.
    NetRequest* stage(const QString& localFile, const QString& remote);
    // The staged copy takes `remote`'s place in one rename; a server that
    // will not rename over a file gets the old one moved aside to
    // "remote.pagewick-old" first (and back if the new one cannot go in).
    NetRequest* place(const QString& remote);
    // Deletes the staged copy of `remote`.
    NetRequest* discard(const QString& remote);
    // What the server tells of `remote` (result().facts): size and
    // modification time from SIZE and MDTM (FTP) or a stat (SFTP, file://).
    // A file that is not there (550) is an answer, not a failure.
    NetRequest* facts(const QString& remote);
    // The current folder: one name a line, folders ending with "/", every
    // line ended by CR LF.
    NetRequest* list();
    // The same of the folder `path`; the current folder stays. A folder that
    // is not there (or not to be read) lists nothing.
    NetRequest* listFolder(const QString& path);
    // Makes the folder `path` and those above it that are missing; one that
    // is there already is fine. On FTP and SFTP a folder that cannot be made
    // shows when a file is put into it.
    NetRequest* makeFolder(const QString& path);
    NetRequest* currentFolder();
    NetRequest* changeFolder(const QString& path);
    // HTTP: the document at the address; result().headers holds the header
    // lines of the final answer.
    NetRequest* get();
    // Closes the kept connection (FTP: logs out): at once when no request
    // runs or waits, else once they have ended.
    void closeConnection();
    // The same as a request, in its turn after the requests made before.
    NetRequest* logOut();

    // Who is asked about an unknown SFTP host key; without one it is refused.
    void setPrompt(Prompt* prompt) { prompt_ = prompt; }

private:
    friend class NetRequest;
    enum class Abort
    {
        None,
        Stall,
        Deadline
    };
    // One libcurl transfer of a request; its callbacks' state.
    struct Step
    {
        NetSession* session = nullptr;
        NetRequest* request = nullptr; // told about the bytes of a file moved
        QByteArray* memory = nullptr;
        QSaveFile* file = nullptr;
        QFile* upload = nullptr;
        qint64 received = 0;
        qint64 uploadSize = -1;
        bool tooLarge = false, localWriteFailed = false, localReadFailed = false;
        QByteArrayList replyLines; // FTP replies
        int replyCode = 0;
        QByteArray replyText, pwdReply;
        QByteArrayList headers; // HTTP
        QElapsedTimer quiet;    // since anything last moved
        curl_off_t seenDown = -1, seenUp = -1;
        Abort abort = Abort::None;
        char errorBuffer[CURL_ERROR_SIZE] = {};
    };
    // co_await perform(step): runs the transfer set up on the easy handle.
    // Destroyed while it waits (its request aborted), it stops the transfer.
    class Perform
    {
    public:
        Perform(NetSession* session, Step* step) : session_(session), step_(step) {}
        Perform(const Perform&) = delete;
        Perform& operator=(const Perform&) = delete;
        ~Perform();
        bool await_ready() const noexcept { return false; }
        bool await_suspend(std::coroutine_handle<> waiting);
        CURLcode await_resume() const noexcept { return code_; }
        void end(CURLcode code, Abort reason = Abort::None);
        Step* step() const { return step_; }

    private:
        NetSession* session_;
        Step* step_;
        std::coroutine_handle<> waiting_;
        CURLcode code_ = CURLE_OK;
    };
    struct Reply
    {
        int code = 0;
        QByteArray text;
        QByteArray pwd;
    };
    using Task = NetTask<TransferOutcome>;
    using Done = NetTask<bool>;

    NetRequest* enqueue(std::function<Task()> body);
    void startNext();
    void stopRequest(NetRequest* request, bool report);
    void interrupt(Abort reason);
    void detach();
    void checkStall();

    // setting up and running transfers (NetSession.cpp)
    template <typename Value> void require(CURLoption option, Value value, const char* name);
    void setUp(Step& step, const QByteArray& url);
    Perform perform(Step& step) { return Perform(this, &step); }
    void fail(TransferOutcome& outcome, const Step& step, CURLcode code,
              const QString& local = {}) const;
    Done transfer(Step& step, TransferOutcome& outcome);
    Done fetchTo(NetRequest* request, QByteArray url, QString local, TransferOutcome& outcome);
    Done send(NetRequest* request, QString local, QByteArray url, TransferOutcome& outcome);
    Done quote(QByteArray url, QByteArrayList commands, TransferOutcome& outcome,
               Reply* reply = nullptr);
    Done askUser(QString question);
    static int onDebug(CURL*, curl_infotype type, char*, size_t, void* step);
    static size_t onHeader(char* data, size_t size, size_t count, void* step);
    static size_t onWrite(char* data, size_t size, size_t count, void* step);
    static size_t onRead(char* buffer, size_t size, size_t count, void* step);
    static curl_socket_t onOpenSocket(void* session, curlsocktype, curl_sockaddr* address);
    static int onCloseSocket(void* session, curl_socket_t socket);
    static int onProgress(void* step, curl_off_t total, curl_off_t down, curl_off_t, curl_off_t up);

    // the requests (NetOperations.cpp)
    bool checkPaths(TransferOutcome& outcome, const QStringList& paths) const;
    Done logIn(TransferOutcome& outcome);
    Done prepare(TransferOutcome& outcome, QStringList paths, QString& resolved);
    Task runDownload(QString remote, QString local);
    Task runStage(QString local, QString remote);
    Task runPlace(QString remote);
    Task runDiscard(QString remote);
    Task runList(QString folder, bool named);
    Task runMakeFolder(QString path);
    Task runFacts(QString remote);
    Task runFolder(bool change, QString path);
    Task runGet();
    Task runLogOut();
    Done putInPlace(QString temp, QString target, TransferOutcome& outcome);
    QByteArray fileUrl(const QString& path) const;
    QString localPath(const QString& path) const;
    bool sftp() const { return job_.protocol == Protocol::Sftp; }

    TransferJob job_; // the address and log-in every request starts from
    TransferError refused_;
    CurlEasy easy_; // one at a time, so it outlives the driver's connections
    // What libcurl's callbacks write to between steps (when it closes a kept
    // connection, say), once the step they were set up for has gone.
    Step idle_;
    CurlMultiDriver driver_;
    SshHostKeyCheck sshKeys_;
    QTimer stallTimer_, deadlineTimer_;
    bool deadlinePassed_ = false;
    Perform* inFlight_ = nullptr;

    std::deque<QPointer<NetRequest>> queue_;
    NetRequest* active_ = nullptr;
    bool startPosted_ = false;
    bool closeWhenIdle_ = false;

    QString cwd_;
    bool cwdKnown_ = false;
    bool mlsdRefused_ = false;
    bool renameOverRefused_ = false;
    Prompt* prompt_ = nullptr;
};
