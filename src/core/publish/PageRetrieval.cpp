// Getting the page (and the archive page) before an edit: the retrieve
// modes, the offline decision and the HTTP download.

#include "core/publish/Publisher.h"

#include "base/IniFile.h"
#include "base/MainView.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/entry/PageEditor.h"
#include "core/entry/WorkFiles.h"
#include "core/publish/LiveCheck.h"
#include "core/publish/PublishFiles.h"
#include "core/publish/PublishRecord.h"
#include "core/publish/RequestEnd.h"
#include "core/rss/RssWriter.h"
#include "net/Connectivity.h"

#include <QFileInfo>

using namespace PublishFiles;

#include <cmath>

namespace {

const QString kFileFilter =
    QStringLiteral("All Files (*.*)|*.*|HTML Files(*.html)|*.html|HTM Files (*.htm)|*.htm|"
                   "SHTML Files (*.shtml)|*.shtml");

} // namespace

void Publisher::retrievePage(bool insertAfter, std::function<void()> then)
{
    runJob(retrieval(insertAfter), std::move(then));
}

Publisher::Step Publisher::retrieval(bool insertAfter)
{
    Settings& s = m_ws.settings();
    if (s.retrieveMode() == Settings::RetrieveMode::None) {
        noRetrieve();
        co_return m_ws.run().pageRetrieved;
    }
    if (s.retrieveMode() == Settings::RetrieveMode::Ftp) {
        m_view.appendStatus(QStringLiteral("FTP Retrieve Mode Detected..."));
        if (!s.autoFtp()) {
            m_ws.prompt().message(
                QStringLiteral("You can not use FTP Retrieve Mode if you have Auto FTP "
                               "disabled in the setup menu.  Please correct this and "
                               "try again."),
                Buttons::Ok, Icon::Critical, QStringLiteral("Auto FTP not enabled"));
            m_view.setPreferencesEnabled(true);
            m_hooks.showPreferences();
            co_return false;
        }
    }
    m_insertAfter = insertAfter;
    m_view.setPublishingEnabled(false);
    if (s.website.isEmpty()) {
        m_ws.prompt().message(QStringLiteral("Config error.  Make sure you have setup the program "
                                             "correctly in the SETUP menu."));
        m_view.setPublishingEnabled(true);
        m_view.setFinishEnabled(false);
        m_hooks.showPreferences();
        co_return false;
    }
    if (s.siteHost.isEmpty() && s.website.size() > 8)
        s.siteHost = s.website.mid(7).trimmed();
    m_view.appendStatus(QStringLiteral("Attempting ") + s.siteHost);
    if (s.dialUp() && !isOnline()) {
        offlineDecision();
        co_return m_ws.run().pageRetrieved;
    }
    if (s.retrieveMode() == Settings::RetrieveMode::Ftp)
        co_return co_await ftpFetch();
    const QString page = fileName("indexbackup");
    co_return co_await downloadPage(s.website, page, false);
}

void Publisher::offlineDecision()
{
    if (!WorkFiles::exists(filePath("backup"))) {
        m_ws.prompt().message(
            QStringLiteral("Unable to use OffLine Mode.  Please connect to the internet."));
        m_view.appendStatus(QStringLiteral("Please Connect to the Net"));
        // Nothing was fetched or built: Finish waits for a Preview that works.
        m_view.setPublishingEnabled(true);
        m_view.setFinishEnabled(false);
        m_view.setBusy(false);
        return;
    }
    const Answer a = m_ws.prompt().message(
        QStringLiteral("You are not connected to the internet.  Would you like to use the version "
                       "that was last placed on the webserver successfully?"),
        Buttons::YesNo, Icon::None, QStringLiteral("Go into Offline Mode?"));
    if (a == Answer::Yes) {
        QString error;
        if (!WorkFiles::copy(filePath("backup"), filePath("indexbackup"), &error)) {
            m_ws.prompt().message(error, Buttons::Ok, Icon::Critical);
        } else {
            m_ws.run().pageRetrieved = true;
            m_view.appendStatus(QStringLiteral("Entering OffLine Mode"));
        }
    }
    m_view.setPublishingEnabled(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
}

Publisher::Step Publisher::ftpFetch()
{
    Settings& s = m_ws.settings();
    co_await runFtp(false);
    // Asked before each download: a change in between is then seen as one.
    std::optional<FileFacts> pageFacts, archiveFacts;
    if (!m_ftpAborted)
        pageFacts = co_await quietFacts(s.ftpremote);
    const QString page = fileName("indexbackup"), archive = fileName("archive");
    co_await ftpGet(s.ftpremote, page);
    if (!m_ftpAborted)
        m_view.appendStatus(QStringLiteral("Local Page Updated"));
    if (s.archiveEnabled()) {
        if (!m_ftpAborted)
            archiveFacts = co_await quietFacts(s.archiveftp);
        co_await ftpGet(s.archiveftp, archive);
    }
    if (!m_ftpAborted) {
        rememberRetrieved(false, pageFacts, fileName("indexbackup"));
        if (s.archiveEnabled())
            rememberRetrieved(true, archiveFacts, fileName("archive"));
        co_await closeAfterDownload();
        m_entries.readRetrievedPage(m_insertAfter);
        co_return true;
    }
    ftpClient.cancel();
    // A failed transfer has told the user already ("Transfer Error" and the
    // advice to switch modes); a refused request gets this ending.
    if (!m_downloadErrorShown && !m_stopped)
        m_ws.prompt().message(QStringLiteral("Error attempting to FTP download."));
    m_ws.run().pageRetrieved = false;
    m_view.setPublishingEnabled(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
    co_return false;
}

bool Publisher::chooseLocalFile(const QString& target)
{
    FileRequest request;
    request.kind = FileRequest::Open;
    request.initialDir = m_ws.dir();
    request.filter = kFileFilter;
    request.filterIndex = 2;
    request.defaultExt = QStringLiteral("html");
    const std::optional<QString> chosen = m_ws.prompt().chooseFile(request);
    if (chosen && WorkFiles::copy(*chosen, target))
        return true;
    m_ws.prompt().message(
        QStringLiteral("Since you are in No Retrieve Mode, you must select a local file"));
    return false;
}

void Publisher::noRetrieve()
{
    Settings& s = m_ws.settings();
    const QString section = s.activeSection;
    m_view.appendStatus(QStringLiteral("No-Retrieve Mode Detected..."));
    m_view.appendStatus(QStringLiteral("Looking for backup") + section + QStringLiteral(".html"));
    if (WorkFiles::exists(filePath("backup")) &&
        WorkFiles::copy(filePath("backup"), filePath("indexbackup"))) {
        m_view.appendStatus(QStringLiteral("Assuming local files are current"));
        m_ws.run().pageRetrieved = true;
        m_view.setPublishingEnabled(true);
        m_view.setFinishEnabled(false);
        m_view.setBusy(false);
        m_view.appendStatus(QStringLiteral("Using backup") + section +
                            QStringLiteral(".html as local file"));
    } else {
        m_view.appendStatus(QStringLiteral("Local Files Not Found"));
        m_ws.prompt().message(QStringLiteral(
            "Normally in no-retrieve mode pagewick assumes the last backup file is the latest "
            "local "
            "version of your web page.  However, this backup file was not found.  Next, an open "
            "file "
            "dialog box will open.  Please select the html file you wish to modify."));
        // The window asks until a file is chosen, as the mode needs one.
        while (!chooseLocalFile(filePath("indexbackup"))) {
        }
        m_view.appendStatus(QStringLiteral("Local file updated"));
        m_ws.run().pageRetrieved = true;
        m_view.setPublishingEnabled(true);
        m_view.setFinishEnabled(false);
        m_view.setBusy(false);
    }
    if (!s.archiveEnabled())
        return;
    m_view.setBusy(true);
    m_view.appendStatus(QStringLiteral("Looking for archivebackup") + section +
                        QStringLiteral(".html"));
    if (WorkFiles::exists(filePath("archivebackup")) &&
        WorkFiles::copy(filePath("archivebackup"), filePath("archive"))) {
        m_view.appendStatus(QStringLiteral("Assuming local files are current"));
        m_view.setBusy(false);
        return;
    }
    m_view.appendStatus(QStringLiteral("Local Files Not Found"));
    m_ws.prompt().message(QStringLiteral(
        "Normally in No-Retrieve Mode pagewick assumes the last archive backup file is the latest "
        "local version of your archive.  However, this backup file was not found.  Next, an open "
        "file dialog box will open.  Please select the file you wish to use as your archive "
        "file."));
    while (!chooseLocalFile(filePath("archive"))) {
    }
    m_view.appendStatus(QStringLiteral("Local file updated"));
    m_ws.run().pageRetrieved = true;
    m_view.setPublishingEnabled(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
}

int Publisher::expectedKilobytes(const QString& contentLength)
{
    const double kb = std::nearbyint(numericValue(contentLength) / 1024.0);
    return kb <= 0 ? 300 : static_cast<int>(qMin(kb, 2e9));
}

void Publisher::downloadFailed(const QString& title, const QString& text, Icon icon)
{
    if (!m_stopped) // a Stop has said so in the status box
        m_ws.prompt().message(text, Buttons::Ok, icon, title);
    httpClient.cancel();
    m_view.appendStatus(QStringLiteral("Error retrieving URL"));
    m_view.setPublishingEnabled(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
    m_view.hideProgress();
}

void Publisher::writeFailed()
{
    m_ws.prompt().message(QStringLiteral("Cannot write file to disk!"), Buttons::Ok, Icon::Critical,
                          QStringLiteral("Error Downloading File"));
    m_view.appendStatus(QStringLiteral("Error retrieving URL"));
    m_view.appendStatus(QStringLiteral("Files loaded from backup"));
    WorkFiles::copy(filePath("backup"), filePath("indexbackup"));
    if (m_ws.settings().archiveEnabled())
        WorkFiles::copy(filePath("archivebackup"), filePath("archive"));
    m_view.setPublishingEnabled(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
    m_view.hideProgress();
}

// Fetches the page (or the archive page, and then the page's markers are
// read) over HTTP.
Publisher::Step Publisher::downloadPage(QString address, QString localFile, bool isArchive)
{
    if (!isArchive) {
        if (const QString cut = cutTransferSetting(m_ws.settings(), false); !cut.isEmpty()) {
            downloadFailed(QStringLiteral("Download Error"), cut, Icon::Critical);
            co_return false;
        }
    }
    if (isArchive)
        m_ws.run().archiveRetrievalFailed = true; // until it has come whole
    httpClient.setRequestTimeout(m_ws.settings().timeoutSeconds());
    // One download never waits forever nor fills the disk: the whole of it
    // ends after ten times the time-out, and it may bring 64 MB, or four
    // times the last base copy when that is larger.
    const qint64 lastCopy = QFileInfo(m_ws.file(localFile)).size();
    httpClient.setDownloadLimits(qMax(qint64(64) * 1024 * 1024, 4 * lastCopy),
                                 10 * m_ws.settings().timeoutSeconds());
    m_view.setBusy(true);
    m_view.showProgress(0, 100, 0);
    if (m_stopped) {
        downloadFailed(QString(), QString(), Icon::None);
        co_return false;
    }
    QString refused;
    try {
        httpClient.get(address);
    } catch (const TransferError& e) {
        refused = e.description();
    }
    if (!refused.isEmpty()) {
        downloadFailed(QStringLiteral("Download Error"),
                       QStringLiteral("The address ") + address +
                           QStringLiteral(" cannot be fetched: ") + refused,
                       Icon::Critical);
        co_return false;
    }
    m_view.appendStatus(QStringLiteral("Getting:") + kCrLf + address);
    RequestEnd end{httpClient, waitingFor(httpClient)}; // named: see RequestEnd.h
    co_await end;

    const bool localFolder = address.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
    const TransferError error = httpClient.lastError();
    const QString headers = httpClient.responseHeader();
    QString status =
        httpClient.httpStatus() > 0 ? QString::number(httpClient.httpStatus()) : QString();
    if (localFolder)
        status = error.number() == 0 ? QStringLiteral("200") : QStringLiteral("404");
    if (status != QLatin1String("200")) {
        if (status == QLatin1String("401")) {
            downloadFailed(QStringLiteral("Unauthorized"),
                           QStringLiteral("401 error.  You are not authorized to get this file."),
                           Icon::Critical);
        } else if (status == QLatin1String("404")) {
            downloadFailed(QStringLiteral("File Not Found"),
                           httpClient.url() + QStringLiteral("was not found."), Icon::Critical);
        } else if (headers.isEmpty() && error.number() == TransferError::CannotConnect) {
            // No connection at all: the server was never reached.
            downloadFailed(QStringLiteral("Unable to Establish Connection"),
                           QStringLiteral("Connection cannot be established.\r\rPlease check your "
                                          "Internet connection."),
                           Icon::Exclamation);
        } else {
            // Without any answer from the server, say what went wrong instead
            // of showing an empty response.
            const qsizetype cr = headers.indexOf(QLatin1Char('\r'));
            const QString response = headers.isEmpty() ? error.description()
                                     : cr < 0          ? headers
                                                       : headers.left(cr + 1);
            downloadFailed(
                QStringLiteral("Download Error"),
                QStringLiteral("The server returned the following unexpected response:\r\r") +
                    response,
                Icon::Critical);
        }
        co_return false;
    }
    // A 200 whose body did not arrive whole (the connection dropped, or less
    // than Content-Length came) must never become the base copy.
    if (error.number() != 0) {
        downloadFailed(QStringLiteral("Download Error"),
                       QStringLiteral("The download of ") + address +
                           QStringLiteral(" was interrupted: ") + error.description() +
                           QStringLiteral("\r\rYour local files were not changed."),
                       Icon::Critical);
        co_return false;
    }

    if (httpClient.responseCode() == 0) {
        const QByteArray body = httpClient.readAll();
        if (!WorkFiles::write(m_ws.file(localFile), body)) {
            writeFailed();
            co_return false;
        }
        // What the server had, its time not told by HTTP.
        LiveCheck::rememberBytes(m_ws.settings(), isArchive, body);
    }
    m_view.appendStatus(localFile + QStringLiteral(" updated via HTTP"));
    m_view.setBusy(false);
    if (isArchive) {
        m_ws.run().archiveRetrievalFailed = false;
        co_return true;
    }
    if (m_ws.settings().archiveEnabled()) {
        const QString archive = fileName("archive");
        co_await downloadPage(m_ws.settings().archiveurl, archive, true);
    }
    // The page's markers are read once, after the archive has come too.
    httpClient.cancel();
    m_entries.readRetrievedPage(m_insertAfter);
    co_return m_ws.run().pageRetrieved;
}
