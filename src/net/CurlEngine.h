#pragma once

// The worker side of the transfer client: one libcurl easy handle run
// through a multi handle (so connections are kept between requests), its
// callbacks, the watchdog for stalls and Cancel, and the few transfers every
// scheme is built from (download, upload, quote). The per-scheme sessions
// (FtpSession.cpp, SftpSession.cpp, FileSession.cpp, HttpSession.cpp) build
// the commands from these.

#include "net/CurlHandles.h"
#include "net/SshHostKeys.h"
#include "net/TransferRequest.h"
#include "net/TransferState.h"

#include <QByteArrayList>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <sys/socket.h>

// Owns the libcurl handles. run() is called on the worker thread, one job at
// a time; interrupt() may be called from any thread while it runs; the rest
// only while no job runs.
class TransferEngine
{
public:
    using StateSink = std::function<void(TransferState)>;

    explicit TransferEngine(QObject* client) : easy_(curl_easy_init()), sshKeys_(client, cancel_) {}
    ~TransferEngine() { dropConnections(); }
    TransferEngine(const TransferEngine&) = delete;
    TransferEngine& operator=(const TransferEngine&) = delete;

    void arm() { cancel_ = false; }
    TransferOutcome run(const TransferJob& job, StateSink states);

    // Stops a running transfer at once: raises the cancel flag, shuts the
    // sockets down (which also ends any wait of libcurl on them) and wakes
    // the transfer loop. Returns whether any connection was open.
    bool interrupt()
    {
        std::lock_guard lock(mutex_);
        cancel_ = true;
        for (const curl_socket_t socket : sockets_)
            ::shutdown(socket, SHUT_RDWR);
        if (multi_)
            curl_multi_wakeup(multi_.get());
        return !sockets_.empty();
    }

    // Closes every kept connection (an FTP connection is logged out when it
    // is still alive) and forgets the current directory.
    void dropConnections()
    {
        CurlMulti old;
        {
            std::lock_guard lock(mutex_);
            old = std::move(multi_);
        }
        old.reset();
        cwdKnown_ = false;
    }

private:
    enum class Abort
    {
        None,
        Cancel,
        Stall,
        Deadline
    };

    // One libcurl transfer of a job.
    struct Transfer
    {
        TransferEngine* engine = nullptr;
        Protocol protocol = Protocol::Ftp;
        QByteArray* memory = nullptr;
        QSaveFile* file = nullptr;
        QFile* upload = nullptr;
        bool localWriteFailed = false;
        qint64 received = 0;
        qint64 maxBytes = 0;
        bool tooLarge = false;
        bool localReadFailed = false;
        // server replies (FTP, and SFTP quote answers)
        QByteArrayList replyLines;
        int replyCode = 0;
        QByteArray replyText;
        QByteArray pwdReply;
        // HTTP
        QByteArrayList headers;
        // watchdog
        QElapsedTimer quiet;
        curl_off_t seenDown = -1;
        curl_off_t seenUp = -1;
        Abort abort = Abort::None;
        char errorBuffer[CURL_ERROR_SIZE] = {};
    };

    void raise(TransferState state)
    {
        if (int(state) > lastState_) {
            lastState_ = int(state);
            if (states_)
                states_(state);
        }
    }
    bool reached(TransferState state) const { return lastState_ >= int(state); }

    CURLM* multi()
    {
        std::lock_guard lock(mutex_);
        if (!multi_)
            multi_.reset(curl_multi_init());
        return multi_.get();
    }

    // Sets an option that the transfer cannot do without; throws a
    // TransferError naming the option when libcurl refuses it.
    template <typename Value> void require(CURLoption option, Value value, const char* name)
    {
        const CURLcode result = curl_easy_setopt(easy_.get(), option, value);
        if (result != CURLE_OK)
            refuseOption(name, result);
    }
    [[noreturn]] static void refuseOption(const char* name, CURLcode result);

    void setUp(Transfer& transfer, const TransferJob& job, const QByteArray& url);
    CURLcode perform(Transfer& transfer, const TransferJob& job);
    void fail(TransferOutcome& outcome, const Transfer& transfer, CURLcode code,
              const TransferJob& job) const;
    void close(TransferOutcome& outcome);

    bool download(const TransferJob& job, const QByteArray& url, TransferOutcome& outcome);
    bool upload(const TransferJob& job, const QByteArray& url, TransferOutcome& outcome);
    struct Reply
    {
        int code = 0;
        QByteArray text;
        QByteArray pwd; // the text of the last 257 (PWD) reply
    };
    bool quote(const TransferJob& job, const QByteArray& url, const QByteArrayList& commands,
               TransferOutcome& outcome, Reply* reply);
    bool putInPlace(const TransferJob& job, const QByteArray& root, const QString& temp,
                    const QString& target, bool sftp, TransferOutcome& outcome);
    void runUploadStep(const TransferJob& job, const QByteArray& root, const QString& target,
                       bool sftp, TransferOutcome& outcome);
    bool verifyUpload(const TransferJob& job, const QByteArray& url, const QString& path,
                      qint64 size, TransferOutcome& outcome);

    void runHttp(const TransferJob& job, TransferOutcome& outcome);
    void runFtp(const TransferJob& job, TransferOutcome& outcome);
    void runSftp(const TransferJob& job, TransferOutcome& outcome);
    void runFile(const TransferJob& job, TransferOutcome& outcome);

    // libcurl callbacks
    static int onDebug(CURL*, curl_infotype type, char*, size_t, void* user);
    static size_t onHeader(char* data, size_t size, size_t count, void* user);
    static size_t onWrite(char* data, size_t size, size_t count, void* user);
    static size_t onRead(char* buffer, size_t size, size_t count, void* user);
    static int onProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up);
    static curl_socket_t onOpenSocket(void* user, curlsocktype, curl_sockaddr* address);
    static int onCloseSocket(void* user, curl_socket_t socket);
    static int onResolverStart(void*, void*, void* user);

    CurlEasy easy_;
    std::mutex mutex_; // guards multi_ (for wake-ups) and sockets_
    CurlMulti multi_;
    std::set<curl_socket_t> sockets_;
    std::atomic<bool> cancel_{false};
    SshHostKeyCheck sshKeys_; // host keys and log-in of sftp://

    StateSink states_;
    int lastState_ = 0;

    QString connectionKey_;
    QString directoryKey_;
    QString cwd_;
    bool cwdKnown_ = false;
    bool mlsdRefused_ = false;
    // The server refused to rename over an existing file once: later
    // uploads on this connection go the move-aside way at once.
    bool renameOverRefused_ = false;
};
