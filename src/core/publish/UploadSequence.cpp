// The FTP connection of a publish or an FTP retrieval: log-in, the upload
// sequence of page, archive page and RSS file, downloads, closing, and the
// state reports of the transfer client.

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
#include "net/TransferClient.h"

#include <QFileInfo>

using namespace PublishFiles;

void Publisher::advanceProgress()
{
    const int v = m_view.progressValue();
    if (v < 100)
        m_view.showProgress(1, 100, v + 1);
}

QString Publisher::ftpCommand(const char* verb, const QString& a, const QString& b) const
{
    return QString::fromLatin1(verb) + QLatin1Char(' ') + quoteCommandPath(a) + QLatin1Char(' ') +
           quoteCommandPath(b);
}

void Publisher::reportRunError(const TransferError& e)
{
    if (m_stopped) // said in the status box
        return;
    // A server error reply has been shown by the state handler already.
    if (e.number() == TransferError::RequestFailed && m_serverErrorShown)
        return;
    m_ws.prompt().message(QString::number(e.number()) + QLatin1Char(' ') + e.description(),
                          Buttons::Ok, Icon::None, QStringLiteral("Transfer Error"));
}

// Logs in for a publish (`uploading`: and publishes) or for an FTP
// retrieval; false when the log-in failed or was stopped.
Publisher::Step Publisher::runFtp(bool uploading)
{
    Settings& s = m_ws.settings();
    m_view.showProgress(1, 100, 1);
    m_ftpAborted = false;
    m_serverErrorShown = false;
    m_downloadErrorShown = false;
    m_uploading = uploading;
    if (const QString cut = cutTransferSetting(s, true); !cut.isEmpty()) {
        m_ws.prompt().message(cut, Buttons::Ok, Icon::Critical);
        m_ftpAborted = true;
        m_downloadErrorShown = true;
        m_view.setPublishingEnabled(true);
        m_view.setFinishEnabled(false);
        m_view.hideProgress();
        if (m_uploading) {
            // Nothing was sent: the edited page can be published once the
            // setting is mended.
            m_view.setFinishEnabled(true);
            m_outcome = Outcome::Stopped;
        }
        co_return false;
    }
    advanceProgress();
    m_view.showProgress(1, 100, 2);
    m_view.appendStatus(QStringLiteral("Starting FTP connection."));
    ftpClient.setUrl(s.ftpsite);
    ftpClient.setUserName(s.username);
    ftpClient.setPassword(s.password);
    ftpClient.setRequestTimeout(s.timeoutSeconds());
    advanceProgress();

    // Log in now, so a server that cannot be reached is reported before any
    // file is touched.
    TransferError error;
    try {
        const Request logIn = [this] { ftpClient.logIn(); };
        if (m_stopped)
            error = TransferError(TransferError::Cancelled, QStringLiteral("Stopped."));
        else if (!co_await execute(ftpClient, logIn))
            error = ftpClient.lastError();
    } catch (const TransferError& e) {
        error = e;
    }
    if (error.number() != 0) {
        ftpClient.cancel();
        m_ftpAborted = true;
        switch (error.number()) {
        case TransferError::CannotConnect:
            m_ws.prompt().message(
                QStringLiteral("Pagewick was unable to connect to the FTP site.  Please "
                               "check your configuration and try again."));
            break;
        case TransferError::Cancelled:
            break;
        case TransferError::RequestFailed:
        // A refused host key or certificate is the server's fault, not ours:
        // the description says what happened and what to do.
        case TransferError::SecureConnectionFailed:
            reportRunError(error);
            break;
        case TransferError::TimedOut:
        case TransferError::ConnectionLost:
            m_view.appendStatus(error.description());
            // While publishing the user gets the same box as for any other
            // failed transfer.
            if (m_uploading)
                reportRunError(error);
            break;
        default:
            m_ws.prompt().message(
                QString::number(error.number()) + QLatin1Char(' ') + error.description() +
                QStringLiteral("\r\n\r\nThis error was not expected.  Please report it to "
                               "the Pagewick developers at ") +
                makerSite() + QStringLiteral("/pagewick/"));
            break;
        }
    }
    if (m_ftpAborted) {
        m_view.setPublishingEnabled(true);
        m_view.hideProgress();
        if (m_uploading) {
            reportFtpError();
            m_outcome = Outcome::Failed;
        }
        co_return false;
    }
    advanceProgress();
    if (m_uploading)
        co_await uploadAll();
    co_return true;
}

// The files of a publish, in the order they go up.
QList<Publisher::SiteFile> Publisher::siteFiles() const
{
    const Settings& s = m_ws.settings();
    QList<SiteFile> files{{fileName("webbie"), s.ftpremote, QStringLiteral("the page")}};
    // An archive page that could not be retrieved is left as it is on the
    // server: the local copy may be older than the live one.
    if (s.archiveEnabled() && !m_ws.run().archiveRetrievalFailed)
        files.append({fileName("archivewebbie"), s.archiveftp, QStringLiteral("the archive page")});
    if (s.rssEnabled())
        files.append({m_ws.workFileName(QStringLiteral("backend"), QStringLiteral(".rss")),
                      backendRemotePath(s.ftpremote), QStringLiteral("the RSS file")});
    for (const FeedFile& feed : feedFiles(s))
        files.append({feed.local, feed.remote, feed.name});
    return files;
}

// The publish is one unit: every file goes up under its temporary name and
// is size-checked first; only when all are complete are they put in place,
// the pictures first, then the archive page, then the page, then the RSS file and the feeds, so
// that an entry cut from the page is always on one of the two live pages. The entry is recorded as
// published only after the last one is in place.
Publisher::Step Publisher::uploadAll()
{
    // The entry's pictures go first, in the same unit (PictureUploads.cpp).
    const QList<SiteFile> pictures = co_await pictureFiles();
    const QList<SiteFile> files = pictures + siteFiles();
    QList<SiteFile> staged;
    for (const SiteFile& file : files) {
        if (!staged.isEmpty())
            m_view.showProgress(1, 100, 1);
        if (!co_await ftpStage(file.local, file.remote))
            break;
        staged.append(file);
    }
    if (m_ftpAborted) {
        co_await discardStaged(staged);
        const QString failed =
            QStringLiteral("The entry was not published; your page on the server was not "
                           "changed by the failed transfer.  Press Resend to try again.");
        co_await closeAfterFailedUpload(failed);
        co_return false;
    }
    if (!co_await liveFilesUnchanged(staged))
        co_return false; // ended there: see LiveCheck.cpp

    QList<SiteFile> order = pictures;
    for (const QString& name :
         QStringList{QStringLiteral("the archive page"), QStringLiteral("the page"),
                     QStringLiteral("the RSS file")} +
             feedFileNames()) {
        for (const SiteFile& file : files) {
            if (file.name == name)
                order.append(file);
        }
    }
    QStringList placed;
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (!co_await ftpPlace(order[i].remote)) {
            const QList<SiteFile> unplaced = order.mid(i);
            co_await discardStaged(unplaced);
            QStringList left;
            for (qsizetype j = i; j < order.size(); ++j)
                left << order[j].name;
            const QString failed = placementFailureText(placed, left);
            co_await closeAfterFailedUpload(failed);
            co_return false;
        }
        placed << order[i].name;
        rememberPublished({order[i]});
        if (order[i].name == QLatin1String("the RSS file"))
            m_view.appendStatus(QStringLiteral("Backend Placement Complete"));
    }

    Settings& s = m_ws.settings();
    PublishRecord::recordPublished(s, m_ws.run());
    m_view.setPublishingEnabled(true);
    WorkFiles::copy(filePath("webbie"), filePath("indexbackup"));
    if (s.archiveEnabled() && !m_ws.run().archiveRetrievalFailed) {
        WorkFiles::copy(filePath("archivewebbie"), filePath("archivebackup"));
        WorkFiles::copy(filePath("archivewebbie"), filePath("archive"));
    }
    m_outcome = Outcome::Published;
    co_await endUpload();
    co_return true;
}

QString Publisher::placementFailureText(const QStringList& placed, const QStringList& left)
{
    auto list = [](const QStringList& names) {
        if (names.size() < 2)
            return names.join(QString());
        return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") +
               names.last();
    };
    if (placed.isEmpty()) {
        return QStringLiteral("The entry was not published; your page on the server was not "
                              "changed by the failed transfer.  Press Resend to try again.");
    }
    const QString isOrAre = placed.size() == 1 ? QStringLiteral(" is") : QStringLiteral(" are");
    const QString leftIsOrAre = left.size() == 1 ? QStringLiteral(" is") : QStringLiteral(" are");
    QString text = QStringLiteral("The entry was not completely published: on the server ") +
                   list(placed) + isOrAre + QStringLiteral(" new, ") + list(left) + leftIsOrAre +
                   QStringLiteral(" still the old ") +
                   (left.size() == 1 ? QStringLiteral("one") : QStringLiteral("ones")) +
                   QStringLiteral(".  Press Resend to try again.");
    return text;
}

Publisher::Step Publisher::discardStaged(QList<SiteFile> files)
{
    for (const SiteFile& file : files) {
        try {
            if (ftpClient.isBusy())
                break;
            const Request discard = [this, file] { ftpClient.discard(file.remote); };
            co_await execute(ftpClient, discard);
        } catch (const TransferError&) {
        }
    }
    co_return true;
}

QString Publisher::backendRemotePath(const QString& ftpremote)
{
    const qsizetype slash = ftpremote.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral("backend.rss")
                     : ftpremote.left(slash) + QStringLiteral("/backend.rss");
}

// Logs out (a request still running is stopped first) and drops the
// connection, whatever the server answers.
Publisher::Step Publisher::closeConnection()
{
    m_view.appendStatus(QStringLiteral("Closing connection..."));
    try {
        if (ftpClient.isBusy())
            ftpClient.cancel();
        const Request close = [this] { ftpClient.close(); };
        co_await execute(ftpClient, close);
    } catch (const TransferError&) {
    }
    ftpClient.cancel();
    m_view.appendStatus(QStringLiteral("Disconnected"));
    co_return true;
}

Publisher::Step Publisher::closeAfterFailedUpload(QString outcomeText)
{
    co_await closeConnection();
    m_view.setPublishingEnabled(true);
    m_view.hideProgress();
    reportFtpError();
    m_view.appendStatus(outcomeText);
    m_outcome = Outcome::Failed;
    co_return true;
}

// Sends `local` to the temporary name beside `remote` and checks its size.
Publisher::Step Publisher::ftpStage(QString local, QString remote)
{
    if (m_stopped)
        m_ftpAborted = true; // stopped between two requests
    if (m_ftpAborted)
        co_return false;
    m_view.appendStatus(ftpCommand("PUT", local, remote));
    advanceProgress();
    const Request stage = [this, local, remote] { ftpClient.stage(local, remote); };
    const bool staged = co_await runUploadRequest(stage);
    if (!staged)
        co_return false;
    advanceProgress();
    co_return true;
}

// Puts the staged copy of `remote` in its place.
Publisher::Step Publisher::ftpPlace(QString remote)
{
    if (m_stopped)
        m_ftpAborted = true; // stopped between two requests
    if (m_ftpAborted)
        co_return false;
    const Request place = [this, remote] { ftpClient.place(remote); };
    if (!co_await runUploadRequest(place))
        co_return false;
    if (!ftpClient.lastNotice().isEmpty())
        m_view.appendStatus(ftpClient.lastNotice());
    m_view.appendStatus(QStringLiteral("Upload to ") + remote + QStringLiteral(" complete."));
    advanceProgress();
    co_return true;
}

Publisher::Step Publisher::runUploadRequest(Request request)
{
    TransferError error;
    try {
        if (!co_await execute(ftpClient, request))
            error = ftpClient.lastError();
    } catch (const TransferError& e) {
        error = e;
    }
    if (error.number() != 0) {
        reportRunError(error);
        if (error.number() == TransferError::TimedOut || error.number() == TransferError::isBusy)
            ftpClient.cancel();
        m_ftpAborted = true;
        co_return false;
    }
    co_return !m_ftpAborted;
}

Publisher::Step Publisher::ftpGet(QString remote, QString local)
{
    if (m_stopped)
        m_ftpAborted = true; // stopped between two requests
    if (m_ftpAborted)
        co_return false;
    // The control writes the download next to the local file and replaces it
    // only when the whole file has come, so the old copy stays until then.
    advanceProgress();
    TransferError error;
    bool refused = false;
    try {
        ftpClient.download(remote, local);
    } catch (const TransferError& e) {
        refused = true;
        error = e;
    }
    m_view.appendStatus(ftpCommand("GET", remote, local));
    if (!refused) {
        RequestEnd end{ftpClient, waitingFor(ftpClient)}; // named: see RequestEnd.h
        co_await end;
        error = ftpClient.lastError();
    }
    if (error.number() == 0 && !m_ftpAborted) {
        advanceProgress();
        advanceProgress();
        co_return true;
    }
    m_ftpAborted = true;
    if (error.number() == 0)
        co_return false;
    m_view.setFinishEnabled(false);
    m_view.setPreferencesEnabled(true);
    if (m_ws.settings().lastUploadFailed()) {
        m_view.setResendVisible(true);
        m_view.setResendEnabled(true);
    }
    if (error.number() == TransferError::RequestFailed && m_serverErrorShown) {
        // The server's answer has been shown; the retrieval ends with "Error
        // attempting to FTP download." -- one message each.
        advanceProgress();
        co_return false;
    }
    reportRunError(error);
    m_downloadErrorShown = true;
    if (!m_stopped)
        m_ws.prompt().message(
            QStringLiteral("An error has occur while trying to download the html files off "
                           "your server.  If this continues, you may wish to switch to a "
                           "different retrieve mode."));
    advanceProgress();
    if (error.number() == TransferError::TimedOut || error.number() == TransferError::isBusy)
        ftpClient.cancel();
    co_return false;
}

Publisher::Step Publisher::endUpload()
{
    m_view.appendStatus(QStringLiteral("Closing connection..."));
    m_view.showProgress(1, 100, 95);
    try {
        const Request close = [this] { ftpClient.close(); };
        co_await execute(ftpClient, close);
    } catch (const TransferError&) {
    }
    m_view.appendStatus(QStringLiteral("Disconnected"));
    advanceProgress();
    m_view.showProgress(1, 100, 100);
    m_ws.prompt().openDocument(m_ws.settings().website);
    m_view.setPublishingEnabled(true);
    co_return true;
}

Publisher::Step Publisher::closeAfterDownload()
{
    co_await closeConnection();
    advanceProgress();
    m_view.showProgress(1, 100, 100);
    m_view.hideProgress();
    co_return true;
}

void Publisher::reportFtpError()
{
    Settings& s = m_ws.settings();
    m_view.setFinishEnabled(false);
    m_view.setPreferencesEnabled(true);
    m_view.setResendVisible(true);
    m_view.setResendEnabled(true);
    PublishRecord::recordFailed(s);
    advanceProgress();
}

void Publisher::onFtpStateChanged(TransferState state)
{
    if (m_quiet)
        return;
    switch (state) {
    case TransferState::ResolvingHost:
    case TransferState::HostResolved:
    case TransferState::Connecting:
    case TransferState::Connected:
    case TransferState::Disconnecting:
    case TransferState::Disconnected:
        m_view.appendStatus(transferStateText(state));
        advanceProgress();
        break;
    case TransferState::SendingRequest:
    case TransferState::RequestSent:
    case TransferState::ReceivingResponse:
        advanceProgress();
        break;
    case TransferState::ResponseReceived:
    case TransferState::ResponseCompleted:
        advanceProgress();
        if (ftpClient.responseCode() != 0)
            m_view.appendStatus(QString::number(ftpClient.responseCode()) + QStringLiteral(": ") +
                                ftpClient.responseText());
        advanceProgress();
        break;
    case TransferState::Error: {
        advanceProgress();
        const int code = ftpClient.responseCode();
        // Code 0: no server reply (cannot connect, time-out, lost line); the
        // caller reports those by number.
        if (TransferError::isServerReply(code)) {
            m_ws.prompt().message(QStringLiteral("Error Code ") + QString::number(code) + kCrLf +
                                      ftpClient.responseText(),
                                  Buttons::Ok, Icon::None,
                                  QStringLiteral("Error Response Received"));
            m_serverErrorShown = true;
        }
        m_ftpAborted = true;
        break;
    }
    default:
        m_view.appendStatus(QStringLiteral("Unknown State Received"));
        break;
    }
}
