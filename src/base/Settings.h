#pragma once

#include <QString>

#include <array>

// The six entry fields that carry a font style, in the order their keys are
// read. Each maps to a key prefix ("title", "body", ...).
enum class StyleField
{
    Title,
    Body,
    Date,
    Time,
    Sig,
    Url
};
inline constexpr std::array<StyleField, 6> kStyleFields = {StyleField::Title, StyleField::Body,
                                                           StyleField::Date,  StyleField::Time,
                                                           StyleField::Sig,   StyleField::Url};

QString stylePrefix(StyleField field); // "title", "body", "date", "time", "sig", "url"

// One field's style, as the text stored in weblog.ini: face name, HTML size,
// colour number (red in the low byte), and "1"/"0" for the four effects.
struct FieldStyle
{
    QString fontname, fontsize, fontcolor, fontbold, fontitalic, strikethru, underline;
};

// Key suffixes of the style keys, in the order the loader reads them.
inline constexpr std::array<const char*, 7> kStyleSuffixes = {
    "fontname", "fontsize", "fontcolor", "fontbold", "fontitalic", "strikethru", "underline"};
QString& styleValue(FieldStyle& style, int suffixIndex);

// The active configuration: the keys of its weblog.ini section as the file
// holds them, read as what they mean through the typed readers below, plus
// the values derived from them and the loaded template.
struct Settings
{
    // Configuration keys (the names are the key names in weblog.ini).
    QString website, ftpsite, username, password, ftpremote, timeout, autoftp, connection,
        retreivemode;
    QString backendenabled, imagebackendenabled, backendtitle, backenddescript, backendimageurl,
        backendimagedescript, backendimagealt;
    QString feeds, feeditems; // the RSS 2.0 and Atom feeds (core/rss/FeedWriter.h)
    QString archive, archiveurl, archiveftp;
    QString dateformat, timeformat, autodelete, deleteamount, defaultsig, defaultemail,
        templatefilename;
    QString Fail, Date, Time;
    std::array<FieldStyle, 6> styles;

    // Derived fields.
    QString settingsPath; // full path of weblog.ini
    // The folder of weblog.ini: the program directory, where the template,
    // the working files and the pictures are.
    QString folder() const;
    // A working file of the active section: stem + section + extension
    // ("webbie1.html"), and its path in folder().
    QString workFileName(const QString& stem,
                         const QString& extension = QStringLiteral(".html")) const
    {
        return stem + activeSection + extension;
    }
    QString workFile(const QString& stem, const QString& extension = QStringLiteral(".html")) const;
    QString activeSection; // "1" ... "9"
    QString siteHost;      // host part of website
    QString sitePath;      // "/" + the text of website after its third "/"
    QString templateText;

    FieldStyle& style(StyleField f) { return styles[static_cast<int>(f)]; }

    // The keys above read as what they mean. Every reader of a Boolean,
    // number or choice key goes through these, so a value means the same
    // thing everywhere; the text fields stay what weblog.ini holds.
    enum class RetrieveMode
    {
        Auto,
        Ftp,
        None
    };
    bool autoFtp() const; // autoftp: "True"/"False" in any case, or a number (non-zero is on)
    bool dialUp() const;  // connection: "modem" (anything but "direct" counts as modem)
    RetrieveMode retrieveMode() const; // retreivemode: "ftp", "none", anything else "auto"
    int timeoutSeconds() const;        // timeout: its numeric value, whole seconds
    bool rssEnabled() const;           // backendenabled: exactly "True"
    bool rssImageEnabled() const;      // imagebackendenabled: exactly "true"
    bool archiveEnabled() const;       // archive: exactly "true" ("True" is off)
    bool autoDeleteEnabled() const;    // autodelete: read as a Boolean, any case
    int autoDeleteKeepCount() const;   // see the free function below
    bool lastUploadFailed() const;     // Fail: exactly "True"
    const FieldStyle& style(StyleField f) const { return styles[static_cast<int>(f)]; }
};

// The state of one run, kept apart from the configuration: loading another
// configuration does not touch it.
struct RunState
{
    // The base copy of the page is here and read (a retrieval or Restore).
    bool pageRetrieved = false;
    // The archive page could not be fetched by the last retrieval: entries
    // cut from the page would have nowhere to go.
    bool archiveRetrievalFailed = false;
    // The stamp of the entry last built (EntryBuilder), recorded once it
    // is published.
    QString entryDate, entryTime;
};

// The site host and site path derived from a web address: the host is the
// text between "//" and the next "/"; the path is "/" followed by the text
// after the third "/". A missing "/" gives empty text at that stage.
QString deriveSiteHost(const QString& website);
QString deriveSitePath(const QString& website);

// The numeric value of text read the way Visual Basic's Val() does: leading
// blanks skipped, then an optional sign, digits, a decimal point and an
// exponent as far as they go; "" and non-numeric text give 0.
double numericValue(const QString& text);

// The keep count of auto-delete: deleteamount + 1, or -1 when deleteamount is
// not a whole number from 1 to 32766.
int autoDeleteKeepCount(const QString& deleteamount);

// Reads a settings value as a Boolean word: "True"/"False" in any letter case,
// or a number (non-zero is true). Anything else is not a Boolean: ok = false.
bool readBoolean(const QString& text, bool* ok);
