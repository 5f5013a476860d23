#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// weblog.ini access with the rules of Windows profile files: section and key
// names are matched without regard to case and with surrounding blanks
// ignored; a value is everything after the first "=" of its line, trimmed,
// with one pair of enclosing single or double quotes dropped; a missing file,
// section or key reads as "". Values longer than 254 characters read back cut
// to 254.
//
// The file is UTF-8; a file that is not valid UTF-8 is read as Windows-1252
// and written back in that code page as long as every value fits it.
//
// The parsed file is kept between calls and parsed again only when the file
// on disk has changed (another inode, size or time stamp) or was changed in
// the last second, so reading the settings key by key costs one look at the
// file's stamp each. Writing drops the kept parse.

// Note the argument orders: the file comes first here ...
QString readSetting(const QString& fileName, const QString& section, const QString& key);

// ... and last here. Replaces one value (or adds it, creating file and section
// as needed) and keeps every other byte of the file as it was: an IniText
// with one key set, committed.
bool writeSetting(const QString& section, const QString& key, const QString& value,
                  const QString& fileName);

// Several values of weblog.ini changed in memory and written in one go, so a
// stop halfway through a user's action leaves the file as it was.
//
// set() replaces one value (or adds it after the section's last non-blank
// line, creating the section at the end of the file as needed) and keeps
// every other byte as it was. Line breaks in the value become blanks, so a
// value can never add or change another key. The file keeps its line ends
// and its code page (a Windows-1252 file turns UTF-8 only when a value does
// not fit it).
//
// commit() replaces the file atomically, once, and returns false when it
// could not be written. A new file is readable by the user alone. An
// existing one keeps its permissions, except that one holding a password
// (key "password" with a value) is made readable by the user alone, and the
// settings notice says so.
class IniText
{
public:
    // The file as it is now; a missing file is empty.
    explicit IniText(const QString& fileName);

    void set(const QString& section, const QString& key, const QString& value);
    // The value as readSetting would give it after a commit.
    QString value(const QString& section, const QString& key) const;
    bool commit();

    // The parsed file: its lines without their line ends.
    struct Lines
    {
        QStringList lines;
        QString lineEnd = QStringLiteral("\r\n");
        bool endsWithLineEnd = true;
        bool utf8 = true;
    };

private:
    QString m_fileName;
    Lines m_ini;
};

// Where writeSetting reports that it made the file private (the window's
// status box); none by default.
void setSettingsNotice(std::function<void(const QString& message)> notice);
