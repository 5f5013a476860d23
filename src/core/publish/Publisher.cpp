#include "core/publish/Publisher.h"

#include "base/IniFile.h"
#include "base/MainView.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/entry/PageEditor.h"
#include "core/entry/WorkFiles.h"
#include "core/rss/RssWriter.h"
#include "net/Connectivity.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString fileName(const char* stem)
{
    return workFileName(QString::fromLatin1(stem));
}

QString filePath(const char* stem)
{
    return workFile(QString::fromLatin1(stem));
}

// A path handed to the transfer control: quoted when it holds a blank, so
// names with blanks reach the server whole.
QString arg(const QString& path)
{
    return path.contains(QLatin1Char(' ')) ? QLatin1Char('"') + path + QLatin1Char('"') : path;
}

const QString kFileFilter =
    QStringLiteral("All Files (*.*)|*.*|HTML Files(*.html)|*.html|HTM Files (*.htm)|*.htm|"
                   "SHTML Files (*.shtml)|*.shtml");

} // namespace

Publisher::Publisher(MainView& view, PageEditor& entries, PageEditorHooks& hooks, QObject* parent)
    : QObject(parent), m_view(view), m_entries(entries), m_hooks(hooks)
{
    connect(&ftpClient, &TransferClient::stateChanged, this, &Publisher::onFtpStateChanged);
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

// ---- retrieval -------------------------------------------------------------

void Publisher::retrievePage(bool insertAfter)
{
    Settings& s = settings();
    if (s.retrieveMode() == Settings::RetrieveMode::None) {
        noRetrieve();
        return;
    }
    if (s.retrieveMode() == Settings::RetrieveMode::Ftp) {
        m_view.appendStatus(QStringLiteral("FTP Retrieve Mode Detected..."));
        if (!s.autoFtp()) {
            prompt().message(QStringLiteral("You can not use FTP Retrieve Mode if you have Auto FTP "
                                            "disabled in the setup menu.  Please correct this and "
                                            "try again."),
                             Buttons::Ok, Icon::Critical, QStringLiteral("Auto FTP not enabled"));
            m_view.setPreferencesEnabled(true);
            m_hooks.showPreferences();
            return;
        }
    }
    s.insertAfterRetrieval = insertAfter;
    m_view.setPublishingEnabled(false);
    if (s.website.isEmpty()) {
        prompt().message(QStringLiteral("Config error.  Make sure you have setup the program "
                                        "correctly in the SETUP menu."));
        m_view.setPublishingEnabled(true);
        m_view.setFinishEnabled(false);
        m_hooks.showPreferences();
        return;
    }
    if (s.siteHost.isEmpty() && s.website.size() > 8)
        s.siteHost = s.website.mid(7).trimmed();
    m_view.appendStatus(QStringLiteral("Attempting ") + s.siteHost);
    if (s.dialUp() && !isOnline()) {
        offlineDecision();
        return;
    }
    if (s.retrieveMode() == Settings::RetrieveMode::Ftp)
        ftpFetch();
    else
        downloadPage(s.website, fileName("indexbackup"), false);
}

void Publisher::offlineDecision()
{
    if (!WorkFiles::exists(filePath("backup"))) {
        prompt().message(QStringLiteral("Unable to use OffLine Mode.  Please connect to the internet."));
        m_view.appendStatus(QStringLiteral("Please Connect to the Net"));
        m_view.setPublishingEnabled(true);
        m_view.setBusy(false);
        return;
    }
    const Answer a = prompt().message(
        QStringLiteral("You are not connected to the internet.  Would you like to use the version "
                       "that was last placed on the webserver successfully?"),
        Buttons::YesNo, Icon::None, QStringLiteral("Go into Offline Mode?"));
    if (a == Answer::Yes) {
        QString error;
        if (!WorkFiles::copy(filePath("backup"), filePath("indexbackup"), &error)) {
            prompt().message(error, Buttons::Ok, Icon::Critical);
        } else {
            settings().pageRetrieved = true;
            m_view.appendStatus(QStringLiteral("Entering OffLine Mode"));
        }
    }
    m_view.setPublishingEnabled(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
}

void Publisher::ftpFetch()
{
    Settings& s = settings();
    runFtp(QStringLiteral("down"));
    ftpGet(s.ftpremote, fileName("indexbackup"));
    if (!m_ftpAborted)
        m_view.appendStatus(QStringLiteral("Local Page Updated"));
    if (settings().archiveEnabled())
        ftpGet(s.archiveftp, fileName("archive"));
    if (!m_ftpAborted) {
        closeAfterDownload();
        m_entries.readRetrievedPage();
        return;
    }
    ftpClient.cancel();
    prompt().message(QStringLiteral("Error attempting to FTP download."));
    s.pageRetrieved = false;
    m_view.setPublishingEnabled(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
}

bool Publisher::chooseLocalFile(const QString& target)
{
    FileRequest request;
    request.kind = FileRequest::Open;
    request.initialDir = programDir();
    request.filter = kFileFilter;
    request.filterIndex = 2;
    request.defaultExt = QStringLiteral("html");
    const std::optional<QString> chosen = prompt().chooseFile(request);
    if (chosen && WorkFiles::copy(*chosen, target))
        return true;
    prompt().message(QStringLiteral("Since you are in No Retrieve Mode, you must select a local file"));
    return false;
}

void Publisher::noRetrieve()
{
    Settings& s = settings();
    const QString section = s.activeSection;
    m_view.appendStatus(QStringLiteral("No-Retrieve Mode Detected..."));
    m_view.appendStatus(QStringLiteral("Looking for backup") + section + QStringLiteral(".html"));
    if (WorkFiles::exists(filePath("backup")) &&
        WorkFiles::copy(filePath("backup"), filePath("indexbackup"))) {
        m_view.appendStatus(QStringLiteral("Assuming local files are current"));
        s.pageRetrieved = true;
        m_view.setPublishingEnabled(true);
        m_view.setFinishEnabled(false);
        m_view.setBusy(false);
        m_view.appendStatus(QStringLiteral("Using backup") + section + QStringLiteral(".html as local file"));
    } else {
        m_view.appendStatus(QStringLiteral("Local Files Not Found"));
        prompt().message(QStringLiteral(
            "Normally in no-retrieve mode pagewick assumes the last backup file is the latest local "
            "version of your web page.  However, this backup file was not found.  Next, an open file "
            "dialog box will open.  Please select the html file you wish to modify."));
        // The window asks until a file is chosen, as the mode needs one.
        while (!chooseLocalFile(filePath("indexbackup"))) {
        }
        m_view.appendStatus(QStringLiteral("Local file updated"));
        s.pageRetrieved = true;
        m_view.setPublishingEnabled(true);
        m_view.setFinishEnabled(false);
        m_view.setBusy(false);
    }
    if (!settings().archiveEnabled())
        return;
    m_view.setBusy(true);
    m_view.appendStatus(QStringLiteral("Looking for archivebackup") + section + QStringLiteral(".html"));
    if (WorkFiles::exists(filePath("archivebackup")) &&
        WorkFiles::copy(filePath("archivebackup"), filePath("archive"))) {
        m_view.appendStatus(QStringLiteral("Assuming local files are current"));
        m_view.setBusy(false);
        return;
    }
    m_view.appendStatus(QStringLiteral("Local Files Not Found"));
    prompt().message(QStringLiteral(
        "Normally in No-Retrieve Mode pagewick assumes the last archive backup file is the latest "
        "local version of your archive.  However, this backup file was not found.  Next, an open "
        "file dialog box will open.  Please select the file you wish to use as your archive file."));
    while (!chooseLocalFile(filePath("archive"))) {
    }
    m_view.appendStatus(QStringLiteral("Local file updated"));
    s.pageRetrieved = true;
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
    prompt().message(text, Buttons::Ok, icon, title);
    httpClient.cancel();
    m_view.appendStatus(QStringLiteral("Error retrieving URL"));
    m_view.setPublishingEnabled(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
    m_view.hideProgress();
}

void Publisher::writeFailed()
{
    prompt().message(QStringLiteral("Cannot write file to disk!"), Buttons::Ok, Icon::Critical,
                     QStringLiteral("Error Downloading File"));
    m_view.appendStatus(QStringLiteral("Error retrieving URL"));
    m_view.appendStatus(QStringLiteral("Files loaded from backup"));
    WorkFiles::copy(filePath("backup"), filePath("indexbackup"));
    if (settings().archiveEnabled())
        WorkFiles::copy(filePath("archivebackup"), filePath("archive"));
    m_view.setPublishingEnabled(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
    m_view.hideProgress();
}

void Publisher::downloadPage(const QString& address, const QString& localFile, bool isArchive)
{
    httpClient.setRequestTimeout(settings().timeoutSeconds());
    m_view.setBusy(true);
    m_view.showProgress(0, 100, 0);
    try {
        httpClient.execute(address, QStringLiteral("GET"));
    } catch (const TransferError& e) {
        downloadFailed(QStringLiteral("Download Error"),
                       QStringLiteral("The address ") + address +
                           QStringLiteral(" cannot be fetched: ") + e.description(),
                       Icon::Critical);
        return;
    }
    m_view.appendStatus(QStringLiteral("Getting:") + kCrLf + address);
    waitFor(httpClient);

    const bool localFolder = address.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
    const TransferError error = httpClient.lastError();
    const QString headers = httpClient.responseHeader();
    QString status = headers.mid(9, 3);
    if (localFolder)
        status = error.number() == 0 ? QStringLiteral("200") : QStringLiteral("404");
    if (status != QLatin1String("200")) {
        if (status == QLatin1String("401")) {
            downloadFailed(QStringLiteral("Unauthorized"),
                           QStringLiteral("401 error.  You are not authorized to get this file."),
                           Icon::Critical);
        } else if (status == QLatin1String("404")) {
            downloadFailed(QStringLiteral("File Not Found"), httpClient.url() + QStringLiteral("was not found."),
                           Icon::Critical);
        } else if (status == kCrLf || (headers.isEmpty() &&
                                        error.number() == TransferError::CannotConnect)) {
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
                                     : cr < 0           ? headers
                                                        : headers.left(cr + 1);
            downloadFailed(QStringLiteral("Download Error"),
                           QStringLiteral("The server returned the following unexpected response:\r\r") +
                               response,
                           Icon::Critical);
        }
        return;
    }
    // A 200 whose body did not arrive whole (the connection dropped, or less
    // than Content-Length came) must never become the base copy.
    if (error.number() != 0) {
        downloadFailed(QStringLiteral("Download Error"),
                       QStringLiteral("The download of ") + address +
                           QStringLiteral(" was interrupted: ") + error.description() +
                           QStringLiteral("\r\rYour local files were not changed."),
                       Icon::Critical);
        return;
    }

    QCoreApplication::processEvents();
    const int expected = expectedKilobytes(httpClient.responseHeader(QStringLiteral("Content-Length")));
    m_view.showProgress(0, expected, 0);
    QCoreApplication::processEvents();

    if (httpClient.responseCode() == 0) {
        QByteArray body;
        int count = 0;
        for (QByteArray chunk = httpClient.readChunk(1024, 1); !chunk.isEmpty();
             chunk = httpClient.readChunk(1024, 1)) {
            body += chunk;
            ++count;
            if (count < expected)
                m_view.showProgress(0, expected, count);
        }
        if (!WorkFiles::write(programFile(localFile), body)) {
            writeFailed();
            return;
        }
    }
    m_view.appendStatus(localFile + QStringLiteral(" updated via HTTP"));
    m_view.setBusy(false);
    if (isArchive)
        return;
    if (settings().archiveEnabled())
        downloadPage(settings().archiveurl, fileName("archive"), true);
    // The page's markers are read once, after the archive has come too.
    httpClient.cancel();
    m_entries.readRetrievedPage();
}

// ---- FTP -------------------------------------------------------------------

void Publisher::advanceProgress()
{
    const int v = m_view.progressValue();
    if (v < 100)
        m_view.showProgress(1, 100, v + 1);
}

QString Publisher::ftpCommand(const char* verb, const QString& a, const QString& b) const
{
    return QString::fromLatin1(verb) + QLatin1Char(' ') + arg(a) + QLatin1Char(' ') + arg(b);
}

void Publisher::reportRunError(const TransferError& e)
{
    // A server error reply has been shown by the state handler already.
    if (e.number() == TransferError::RequestFailed && m_serverErrorShown)
        return;
    prompt().message(QString::number(e.number()) + QLatin1Char(' ') + e.description(), Buttons::Ok,
                     Icon::None, QStringLiteral("Transfer Error"));
}

void Publisher::runFtp(const QString& mode)
{
    Settings& s = settings();
    m_view.showProgress(1, 100, 1);
    m_ftpAborted = false;
    m_serverErrorShown = false;
    m_uploading = mode != QLatin1String("down");
    advanceProgress();
    m_view.showProgress(1, 100, 2);
    m_view.appendStatus(QStringLiteral("Starting FTP connection."));
    ftpClient.setUrl(s.ftpsite);
    ftpClient.setUserName(s.username);
    ftpClient.setPassword(s.password);
    ftpClient.setRequestTimeout(settings().timeoutSeconds());
    advanceProgress();

    // Log in now, so a server that cannot be reached is reported before any
    // file is touched.
    TransferError error;
    try {
        m_command.clear();
        if (!execute(ftpClient, QString()))
            error = ftpClient.lastError();
    } catch (const TransferError& e) {
        error = e;
    }
    if (error.number() != 0) {
        ftpClient.cancel();
        m_ftpAborted = true;
        switch (error.number()) {
        case TransferError::CannotConnect:
            prompt().message(QStringLiteral("Pagewick was unable to connect to the FTP site.  Please "
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
            break;
        default:
            prompt().message(QString::number(error.number()) + QLatin1Char(' ') + error.description() +
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
        return;
    }
    advanceProgress();
    if (!m_uploading)
        return;

    ftpPut(fileName("webbie"), s.ftpremote);
    if (settings().archiveEnabled()) {
        m_view.showProgress(1, 100, 1);
        ftpPut(fileName("archivewebbie"), s.archiveftp);
    }
    if (s.rssEnabled()) {
        m_view.showProgress(1, 100, 1);
        ftpPut(workFileName(QStringLiteral("backend"), QStringLiteral(".rss")),
               backendRemotePath(s.ftpremote));
        if (!m_ftpAborted)
            m_view.appendStatus(QStringLiteral("Backend Placement Complete"));
    }
    if (m_ftpAborted) {
        closeAfterFailedUpload();
        return;
    }
    writeSetting(s.activeSection, QStringLiteral("Fail"), QStringLiteral("False"), s.settingsPath);
    s.Fail = QStringLiteral("False");
    // A resend after a restart has no entry date of its own: the stored one
    // stays.
    if (!s.entryDate.isEmpty()) {
        writeSetting(s.activeSection, QStringLiteral("Date"), s.entryDate, s.settingsPath);
        writeSetting(s.activeSection, QStringLiteral("Time"), s.entryTime, s.settingsPath);
        s.Date = s.entryDate;
        s.Time = s.entryTime;
    }
    m_view.setPublishingEnabled(true);
    WorkFiles::copy(filePath("webbie"), filePath("indexbackup"));
    if (settings().archiveEnabled()) {
        WorkFiles::copy(filePath("archivewebbie"), filePath("archivebackup"));
        WorkFiles::copy(filePath("archivewebbie"), filePath("archive"));
    }
    m_outcome = Outcome::Published;
    endUpload();
}

QString Publisher::backendRemotePath(const QString& ftpremote)
{
    const qsizetype slash = ftpremote.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral("backend.rss") : ftpremote.left(slash) + QStringLiteral("/backend.rss");
}

void Publisher::closeAfterFailedUpload()
{
    m_view.appendStatus(QStringLiteral("Closing connection..."));
    try {
        if (ftpClient.isBusy())
            ftpClient.cancel();
        execute(ftpClient, QStringLiteral("CLOSE"));
    } catch (const TransferError&) {
    }
    ftpClient.cancel();
    m_view.appendStatus(QStringLiteral("Disconnected"));
    m_view.setPublishingEnabled(true);
    m_view.hideProgress();
    reportFtpError();
    m_view.appendStatus(QStringLiteral("The entry was not published; your page on the server was not "
                                     "changed by the failed transfer.  Press Resend to try again."));
    m_outcome = Outcome::Failed;
}

void Publisher::ftpPut(const QString& local, const QString& remote)
{
    if (m_ftpAborted)
        return;
    m_command = ftpCommand("PUT", local, remote);
    m_view.appendStatus(m_command);
    advanceProgress();
    TransferError error;
    try {
        if (!execute(ftpClient, m_command))
            error = ftpClient.lastError();
    } catch (const TransferError& e) {
        error = e;
    }
    if (error.number() != 0) {
        reportRunError(error);
        if (error.number() == TransferError::TimedOut || error.number() == TransferError::isBusy)
            ftpClient.cancel();
        m_ftpAborted = true;
        return;
    }
    if (m_ftpAborted)
        return;
    advanceProgress();
    if (!ftpClient.lastNotice().isEmpty())
        m_view.appendStatus(ftpClient.lastNotice());
    m_view.appendStatus(QStringLiteral("Upload to ") + remote + QStringLiteral(" complete."));
    advanceProgress();
}

void Publisher::ftpGet(const QString& remote, const QString& local)
{
    if (m_ftpAborted)
        return;
    // The control writes the download next to the local file and replaces it
    // only when the whole file has come, so the old copy stays until then.
    m_command = ftpCommand("GET", remote, local);
    advanceProgress();
    TransferError error;
    try {
        ftpClient.execute(QString(), m_command);
        m_view.appendStatus(m_command);
        waitFor(ftpClient);
        error = ftpClient.lastError();
    } catch (const TransferError& e) {
        m_view.appendStatus(m_command);
        error = e;
    }
    if (error.number() == 0 && !m_ftpAborted) {
        advanceProgress();
        advanceProgress();
        return;
    }
    m_ftpAborted = true;
    if (error.number() == 0)
        return;
    reportRunError(error);
    m_view.setFinishEnabled(false);
    m_view.setPreferencesEnabled(true);
    // Resend is offered only when a failed upload is waiting for it; after a
    // failed download it would publish a page that was never previewed.
    if (settings().lastUploadFailed()) {
        m_view.setResendVisible(true);
        m_view.setResendEnabled(true);
    }
    prompt().message(QStringLiteral("An error has occur while trying to download the html files off "
                                    "your server.  If this continues, you may wish to switch to a "
                                    "different retrieve mode."));
    advanceProgress();
    if (error.number() == TransferError::TimedOut || error.number() == TransferError::isBusy)
        ftpClient.cancel();
}

void Publisher::endUpload()
{
    m_view.appendStatus(QStringLiteral("Closing connection..."));
    m_view.showProgress(1, 100, 95);
    try {
        execute(ftpClient, QStringLiteral("CLOSE"));
    } catch (const TransferError&) {
    }
    m_view.appendStatus(QStringLiteral("Disconnected"));
    advanceProgress();
    m_view.showProgress(1, 100, 100);
    prompt().openDocument(settings().website);
    m_view.setPublishingEnabled(true);
}

void Publisher::closeAfterDownload()
{
    m_view.appendStatus(QStringLiteral("Closing connection..."));
    try {
        execute(ftpClient, QStringLiteral("CLOSE"));
    } catch (const TransferError&) {
    }
    ftpClient.cancel();
    m_view.appendStatus(QStringLiteral("Disconnected"));
    advanceProgress();
    m_view.showProgress(1, 100, 100);
    m_view.hideProgress();
}

void Publisher::reportFtpError()
{
    Settings& s = settings();
    m_view.setFinishEnabled(false);
    m_view.setPreferencesEnabled(true);
    m_view.setResendVisible(true);
    m_view.setResendEnabled(true);
    writeSetting(s.activeSection, QStringLiteral("Fail"), QStringLiteral("True"), s.settingsPath);
    s.Fail = QStringLiteral("True");
    advanceProgress();
}

void Publisher::onFtpStateChanged(int state)
{
    static const char* const texts[] = {nullptr,       "Resolving Host", "Host Resolved",
                                        "Connecting",  "Connected",      nullptr,
                                        nullptr,       nullptr,          nullptr,
                                        "Disconnecting", "Disconnected"};
    switch (state) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 9:
    case 10:
        m_view.appendStatus(QString::fromLatin1(texts[state]));
        advanceProgress();
        break;
    case 5:
    case 6:
    case 7:
        advanceProgress();
        break;
    case 8:
    case 12:
        advanceProgress();
        if (ftpClient.responseCode() != 0)
            m_view.appendStatus(QString::number(ftpClient.responseCode()) + QStringLiteral(": ") +
                              ftpClient.responseText());
        advanceProgress();
        break;
    case 11: {
        advanceProgress();
        const int code = ftpClient.responseCode();
        // Code 0: no server reply (cannot connect, time-out, lost line); the
        // caller reports those by number.
        if (code != 0 && code != 80 && code != 87 && code != 12007) {
            prompt().message(QStringLiteral("Error Code ") + QString::number(code) + kCrLf +
                                 ftpClient.responseText(),
                             Buttons::Ok, Icon::None, QStringLiteral("Error Response Received"));
            m_serverErrorShown = true;
        }
        if (code != 80 && code != 87 && code != 12007)
            m_ftpAborted = true;
        break;
    }
    default:
        m_view.appendStatus(QStringLiteral("Unknown State Received"));
        break;
    }
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
    Settings& s = settings();
    for (;;) {
        m_view.setPublishingEnabled(false);
        if (s.backendenabled.isEmpty())
            s.backendenabled = QStringLiteral("False");
        if (s.rssEnabled() && !writeRssFile(s, m_view, prompt())) {
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
            writeSetting(s.activeSection, QStringLiteral("Date"), s.entryDate, s.settingsPath);
            writeSetting(s.activeSection, QStringLiteral("Time"), s.entryTime, s.settingsPath);
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
        return m_outcome;
    }
}
