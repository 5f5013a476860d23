#include "core/publish/PublishRecord.h"

#include "base/IniFile.h"
#include "base/Settings.h"

namespace PublishRecord {

namespace {

void write(const Settings& s, const QString& key, const QString& value)
{
    writeSetting(s.activeSection, key, value, s.settingsPath);
}

void recordEntryDate(Settings& s)
{
    write(s, QStringLiteral("Date"), s.entryDate);
    write(s, QStringLiteral("Time"), s.entryTime);
    s.Date = s.entryDate;
    s.Time = s.entryTime;
}

} // namespace

void recordPublished(Settings& s)
{
    write(s, QStringLiteral("Fail"), QStringLiteral("False"));
    s.Fail = QStringLiteral("False");
    if (!s.entryDate.isEmpty())
        recordEntryDate(s);
}

void recordFailed(Settings& s)
{
    write(s, QStringLiteral("Fail"), QStringLiteral("True"));
    s.Fail = QStringLiteral("True");
}

void recordSaved(Settings& s)
{
    recordEntryDate(s);
}

} // namespace PublishRecord
