#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// A numbered failure of the transfer control. Its requests (download(),
// upload(), ...) throw it for input they refuse; TransferClient::lastError()
// holds the one of the last request.
//
// Numbers:
//   0      no error
//   35750  LocalFileError: a local file cannot be read (thrown when an
//          upload names no existing file), or the downloaded file cannot
//          be written or put in place (the old file stays)
//   35751  InvalidUrl: no address, an unsupported scheme, a malformed address,
//          or a control character in the address (thrown)
//   35752  InvalidCommand: a request the address does not allow, a missing
//          path, or a control character in a path, the user name or the
//          password (thrown)
//   35754  CannotConnect: host name not found, connection refused, host
//          unreachable, or (file://) the folder does not exist
//   35756  RequestFailed: the server answered a command with an error reply
//          (FTP 4xx/5xx: 530 wrong password, 550 no permission or no such
//          file, 452 disk full, ...). responseCode() and responseText() hold
//          the server's code and text. sftp:// and file:// report their
//          failures the same way with the FTP code of the same meaning.
//   35761  TimedOut: connecting took longer than RequestTimeout seconds, or
//          nothing moved for that long during the request
//   35764  isBusy: a request while one runs (thrown; fetch
//          reports it through lastError())
//   35779  Cancelled: cancel() stopped the request
//   35781  ConnectionLost: the connection broke during the transfer (partial
//          data, receive or send failure, or the server hung up without an
//          answer)
//   35783  SecureConnectionFailed: TLS could not be set up; when the server's
//          certificate could not be verified the description says so
//   35789  OtherFailure: anything else; the description is libcurl's text
//
// Every failure of a started request sets lastError() and raises the Error state
// (except 35779: Cancel raises no Error state). HTTP
// status codes (401, 404, 500, ...) are answers, not failures: the request
// succeeds and the caller reads the status line from responseHeader().
class TransferError : public std::exception
{
public:
    // A reply of the server to a command (an FTP reply code), as opposed to
    // a failure that brought no answer (0).
    static bool isServerReply(int responseCode)
    {
        return responseCode >= 100 && responseCode <= 599;
    }

    static constexpr int LocalFileError = 35750;
    static constexpr int InvalidUrl = 35751;
    static constexpr int InvalidCommand = 35752;
    static constexpr int CannotConnect = 35754;
    static constexpr int RequestFailed = 35756;
    static constexpr int TimedOut = 35761;
    static constexpr int isBusy = 35764;
    static constexpr int Cancelled = 35779;
    static constexpr int ConnectionLost = 35781;
    static constexpr int SecureConnectionFailed = 35783;
    static constexpr int OtherFailure = 35789;

    TransferError() = default;
    TransferError(int number, const QString& description);

    int number() const noexcept { return number_; }
    QString description() const { return description_; }
    const char* what() const noexcept override { return what_.constData(); }

private:
    int number_ = 0;
    QString description_;
    QByteArray what_;
};
