#pragma once

// Directory listings of FTP and SFTP servers: the MLSD facts format and the
// LIST formats ("ls -l" of Unix servers, the DOS style of IIS), turned into
// names, and the one listing format the transfer client hands out.

#include <QByteArray>
#include <QList>
#include <optional>

namespace FtpListing {

struct Entry
{
    QByteArray name;
    bool directory = false;

    bool operator==(const Entry&) const = default;
};

// MLSD: "type=dir;size=4096;modify=...; name" a line; "cdir" and "pdir"
// entries (the directory itself and its parent) are left out.
QList<Entry> parseMlsd(const QByteArray& raw);

// One line of a LIST answer: Unix "ls -l" style (a link is listed under its
// own name, without " -> target") or the DOS style of IIS; anything else is
// taken as a bare name. nullopt for the "total" line and for lines without
// a name.
std::optional<Entry> parseListLine(const QByteArray& line);
QList<Entry> parseList(const QByteArray& raw);

// One name a line, directories ending with "/", every line ended by CR LF;
// never "." or "..".
QByteArray format(const QList<Entry>& entries);

// `word` has from `minimum` to `maximum` characters, all digits.
bool isDigits(const QByteArray& word, qsizetype minimum, qsizetype maximum);

} // namespace FtpListing
