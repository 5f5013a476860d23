#pragma once

// What Pagewick last saw of the page and the archive page on the server --
// as it retrieved them or as it published them -- kept in weblog.ini, and
// whether the live file is still that one. Before a publish puts its files
// in place, a live file that changed since (a hand edit on the server, a
// publish from another machine) stops it: Publisher::liveFilesUnchanged().
//
// Keys of the configuration's section: `livepage` and `livearchive`, each
// "SIZE MODIFIED SHA1": the size in bytes, the modification time the server
// told (seconds since 1970, UTC) and the SHA-1 of the bytes in hexadecimal;
// -1 (or "-" for the hash) where it is not known. No key: nothing is known,
// so nothing is compared (a first publish).

#include "net/TransferRequest.h"

#include <QByteArray>
#include <QString>

struct Settings;

namespace LiveCheck {

struct Seen
{
    qint64 size = -1;
    qint64 modified = -1;
    QByteArray sha1; // hexadecimal; empty when unknown
    bool known() const { return size >= 0 || modified >= 0 || !sha1.isEmpty(); }
    friend bool operator==(const Seen&, const Seen&) = default;
};

enum class Verdict
{
    Same,      // the live file is the one seen (or there is none to lose)
    Changed,   // it is not
    NeedBytes, // the facts cannot tell: compare its bytes with the hash
};

// `seen` against what the server tells now: a size that differs is a
// change; equal or unknown sizes are decided by the modification time where
// both are known, else by the bytes. A file no longer there has nothing to
// lose.
Verdict compare(const Seen& seen, const FileFacts& now);
QByteArray sha1(const QByteArray& bytes);

QString key(bool archive); // "livepage", "livearchive"
Seen parse(const QString& value);
QString text(const Seen& seen);
Seen read(const Settings& settings, bool archive);
// Writes the key only when its value changes.
void remember(const Settings& settings, bool archive, const Seen& seen);
// The file came as `bytes` with no time told (HTTP): the time already kept
// stays when the bytes are those kept.
void rememberBytes(const Settings& settings, bool archive, const QByteArray& bytes);

} // namespace LiveCheck
