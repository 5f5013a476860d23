#pragma once

// Getting the page before an edit and publishing the result: the retrieve
// modes (HTTP, FTP, the local backup), the FTP upload of page, archive page
// and RSS file over one connection, Finish and Resend. The window and the
// command line both run this; it talks to the user through a MainView and
// the workspace's prompt.
//
// Publishing is all or nothing: success (Fail = "False", Date, Time, the
// local copies rolled forward, the page opened) is recorded only when every
// transfer of the sequence succeeded. Any failure leaves Fail = "True", keeps
// the base copies as they were and offers Resend. Files are uploaded under a
// temporary name and renamed over the target, so the live page is always the
// old one or the new one, never half of one.

#include "base/Prompt.h"
#include "base/Workspace.h"
#include "net/NetTask.h"
#include "net/TransferClient.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <exception>
#include <functional>
#include <list>
#include <optional>

class PageEditor;
class PageEditorHooks;
class MainView;

class Publisher : public QObject
{
    Q_OBJECT
public:
    enum class Outcome
    {
        None,      // nothing published yet
        Published, // every file uploaded
        Saved,     // manual mode: the page was saved for the user to upload
        Failed,    // a transfer failed; Resend is offered
        Stopped,   // nothing was sent (not connected, RSS file not written, ...)
    };

    Publisher(Workspace& ws, MainView& view, PageEditor& entries, PageEditorHooks& hooks,
              QObject* parent = nullptr);
    ~Publisher() override;

    // FTP transfers, HTTP page download.
    TransferClient ftpClient, httpClient;

    // The jobs. Each starts at once and runs on the event loop; `then`, when
    // given, is called once it has ended (also when it failed or was
    // stopped), before jobsEnded. A job that needs no transfer ends before
    // the call returns.
    //
    // Obtains the base copy "indexbackup" (and the archive page) in the
    // configuration's retrieve mode and, through PageEditor::
    // readRetrievedPage, reads it, placing the previewed entry into it when
    // `insertAfter` is set.
    void retrievePage(bool insertAfter, std::function<void()> then = {});
    // Finish and Resend: the RSS file and the feeds, then the upload (or the
    // manual save). lastOutcome() tells how it ended.
    void finish();
    void resend();
    void publish(std::function<void()> then = {});
    Outcome lastOutcome() const { return m_outcome; }

    // A job is running (the view has been told through setJobRunning).
    bool isRunning() const { return m_jobDepth > 0; }
    // Ends the running job at once: its transfer stops, the copies it staged
    // on the server are deleted, the live files stay as they were, and a
    // publish counts as failed (Resend is offered). No error box follows,
    // only a status line.
    void stop();
    bool wasStopped() const { return m_stopped; }
    // What a hook or the prompt threw to end a job (the command line's
    // stops), once; null when nothing did.
    std::exception_ptr takeJobError() { return std::exchange(m_jobError, nullptr); }

    // What a publish does when the live page or archive page changed on the
    // server since Pagewick last retrieved or published it (LiveCheck.h):
    // ask (Yes: fetch the server's version and put the entry into it, No:
    // publish over it, Cancel), or answer so without asking; Stop says why
    // and sends nothing. Merge is possible only while the edited page holds
    // the entry of a Preview; otherwise it stops.
    enum class LiveChange
    {
        Ask,
        Merge,
        Overwrite,
        Stop
    };
    void setLiveChangeAnswer(LiveChange answer) { m_liveChange = answer; }

    // The expected size in kilobytes shown by the progress bar for a
    // Content-Length: length / 1024 rounded half to even; 300 when that is 0.
    static int expectedKilobytes(const QString& contentLength);
    // Where backend.rss goes for a page at `ftpremote`.
    static QString backendRemotePath(const QString& ftpremote);

signals:
    // The last running job has ended (isRunning() is false again).
    void jobsEnded();

private:
    using Step = NetTask<bool>; // a part of a job; true when it went well
    // Starts one request of a transfer client (throws its refusal).
    using Request = std::function<void()>;

    void runJob(Step job, std::function<void()> then);
    Step retrieval(bool insertAfter);
    Step publishing();
    Step downloadPage(QString address, QString localFile, bool isArchive);
    Step runFtp(bool uploading);
    Step ftpStage(QString local, QString remote);
    Step ftpPlace(QString remote);
    Step ftpGet(QString remote, QString local);
    Step endUpload();
    Step closeAfterDownload();
    Step closeConnection();
    void reportFtpError();
    void advanceProgress();
    void onFtpStateChanged(TransferState state);

    void noRetrieve();
    bool chooseLocalFile(const QString& target);
    void offlineDecision();
    Step ftpFetch();
    Step execute(TransferClient& inet, Request request);
    void reportRunError(const TransferError& error);
    void downloadFailed(const QString& title, const QString& text, Icon icon);
    void writeFailed();
    Step closeAfterFailedUpload(QString outcomeText);
    struct SiteFile
    {
        QString local;
        QString remote;
        QString name; // "the page", "the archive page", "the RSS file", "the picture NAME"
    };
    QList<SiteFile> siteFiles() const;
    NetTask<QList<SiteFile>> pictureFiles();
    NetTask<bool> sameOnServer(QString remote, QString local);
    Step uploadAll();
    // LiveCheck.cpp: before the staged files are put in place; false when
    // the publish ended there (failed, stopped, or to be merged).
    Step liveFilesUnchanged(QList<SiteFile> staged);
    void rememberPublished(const QList<SiteFile>& placed);
    NetTask<std::optional<FileFacts>> quietFacts(QString remote);
    void rememberRetrieved(bool archive, const std::optional<FileFacts>& facts,
                           const QString& localFile);
    Step mergeServerCopy();
    Step discardStaged(QList<SiteFile> files);
    Step runUploadRequest(Request request);
    static QString placementFailureText(const QStringList& placed, const QStringList& left);
    QString ftpCommand(const char* verb, const QString& a, const QString& b) const;

    // The working file `stem` of the active section: its name, and its path
    // in the program directory.
    QString fileName(const char* stem) const
    {
        return m_ws.workFileName(QString::fromLatin1(stem));
    }
    QString filePath(const char* stem) const { return m_ws.workFile(QString::fromLatin1(stem)); }

    Workspace& m_ws;
    MainView& m_view;
    PageEditor& m_entries;
    PageEditorHooks& m_hooks;
    bool m_ftpAborted = false;
    bool m_serverErrorShown = false;   // the Error state already told the user
    bool m_downloadErrorShown = false; // a failed download has been reported
    bool m_uploading = false;
    bool m_quiet = false; // the FTP states are not shown (a quiet facts request)
    Outcome m_outcome = Outcome::None;
    int m_jobDepth = 0;
    bool m_stopped = false; // the user stopped the running job
    LiveChange m_liveChange = LiveChange::Ask;
    bool m_mergeWanted = false;
    bool m_insertAfter = false;             // the retrieval places the previewed entry
    QMap<QString, FileFacts> m_stagedFacts; // by remote path
    std::list<Step> m_jobs;                 // running, or ended and not yet freed
    // The job waiting for each client's request to end.
    std::coroutine_handle<> m_ftpWaiting, m_httpWaiting;
    std::coroutine_handle<>& waitingFor(const TransferClient& client)
    {
        return &client == &ftpClient ? m_ftpWaiting : m_httpWaiting;
    }
    std::exception_ptr m_jobError;
};
