#pragma once

// A request of the transfer client taken apart before anything is sent: the
// address (scheme, host, starting directory, log-in) with the operation and
// its paths, checked for input the servers must never see. What the session
// reports back travels in a TransferOutcome.

#include "net/TransferError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

enum class Protocol
{
    Http,
    Ftp,
    Sftp,
    File
};

enum class Operation
{
    HttpGet,
    Connect,
    Get,
    Put,
    // The first half of PUT: the file goes to its temporary name beside the
    // target and its size is checked; the target is not touched.
    Stage,
    // The second half: the staged file takes the target's place.
    Place,
    // A staged file that will not be placed is deleted.
    Discard,
    // The size and modification time of the file, or that it is not there.
    Facts,
    List,
    // Makes a folder and those above it that are missing.
    MakeFolder,
    Pwd,
    Cd,
    Close
};

struct TransferJob
{
    Protocol protocol = Protocol::Ftp;
    Operation op = Operation::Connect;
    QByteArray base;   // "ftp://host:port", "sftp://host:port", or the HTTP address
    QString localRoot; // file://: the folder acting as the server's root
    QString startPath; // first current directory: absolute, or relative to the log-in one
    bool tls = false;
    QString user;
    QString password;
    bool hasUser = false;
    QString caFile;
    int timeout = 0;
    qint64 maxBytes = 0; // downloads: stop beyond this many bytes (0: no cap)
    int deadline = 0;    // seconds for the whole request (0: no limit)
    QString remote;
    QString local; // empty: keep the data for readChunk
    QString connectionKey;
    QString directoryKey;
};

// What the server tells of a file: its size in bytes and its modification
// time (seconds since 1970, UTC), each -1 where the server does not say.
struct FileFacts
{
    bool exists = false;
    qint64 size = -1;
    qint64 modified = -1;
    friend bool operator==(const FileFacts&, const FileFacts&) = default;
};

struct TransferOutcome
{
    TransferError error;
    int responseCode = 0;
    QString responseInfo;
    bool http = false;
    QByteArray headers;
    int httpStatus = 0; // of the final HTTP answer; 0 without one
    QByteArray data;
    bool closed = false; // closing: Disconnecting and Disconnected already raised
    QString notice;      // something the user should know about a success
    FileFacts facts;     // Operation::Facts
};

// What the client adds to every request.
struct RequestDefaults
{
    QString userName;
    QString password;
    QString caFile;
    int timeout = 0;
    qint64 maxBytes = 0;
    int deadline = 0;
};

// Throws TransferError `number` ("What contains a control character ...")
// when `text` holds a character below 0x20 or DEL.
void refuseControlCharacters(const QString& text, const QString& what, int number);

// Takes `address` apart (see the address list in TransferClient.h) into a
// job that logs in (Operation::Connect; HttpGet for HTTP). Throws
// TransferError for input that is refused before anything is sent, among it
// `paths` (of the operation to come) with a control character.
TransferJob parseAddress(const QString& address, const RequestDefaults& defaults,
                         const QStringList& paths = {});
// Turns the job into a download of the document the address names itself
// (HTTP: the job stays as it is). Throws TransferError when it names none.
void aimAtDocument(TransferJob& job, const QString& address);
