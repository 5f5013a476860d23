#pragma once

// Pages and settings files for the transfer, retrieval and publishing tests:
// a marked weblog page and archive page as the program finds them on a
// server, a weblog.ini written the way the preferences dialog writes it
// (password scrambled), so start-up loads it like a user's, and the settings
// and server answers those tests share.

#include "TestServers.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#define REQUIRE_RUNNING(server) QVERIFY2((server).isRunning(), qPrintable((server).errorString()))

namespace PublishFixture {

using Keys = QMap<QString, QString>;

// The weblog's public address in the settings: only opened (and named in the
// RSS file), never fetched, in the FTP retrieve mode.
inline const QString kWebsite = QStringLiteral("http://www.example.com/weblog/index.html");

// Retrieving and publishing `remote` on `ftp` as its test user: FTP retrieve
// mode, Auto FTP on, a direct connection, a time-out of 30 seconds.
Keys ftpKeys(const FtpTestServer& ftp, const QString& remote = QStringLiteral("www/index.html"));

// How an HTTP test server is to answer, for tables of cases: "" as usual, a
// status ("404"), "no length" (no Content-Length; the connection closes after
// the body), "extra N" (N bytes more than Content-Length), "cut N"
// (Content-Length N, but the connection closes after the shorter body),
// "close" (closed without an answer) or "stall N" (silent after N bytes of
// the body).
HttpTestServer::Behaviour httpBehaviour(const QString& how);

// A weblog page with CR LF line ends: the insertion marker, `entries`
// entries (newest first, dated 12/4/2000 and earlier, anchors "e1", "e2",
// ...; the oldest carries the end marker) and, before </body>, a comment of
// `padding` bytes so that an upload of it takes many blocks.
QByteArray page(int entries, qsizetype padding = 0);
// An archive page with its start marker and one archived entry.
QByteArray archivePage();

// Writes DIR/weblog.ini: section General with Config = `generalConfig`, and
// one section per entry of `sections` (number -> keys). The "password" key is
// stored scrambled.
bool writeIni(const QString& dir, const QMap<int, Keys>& sections,
              const QString& generalConfig = QStringLiteral("1"));

// A local port where nothing listens (a server that is not running).
quint16 closedPort();

QByteArray readFile(const QString& path);
bool writeFile(const QString& path, const QByteArray& bytes);

} // namespace PublishFixture
