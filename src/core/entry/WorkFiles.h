#pragma once

// Reading and writing the working files of the program directory as bytes.
// A file is written to a temporary file beside it, which then replaces it in
// one rename: a failed or interrupted write never leaves half a page behind,
// and readers see the old file or the new one; a file another name links to
// is never written in place. (The files are rebuilt from
// the base copies at every preview, so they are not forced to the disk.)

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace WorkFiles {

// Room left after the bytes read, so that a line end or two can be added to
// a page in place.
inline constexpr qsizetype kSlack = 64;

// The whole file in one buffer, read once, or nullopt (with the reason in
// `error`) when it cannot be read.
std::optional<QByteArray> read(const QString& path, QString* error = nullptr);
// Replaces the file with `bytes` (or the pieces one after the other); false
// (with the reason) when it failed, and the old file is then untouched.
bool write(const QString& path, QByteArrayView bytes, QString* error = nullptr);
bool write(const QString& path, const QList<QByteArrayView>& pieces, QString* error = nullptr);
// Copies `from` over `to` byte for byte, the same way, inside the kernel
// (a shared extent where the file system allows it): the bytes never pass
// through the program.
bool copy(const QString& from, const QString& to, QString* error = nullptr);
bool exists(const QString& path);

} // namespace WorkFiles
