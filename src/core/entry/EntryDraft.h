#pragma once

// The entry being typed, kept in a draft file of the program directory so
// that a crash, a kill or a lost session costs at most the last few seconds
// of typing. The window saves it shortly after each change and offers it back
// at the next start; a published or cleared entry removes it.
//
// File format (UTF-8), version 1:
//
//   PAGEWICK-DRAFT 1\n
//   head <n>\n<n bytes>\n
//   main <n>\n<n bytes>\n
//   sig <n>\n<n bytes>\n
//   email <n>\n<n bytes>\n
//   url <n>\n<n bytes>\n
//   urltitle <n>\n<n bytes>\n
//   END\n
//
// Every field carries its length in bytes and the file must end with the END
// line, so a file cut short anywhere, or with anything appended, is
// recognised as damaged instead of being read as a shorter entry.

#include "base/MainView.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace EntryDraft {

// "entrydraft.txt" (in the program directory).
QString fileName();

QByteArray format(const EntryFields& fields);
// The fields of a version 1 draft; nullopt (with the reason) for anything
// else.
std::optional<EntryFields> parse(const QByteArray& bytes, QString* error = nullptr);

// An entry with nothing typed into it: no title, body or link text, and the
// link box empty or holding only "http://". The signature and e-mail address
// do not count: they come from the configuration.
bool isBlank(const EntryFields& fields);

// Writes the draft atomically (temporary file, synced, renamed into place),
// readable by the user alone.
bool save(const QString& path, const EntryFields& fields, QString* error = nullptr);

struct Loaded
{
    enum Status
    {
        Missing,
        Damaged,
        Found
    };
    Status status = Missing;
    EntryFields fields;
    QString error; // why a damaged draft was not read
};
Loaded load(const QString& path);
// Removes the draft; true when none is left.
bool remove(const QString& path);

} // namespace EntryDraft
