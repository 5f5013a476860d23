#pragma once

#include "net/TransferError.h"
#include "net/TransferRequest.h"
#include "net/TransferState.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class NetRequest;
class Prompt;
class NetSession;
struct TransferJob;
struct TransferOutcome;

// The Internet transfer control: FTP (also FTP over TLS, SFTP and local
// folders through file://) and HTTP(S) for one window, one request at a time.
//
// Each request is one typed call (logIn(), download(), upload(), ...): it
// starts the request and returns at once; the request runs on the event
// loop (a NetSession: libcurl's multi interface, no thread) and reports
// through stateChanged. The session keeps the connection and the current
// directory between requests. Paths are given as they are, blanks, quotes
// and all.
//
// Addresses (url()):
//   host, host:port, host/dir       FTP to that host (ftp:// is implied)
//   ftp://host[:port][/dir]         FTP; a path names the starting directory,
//                                   relative to the log-in directory ("%2F"
//                                   at its start makes it absolute)
//   ftps://host[:port][/dir]        FTP with TLS required (AUTH TLS on the
//                                   given port, 21 by default; port 990
//                                   means implicit TLS). Certificates are
//                                   verified against the system store, or
//                                   the file set with setCaCertificates()
//   sftp://host[:port][/dir]        SFTP; the same requests are emulated.
//                                   Host keys are checked against
//                                   ~/.ssh/known_hosts: an unknown host is
//                                   put to the user, a changed key refused.
//                                   Without a password the SSH agent and
//                                   ~/.ssh/id_ed25519 or id_rsa log in (see
//                                   SshHostKeys.h)
//   file:///folder                  a local folder acting as the server's
//                                   root: paths are relative to it, "/" is
//                                   the folder itself and ".." stops there
//   http://..., https://...         HTTP; the address is the document
//
// Relative remote paths are taken from the current directory, which starts
// at the log-in directory. The connection is kept between requests until
// close(), cancel(), or a change of host, port, user or password. Relative
// local paths are taken from the program's current directory.
//
// HTTP: get() fetches the document; responseHeader() gives the response
// header lines, readChunk() the body. Redirects are followed; the headers are
// those of the final answer. HTTP/1.1 is used, so the status code is always
// the three characters from the tenth of the first header line. Every HTTP
// request has a connection of its own. The FTP requests are refused on an
// HTTP address.
//
// Refused before anything is sent (TransferError thrown): control characters
// (below 0x20, and 0x7F) in the address, user name, password or a path,
// also when they are percent-encoded in an FTP address; a missing remote
// path; an upload of a local file that is not there; any request while one
// runs.
//
// States (stateChanged, see TransferState), in increasing order within one
// request; a kept connection skips ResolvingHost to Connected. Error is the
// last state of a failed request (see lastError()), ResponseCompleted the
// last of every successful one. Both come after isBusy() has turned false,
// so a handler may start the next request. close() raises Disconnecting,
// Disconnected and ResponseCompleted. cancel() raises Disconnecting and
// Disconnected when it stops a request or drops a kept connection; it raises
// no Error.

// A path as the command lines of status lines and logs show it: in double
// quotes, a quote in the name doubled.
QString quoteCommandPath(const QString& path);

class TransferClient : public QObject
{
    Q_OBJECT

public:
    explicit TransferClient(QObject* parent = nullptr);
    ~TransferClient() override;

    void setUrl(const QString& url) { url_ = url; }
    QString url() const { return url_; }
    void setUserName(const QString& name) { userName_ = name; }
    QString userName() const { return userName_; }
    void setPassword(const QString& password) { password_ = password; }
    QString password() const { return password_; }
    // Seconds allowed for connecting and for any stall of a request (a
    // request that keeps moving may take longer). 0: no limit of our own.
    // 60 by default.
    void setRequestTimeout(int seconds) { requestTimeout_ = seconds < 0 ? 0 : seconds; }
    int requestTimeout() const { return requestTimeout_; }
    // Limits for every later request: a download stops with an error once
    // more than `maxBytes` have come (0: no cap), and any request once it
    // has run `deadlineSeconds` in all, moving or not (0: no limit).
    void setDownloadLimits(qint64 maxBytes, int deadlineSeconds)
    {
        maxBytes_ = maxBytes < 0 ? 0 : maxBytes;
        deadline_ = deadlineSeconds < 0 ? 0 : deadlineSeconds;
    }
    // A PEM file of certificates to trust for ftps:// and https:// instead of
    // the system store; empty for the system store.
    void setCaCertificates(const QString& pemFile) { caFile_ = pemFile; }
    QString caCertificates() const { return caFile_; }
    // Who is asked about an unknown SFTP host key (see SshHostKeys.h); with
    // none, an unknown host is refused.
    void setPrompt(Prompt* prompt) { prompt_ = prompt; }

    // The requests on FTP, SFTP and file:// addresses. Each throws
    // TransferError for refused input (see above).
    //
    // Logs in (or checks the kept connection).
    void logIn();
    // `remote` to `localFile`, written to a temporary file beside it that
    // replaces it only once the whole file has come (a failure leaves it as
    // it was); without a local file the data is left for readChunk.
    void download(const QString& remote, const QString& localFile = {});
    // Uploads: the data goes to "remote.pagewick-upload" in the same folder,
    // its size is checked (FTP), and it is renamed over `remote`, so
    // `remote` is the old file or the new one, never half of one. A server
    // that will not rename over an existing file gets the old file moved
    // aside to "remote.pagewick-old", the new one moved in and the old one
    // deleted (moved back if the new one cannot be moved in); the live file
    // is never deleted to make room. A server that renames nothing fails the
    // request with its answer. A failed upload leaves `remote` untouched.
    void upload(const QString& localFile, const QString& remote);
    // The first half of upload(): the copy and its size check only;
    // `remote` is not touched.
    void stage(const QString& localFile, const QString& remote);
    // The second half: the staged copy takes `remote`'s place as upload()
    // puts it there.
    void place(const QString& remote);
    // Deletes the staged copy of `remote` that is not to be placed.
    void discard(const QString& remote);
    // What the server tells of `remote` (lastFacts()): its size and
    // modification time (FTP SIZE and MDTM, SFTP and file:// stat); a file
    // that is not there is an answer (exists false), not an error.
    void facts(const QString& remote);
    // Lists the current directory, or `folder` with the current one kept,
    // for readChunk: one name a line, directories ending with "/", every
    // line ended by CR LF, never "." or "..". A named folder that is not
    // there lists nothing.
    void list(const QString& folder = {});
    // Makes `folder` and those above it that are missing; one that is there
    // is fine.
    void makeFolder(const QString& folder);
    // The current directory path, for readChunk.
    void currentFolder();
    // Changes the current directory (relative, absolute or "..").
    void changeFolder(const QString& folder);
    // Logs out and closes the kept connection.
    void close();
    // The document at `address` for readChunk (empty: at url(); otherwise
    // url() becomes `address`): an HTTP document, or a file:// file (a
    // missing one fails with 550). Refused on FTP and SFTP addresses.
    void get(const QString& address = {});
    bool isBusy() const { return running_; }

    // The next piece of at most `size` bytes of the response data (HTTP
    // body, FTP download without local file, listing, current folder); empty at
    // the end. Type 0 (text) and 1 (bytes) give the same bytes.
    QByteArray readChunk(int size, int type = 1);
    // All header lines of the last HTTP answer, status line first, joined by
    // CR LF; or the value of the header `name` (any letter case), empty when
    // absent. Empty when the server sent no answer.
    QString responseHeader(const QString& name = {}) const;

    // Starts fetching the document at `address` (http(s), ftp(s), sftp or
    // file), which then comes through readChunk like any download. Never
    // throws: refused input, or another request still running, return false
    // and lastError() tells why.
    bool fetch(const QString& address);

    // The status code of the last HTTP answer (after redirects); 0 when no
    // answer came.
    int httpStatus() const { return httpStatus_; }
    // The server's error reply to the last request: code and text; 0 and
    // empty when there was none.
    int responseCode() const { return responseCode_; }
    QString responseText() const { return responseInfo_; }
    TransferError lastError() const { return lastError_; }
    // Something the user should know about the last successful request (a
    // placing whose old file could not be deleted once moved aside); empty
    // otherwise.
    QString lastNotice() const { return notice_; }
    // The answer of the last facts().
    FileFacts lastFacts() const { return facts_; }

    // Stops the running request (within a fraction of a second, also in the
    // middle of a stalled transfer) and drops the connection. The control
    // is idle when Cancel returns.
    void cancel();

    // All the response data not read yet.
    QByteArray readAll();

signals:
    void stateChanged(TransferState state);
    // The request has ended: after its last state (Error or
    // ResponseCompleted), or, for a request stopped by cancel(), from the
    // event loop soon after cancel() returned.
    void finished();
    // Bytes of the file moved so far and in all (-1 while unknown).
    void progress(qint64 done, qint64 total);

private:
    RequestDefaults defaults() const;
    void run(Operation op, const QString& remote = {}, const QString& local = {});
    void startDocument(const QString& address, bool anyScheme);
    void start(const TransferJob& job);
    NetSession* sessionFor(const TransferJob& job);
    using Then = std::function<bool(const TransferOutcome&)>;
    void follow(NetRequest* request, const Then& then = {});
    void finish(const TransferOutcome& outcome);

    QString url_;
    QString userName_;
    QString password_;
    QString caFile_;
    Prompt* prompt_ = nullptr;
    int requestTimeout_ = 60;
    qint64 maxBytes_ = 0;
    int deadline_ = 0;

    NetSession* session_ = nullptr; // a child; replaced when the server or log-in changes
    QString sessionKey_;
    QPointer<NetRequest> request_;
    quint64 generation_ = 0;
    bool running_ = false;
    bool dropData_ = false;

    QByteArray data_;
    qsizetype dataPos_ = 0;
    QByteArray headers_;
    int httpStatus_ = 0;
    int responseCode_ = 0;
    QString responseInfo_;
    TransferError lastError_;
    QString notice_;
    FileFacts facts_;
};
