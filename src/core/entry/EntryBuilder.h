#pragma once

// Turning the six boxes of the main window into one entry: the field styles
// (styleField, colorToHex), the entry's date, time and anchor, and the
// template filling of Main. Everything here is plain text work, no window and
// no file; the flows in PageEditor.h show the messages.

#include "base/MainView.h"
#include "base/Settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

#include <optional>

// The marker texts the program writes into pages.
inline const QString kEndMarker = QStringLiteral("<!--**END**-->");
inline const QString kTitleMarker = QStringLiteral("<!--Title-->");

// "#" and the colour's red, green and blue bytes as two capital hexadecimal
// digits each; the number has red in its low byte. Only the low 24 bits count.
QString colorToHex(qint64 colour);

// Whether the template holds any of the placeholders %title, %body, %sig,
// %date, %time, %url and %newurl (any letter case). Without one the entry
// shows none of what the user typed.
bool holdsPlaceholder(const QString& templateText);

// The face, size and colour values a font tag can carry; empty text and the
// word "default" (any case), which mean no tag, are always usable. A size is a whole step from -3
// to +9 other than 0, as the style editor offers it ("-3" ... "-1", "+1" ... "+9"; a digit without
// sign too). A face is any name without '"', '<' or '>'. A colour is the number the colour dialog
// stores: whole decimal digits, 0 to 16777215.
bool isUsableFontFace(const QString& face);
bool isUsableFontSize(const QString& size);
bool isUsableFontColor(const QString& color);

// One face, size or colour of the record that no tag can carry: its field,
// its key suffix ("fontname", "fontsize" or "fontcolor") and the value.
struct UnusableStyle
{
    StyleField field;
    QString suffix;
    QString value;
};
// Every such value, field by field (title, body, date, time, sig, url), each
// field's face, size and colour in that order. A face "default" counts as
// empty.
QList<UnusableStyle> unusableStyles(const Settings& record);

// The text wrapped in the font tags of one field ("title", "body", "sig",
// "date", "time", "url", any letter case); any other name returns the text
// unchanged. Every face named "default" (any case) is emptied in `record`
// first, for all six fields: that word means "no face". A face, size or
// colour that is not usable (see above) is left out; the other tags stay.
QString styleField(Settings& record, const QString& fieldName, const QString& text);

// The clock of an entry: the environment variable PAGEWICK_NOW (ISO 8601
// local date and time, e.g. 2000-12-05T17:44:36) when it is set and valid,
// otherwise the current local time.
QDateTime entryNow();

// The entry's date and time texts. In en_US exactly "12/5/2000" and
// "5:44:36 PM"; elsewhere the locale's short date with a four-digit year and
// its time with seconds, without time zone, blanks always plain blanks.
QString entryDateText(const QDateTime& now, const QLocale& locale = QLocale());
QString entryTimeText(const QDateTime& now, const QLocale& locale = QLocale());

// The date and time in the named formats of the dateformat / timeformat keys:
// "long date", "medium date", "short date", "long time", "medium time",
// "short time". Other words fall back to the medium form (the keys' default).
QString namedDate(const QDateTime& now, const QString& format, const QLocale& locale = QLocale());
QString namedTime(const QDateTime& now, const QString& format, const QLocale& locale = QLocale());

// The anchor name of an entry: the date without its first two "/", followed
// by the time without its first two ":", with no blank anywhere
// ("12/5/2000" + "5:44:36 PM" gives "125200054436PM", "7 Dec 2026" +
// "09:30:00" gives "7Dec2026093000").
QString entryAnchor(const QString& date, const QString& time);

// Marker texts typed into a box would be taken for the program's own markers
// the next time the page is read ("<!--|", "|-->", "<!--**END**-->", the
// insertion and archive markers). A blank inside the comment opening or
// closing keeps them plain HTML comments that look the same in the browser.
QString defuseMarkers(const QString& text);

// Every line end (CR LF, CR, LF) becomes CR LF.
QString crlfLineEnds(const QString& text);

// The outcome of building one entry.
struct EntryBuild
{
    // Empty when the entry was built; otherwise the message to show
    // ("The title section cannot be left blank." ...), and nothing changed.
    QString failure;
    // The boxes as they are after the build: an empty signature became
    // "Unknown", an empty link text took the link address.
    EntryFields fields;
    // The time/date marker and the filled template (line ends CR LF) ...
    QString core;
    // ... and the whole entry: core, end-marker text, CR LF.
    QString html;
    // The entry's stamp (recorded once it is published) and, when the
    // template has "%title", its anchor name.
    QString date, time, anchor;
    bool ok() const { return failure.isEmpty(); }
};

// Main's text work: checks the title and body, fills the template of
// `record` and returns the entry; may empty "default" faces (see
// styleField). `endMarker` is "<!--**END**-->" for a page's first entry and
// empty otherwise.
EntryBuild buildEntry(const EntryFields& fields, Settings& record, const QDateTime& now,
                      const QString& endMarker, const QLocale& locale = QLocale());
