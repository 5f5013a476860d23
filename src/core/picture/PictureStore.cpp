#include "core/picture/PictureStore.h"

#include "base/IniFile.h"
#include "base/Settings.h"
#include "core/entry/WorkFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace Picture {

namespace {

struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(Picture)
};

bool plainFolder(const QString& folder)
{
    static const QRegularExpression segment(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    for (const QString& part : folder.split(QLatin1Char('/'))) {
        if (part == QLatin1String(".") || part == QLatin1String("..") ||
            !segment.match(part).hasMatch())
            return false;
    }
    return true;
}

} // namespace

std::optional<Options> readOptions(const Settings& s, QString* error)
{
    Options o;
    o.programDir = s.folder();
    const auto key = [&](const char* name) {
        return readSetting(s.settingsPath, s.activeSection, QString::fromLatin1(name)).trimmed();
    };
    QString folder = key("picturesfolder");
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    if (!folder.isEmpty())
        o.folder = folder;
    if (!plainFolder(o.folder)) {
        if (error)
            *error = Texts::tr("The setting picturesfolder in weblog.ini (%1) is not a folder "
                               "name Pagewick can use: give a folder relative to the page's "
                               "folder, such as images.")
                         .arg(folder);
        return std::nullopt;
    }
    bool ok = false;
    const int width = key("picturewidth").toInt(&ok);
    if (ok && width >= 0)
        o.maxWidth = width;
    return o;
}

QString localFolder(const Options& options)
{
    return QDir(options.programDir).filePath(options.folder);
}

std::optional<Placed> place(const QString& path, const QString& alt, const Options& options,
                            QString* error)
{
    const std::optional<Prepared> p = prepare(path, options.maxWidth, error);
    if (!p)
        return std::nullopt;
    const QString folder = localFolder(options);
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = Texts::tr("The folder %1 for the pictures cannot be made.").arg(folder);
        return std::nullopt;
    }
    const QDir dir(folder);
    const QStringList present = dir.entryList(QDir::Files);
    const NameChoice choice =
        chooseName(p->name, QSet<QString>(present.begin(), present.end()), [&](const QString& n) {
            const std::optional<QByteArray> bytes = WorkFiles::read(dir.filePath(n));
            return bytes && *bytes == p->bytes;
        });
    Placed placed;
    placed.localPath = dir.filePath(choice.name);
    QString writeError;
    if (choice.send && !WorkFiles::write(placed.localPath, p->bytes, &writeError)) {
        if (error)
            *error = Texts::tr("The picture could not be saved as %1: %2")
                         .arg(placed.localPath, writeError);
        return std::nullopt;
    }
    const QString label = QFileInfo(path).fileName();
    if (p->scaled)
        placed.notes << Texts::tr("%1 was scaled down from %2 x %3 to %4 x %5 pixels.")
                            .arg(label)
                            .arg(p->originalSize.width())
                            .arg(p->originalSize.height())
                            .arg(p->size.width())
                            .arg(p->size.height());
    if (p->gpsRemoved)
        placed.notes << Texts::tr("The location (GPS) in %1 was removed from its copy.").arg(label);
    if (choice.name != label)
        placed.notes << Texts::tr("%1 goes to the web site as %2.").arg(label, choice.name);
    placed.tag = imageTag(options.folder + QLatin1Char('/') + choice.name, alt, p->size);
    return placed;
}

std::optional<Placed> place(const QString& path, const QString& alt, const Settings& s,
                            QString* error)
{
    const std::optional<Options> options = readOptions(s, error);
    if (!options)
        return std::nullopt;
    return place(path, alt, *options, error);
}

QStringList entryPictures(const QString& html, const Options& options)
{
    const QRegularExpression src(QStringLiteral("<img\\s[^>]*src=\"") +
                                     QRegularExpression::escape(options.folder + QLatin1Char('/')) +
                                     QStringLiteral("([a-z0-9.-]+)\""),
                                 QRegularExpression::CaseInsensitiveOption);
    QStringList names;
    const QDir dir(localFolder(options));
    for (auto it = src.globalMatch(html); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (!names.contains(name) && QFileInfo(dir.filePath(name)).isFile())
            names << name;
    }
    return names;
}

QByteArray renameInPage(const QByteArray& page, const Options& options, const QString& from,
                        const QString& to)
{
    const QString prefix = QStringLiteral("src=\"") + options.folder + QLatin1Char('/');
    QByteArray result = page;
    return result.replace((prefix + from + QLatin1Char('"')).toUtf8(),
                          (prefix + to + QLatin1Char('"')).toUtf8());
}

} // namespace Picture

namespace Picture {

QString remoteFolder(const QString& ftpremote, const Options& options)
{
    const qsizetype slash = ftpremote.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? options.folder : ftpremote.left(slash + 1) + options.folder;
}

QList<Upload> planUploads(const QStringList& names, const Options& options,
                          const QString& ftpremote, const QSet<QString>& serverNames,
                          const std::function<bool(const QString&, const QString&)>& serverSame)
{
    const QDir local(localFolder(options));
    const QStringList localNames = local.entryList(QDir::Files);
    QSet<QString> assigned;
    QList<Upload> uploads;
    for (const QString& name : names) {
        Upload u{local.filePath(name), QString(), name, QString(), true};
        const std::optional<QByteArray> bytes = WorkFiles::read(u.local);
        QSet<QString> taken = serverNames + assigned;
        for (const QString& other : localNames)
            if (other != name)
                taken.insert(other);
        const NameChoice choice = chooseName(name, taken, [&](const QString& candidate) {
            if (assigned.contains(candidate) || !serverNames.contains(candidate))
                return false;
            if (candidate != name && localNames.contains(candidate) &&
                WorkFiles::read(local.filePath(candidate)) != bytes)
                return false;
            return serverSame(candidate, u.local);
        });
        u.sentAs = choice.name;
        u.send = choice.send;
        u.remote = remoteFolder(ftpremote, options) + QLatin1Char('/') + choice.name;
        assigned.insert(choice.name);
        uploads.append(u);
    }
    return uploads;
}

} // namespace Picture
