#include "core/publish/PublishRecord.h"

#include "base/IniFile.h"
#include "base/Settings.h"

namespace PublishRecord {

namespace {

// The date and time of the entry published or saved last.
void setEntryDate(Settings& s, IniText& ini)
{
    ini.set(s.activeSection, QStringLiteral("Date"), s.entryDate);
    ini.set(s.activeSection, QStringLiteral("Time"), s.entryTime);
    s.Date = s.entryDate;
    s.Time = s.entryTime;
}

void setFail(Settings& s, IniText& ini, const QString& fail)
{
    ini.set(s.activeSection, QStringLiteral("Fail"), fail);
    s.Fail = fail;
}

} // namespace

void recordPublished(Settings& s)
{
    IniText ini(s.settingsPath);
    setFail(s, ini, QStringLiteral("False"));
    if (!s.entryDate.isEmpty())
        setEntryDate(s, ini);
    ini.commit();
}

void recordFailed(Settings& s)
{
    IniText ini(s.settingsPath);
    setFail(s, ini, QStringLiteral("True"));
    ini.commit();
}

void recordSaved(Settings& s)
{
    IniText ini(s.settingsPath);
    setEntryDate(s, ini);
    ini.commit();
}

} // namespace PublishRecord
