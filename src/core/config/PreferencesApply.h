#pragma once

// Apply of the preferences dialog without its widgets: the checks in their
// fixed order with their messages, the values copied into the settings
// record, the keys written to weblog.ini in their order, and the reset of the
// main window. A check that stops ends Apply at once and leaves weblog.ini
// and the settings record as they were: every key is written in one
// replacement of the file once all checks have passed and the password is
// where it is kept. The dialog reads its controls into a PreferencesForm,
// runs applyPreferences() and shows the tab the outcome names once it ends:
// the checks come first, then the keyring, then the one write.

#include "core/config/PasswordStore.h"

#include <QString>

#include <functional>

class MainView;
class Prompt;
struct Settings;

// The dialog's tabs, numbered as the user sees them (1 to 8).
enum class PrefsTab
{
    None = 0,
    Config = 1,
    Ftp = 2,
    Maintain = 3,
    SigEmail = 4,
    DateTime = 5,
    Backend = 6,
    Imaging = 7,
    Retrieve = 8
};

enum class RetrieveChoice
{
    Auto,
    Ftp,
    None
};

// What the dialog's controls hold when Apply runs.
struct PreferencesForm
{
    QString configNumber;       // txtConfigNumber, as typed
    int loadedConfig = 0;       // the configuration the fields were loaded from
    QString website;            // txtWebSite
    bool direct = false;        // optDirect (otherwise optmodem)
    bool autoFtp = false;       // chkFTP
    QString ftpSite;            // txtFTPsite
    QString userName;           // txtUsername
    QString password;           // txtPassword, plain
    QString ftpRemote;          // txtFTPremote
    QString timeout;            // txttimeout, as typed
    bool autoDelete = false;    // chkAutoDeletes
    QString deleteAmount;       // txtAmount
    QString archiveUrl;         // txtarchiveURL
    QString archiveFtp;         // txtArchiveFTP
    QString sig;                // txtSig
    QString email;              // txtEmail
    int dateIndex = -1;         // cbodate: 0 long, 1 medium, 2 short, -1 nothing selected
    int timeIndex = -1;         // cboTime likewise
    bool backend = false;       // chkEnabled
    QString backendTitle;       // txtTitle
    QString backendDescription; // txtDescript
    bool image = false;         // chkImage
    QString imageUrl;           // txtImageURL
    QString imageDescription;   // txtimagedescript
    QString imageAlt;           // txtImageAlt
    bool feedRss2 = false;      // chkFeedRss2
    bool feedAtom = false;      // chkFeedAtom
    QString feedItems;          // txtFeedItems, as typed
    RetrieveChoice mode = RetrieveChoice::Auto;
};

// What Apply changes on the main window beyond MainView.
class ApplyTarget
{
public:
    virtual ~ApplyTarget() = default;
    // Replaces the whole status box with `text`.
    virtual void replaceStatus(const QString& text) = 0;
    // Disables Preview and Finish until the page is fetched with the new
    // settings. The entry being typed stays in its boxes: the settings change
    // how it is styled and where it goes, which the next Preview shows.
    virtual void disableEntryCommands() = 0;
};

struct ApplyOutcome
{
    // Every step ran: the configuration is active (the caller has the page
    // fetched anew).
    bool completed = false;
    PrefsTab showTab = PrefsTab::None; // the tab of the field a check stopped at
    bool archiveUnticked = false;      // auto-delete off took the archive box with it
    // Where the password went (keyring or weblog.ini), once it was saved.
    PasswordStore::Place passwordPlace = PasswordStore::Place::Nowhere;
};

// Runs Apply for `form` on the settings record `s` (its settingsPath is the
// file written). Messages and questions go to `prompt`. `done` gets the
// outcome once the keyring has answered, or at once when a check stopped
// Apply before it; `s`, `prompt`, `view` and `target` must stay until then.
void applyPreferences(const PreferencesForm& form, Settings& s, Prompt& prompt, MainView& view,
                      ApplyTarget& target, std::function<void(const ApplyOutcome&)> done);

// Puts back every key, the active section and the site host and path from
// `saved`; the styles and the template text stay as they are. Cancel uses
// it so that a configuration loaded but not applied does not stay in memory
// under the active configuration's number.
void restoreConfiguration(Settings& s, const Settings& saved);

// The example address of the web-site and archive messages.
QString exampleAddress();
// The "FTP Location Problem" question.
QString ftpLocationProblemText();
// A web address the program can fetch: http://, https:// or file://, any
// letter case, with something after the scheme.
bool isWebAddress(const QString& text);
// An FTP site the transfer layer takes: a bare host name (no blanks, no
// "/"), or an ftp://, ftps://, sftp:// or file:// address.
bool isFtpSiteForm(const QString& text);
// The time-out to store for what was typed: whole seconds from 30; below 30
// (including text that is no number) gives "60" with `adjusted` set.
QString timeoutToStore(const QString& typed, bool* adjusted);
