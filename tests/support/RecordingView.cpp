#include "RecordingView.h"

void RecordingView::appendStatus(const QString& message)
{
    QString m = message;
    const QString next = appendStatusLine(statusText, m);
    if (next != statusText)
        status << m.trimmed();
    statusText = next;
}

void RecordingView::setPublishingEnabled(bool enable)
{
    finishEnabled = previewEnabled = preferencesEnabled = backupEnabled = deleteLastEnabled =
        enable;
    if (!enable) {
        resendEnabled = false;
        resendVisible = false;
    }
    progressVisible = false;
}

void RecordingView::showProgress(int minimum, int maximum, int value)
{
    progressVisible = true;
    progressMin = minimum;
    progressMax = maximum;
    progress = value;
}
