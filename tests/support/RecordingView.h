#pragma once

// A MainView for tests of the flows without a window: it records the status
// lines and keeps the command states as plain fields.

#include "base/MainView.h"

#include <QStringList>

class RecordingView final : public MainView
{
public:
    EntryFields entry;
    QStringList status; // every status line added, in order
    QString statusText; // the status box as the window would show it
    bool finishEnabled = false, previewEnabled = false, preferencesEnabled = false;
    bool backupEnabled = false, deleteLastEnabled = false;
    bool resendEnabled = false, resendVisible = false;
    bool busy = false, progressVisible = false;
    int progressMin = 0, progressMax = 100, progress = 0;
    QString sig, email;

    void appendStatus(const QString& message) override
    {
        QString m = message;
        const QString next = appendStatusLine(statusText, m);
        if (next != statusText)
            status << m.trimmed();
        statusText = next;
    }
    void setPublishingEnabled(bool on) override
    {
        finishEnabled = previewEnabled = preferencesEnabled = backupEnabled = deleteLastEnabled =
            on;
        resendEnabled = resendEnabled && on;
        resendVisible = resendVisible && on;
        progressVisible = false;
    }
    void setFinishEnabled(bool enabled) override { finishEnabled = enabled; }
    void setResendEnabled(bool enabled) override { resendEnabled = enabled; }
    void setResendVisible(bool visible) override { resendVisible = visible; }
    void setPreferencesEnabled(bool enabled) override { preferencesEnabled = enabled; }
    void setBusy(bool b) override { busy = b; }
    void showProgress(int minimum, int maximum, int value) override
    {
        progressVisible = true;
        progressMin = minimum, progressMax = maximum, progress = value;
    }
    void hideProgress() override { progressVisible = false; }
    int progressValue() const override { return progress; }
    EntryFields fields() const override { return entry; }
    void setSignature(const QString& s, const QString& e) override
    {
        sig = entry.sig = s;
        email = entry.email = e;
    }
};
