#pragma once

// Pictures in entries, without widgets: checking a picture file, preparing the
// copy that goes to the server (scaled down, turned upright, without its
// location), its safe file name, the <img> tag, and the choice of a name that
// clashes with no other picture.

#include <QByteArray>
#include <QByteArrayView>
#include <QSet>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

namespace Picture {

inline constexpr qint64 kMaxFileBytes = 50LL * 1024 * 1024;
inline constexpr int kMaxSide = 20000;
inline constexpr int kJpegQuality = 90;

// A picture file checked from its header, before anything is decoded.
struct Header
{
    QByteArray format; // "png", "jpeg", "gif", "webp" or "svg"
    QSize size;        // as stored (before any EXIF rotation)
};
// nullopt (with the reason for the user in `error`) for a file that cannot
// be read, is empty, larger than 50 MB, not a PNG, JPEG, GIF, WebP or SVG
// picture, or larger than 20,000 pixels on a side.
std::optional<Header> inspect(const QString& path, QString* error);

// The copy of a picture that goes to the server.
struct Prepared
{
    QByteArray bytes;
    QString name;       // safe name with the extension of the copy's format
    QSize size;         // of the copy as shown
    QSize originalSize; // of the original as shown (EXIF rotation applied)
    bool gpsRemoved = false;
    bool scaled = false;
};
// Reads the picture at `path` and prepares its copy: wider than `maxWidth`
// (0: never) it is scaled down to that width, in proportion; a JPEG is turned
// upright as its EXIF orientation says; a copy that is scaled or whose
// original holds a location is written anew, without metadata (JPEG and WebP
// at quality 90; a GIF becomes a PNG). Otherwise the copy is the original's
// bytes. The original file is only read.
std::optional<Prepared> prepare(const QString& path, int maxWidth, QString* error);

// Whether the file's EXIF data (JPEG APP1, PNG eXIf, WebP EXIF) points to GPS
// data, or its XMP holds a GPS position.
bool hasLocation(QByteArrayView file);

// The name a picture goes to the server with: lower-case letters, digits, "-"
// and "."; accents dropped, blanks and other characters become "-". Empty
// when no letter or digit is left of the name before its extension.
QString safeName(const QString& fileName);
// "holiday.png", 2 -> "holiday-2.png"
QString numberedName(const QString& name, int number);

// <img src="SRC" alt="ALT" width="W" height="H">, the alternative text
// escaped for HTML.
QString imageTag(const QString& src, const QString& alt, QSize size);

// Which name a picture called `name` gets in a folder holding `taken`: the
// name itself, or NAME-2, NAME-3, ... The first candidate not taken is free
// (send = true); a taken one whose file has the picture's content already
// (`sameContent`, asked only for taken names) is used without sending it
// again (send = false).
struct NameChoice
{
    QString name;
    bool send = true;
};
NameChoice chooseName(const QString& name, const QSet<QString>& taken,
                      const std::function<bool(const QString&)>& sameContent);

} // namespace Picture
