#pragma once

// The field style editor's work on the settings record and weblog.ini,
// without its widgets: storing one attribute of one field, the size steps of
// its scroll bar, and writing the style keys in the editor's order.

#include "base/Settings.h"

#include <QString>

#include <optional>

class Prompt;

// The editor's names of the six fields, as its list shows them: "Title",
// "Body", "Date", "Time", "Sig", "URL".
QString styleFieldName(StyleField field);
// The field of an editor name (exact letter case); nullopt for other names.
std::optional<StyleField> styleFieldNamed(const QString& name);

// Stores one style value of `fieldName` in the record. The attribute names
// are "fontname", "fontsize", "fontcolor", "fontbold", "fontitalic",
// "fontstrikethru" and "fontunderline"; the value "default" in any letter
// case is stored as empty text. Returns the value stored, or nullopt when the
// field or attribute name is unknown (nothing changes then). Nothing is
// written to the file.
std::optional<QString> storeStyleValue(Settings& s, const QString& fieldName,
                                       const QString& attribute, const QString& value);

// The size box text of a scroll step from -3 to +9: "-2", "Default" for 0,
// "+2".
QString sizeStepText(int step);
// The scroll bar position (0 to 12, the step plus 3) that shows a stored
// size; a size outside -3..+9 puts it at the nearest end, empty text at 3.
int sizeScrollPosition(const QString& size);

// Writes the seven keys of one field to the active section, in the order
// fontname, fontbold, fontcolor, fontitalic, fontsize, strikethru, underline.
// The file is written once; one that cannot be written gives a message and
// false and is left as it was.
bool writeFieldStyle(const Settings& s, StyleField field, Prompt& prompt);
// Writes all 42 style keys: fields title, body, sig, time, date, url, each
// in the order of writeFieldStyle, in one write of the file.
bool writeAllStyles(const Settings& s, Prompt& prompt);
