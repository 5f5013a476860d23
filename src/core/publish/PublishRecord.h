#pragma once

// What weblog.ini remembers of the last publish in the active section:
// Fail ("True" while a failed upload waits for Resend) and the Date and
// Time of the last entry that reached the server (or was saved for a manual
// upload). Written here only, in memory and on disk together, each record
// in one write of the file.

struct RunState;
struct Settings;

namespace PublishRecord {

// Every file is in place: Fail = "False"; Date and Time = the entry's,
// unless this was a resend after a restart, which has no entry date of its
// own (the stored ones stay).
void recordPublished(Settings& settings, const RunState& run);
// A transfer failed: Fail = "True"; Date and Time stay those of the last
// entry that was published.
void recordFailed(Settings& settings);
// Manual publishing: the page was saved for the user to upload. Date and
// Time; Fail is not touched.
void recordSaved(Settings& settings, const RunState& run);

} // namespace PublishRecord
