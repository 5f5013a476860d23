#pragma once

// Pages and settings files for the retrieval and publishing tests: a marked
// weblog page and archive page as the program finds them on a server, and a
// weblog.ini written the way the preferences dialog writes it (password
// scrambled), so start-up loads it like a user's.

#include <QByteArray>
#include <QMap>
#include <QString>

namespace PublishFixture {

using Keys = QMap<QString, QString>;

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
