#pragma once

// Paths on the server: resolving them against the current directory and
// writing them into FTP and SFTP addresses for libcurl.

#include <QByteArray>
#include <QString>
#include <optional>

namespace RemotePath {

// `path` taken from directory `base` (both absolute, '/' separated), with
// ".", ".." and empty segments resolved; ".." at the root stays there.
QString resolve(const QString& base, const QString& path);

// Every segment of `absolutePath` percent-encoded, joined by '/', without
// a leading '/'.
QByteArray encodeSegments(const QString& absolutePath);

// FTP URLs name paths relative to the log-in directory; a leading "%2F"
// makes them absolute. With the no-CWD method libcurl then sends the whole
// decoded path in one command (RETR /a b/c.html).
QByteArray ftpFile(const QString& absolutePath);
QByteArray ftpDirectory(const QString& absolutePath);
QByteArray sftpFile(const QString& absolutePath);
QByteArray sftpDirectory(const QString& absolutePath);

// An upload first goes to this name in the target's own folder and is
// renamed over the target once it is complete, so the target is always
// either the old file or the new one.
QString uploadTemp(const QString& absolutePath);
// Where the old file is moved aside while a new one takes its place, on
// servers that will not rename over an existing file.
QString asideTemp(const QString& absolutePath);

// The directory of a PWD reply text: `"/a ""b"" c" is current directory`.
std::optional<QString> parsePwdReply(const QByteArray& text);

} // namespace RemotePath
