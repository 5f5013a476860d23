#pragma once

// The prepared copies of the pictures of entries. They live in the pictures
// folder of the program directory (by default "images"), which has the same
// name as the folder beside the page on the server: the edited page in the
// program directory shows them in the preview by the same relative address
// the published page uses.

#include "core/picture/Picture.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

#include <optional>

struct Settings;

namespace Picture {

// The picture keys of a configuration.
struct Options
{
    QString folder = QStringLiteral("images"); // picturesfolder, relative to the page's folder
    int maxWidth = 1200;                       // picturewidth; 0: never scaled
    QString programDir;                        // where weblog.ini is; empty: the working directory
};
// The keys of the active section of weblog.ini (defaults when absent);
// nullopt (with the reason in `error`) when picturesfolder is not a plain
// relative folder of letters, digits, "-", "_" and ".".
std::optional<Options> readOptions(const Settings& s, QString* error);

// The local pictures folder: the folder in the program directory.
QString localFolder(const Options& options);

// A picture ready to go into an entry.
struct Placed
{
    QString tag;       // <img src="FOLDER/NAME" alt=... width=... height=...>
    QString localPath; // its prepared copy
    QStringList notes; // status lines: scaled, location removed, name changed
};
// Prepares the picture at `path` into the local folder under its safe name, or
// NAME-2, ... when another picture has that name there (a copy with the same
// content is used again), and returns its tag. nullopt (with the reason in
// `error`) when the picture cannot be used; nothing is written then.
std::optional<Placed> place(const QString& path, const QString& alt, const Options& options,
                            QString* error);
std::optional<Placed> place(const QString& path, const QString& alt, const Settings& s,
                            QString* error);

// The names of the pictures `html` refers to in the pictures folder
// (src="FOLDER/NAME") that have a copy in the local folder, in order, once each.
QStringList entryPictures(const QString& html, const Options& options);
// `page` with every src="FOLDER/FROM" changed to src="FOLDER/TO".
QByteArray renameInPage(const QByteArray& page, const Options& options, const QString& from,
                        const QString& to);

} // namespace Picture

namespace Picture {

// The pictures folder on the server: beside the page at `ftpremote`
// ("/www/index.html" -> "/www/images", "index.html" -> "images").
QString remoteFolder(const QString& ftpremote, const Options& options);

// One picture of a publish.
struct Upload
{
    QString local;  // the prepared copy
    QString remote; // its path on the server
    QString name;   // the name the page refers to
    QString sentAs; // the name on the server; another one when that was taken
    bool send = true;
};
// The uploads of the pictures `names` (entryPictures()) against `serverNames`,
// the names in the server's pictures folder (empty when it is missing). A
// picture keeps its name unless the server has another picture of that name
// (`serverSame` compares the server's file of a name with a prepared copy):
// then it goes as NAME-2, ..., a name also free among the local copies, and
// the page and its local copy are to take that name (renameInPage()). One the
// server already has is not sent again.
QList<Upload> planUploads(const QStringList& names, const Options& options,
                          const QString& ftpremote, const QSet<QString>& serverNames,
                          const std::function<bool(const QString&, const QString&)>& serverSame);

} // namespace Picture
