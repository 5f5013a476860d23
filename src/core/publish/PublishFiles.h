#pragma once

// Small helpers shared by the retrieval, upload and publish files of the
// Publisher.

#include "base/Settings.h"
#include "core/entry/WorkFiles.h"

#include <QString>

namespace PublishFiles {

inline const QString kCrLf = QStringLiteral("\r\n");

// The working file `stem` of the active section: its name, and its path in
// the program folder.
inline QString fileName(const char* stem)
{
    return workFileName(QString::fromLatin1(stem));
}

inline QString filePath(const char* stem)
{
    return workFile(QString::fromLatin1(stem));
}

// A path handed to the transfer control: quoted when it holds a blank, so
// names with blanks reach the server whole.
inline QString quotedPath(const QString& path)
{
    return path.contains(QLatin1Char(' ')) ? QLatin1Char('"') + path + QLatin1Char('"') : path;
}

} // namespace PublishFiles
