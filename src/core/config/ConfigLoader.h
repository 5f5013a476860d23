#pragma once

#include "core/config/PasswordStore.h"

#include <QString>
#include <QStringList>

#include <functional>

class MainView;
class QObject;
class Prompt;
struct Settings;

// Loading a configuration section into the settings record, with the
// defaults and corrections a user's weblog.ini needs. The preferences dialog
// runs this when it opens and when another configuration is loaded; start-up
// runs it through the dialog's silent load.

struct ConfigLoadResult
{
    int number = 1;         // the configuration loaded
    bool failFound = false; // the last upload failed; a resend was offered
    int dateIndex = -1;     // 0 long, 1 medium, 2 short; -1 for an unknown format
    int timeIndex = -1;
    // Where the password came from (the preferences dialog says so).
    PasswordStore::Place passwordPlace = PasswordStore::Place::Nowhere;
};

// Fills `s` from section `number` of s.settingsPath. Messages go to `prompt`;
// the resend offer, the default signature and e-mail reach `view`. A
// password weblog.ini does not hold is asked of the keyring first: `done`
// runs once it has answered (at once when it is not asked), unless `context`
// is gone; `s`, `prompt` and `view` must stay until then.
void loadConfiguration(int number, Settings& s, Prompt& prompt, MainView& view, QObject* context,
                       std::function<void(const ConfigLoadResult&)> done);

// A failed last upload of configuration `number` with the automatic upload
// on: offers the resend (message, status line "RESEND Config N?", Resend
// enabled and shown). Returns true when offered.
bool offerResendIfFailed(int number, const Settings& s, Prompt& prompt, MainView& view);

// The 42 style keys of the active section, no defaults applied. Returns a
// status line for each face, size or colour no font tag can carry (see
// unusableStyles in EntryBuilder.h): entries are built without it.
QStringList loadStyles(Settings& s);

// The entry template: reads the file named by "templatefilename" (default
// "template.txt", relative to the folder of weblog.ini), keeping its non-empty
// lines each followed by CR LF. A file that cannot be read gives the message
// "Template File Not Found" and the default template.
struct TemplateLoad
{
    QString fileName;   // as configured: a bare name or a full path
    QString editorText; // what the template editor shows
    bool found = false;
};
TemplateLoad loadTemplate(Settings& s, Prompt& prompt);
QString defaultTemplate();
// Reads the template file at `path` into editor text; false when it cannot
// be read.
bool readTemplateFile(const QString& path, QString* text);

// The three loaders in start-up order: configuration, styles, template;
// `done` as for loadConfiguration().
void loadAll(int number, Settings& s, Prompt& prompt, MainView& view, QObject* context,
             std::function<void(const ConfigLoadResult&)> done);
