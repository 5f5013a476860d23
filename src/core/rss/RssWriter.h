#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class MainView;
class Prompt;
struct Settings;

// The RSS 0.91 headline file ("backend" + section + ".rss", uploaded as
// backend.rss): the channel from the settings and one item per entry of the
// edited page, newest first, at most 15. Every text taken from the settings or
// the page is escaped, so the file is well-formed XML whatever the user typed.

struct Headline
{
    QString anchor; // the entry's anchor name
    QString text;   // the entry head with its markup stripped
};

inline constexpr int kMaxHeadlines = 15;

// Strips an entry head to its headline: comment brackets and tags become
// blanks; the result is trimmed. `head` is changed too.
QString stripTags(QString& head);

// The heads of the first 15 entries of a page: each from its "<a name=" up to
// its "<!--Title-->".
QList<Headline> extractHeadlines(const QByteArray& page);

// The whole file, UTF-8, CR LF line ends, ending with "</rss>" and two CR LF.
QByteArray rssText(const Settings& s, const QByteArray& page);

// Reads the edited page, writes the file and reports progress in the status
// box. Returns false (after a message) when the page cannot be read or the
// file cannot be written.
bool writeRssFile(const Settings& s, MainView& view, Prompt& prompt);

// Text made safe for XML character data: references decoded first (so
// "&amp;" stays one ampersand), then &, <, > escaped; characters XML cannot
// carry are dropped.
QString xmlText(const QString& text);
