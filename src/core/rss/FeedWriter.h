#pragma once

// The RSS 2.0 and Atom 1.0 feeds beside the classic RSS file: "rss" and
// "atom" + section + ".xml" in the program folder, published as rss.xml and
// atom.xml in the folder of the page on the server. They list the entries of
// the edited page, newest first, with their date, link, author and HTML, so
// they follow every edit, Delete Last Entry and Restore Backup. weblog.ini
// keys: feeds (a comma list of "rss2" and "atom"; empty: none) and feeditems
// (how many entries, 20 when empty).

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

class MainView;
class Prompt;
struct Settings;

enum class FeedKind
{
    Rss2,
    Atom
};

// One entry of the page as the feeds show it.
struct FeedEntry
{
    QString anchor; // the name of its in-page anchor
    QString title;  // the title text without tags (character references as written)
    QDateTime when; // from its time/date marker, in the machine's time zone
    QString author; // from its signature mail link; empty when there is none
    QString email;  // likewise
    QString html;   // its HTML, links and picture addresses made absolute
};

// Whether the comma list `feeds` names `kind` ("rss2", "atom"; blanks and
// letter case do not count); the list Apply stores for two check boxes.
bool feedChosen(const QString& feeds, const char* kind);
QString feedsValue(bool rss2, bool atom);
// The feeditems value as a count: empty gives 20; a whole number from 1 to
// 100 gives itself; anything else -1.
int feedItemCount(const QString& feeditems);

// The entries of a page, newest first, at most `limit`. An entry is the text
// from its time/date marker up to the next one or the end marker; one whose
// anchor, title, date or end cannot be found is left out.
QList<FeedEntry> feedEntries(const QByteArray& page, const QString& pageAddress, int limit,
                             const QLocale& locale = QLocale());

// The date and time of a time/date marker, written by this machine in
// `locale` or in en_US: invalid when the texts are not exactly what the entry
// builder writes for some moment.
QDateTime markerDateTime(const QString& date, const QString& time,
                         const QLocale& locale = QLocale());
QString rfc822Date(const QDateTime& when);  // "Tue, 05 Dec 2000 17:44:36 +0100"
QString rfc3339Date(const QDateTime& when); // "2000-12-05T17:44:36+01:00"

// Every href and src value of `html` that is not absolute, resolved against
// `base`.
QString absoluteLinks(const QString& html, const QString& base);

// The whole file, UTF-8: well-formed XML whatever the page and the settings
// hold. `built` is the time of the build.
QByteArray feedText(FeedKind kind, const Settings& s, const QList<FeedEntry>& entries,
                    const QDateTime& built, const QLocale& locale = QLocale());

// The feed files `feeds` asks for: the working file, the path on the server
// (beside the page at ftpremote) and the name the publish messages use.
struct FeedFile
{
    FeedKind kind;
    QString local;
    QString remote;
    QString name;
};
QList<FeedFile> feedFiles(const Settings& s);
// The names of both feed files, in the order they are put in place.
QStringList feedFileNames();
// The feed's public address: the folder of the web site and the file name.
QString feedAddress(FeedKind kind, const QString& website);

// The status lines for the feeds the <head> of `page` does not announce with
// a <link rel="alternate">, each with the line to add.
QStringList missingAnnouncements(const QByteArray& page, const Settings& s);

// Writes the chosen feeds from the edited page and tells, once per run and
// configuration, which of them the page does not announce. False (after a
// message) when the page cannot be read or a file cannot be written.
bool writeFeedFiles(const Settings& s, MainView& view, Prompt& prompt);
