#include "base/ProgramDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

QString defaultProgramDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/pagewick");
}

QString prepareProgramDir(const QString& dir, QString* error)
{
    const QString path = QDir(dir).absolutePath();
    // A new folder is the user's alone: it holds the settings (perhaps the
    // password) and the unpublished draft. An existing one keeps its
    // permissions.
    if (!QFileInfo(path).isDir()) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (!QFileInfo(path).isDir()) {
        if (error)
            *error = QStringLiteral("Cannot create the folder %1").arg(path);
        return {};
    }
    if (!QDir::setCurrent(path)) {
        if (error)
            *error = QStringLiteral("Cannot use the folder %1").arg(path);
        return {};
    }
    // Installed files the user may edit or open; never overwritten.
    for (const char* name : {"template.txt", "pagewick.html"}) {
        const QString target = path + QLatin1Char('/') + QString::fromLatin1(name);
        if (!QFile::exists(target) &&
            QFile::copy(QStringLiteral(":/") + QString::fromLatin1(name), target))
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                              QFile::ReadOther);
    }
    return path;
}

QString versionText()
{
    return QStringLiteral("%1.%2.%3")
        .arg(PAGEWICK_VERSION_MAJOR)
        .arg(PAGEWICK_VERSION_MINOR)
        .arg(PAGEWICK_VERSION_PATCH);
}

QString makerSite()
{
    const QString site = qEnvironmentVariable("PAGEWICK_SITE");
    return site.isEmpty() ? QStringLiteral("http://www.example.org") : site;
}
