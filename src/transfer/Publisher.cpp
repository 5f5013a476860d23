#include "transfer/Publisher.h"

#include "app/IniFile.h"
#include "app/MainView.h"
#include "app/ProgramDir.h"
#include "app/Prompt.h"
#include "app/Settings.h"
#include "entry/EntryFlows.h"
#include "entry/WorkFiles.h"
#include "rss/BackEnd.h"
#include "transfer/Connectivity.h"

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

bool readsTrue(const QString& value)
{
    return value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
}

bool archiveOn()
{
    return settings().archive == QLatin1String("true");
}

int timeoutSeconds()
{
    return static_cast<int>(numericValue(settings().timeout));
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

Publisher::Publisher(MainView& view, EntryFlows& entries, EntryHooks& hooks, QObject* parent)
    : QObject(parent), m_view(view), m_entries(entries), m_hooks(hooks)
{
    connect(&Inet1, &Inet::StateChanged, this, &Publisher::Inet1_StateChanged);
}

// ---- waiting ---------------------------------------------------------------

void Publisher::waitFor(Inet& inet)
{
    // The control wakes the event loop with its state changes and its end,
    // so waiting for events does not spin.
    while (inet.StillExecuting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
}

// Runs one command and waits for it. Returns false when it failed; a refused
// command is reported as a run-time error by the caller through lastError.
bool Publisher::execute(Inet& inet, const QString& command)
{
    inet.Execute(QString(), command);
    waitFor(inet);
    return inet.lastError().number() == 0;
}

// ---- retrieval -------------------------------------------------------------

void Publisher::UpdateLocal(bool insertAfter)
{
    Settings& s = settings();
    if (s.retreivemode == QLatin1String("none")) {
        noRetrieve();
        return;
    }
    if (s.retreivemode == QLatin1String("ftp")) {
        m_view.textStatus(QStringLiteral("FTP Retrieve Mode Detected..."));
        if (!readsTrue(s.autoftp)) {
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
    m_view.ButtsOn(false);
    if (s.website.isEmpty()) {
        prompt().message(QStringLiteral("Config error.  Make sure you have setup the program "
                                        "correctly in the SETUP menu."));
        m_view.ButtsOn(true);
        m_view.setFinishEnabled(false);
        m_hooks.showPreferences();
        return;
    }
    if (s.siteHost.isEmpty() && s.website.size() > 8)
        s.siteHost = s.website.mid(7).trimmed();
    m_view.textStatus(QStringLiteral("Attempting ") + s.siteHost);
    if (s.connection == QLatin1String("modem") && !IsNetConnected()) {
        offlineDecision();
        return;
    }
    if (s.retreivemode == QLatin1String("ftp"))
        ftpFetch();
    else
        DownLoadURL(s.website, fileName("indexbackup"), false);
}

void Publisher::offlineDecision()
{
    if (!WorkFiles::exists(filePath("backup"))) {
        prompt().message(QStringLiteral("Unable to use OffLine Mode.  Please connect to the internet."));
        m_view.textStatus(QStringLiteral("Please Connect to the Net"));
        m_view.ButtsOn(true);
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
            m_view.textStatus(QStringLiteral("Entering OffLine Mode"));
        }
    }
    m_view.ButtsOn(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
}

void Publisher::ftpFetch()
{
    Settings& s = settings();
    RunFtp(QStringLiteral("down"));
    FtpGet(s.ftpremote, fileName("indexbackup"));
    if (!m_ftpAborted)
        m_view.textStatus(QStringLiteral("Local Page Updated"));
    if (archiveOn())
        FtpGet(s.archiveftp, fileName("archive"));
    if (!m_ftpAborted) {
        PostDownloadCloseFTP();
        m_entries.ReadMarkers();
        return;
    }
    Inet1.Cancel();
    prompt().message(QStringLiteral("Error attempting to FTP download."));
    s.pageRetrieved = false;
    m_view.ButtsOn(true);
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
    m_view.textStatus(QStringLiteral("No-Retrieve Mode Detected..."));
    m_view.textStatus(QStringLiteral("Looking for backup") + section + QStringLiteral(".html"));
    if (WorkFiles::exists(filePath("backup")) &&
        WorkFiles::copy(filePath("backup"), filePath("indexbackup"))) {
        m_view.textStatus(QStringLiteral("Assuming local files are current"));
        s.pageRetrieved = true;
        m_view.ButtsOn(true);
        m_view.setFinishEnabled(false);
        m_view.setBusy(false);
        m_view.textStatus(QStringLiteral("Using backup") + section + QStringLiteral(".html as local file"));
    } else {
        m_view.textStatus(QStringLiteral("Local Files Not Found"));
        prompt().message(QStringLiteral(
            "Normally in no-retrieve mode pagewick assumes the last backup file is the latest local "
            "version of your web page.  However, this backup file was not found.  Next, an open file "
            "dialog box will open.  Please select the html file you wish to modify."));
        // The window asks until a file is chosen, as the mode needs one.
        while (!chooseLocalFile(filePath("indexbackup"))) {
        }
        m_view.textStatus(QStringLiteral("Local file updated"));
        s.pageRetrieved = true;
        m_view.ButtsOn(true);
        m_view.setFinishEnabled(false);
        m_view.setBusy(false);
    }
    if (!archiveOn())
        return;
    m_view.setBusy(true);
    m_view.textStatus(QStringLiteral("Looking for archivebackup") + section + QStringLiteral(".html"));
    if (WorkFiles::exists(filePath("archivebackup")) &&
        WorkFiles::copy(filePath("archivebackup"), filePath("archive"))) {
        m_view.textStatus(QStringLiteral("Assuming local files are current"));
        m_view.setBusy(false);
        return;
    }
    m_view.textStatus(QStringLiteral("Local Files Not Found"));
    prompt().message(QStringLiteral(
        "Normally in No-Retrieve Mode pagewick assumes the last archive backup file is the latest "
        "local version of your archive.  However, this backup file was not found.  Next, an open "
        "file dialog box will open.  Please select the file you wish to use as your archive file."));
    while (!chooseLocalFile(filePath("archive"))) {
    }
    m_view.textStatus(QStringLiteral("Local file updated"));
    s.pageRetrieved = true;
    m_view.ButtsOn(true);
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
    Inet2.Cancel();
    m_view.textStatus(QStringLiteral("Error retrieving URL"));
    m_view.ButtsOn(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
    m_view.hideProgress();
}

void Publisher::writeFailed()
{
    prompt().message(QStringLiteral("Cannot write file to disk!"), Buttons::Ok, Icon::Critical,
                     QStringLiteral("Error Downloading File"));
    m_view.textStatus(QStringLiteral("Error retrieving URL"));
    m_view.textStatus(QStringLiteral("Files loaded from backup"));
    WorkFiles::copy(filePath("backup"), filePath("indexbackup"));
    if (archiveOn())
        WorkFiles::copy(filePath("archivebackup"), filePath("archive"));
    m_view.ButtsOn(true);
    m_view.setFinishEnabled(false);
    m_view.setBusy(false);
    m_view.hideProgress();
}

void Publisher::DownLoadURL(const QString& address, const QString& localFile, bool isArchive)
{
    Inet2.setRequestTimeout(timeoutSeconds());
    m_view.setBusy(true);
    m_view.showProgress(0, 100, 0);
    try {
        Inet2.Execute(address, QStringLiteral("GET"));
    } catch (const InetError& e) {
        downloadFailed(QStringLiteral("Download Error"),
                       QStringLiteral("The address ") + address +
                           QStringLiteral(" cannot be fetched: ") + e.description(),
                       Icon::Critical);
        return;
    }
    m_view.textStatus(QStringLiteral("Getting:") + kCrLf + address);
    waitFor(Inet2);

    const bool localFolder = address.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
    const InetError error = Inet2.lastError();
    const QString headers = Inet2.GetHeader();
    QString status = headers.mid(9, 3);
    if (localFolder)
        status = error.number() == 0 ? QStringLiteral("200") : QStringLiteral("404");
    if (status != QLatin1String("200")) {
        if (status == QLatin1String("401")) {
            downloadFailed(QStringLiteral("Unauthorized"),
                           QStringLiteral("401 error.  You are not authorized to get this file."),
                           Icon::Critical);
        } else if (status == QLatin1String("404")) {
            downloadFailed(QStringLiteral("File Not Found"), Inet2.URL() + QStringLiteral("was not found."),
                           Icon::Critical);
        } else if (status == kCrLf || (headers.isEmpty() &&
                                        error.number() == InetError::CannotConnect)) {
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
    const int expected = expectedKilobytes(Inet2.GetHeader(QStringLiteral("Content-Length")));
    m_view.showProgress(0, expected, 0);
    QCoreApplication::processEvents();

    if (Inet2.ResponseCode() == 0) {
        QByteArray body;
        int count = 0;
        for (QByteArray chunk = Inet2.GetChunk(1024, 1); !chunk.isEmpty();
             chunk = Inet2.GetChunk(1024, 1)) {
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
    m_view.textStatus(localFile + QStringLiteral(" updated via HTTP"));
    m_view.setBusy(false);
    if (isArchive)
        return;
    if (archiveOn())
        DownLoadURL(settings().archiveurl, fileName("archive"), true);
    // The page's markers are read once, after the archive has come too.
    Inet2.Cancel();
    m_entries.ReadMarkers();
}

// ---- FTP -------------------------------------------------------------------

void Publisher::Blink()
{
    const int v = m_view.progressValue();
    if (v < 100)
        m_view.showProgress(1, 100, v + 1);
}

QString Publisher::ftpCommand(const char* verb, const QString& a, const QString& b) const
{
    return QString::fromLatin1(verb) + QLatin1Char(' ') + arg(a) + QLatin1Char(' ') + arg(b);
}

void Publisher::reportRunError(const InetError& e)
{
    // A server error reply has been shown by the state handler already.
    if (e.number() == InetError::RequestFailed && m_serverErrorShown)
        return;
    prompt().message(QString::number(e.number()) + QLatin1Char(' ') + e.description(), Buttons::Ok,
                     Icon::None, QStringLiteral("Transfer Error"));
}

void Publisher::RunFtp(const QString& mode)
{
    Settings& s = settings();
    m_view.showProgress(1, 100, 1);
    m_ftpAborted = false;
    m_serverErrorShown = false;
    m_uploading = mode != QLatin1String("down");
    Blink();
    m_view.showProgress(1, 100, 2);
    m_view.textStatus(QStringLiteral("Starting FTP connection."));
    Inet1.setURL(s.ftpsite);
    Inet1.setUserName(s.username);
    Inet1.setPassword(s.password);
    Inet1.setRequestTimeout(timeoutSeconds());
    Blink();

    // Log in now, so a server that cannot be reached is reported before any
    // file is touched.
    InetError error;
    try {
        m_command.clear();
        if (!execute(Inet1, QString()))
            error = Inet1.lastError();
    } catch (const InetError& e) {
        error = e;
    }
    if (error.number() != 0) {
        Inet1.Cancel();
        m_ftpAborted = true;
        switch (error.number()) {
        case InetError::CannotConnect:
            prompt().message(QStringLiteral("Pagewick was unable to connect to the FTP site.  Please "
                                            "check your configuration and try again."));
            break;
        case InetError::Cancelled:
            break;
        case InetError::RequestFailed:
            reportRunError(error);
            break;
        case InetError::TimedOut:
        case InetError::ConnectionLost:
            m_view.textStatus(error.description());
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
        m_view.ButtsOn(true);
        m_view.hideProgress();
        if (m_uploading) {
            ErrorinFtp();
            m_outcome = Outcome::Failed;
        }
        return;
    }
    Blink();
    if (!m_uploading)
        return;

    FtpPut(fileName("webbie"), s.ftpremote);
    if (archiveOn()) {
        m_view.showProgress(1, 100, 1);
        FtpPut(fileName("archivewebbie"), s.archiveftp);
    }
    if (s.backendenabled == QLatin1String("True")) {
        m_view.showProgress(1, 100, 1);
        FtpPut(workFileName(QStringLiteral("backend"), QStringLiteral(".rss")),
               backendRemotePath(s.ftpremote));
        if (!m_ftpAborted)
            m_view.textStatus(QStringLiteral("Backend Placement Complete"));
    }
    if (m_ftpAborted) {
        closeAfterFailedUpload();
        return;
    }
    WriteSetting(s.activeSection, QStringLiteral("Fail"), QStringLiteral("False"), s.settingsPath);
    s.Fail = QStringLiteral("False");
    // A resend after a restart has no entry date of its own: the stored one
    // stays.
    if (!s.entryDate.isEmpty()) {
        WriteSetting(s.activeSection, QStringLiteral("Date"), s.entryDate, s.settingsPath);
        WriteSetting(s.activeSection, QStringLiteral("Time"), s.entryTime, s.settingsPath);
        s.Date = s.entryDate;
        s.Time = s.entryTime;
    }
    m_view.ButtsOn(true);
    WorkFiles::copy(filePath("webbie"), filePath("indexbackup"));
    if (archiveOn()) {
        WorkFiles::copy(filePath("archivewebbie"), filePath("archivebackup"));
        WorkFiles::copy(filePath("archivewebbie"), filePath("archive"));
    }
    m_outcome = Outcome::Published;
    EndUpload();
}

QString Publisher::backendRemotePath(const QString& ftpremote)
{
    const qsizetype slash = ftpremote.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral("backend.rss") : ftpremote.left(slash) + QStringLiteral("/backend.rss");
}

void Publisher::closeAfterFailedUpload()
{
    m_view.textStatus(QStringLiteral("Closing connection..."));
    try {
        if (Inet1.StillExecuting())
            Inet1.Cancel();
        execute(Inet1, QStringLiteral("CLOSE"));
    } catch (const InetError&) {
    }
    Inet1.Cancel();
    m_view.textStatus(QStringLiteral("Disconnected"));
    m_view.ButtsOn(true);
    m_view.hideProgress();
    ErrorinFtp();
    m_view.textStatus(QStringLiteral("The entry was not published; your page on the server was not "
                                     "changed by the failed transfer.  Press Resend to try again."));
    m_outcome = Outcome::Failed;
}

void Publisher::FtpPut(const QString& local, const QString& remote)
{
    if (m_ftpAborted)
        return;
    m_command = ftpCommand("PUT", local, remote);
    m_view.textStatus(m_command);
    Blink();
    InetError error;
    try {
        if (!execute(Inet1, m_command))
            error = Inet1.lastError();
    } catch (const InetError& e) {
        error = e;
    }
    if (error.number() != 0) {
        reportRunError(error);
        if (error.number() == InetError::TimedOut || error.number() == InetError::StillExecuting)
            Inet1.Cancel();
        m_ftpAborted = true;
        return;
    }
    if (m_ftpAborted)
        return;
    Blink();
    if (!Inet1.LastNotice().isEmpty())
        m_view.textStatus(Inet1.LastNotice());
    m_view.textStatus(QStringLiteral("Upload to ") + remote + QStringLiteral(" complete."));
    Blink();
}

void Publisher::FtpGet(const QString& remote, const QString& local)
{
    if (m_ftpAborted)
        return;
    // The control writes the download next to the local file and replaces it
    // only when the whole file has come, so the old copy stays until then.
    m_command = ftpCommand("GET", remote, local);
    Blink();
    InetError error;
    try {
        Inet1.Execute(QString(), m_command);
        m_view.textStatus(m_command);
        waitFor(Inet1);
        error = Inet1.lastError();
    } catch (const InetError& e) {
        m_view.textStatus(m_command);
        error = e;
    }
    if (error.number() == 0 && !m_ftpAborted) {
        Blink();
        Blink();
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
    if (settings().Fail == QLatin1String("True")) {
        m_view.setResendVisible(true);
        m_view.setResendEnabled(true);
    }
    prompt().message(QStringLiteral("An error has occur while trying to download the html files off "
                                    "your server.  If this continues, you may wish to switch to a "
                                    "different retrieve mode."));
    Blink();
    if (error.number() == InetError::TimedOut || error.number() == InetError::StillExecuting)
        Inet1.Cancel();
}

void Publisher::EndUpload()
{
    m_view.textStatus(QStringLiteral("Closing connection..."));
    m_view.showProgress(1, 100, 95);
    try {
        execute(Inet1, QStringLiteral("CLOSE"));
    } catch (const InetError&) {
    }
    m_view.textStatus(QStringLiteral("Disconnected"));
    Blink();
    m_view.showProgress(1, 100, 100);
    prompt().openDocument(settings().website);
    m_view.ButtsOn(true);
}

void Publisher::PostDownloadCloseFTP()
{
    m_view.textStatus(QStringLiteral("Closing connection..."));
    try {
        execute(Inet1, QStringLiteral("CLOSE"));
    } catch (const InetError&) {
    }
    Inet1.Cancel();
    m_view.textStatus(QStringLiteral("Disconnected"));
    Blink();
    m_view.showProgress(1, 100, 100);
    m_view.hideProgress();
}

void Publisher::ErrorinFtp()
{
    Settings& s = settings();
    m_view.setFinishEnabled(false);
    m_view.setPreferencesEnabled(true);
    m_view.setResendVisible(true);
    m_view.setResendEnabled(true);
    WriteSetting(s.activeSection, QStringLiteral("Fail"), QStringLiteral("True"), s.settingsPath);
    s.Fail = QStringLiteral("True");
    Blink();
}

void Publisher::Inet1_StateChanged(int state)
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
        m_view.textStatus(QString::fromLatin1(texts[state]));
        Blink();
        break;
    case 5:
    case 6:
    case 7:
        Blink();
        break;
    case 8:
    case 12:
        Blink();
        if (Inet1.ResponseCode() != 0)
            m_view.textStatus(QString::number(Inet1.ResponseCode()) + QStringLiteral(": ") +
                              Inet1.ResponseInfo());
        Blink();
        break;
    case 11: {
        Blink();
        const int code = Inet1.ResponseCode();
        // Code 0: no server reply (cannot connect, time-out, lost line); the
        // caller reports those by number.
        if (code != 0 && code != 80 && code != 87 && code != 12007) {
            prompt().message(QStringLiteral("Error Code ") + QString::number(code) + kCrLf +
                                 Inet1.ResponseInfo(),
                             Buttons::Ok, Icon::None, QStringLiteral("Error Response Received"));
            m_serverErrorShown = true;
        }
        if (code != 80 && code != 87 && code != 12007)
            m_ftpAborted = true;
        break;
    }
    default:
        m_view.textStatus(QStringLiteral("Unknown State Received"));
        break;
    }
}

// ---- Finish and Resend -----------------------------------------------------

void Publisher::butt_Fin_Click()
{
    m_view.ButtsOn(false);
    PreFinish();
}

void Publisher::butt_resend_Click()
{
    m_view.textStatus(QStringLiteral("Preview Last Entry"));
    m_view.ButtsOn(false);
    PreFinish();
}

Publisher::Outcome Publisher::PreFinish()
{
    Settings& s = settings();
    for (;;) {
        m_view.ButtsOn(false);
        if (s.backendenabled.isEmpty())
            s.backendenabled = QStringLiteral("False");
        if (s.backendenabled == QLatin1String("True") && !BackEndCreation(s, m_view, prompt())) {
            m_view.ButtsOn(true);
            return m_outcome = Outcome::Stopped;
        }
        if (!readsTrue(s.autoftp)) {
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
                m_view.ButtsOn(true);
                return m_outcome = Outcome::Stopped;
            }
            // The entry counts as the last one published once its page is saved
            // for upload, not before: a save that never happens records nothing.
            WriteSetting(s.activeSection, QStringLiteral("Date"), s.entryDate, s.settingsPath);
            WriteSetting(s.activeSection, QStringLiteral("Time"), s.entryTime, s.settingsPath);
            prompt().message(*chosen + QStringLiteral(" ready!  Please exit and manually upload."));
            return m_outcome = Outcome::Saved;
        }
        if (s.connection == QLatin1String("modem") && !IsDialUpConfigured()) {
            prompt().message(QStringLiteral("Please connect to the internet first.  Once you are "
                                            "connected, hit the transfer button again."));
            m_view.ButtsOn(true);
            return m_outcome = Outcome::Stopped;
        }
        WorkFiles::copy(filePath("webbie"), filePath("backup"));
        m_view.textStatus(QStringLiteral("Copying Preview Into Backup"));
        m_outcome = Outcome::None;
        RunFtp(QString());
        return m_outcome;
    }
}
