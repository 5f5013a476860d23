#pragma once

#include <QString>

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
// as needed) and keeps every other byte of the file as it was. Line breaks in
// the value become blanks, so a value can never add or change another key.
// The file is replaced atomically. Returns false when it could not be written.
//
// A new file is readable by the user alone. An existing one keeps its
// permissions, except that one holding a password (key "password" with a
// value) is made readable by the user alone, and the settings notice says so.
bool writeSetting(const QString& section, const QString& key, const QString& value,
                  const QString& fileName);

// Where writeSetting reports that it made the file private (the window's
// status box); none by default.
void setSettingsNotice(std::function<void(const QString& message)> notice);
