#include "core/entry/WorkFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace WorkFiles {

std::optional<QByteArray> read(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return bytes;
}

bool write(const QString& path, QByteArrayView bytes, QString* error)
{
    return write(path, QList<QByteArrayView>{bytes}, error);
}

bool write(const QString& path, const QList<QByteArrayView>& pieces, QString* error)
{
    QTemporaryFile temp(path + QStringLiteral(".XXXXXX"));
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        temp.remove();
        return false;
    };
    if (!temp.open())
        return fail(temp.errorString());
    for (QByteArrayView piece : pieces)
        if (temp.write(piece.data(), piece.size()) != piece.size())
            return fail(temp.errorString());
    if (!temp.flush())
        return fail(temp.errorString());
    // A new file gets the permissions an ordinary one would; a replaced file
    // keeps its own.
    const QFileInfo old(path);
    temp.setPermissions(old.exists() ? old.permissions()
                                     : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                           QFile::ReadOther);
    temp.close();
    // rename() replaces the target in one step (QFile::rename would refuse an
    // existing target).
    if (std::rename(QFile::encodeName(temp.fileName()).constData(),
                    QFile::encodeName(path).constData()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    temp.setAutoRemove(false);
    return true;
}

bool copy(const QString& from, const QString& to, QString* error)
{
    const std::optional<QByteArray> bytes = read(from, error);
    return bytes && write(to, *bytes, error);
}

bool exists(const QString& path)
{
    return QFileInfo(path).isFile();
}

} // namespace WorkFiles
