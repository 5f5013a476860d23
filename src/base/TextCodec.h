#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Text files the user wrote by hand come either as UTF-8 or in the Windows-1252
// code page of older Windows tools. These helpers tell them apart and convert
// both ways without losing a byte: every one of the 256 byte values has a
// character in our Windows-1252 table (the five unassigned bytes map to the
// C1 controls of the same number, as Windows itself does).

namespace TextCodec {

// Offset of the first byte that is not part of well-formed UTF-8 (no
// overlong forms, no surrogates, nothing above U+10FFFF); -1 when all are.
qsizetype firstInvalidUtf8(QByteArrayView bytes);
bool isUtf8(QByteArrayView bytes);
QString fromCp1252(QByteArrayView bytes);
// Characters the code page cannot hold are written as '?' and reported
// through `lossless` (when given).
QByteArray toCp1252(QStringView text, bool* lossless = nullptr);
// True when every character of `text` exists in Windows-1252.
bool fitsCp1252(QStringView text);
// UTF-8 when the bytes are valid UTF-8, Windows-1252 otherwise.
QString decode(QByteArrayView bytes);

} // namespace TextCodec
