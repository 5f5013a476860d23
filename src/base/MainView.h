#pragma once

#include <QString>

// What the program's flows (preview, publish, restore, retrieve) need from the
// main window. The window implements it with its controls; the command line
// implements it with standard output, so both run the same code.

struct EntryFields
{
    QString head;     // txtHead
    QString main;     // txtMain
    QString sig;      // txtSig
    QString email;    // txtEmail
    QString url;      // txtURL
    QString urlTitle; // txtURLtitle
};

class MainView
{
public:
    virtual ~MainView() = default;

    // Adds one line to the status box (see appendStatusLine for the rules).
    virtual void appendStatus(const QString& message) = 0;
    // Switches the publishing commands: off disables Finish, Preview, Config,
    // Restore Backup, Delete Last Entry and Resend and hides Resend; on enables
    // all but Resend, which keeps its state. Both hide the progress bar.
    virtual void setPublishingEnabled(bool enable) = 0;
    virtual void setFinishEnabled(bool enabled) = 0; // butt_Fin
    virtual void setResendEnabled(bool enabled) = 0; // butt_resend
    virtual void setResendVisible(bool visible) = 0;
    virtual void setPreferencesEnabled(bool enabled) = 0; // mnuPreferences
    virtual void setBusy(bool busy) = 0;                  // hourglass pointer
    // The progress bar: shown with a range and value, or hidden.
    virtual void showProgress(int minimum, int maximum, int value) = 0;
    virtual void hideProgress() = 0;
    virtual int progressValue() const = 0;

    virtual EntryFields fields() const = 0;
    // The default signature and e-mail address of a loaded configuration go
    // into the signature and e-mail boxes.
    virtual void setSignature(const QString& sig, const QString& email) = 0;
    // A job (retrieval, publish, update check) starts or ends: while one
    // runs the window offers Stop and keeps the commands that could change
    // what it works on off. Jobs may overlap; each start has its end.
    virtual void setJobRunning(bool running) { (void)running; }
};

// The status box rules: an empty message or one that is exactly CR LF adds
// nothing; a message containing CR LF loses its first CR LF (the caller's
// text is changed too). The new text is the current text trimmed of blanks,
// CR LF, and the message trimmed of blanks: the newest message is the last
// line. Returns the new status text.
QString appendStatusLine(const QString& current, QString& message);
