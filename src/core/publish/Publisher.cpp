// Finish and Resend: the RSS file, then the upload or the manual save.

#include "core/publish/Publisher.h"

#include "base/IniFile.h"
#include "base/MainView.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/entry/PageEditor.h"
#include "core/entry/WorkFiles.h"
#include "core/publish/PublishFiles.h"
#include "core/publish/PublishRecord.h"
#include "core/rss/FeedWriter.h"
#include "core/rss/RssWriter.h"
#include "net/Connectivity.h"

#include <QCoreApplication>
#include <QFileInfo>

using namespace PublishFiles;

Publisher::Publisher(MainView& view, PageEditor& entries, PageEditorHooks& hooks, QObject* parent)
    : QObject(parent), m_view(view), m_entries(entries), m_hooks(hooks)
{
    connect(&ftpClient, &TransferClient::stateChanged, this, &Publisher::onFtpStateChanged);
    // The download's bar in kilobytes, as it comes.
    connect(&httpClient, &TransferClient::progress, this, [this](qint64 done, qint64 total) {
        const int expected = expectedKilobytes(QString::number(total > 0 ? total : 0));
        m_view.showProgress(0, expected, int(qMin<qint64>(done / 1024, expected)));
    });
}

// ---- jobs ------------------------------------------------------------------

Publisher::JobScope::JobScope(Publisher& publisher) : m_publisher(publisher)
{
    if (m_publisher.m_jobDepth++ == 0) {
        m_publisher.m_stopped = false;
        m_publisher.m_view.setJobRunning(true);
    }
}

Publisher::JobScope::~JobScope()
{
    if (--m_publisher.m_jobDepth == 0)
        m_publisher.m_view.setJobRunning(false);
}

void Publisher::stop()
{
    if (m_jobDepth == 0 || m_stopped)
        return;
    m_stopped = true;
    m_view.appendStatus(QStringLiteral("Stopped."));
    ftpClient.cancel();
    httpClient.cancel();
}

// ---- waiting ---------------------------------------------------------------

void Publisher::waitFor(TransferClient& inet)
{
    // The control wakes the event loop with its state changes and its end,
    // so waiting for events does not spin.
    while (inet.isBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
}

// Runs one command and waits for it. Returns false when it failed; a refused
// command is reported as a run-time error by the caller through lastError.
bool Publisher::execute(TransferClient& inet, const QString& command)
{
    inet.execute(QString(), command);
    waitFor(inet);
    return inet.lastError().number() == 0;
}

// ---- Finish and Resend -----------------------------------------------------

void Publisher::finish()
{
    m_view.setPublishingEnabled(false);
    publish();
}

void Publisher::resend()
{
    m_view.appendStatus(QStringLiteral("Preview Last Entry"));
    m_view.setPublishingEnabled(false);
    publish();
}

Publisher::Outcome Publisher::publish()
{
    const JobScope job(*this);
    Settings& s = settings();
    for (;;) {
        m_view.setPublishingEnabled(false);
        if (s.backendenabled.isEmpty())
            s.backendenabled = QStringLiteral("False");
        if ((s.rssEnabled() && !writeRssFile(s, m_view, prompt())) ||
            !writeFeedFiles(s, m_view, prompt())) {
            m_view.setPublishingEnabled(true);
            return m_outcome = Outcome::Stopped;
        }
        if (!s.autoFtp()) {
            FileRequest request;
            request.kind = FileRequest::Save;
            request.initialDir = programDir();
            request.filter = QStringLiteral("All Files (*.*)|*.*|HTML Files(*.html)|*.html");
            request.filterIndex = 2;
            request.defaultExt = QStringLiteral("html");
            const std::optional<QString> chosen = prompt().chooseFile(request);
            if (!chosen) {
                prompt().message(QStringLiteral("You must save the file to be manually uploaded."));
                continue;
            }
            QString error;
            if (!WorkFiles::copy(filePath("webbie"), *chosen, &error)) {
                prompt().message(QStringLiteral("The page could not be saved as ") + *chosen +
                                     QStringLiteral(": ") + error,
                                 Buttons::Ok, Icon::Critical);
                m_view.setPublishingEnabled(true);
                return m_outcome = Outcome::Stopped;
            }
            // The entry counts as the last one published once its page is saved
            // for upload, not before: a save that never happens records nothing.
            PublishRecord::recordSaved(s);
            prompt().message(*chosen + QStringLiteral(" ready!  Please exit and manually upload."));
            return m_outcome = Outcome::Saved;
        }
        if (s.dialUp() && !isDialUpConfigured()) {
            prompt().message(QStringLiteral("Please connect to the internet first.  Once you are "
                                            "connected, hit the transfer button again."));
            m_view.setPublishingEnabled(true);
            return m_outcome = Outcome::Stopped;
        }
        WorkFiles::copy(filePath("webbie"), filePath("backup"));
        m_view.appendStatus(QStringLiteral("Copying Preview Into Backup"));
        m_outcome = Outcome::None;
        runFtp(QString());
        if (m_mergeWanted && mergeServerCopy())
            continue; // the entry is in the server's version now: publish that
        m_mergeWanted = false;
        return m_outcome;
    }
}
