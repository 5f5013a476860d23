#include "core/publish/PublishRecord.h"

#include "base/IniFile.h"
#include "base/Settings.h"

namespace PublishRecord {

namespace {

// The date and time of the entry published or saved last.
void setEntryDate(Settings& s, const RunState& run, IniText& ini)
{
    ini.set(s.activeSection, QStringLiteral("Date"), run.entryDate);
    ini.set(s.activeSection, QStringLiteral("Time"), run.entryTime);
    s.Date = run.entryDate;
    s.Time = run.entryTime;
}

void setFail(Settings& s, IniText& ini, const QString& fail)
{
    ini.set(s.activeSection, QStringLiteral("Fail"), fail);
    s.Fail = fail;
}

} // namespace

void recordPublished(Settings& s, const RunState& run)
{
    IniText ini(s.settingsPath);
    setFail(s, ini, QStringLiteral("False"));
    if (!run.entryDate.isEmpty())
        setEntryDate(s, run, ini);
    ini.commit();
}

void recordFailed(Settings& s)
{
    IniText ini(s.settingsPath);
    setFail(s, ini, QStringLiteral("True"));
    ini.commit();
}

void recordSaved(Settings& s, const RunState& run)
{
    IniText ini(s.settingsPath);
    setEntryDate(s, run, ini);
    ini.commit();
}

} // namespace PublishRecord
