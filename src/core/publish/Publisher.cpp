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
#include "core/publish/RequestEnd.h"
#include "core/rss/FeedWriter.h"
#include "core/rss/RssWriter.h"
#include "net/Connectivity.h"

#include <QFileInfo>
#include <QTimer>

using namespace PublishFiles;

Publisher::Publisher(Workspace& ws, MainView& view, PageEditor& entries, PageEditorHooks& hooks,
                     QObject* parent)
    : QObject(parent), m_ws(ws), m_view(view), m_entries(entries), m_hooks(hooks)
{
    ftpClient.setPrompt(&ws.prompt());
    httpClient.setPrompt(&ws.prompt()); // an archive page on an sftp:// address
    // A request's end resumes the job waiting for it (a late end of a
    // cancelled one does not: the next has started), from the event loop:
    // the job may start a request that replaces the session still
    // reporting this one.
    for (TransferClient* client : {&ftpClient, &httpClient}) {
        connect(
            client, &TransferClient::finished, this,
            [this, client] {
                if (!client->isBusy())
                    if (std::coroutine_handle<> job = std::exchange(waitingFor(*client), {}))
                        job.resume();
            },
            Qt::QueuedConnection);
    }
    connect(&ftpClient, &TransferClient::stateChanged, this, &Publisher::onFtpStateChanged);
    // The download's bar in kilobytes, as it comes.
    connect(&httpClient, &TransferClient::progress, this, [this](qint64 done, qint64 total) {
        const int expected = expectedKilobytes(QString::number(total > 0 ? total : 0));
        m_view.showProgress(0, expected, int(qMin<qint64>(done / 1024, expected)));
    });
}

Publisher::~Publisher()
{
    m_ftpWaiting = m_httpWaiting = {};
    m_jobs.clear();
}

// ---- jobs ------------------------------------------------------------------

// The job counts as running from here until `then` has returned; it is freed
// from the event loop, as it cannot be while it ends.
void Publisher::runJob(Step job, std::function<void()> then)
{
    if (m_jobDepth++ == 0) {
        m_stopped = false;
        m_view.setJobRunning(true);
    }
    const auto running = m_jobs.insert(m_jobs.end(), std::move(job));
    running->start([this, running, then = std::move(then)] {
        bool ended = true;
        try {
            running->result();
        } catch (const TransferError& e) {
            reportRunError(e);
        } catch (...) {
            m_jobError = std::current_exception();
            ended = false; // what was to follow does not
        }
        if (then && ended)
            then();
        QTimer::singleShot(0, this, [this, running] { m_jobs.erase(running); });
        if (--m_jobDepth == 0) {
            m_view.setJobRunning(false);
            emit jobsEnded();
        }
    });
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

// Runs one request to its end. False when it failed; a refused request
// throws its TransferError.
Publisher::Step Publisher::execute(TransferClient& inet, Request request)
{
    request();
    RequestEnd end{inet, waitingFor(inet)}; // named: see RequestEnd.h
    co_await end;
    co_return inet.lastError().number() == 0;
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

void Publisher::publish(std::function<void()> then)
{
    runJob(publishing(), std::move(then));
}

Publisher::Step Publisher::publishing()
{
    Settings& s = m_ws.settings();
    for (;;) {
        m_view.setPublishingEnabled(false);
        if (s.backendenabled.isEmpty())
            s.backendenabled = QStringLiteral("False");
        if ((s.rssEnabled() && !writeRssFile(s, m_view, m_ws.prompt())) ||
            !writeFeedFiles(s, m_view, m_ws.prompt())) {
            m_view.setPublishingEnabled(true);
            m_outcome = Outcome::Stopped;
            co_return false;
        }
        if (!s.autoFtp()) {
            FileRequest request;
            request.kind = FileRequest::Save;
            request.initialDir = m_ws.dir();
            request.filter = QStringLiteral("All Files (*.*)|*.*|HTML Files(*.html)|*.html");
            request.filterIndex = 2;
            request.defaultExt = QStringLiteral("html");
            const std::optional<QString> chosen = m_ws.prompt().chooseFile(request);
            if (!chosen) {
                m_ws.prompt().message(
                    QStringLiteral("You must save the file to be manually uploaded."));
                continue;
            }
            QString error;
            if (!WorkFiles::copy(filePath("webbie"), *chosen, &error)) {
                m_ws.prompt().message(QStringLiteral("The page could not be saved as ") + *chosen +
                                          QStringLiteral(": ") + error,
                                      Buttons::Ok, Icon::Critical);
                m_view.setPublishingEnabled(true);
                m_outcome = Outcome::Stopped;
                co_return false;
            }
            // The entry counts as the last one published once its page is saved
            // for upload, not before: a save that never happens records nothing.
            PublishRecord::recordSaved(s, m_ws.run());
            m_ws.prompt().message(*chosen +
                                  QStringLiteral(" ready!  Please exit and manually upload."));
            m_outcome = Outcome::Saved;
            co_return true;
        }
        if (s.dialUp() && !isDialUpConfigured()) {
            m_ws.prompt().message(
                QStringLiteral("Please connect to the internet first.  Once you are "
                               "connected, hit the transfer button again."));
            m_view.setPublishingEnabled(true);
            m_outcome = Outcome::Stopped;
            co_return false;
        }
        WorkFiles::copy(filePath("webbie"), filePath("backup"));
        m_view.appendStatus(QStringLiteral("Copying Preview Into Backup"));
        m_outcome = Outcome::None;
        co_await runFtp(true);
        if (m_mergeWanted && co_await mergeServerCopy())
            continue; // the entry is in the server's version now: publish that
        m_mergeWanted = false;
        co_return m_outcome == Outcome::Published;
    }
}
