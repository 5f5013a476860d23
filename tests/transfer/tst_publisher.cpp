// Retrieval and publishing end to end against the local FTP and HTTP test
// servers: the retrieve modes and the offline decision, the faults of an HTTP
// download, Finish and Resend with every fault the FTP server can produce,
// manual publishing and the update check. Each case runs in a temporary
// program directory whose weblog.ini start-up loads, as the window does, with
// a scripted prompt and a recording view in place of the window.

#include "PublishFixture.h"
#include "RecordingView.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"

#include "app/IniFile.h"
#include "app/ProgramDir.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "entry/EntryFlows.h"
#include "transfer/Publisher.h"
#include "transfer/UpdateCheck.h"

#include <QScopeGuard>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace PublishFixture;

#define REQUIRE_RUNNING(server) QVERIFY2((server).isRunning(), qPrintable((server).errorString()))

namespace {

// The page's public address: only opened (and named in the RSS file), never
// fetched, in the FTP retrieve mode.
const QString kWebsite = u"http://www.example.com/weblog/index.html"_s;
// The anchor of the entry Preview makes on 12/5/2000 at 5:44:36 PM.
const QString kAnchor = u"125200054436PM"_s;

const QString kNoBackup =
    u"Normally in no-retrieve mode pagewick assumes the last backup file is the latest local "
    "version of your web page.  However, this backup file was not found.  Next, an open file "
    "dialog box will open.  Please select the html file you wish to modify."_s;
const QString kNoArchiveBackup =
    u"Normally in No-Retrieve Mode pagewick assumes the last archive backup file is the latest "
    "local version of your archive.  However, this backup file was not found.  Next, an open "
    "file dialog box will open.  Please select the file you wish to use as your archive file."_s;
const QString kMustSelect = u"Since you are in No Retrieve Mode, you must select a local file"_s;
const QString kOpenFilter =
    u"All Files (*.*)|*.*|HTML Files(*.html)|*.html|HTM Files (*.htm)|*.htm|"
    "SHTML Files (*.shtml)|*.shtml"_s;
const QString kFtpDownloadError = u"Error attempting to FTP download."_s;
const QString kFtpGetError =
    u"An error has occur while trying to download the html files off your server.  If this "
    "continues, you may wish to switch to a different retrieve mode."_s;

// The hooks of the window, with the real publisher behind them.
class Hooks final : public EntryHooks
{
public:
    Publisher* publisher = nullptr;
    int preferences = 0;

    void UpdateLocal(bool insertAfter) override { publisher->UpdateLocal(insertAfter); }
    void PreFinish() override { publisher->PreFinish(); }
    QString frmUpdate() override { return u"Server"_s; }
    void showPreferences() override { ++preferences; }
    void setPreviewEnabled(bool) override {}
    void showFields(const EntryFields&) override {}
};

// One run of the program: its directory, weblog.ini loaded by start-up, and
// the flows and publisher the window would have.
class Session
{
public:
    QTemporaryDir dir;
    ScriptedPrompt prompt;
    RecordingView view;
    Hooks hooks;
    std::unique_ptr<EntryFlows> flows;
    std::unique_ptr<Publisher> publisher;

    bool start(const Keys& keys)
    {
        if (!dir.isValid() || !setProgramDir(dir.path()) || !writeIni(dir.path(), {{1, keys}}))
            return false;
        settings() = Settings();
        startUp(settings(), prompt, view);
        flows = std::make_unique<EntryFlows>(view, hooks);
        publisher = std::make_unique<Publisher>(view, *flows, hooks);
        hooks.publisher = publisher.get();
        view.entry = {u"Hello"_s, u"World"_s, u"Ann"_s, QString(), u"http://"_s, QString()};
        return true;
    }

    QByteArray file(const QString& stem) const { return readFile(workFile(stem)); }
    bool put(const QString& stem, const QByteArray& bytes) const
    {
        return writeFile(workFile(stem), bytes);
    }
    bool exists(const QString& stem) const { return QFileInfo::exists(workFile(stem)); }
    QString ini(const QString& key) const
    {
        return ReadSetting(settings().settingsPath, u"1"_s, key);
    }
    // ButtsOn(true) happened last: everything but Finish and Resend is on.
    bool commandsOn() const
    {
        return view.previewEnabled && view.preferencesEnabled && view.backupEnabled &&
               view.deleteLastEnabled && !view.busy;
    }
};

// Publishing by FTP with the page, the archive page and the RSS file.
Keys ftpKeys(const FtpTestServer& ftp)
{
    return {{u"website"_s, kWebsite},
            {u"ftpsite"_s, ftp.url()},
            {u"username"_s, FtpTestServer::User},
            {u"password"_s, FtpTestServer::Password},
            {u"ftpremote"_s, u"www/index.html"_s},
            {u"timeout"_s, u"30"_s},
            {u"autoftp"_s, u"True"_s},
            {u"connection"_s, u"direct"_s},
            {u"retreivemode"_s, u"ftp"_s},
            {u"archive"_s, u"true"_s},
            {u"archiveftp"_s, u"www/archive.html"_s},
            {u"archiveurl"_s, u"http://www.example.com/weblog/archive.html"_s},
            {u"backendenabled"_s, u"True"_s},
            {u"backendtitle"_s, u"Ann & Bob's <log>"_s},
            {u"backenddescript"_s, u"News"_s}};
}

// Retrieval by HTTP from `address`, publishing switched on but never used.
Keys httpKeys(const QString& address)
{
    return {{u"website"_s, address},
            {u"ftpsite"_s, u"ftp://127.0.0.1:%1"_s.arg(closedPort())},
            {u"ftpremote"_s, u"index.html"_s},
            {u"timeout"_s, u"2"_s},
            {u"autoftp"_s, u"True"_s},
            {u"connection"_s, u"direct"_s},
            {u"retreivemode"_s, u"auto"_s},
            {u"archive"_s, u"false"_s}};
}

QString describe(const QList<Message>& messages)
{
    QStringList out;
    for (const Message& m : messages)
        out << m.title + u": "_s +
                   QString(m.text).replace(u'\r', u"\\r"_s).replace(u'\n', u"\\n"_s);
    return out.join(u" | "_s);
}

// What a valid RSS file lists: channel title, item titles and links.
struct Rss
{
    QString error, channelTitle;
    QStringList titles, links;
};
Rss parseRss(const QByteArray& bytes)
{
    Rss rss;
    QXmlStreamReader xml(bytes);
    QStringList path;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            path << xml.name().toString();
            const QString where = path.join(u'/');
            if (where == u"rss/channel/title")
                rss.channelTitle = xml.readElementText();
            else if (where == u"rss/channel/item/title")
                rss.titles << xml.readElementText();
            else if (where == u"rss/channel/item/link")
                rss.links << xml.readElementText();
            else
                continue;
            path.removeLast(); // readElementText consumed the end element
        } else if (token == QXmlStreamReader::EndElement) {
            path.removeLast();
        }
    }
    if (xml.hasError())
        rss.error = xml.errorString() + u" at line "_s + QString::number(xml.lineNumber());
    return rss;
}

} // namespace

class TestPublisher : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    // Retrieval.
    void retrieveByFtp();
    void ftpModeNeedsAutoFtp();
    void retrieveByHttp();
    void retrieveFromBackupOrChosenFile();
    void offlineDecision();

    // HTTP download faults.
    void httpFaults_data();
    void httpFaults();
    void httpRepliesThatStillGiveAPage();

    // Publishing.
    void publishPageArchiveAndRss();
    void publishFaults_data();
    void publishFaults();
    void manualPublishing();

    // Help menu.
    void updateCheck();
};

void TestPublisher::initTestCase()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    qputenv("PAGEWICK_NOW", "2000-12-05T17:44:36");
    qunsetenv("PAGEWICK_OFFLINE");
}

// ---- retrieval -----------------------------------------------------------------

void TestPublisher::retrieveByFtp()
{
    FtpTestServer ftp;
    REQUIRE_RUNNING(ftp);
    const QByteArray served = page(2), archive = archivePage();
    QVERIFY(ftp.writeFile(u"www/index.html"_s, served));
    QVERIFY(ftp.writeFile(u"www/archive.html"_s, archive));
    Session s;
    QVERIFY(s.start(ftpKeys(ftp)));
    QVERIFY2(s.prompt.messages.isEmpty(), qPrintable(describe(s.prompt.messages)));
    QCOMPARE(settings().password, FtpTestServer::Password);

    s.publisher->UpdateLocal(false);
    QVERIFY2(s.prompt.messages.isEmpty(), qPrintable(describe(s.prompt.messages)));
    QCOMPARE(s.file(u"indexbackup"_s), served);
    QCOMPARE(s.file(u"archive"_s), archive);
    QVERIFY(settings().pageRetrieved);
    QVERIFY(s.commandsOn());
    QVERIFY(!s.view.finishEnabled);
    for (const QString& line :
         {u"FTP Retrieve Mode Detected..."_s, u"Local Page Updated"_s, u"Disconnected"_s})
        QVERIFY2(s.view.status.contains(line), qPrintable(line));
    QCOMPARE(ftp.loginCount(), 1); // page and archive over one connection

    // The page is read: Preview places the entry at once.
    s.flows->butt_Preview_Click();
    QVERIFY(s.view.finishEnabled);
    QVERIFY(s.file(u"webbie"_s).contains("<a name=\"" + kAnchor.toLatin1() + "\"></a>Hello"));

    // A download broken off in the middle leaves the base copy as it was.
    QVERIFY(ftp.writeFile(u"www/index.html"_s, page(5, 200000)));
    ftp.setDropAfter(30000);
    s.prompt.clear();
    s.publisher->UpdateLocal(false);
    QCOMPARE(s.file(u"indexbackup"_s), served);
    QCOMPARE(s.file(u"archive"_s), archive);
    QVERIFY2(s.prompt.texts().contains(kFtpGetError), qPrintable(describe(s.prompt.messages)));
    QCOMPARE(s.prompt.texts().last(), kFtpDownloadError);
    QCOMPARE(s.prompt.messages.first().title, u"Transfer Error"_s);
    QVERIFY(s.prompt.messages.first().text.startsWith(u"35781 "_s));
    QVERIFY(!settings().pageRetrieved);
    QVERIFY(s.commandsOn());
    QVERIFY(!s.view.finishEnabled);
    QVERIFY(!s.view.resendVisible); // nothing failed to upload

    // A page missing on the server: the server's answer, then the same ending.
    ftp.resetBehaviour();
    settings().ftpremote = u"www/missing.html"_s;
    s.prompt.clear();
    s.publisher->UpdateLocal(false);
    QCOMPARE(s.file(u"indexbackup"_s), served);
    QVERIFY2(s.prompt.messages.size() >= 2, qPrintable(describe(s.prompt.messages)));
    QCOMPARE(s.prompt.messages.first().title, u"Error Response Received"_s);
    QVERIFY(s.prompt.messages.first().text.startsWith(u"Error Code 550\r\n"_s));
    QCOMPARE(s.prompt.texts().last(), kFtpDownloadError);
    QVERIFY(!settings().pageRetrieved);
    QVERIFY(s.commandsOn() && !s.view.finishEnabled);
}

void TestPublisher::ftpModeNeedsAutoFtp()
{
    FtpTestServer ftp;
    REQUIRE_RUNNING(ftp);
    QVERIFY(ftp.writeFile(u"www/index.html"_s, page(2)));
    Keys keys = ftpKeys(ftp);
    keys[u"autoftp"_s] = u"False"_s;
    keys[u"retreivemode"_s] = u"auto"_s;
    keys[u"archive"_s] = u"false"_s;
    Session s;
    QVERIFY(s.start(keys));
    // The mode changed after loading, as the preferences window can leave it.
    settings().retreivemode = u"ftp"_s;
    settings().insertAfterRetrieval = false;
    s.prompt.clear();
    s.view.ButtsOn(false);
    s.view.preferencesEnabled = false;
    ftp.clearLog();

    s.publisher->UpdateLocal(true);
    QCOMPARE(s.prompt.messages.size(), 1);
    const Message& m = s.prompt.messages[0];
    QCOMPARE(m.title, u"Auto FTP not enabled"_s);
    QCOMPARE(m.icon, Icon::Critical);
    QCOMPARE(m.buttons, Buttons::Ok);
    QCOMPARE(m.text, u"You can not use FTP Retrieve Mode if you have Auto FTP disabled in the "
                     "setup menu.  Please correct this and try again."_s);
    QVERIFY(s.view.preferencesEnabled);
    QCOMPARE(s.hooks.preferences, 1);
    QVERIFY(!s.view.previewEnabled && !s.view.finishEnabled); // as they were
    QVERIFY(!settings().insertAfterRetrieval);
    QVERIFY(!settings().pageRetrieved);
    QVERIFY(!s.exists(u"indexbackup"_s));
    QCOMPARE(ftp.logLines(), QStringList()); // not even a connection
}

void TestPublisher::retrieveByHttp()
{
    HttpTestServer http;
    REQUIRE_RUNNING(http);
    // 3.5 KB: the progress bar counts to 4 (3.5 rounds to the even 4).
    QByteArray served = page(2);
    served = page(2, 3584 - served.size() - 11);
    QCOMPARE(served.size(), 3584);
    const QByteArray archive = archivePage();
    QVERIFY(http.writeFile(u"index.html"_s, served));
    QVERIFY(http.writeFile(u"archive.html"_s, archive));
    Keys keys = httpKeys(http.url(u"/index.html"_s));
    keys[u"archive"_s] = u"true"_s;
    keys[u"archiveurl"_s] = http.url(u"/archive.html"_s);
    Session s;
    QVERIFY(s.start(keys));
    QVERIFY2(s.prompt.messages.isEmpty(), qPrintable(describe(s.prompt.messages)));

    s.publisher->UpdateLocal(false);
    QVERIFY2(s.prompt.messages.isEmpty(), qPrintable(describe(s.prompt.messages)));
    QCOMPARE(s.file(u"indexbackup"_s), served);
    QCOMPARE(s.file(u"archive"_s), archive);
    QCOMPARE(http.requests(), QStringList({u"GET /index.html"_s, u"GET /archive.html"_s}));
    for (const QString& line :
         {u"Attempting 127.0.0.1:%1"_s.arg(http.port()), u"indexbackup1.html updated via HTTP"_s,
          u"archive1.html updated via HTTP"_s})
        QVERIFY2(s.view.status.contains(line), qPrintable(line));
    QVERIFY(settings().pageRetrieved);
    QVERIFY(s.commandsOn() && !s.view.finishEnabled);

    // The size rule of the progress bar.
    QCOMPARE(Publisher::expectedKilobytes(u"1536"_s), 2);
    QCOMPARE(Publisher::expectedKilobytes(u"2560"_s), 2);
    QCOMPARE(Publisher::expectedKilobytes(u"3584"_s), 4);
    QCOMPARE(Publisher::expectedKilobytes(u"512"_s), 300);
    QCOMPARE(Publisher::expectedKilobytes(QString()), 300);

    // Without an archive the last bar is the page's.
    settings().archive = u"false"_s;
    s.publisher->UpdateLocal(false);
    QCOMPARE(s.view.progressMax, 4);
    QVERIFY(s.view.progress <= 4);

    s.flows->butt_Preview_Click();
    QVERIFY(s.view.finishEnabled);
}

void TestPublisher::retrieveFromBackupOrChosenFile()
{
    Keys keys = httpKeys(kWebsite);
    keys[u"retreivemode"_s] = u"none"_s;
    keys[u"archive"_s] = u"true"_s;
    Session s;
    QVERIFY(s.start(keys));
    const QString mine = s.dir.filePath(u"mine.html"_s), myArchive = s.dir.filePath(u"old.html"_s);
    QVERIFY(writeFile(mine, page(3)));
    QVERIFY(writeFile(myArchive, archivePage()));

    // No backup: the explanation, then the file dialog until a file is
    // chosen; the same for the archive.
    s.prompt.files << std::nullopt << mine << myArchive;
    s.publisher->UpdateLocal(false);
    QCOMPARE(s.file(u"indexbackup"_s), page(3));
    QCOMPARE(s.file(u"archive"_s), archivePage());
    QCOMPARE(s.prompt.fileRequests.size(), 3);
    const FileRequest& r = s.prompt.fileRequests[0];
    QCOMPARE(r.kind, FileRequest::Open);
    QCOMPARE(r.initialDir, programDir());
    QCOMPARE(r.filter, kOpenFilter);
    QCOMPARE(r.filterIndex, 2);
    QCOMPARE(r.defaultExt, u"html"_s);
    const QStringList texts = s.prompt.texts();
    QCOMPARE(texts.first(), kNoBackup);
    QVERIFY2(texts.indexOf(kMustSelect) > 0, qPrintable(describe(s.prompt.messages)));
    QCOMPARE(texts.count(kMustSelect), 1);
    QCOMPARE(texts.last(), kNoArchiveBackup);
    for (const QString& line : {u"No-Retrieve Mode Detected..."_s, u"Looking for backup1.html"_s,
                                u"Local Files Not Found"_s, u"Local file updated"_s,
                                u"Looking for archivebackup1.html"_s})
        QVERIFY2(s.view.status.contains(line), qPrintable(line));
    QVERIFY(settings().pageRetrieved);
    QVERIFY(s.commandsOn() && !s.view.finishEnabled);
    QCOMPARE(s.prompt.unscripted, 0);

    // With both backups nothing is asked.
    QVERIFY(s.put(u"backup"_s, page(1)));
    QVERIFY(s.put(u"archivebackup"_s, archivePage() + "<!-- kept -->\r\n"));
    s.prompt.clear();
    s.view.status.clear();
    settings().pageRetrieved = false;
    s.publisher->UpdateLocal(false);
    QCOMPARE(s.prompt.texts(), QStringList());
    QCOMPARE(s.prompt.fileRequests.size(), 0);
    QCOMPARE(s.file(u"indexbackup"_s), page(1));
    QCOMPARE(s.file(u"archive"_s), archivePage() + "<!-- kept -->\r\n");
    QVERIFY(s.view.status.contains(u"Assuming local files are current"_s));
    QVERIFY(s.view.status.contains(u"Using backup1.html as local file"_s));
    QVERIFY(settings().pageRetrieved);

    // The page's backup alone: the page is taken silently, the archive asked for.
    QVERIFY(QFile::remove(workFile(u"archivebackup"_s)));
    s.prompt.clear();
    s.prompt.files << myArchive;
    s.publisher->UpdateLocal(false);
    QCOMPARE(s.prompt.texts(), QStringList{kNoArchiveBackup});
    QCOMPARE(s.prompt.fileRequests.size(), 1);
    QCOMPARE(s.file(u"archive"_s), archivePage());
    QCOMPARE(s.file(u"indexbackup"_s), page(1));
}

void TestPublisher::offlineDecision()
{
    qputenv("PAGEWICK_OFFLINE", "1");
    const auto online = qScopeGuard([] { qunsetenv("PAGEWICK_OFFLINE"); });
    HttpTestServer http;
    REQUIRE_RUNNING(http);
    FtpTestServer ftp;
    REQUIRE_RUNNING(ftp);
    QVERIFY(http.writeFile(u"index.html"_s, page(2)));
    Keys keys = httpKeys(http.url(u"/index.html"_s));
    keys[u"connection"_s] = u"modem"_s;
    keys[u"ftpsite"_s] = ftp.url();
    keys[u"username"_s] = FtpTestServer::User;
    keys[u"password"_s] = FtpTestServer::Password;
    Session s;
    QVERIFY(s.start(keys));

    // No backup: the message alone.
    s.publisher->UpdateLocal(false);
    QCOMPARE(s.prompt.texts(),
             QStringList{u"Unable to use OffLine Mode.  Please connect to the internet."_s});
    QVERIFY(s.view.status.contains(u"Please Connect to the Net"_s));
    QVERIFY(s.commandsOn());
    QVERIFY(!settings().pageRetrieved);
    QVERIFY(!s.exists(u"indexbackup"_s));

    // With a backup, the question; No changes nothing.
    const QByteArray backup = page(1);
    QVERIFY(s.put(u"backup"_s, backup));
    s.prompt.clear();
    s.prompt.answers << Answer::No;
    s.publisher->UpdateLocal(false);
    QCOMPARE(s.prompt.messages.size(), 1);
    const Message m = s.prompt.messages[0];
    QCOMPARE(m.title, u"Go into Offline Mode?"_s);
    QCOMPARE(m.buttons, Buttons::YesNo);
    QCOMPARE(m.text, u"You are not connected to the internet.  Would you like to use the version "
                     "that was last placed on the webserver successfully?"_s);
    QVERIFY(!s.exists(u"indexbackup"_s));
    QVERIFY(!settings().pageRetrieved);
    QVERIFY(s.commandsOn() && !s.view.finishEnabled);

    // Yes: the backup becomes the base copy.
    s.prompt.clear();
    s.prompt.answers << Answer::Yes;
    s.publisher->UpdateLocal(false);
    QCOMPARE(s.prompt.messages.size(), 1);
    QCOMPARE(s.file(u"indexbackup"_s), backup);
    QVERIFY(settings().pageRetrieved);
    QVERIFY(s.view.status.contains(u"Entering OffLine Mode"_s));
    QVERIFY(s.commandsOn() && !s.view.finishEnabled);
    QCOMPARE(http.requests(), QStringList()); // offline: never asked

    // Finishing while offline: nothing is copied, nothing is sent.
    s.flows->butt_Preview_Click();
    QVERIFY(s.view.finishEnabled);
    s.prompt.clear();
    ftp.clearLog();
    s.publisher->butt_Fin_Click();
    QCOMPARE(s.prompt.texts(), QStringList{u"Please connect to the internet first.  Once you are "
                                           "connected, hit the transfer button again."_s});
    QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Stopped);
    QCOMPARE(s.file(u"backup"_s), backup);
    QCOMPARE(ftp.logLines(), QStringList());
    QVERIFY(s.commandsOn());
    QCOMPARE(s.ini(u"Fail"_s), QString());
}

// ---- HTTP download faults --------------------------------------------------------

namespace {
enum HttpFault
{
    Status401,
    Status404,
    Status500,
    NoAnswer,
    ServerDown,
    Stalled,
    Dropped
};
}

void TestPublisher::httpFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text"); // %1: the page's address
    QTest::addColumn<bool>("exact");   // else: the text starts so

    const QString unexpected = u"The server returned the following unexpected response:\r\r"_s;
    const QString interrupted = u"The download of %1 was interrupted: "_s;
    QTest::newRow("401") << int(Status401) << u"Unauthorized"_s
                         << u"401 error.  You are not authorized to get this file."_s << true;
    QTest::newRow("404") << int(Status404) << u"File Not Found"_s << u"%1was not found."_s << true;
    QTest::newRow("500") << int(Status500) << u"Download Error"_s
                         << unexpected + u"HTTP/1.1 500 Internal Server Error\r"_s << true;
    QTest::newRow("closed without answer")
        << int(NoAnswer) << u"Download Error"_s << unexpected << false;
    QTest::newRow("server not running")
        << int(ServerDown) << u"Unable to Establish Connection"_s
        << u"Connection cannot be established.\r\rPlease check your Internet connection."_s << true;
    QTest::newRow("stalled mid-body")
        << int(Stalled) << u"Download Error"_s << interrupted << false;
    QTest::newRow("dropped mid-body")
        << int(Dropped) << u"Download Error"_s << interrupted << false;
}

void TestPublisher::httpFaults()
{
    QFETCH(int, fault);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(bool, exact);

    HttpTestServer http;
    REQUIRE_RUNNING(http);
    const QByteArray served = page(3, 200000);
    QVERIFY(http.writeFile(u"index.html"_s, served));
    HttpTestServer::Behaviour how;
    switch (fault) {
    case Status401:
        how.status = 401;
        break;
    case Status404:
        how.status = 404;
        break;
    case Status500:
        how.status = 500;
        break;
    case NoAnswer:
        how.closeWithoutAnswer = true;
        break;
    case Stalled:
        how.stallAfter = 20000;
        break;
    case Dropped:
        // The announced length is never reached: the server closes early.
        how.noLength = true;
        how.headers.insert(u"Content-Length"_s, QString::number(served.size() + 100000));
        break;
    default:
        break;
    }
    http.setBehaviour(u"/index.html"_s, how);
    const QString address =
        u"http://127.0.0.1:%1/index.html"_s.arg(fault == ServerDown ? closedPort() : http.port());

    Session s;
    QVERIFY(s.start(httpKeys(address)));
    // The local files of an earlier session.
    const QByteArray base = page(1), backup = page(1) + "<!-- published -->\r\n";
    QVERIFY(s.put(u"indexbackup"_s, base));
    QVERIFY(s.put(u"backup"_s, backup));
    s.prompt.clear();

    s.publisher->UpdateLocal(false);
    QCOMPARE(s.prompt.messages.size(), 1);
    const Message& m = s.prompt.messages[0];
    QCOMPARE(m.title, title);
    QCOMPARE(m.icon, fault == ServerDown ? Icon::Exclamation : Icon::Critical);
    const QString expected = text.contains(u"%1"_s) ? text.arg(address) : text;
    if (exact) {
        QCOMPARE(m.text, expected);
    } else {
        QVERIFY2(m.text.startsWith(expected) && m.text.size() > expected.size(),
                 qPrintable(describe(s.prompt.messages)));
        if (fault == Stalled || fault == Dropped)
            QVERIFY2(m.text.endsWith(u"\r\rYour local files were not changed."_s),
                     qPrintable(describe(s.prompt.messages)));
    }
    QVERIFY(s.view.status.contains(u"Error retrieving URL"_s));
    QVERIFY(s.commandsOn());
    QVERIFY(!s.view.finishEnabled);
    QVERIFY(!s.view.progressVisible);
    QVERIFY(!settings().pageRetrieved);
    QCOMPARE(s.file(u"indexbackup"_s), base);
    QCOMPARE(s.file(u"backup"_s), backup);
    QVERIFY(!s.exists(u"webbie"_s));
}

void TestPublisher::httpRepliesThatStillGiveAPage()
{
    HttpTestServer http;
    REQUIRE_RUNNING(http);
    Session s;
    QVERIFY(s.start(httpKeys(http.url(u"/index.html"_s))));
    // An older, longer base copy: replaced, never appended to.
    QVERIFY(s.put(u"indexbackup"_s, page(9, 90000)));

    // No Content-Length: the page is written whole, the bar counts to 300.
    const QByteArray served = page(3, 50000);
    QVERIFY(http.writeFile(u"index.html"_s, served));
    HttpTestServer::Behaviour noLength;
    noLength.noLength = true;
    http.setBehaviour(u"/index.html"_s, noLength);
    s.publisher->UpdateLocal(false);
    QVERIFY2(s.prompt.messages.isEmpty(), qPrintable(describe(s.prompt.messages)));
    QCOMPARE(s.file(u"indexbackup"_s), served);
    QCOMPARE(s.view.progressMax, 300);
    QVERIFY(settings().pageRetrieved);
    QVERIFY(s.commandsOn() && !s.view.finishEnabled);

    // More than Content-Length: the announced bytes are the page.
    const QByteArray second = page(4, 5000);
    QVERIFY(http.writeFile(u"index.html"_s, second));
    HttpTestServer::Behaviour extra;
    extra.extraBytes = 700;
    http.setBehaviour(u"/index.html"_s, extra);
    s.publisher->UpdateLocal(false);
    QVERIFY2(s.prompt.messages.isEmpty(), qPrintable(describe(s.prompt.messages)));
    QCOMPARE(s.file(u"indexbackup"_s), second);
    QVERIFY(s.commandsOn() && !s.view.finishEnabled);

    // A good page but no archive page: the archive's message, the page read.
    http.resetBehaviour();
    HttpTestServer::Behaviour missing;
    missing.status = 404;
    http.setBehaviour(u"/archive.html"_s, missing);
    settings().archive = u"true"_s;
    settings().archiveurl = http.url(u"/archive.html"_s);
    QVERIFY(s.put(u"archive"_s, archivePage()));
    const QByteArray third = page(5);
    QVERIFY(http.writeFile(u"index.html"_s, third));
    settings().pageRetrieved = false;
    s.publisher->UpdateLocal(false);
    QCOMPARE(s.prompt.texts(), QStringList{http.url(u"/archive.html"_s) + u"was not found."_s});
    QCOMPARE(s.prompt.messages[0].title, u"File Not Found"_s);
    QCOMPARE(s.file(u"indexbackup"_s), third);
    QCOMPARE(s.file(u"archive"_s), archivePage());
    QVERIFY(settings().pageRetrieved); // the page's markers were read
    QVERIFY(s.commandsOn() && !s.view.finishEnabled);
}

// ---- publishing ------------------------------------------------------------------

void TestPublisher::publishPageArchiveAndRss()
{
    FtpTestServer ftp;
    REQUIRE_RUNNING(ftp);
    const QByteArray served = page(2), archive = archivePage();
    QVERIFY(ftp.writeFile(u"www/index.html"_s, served));
    QVERIFY(ftp.writeFile(u"www/archive.html"_s, archive));
    // Auto-delete keeps the new entry alone: the two old ones move to the
    // archive page, so all three files change.
    Keys keys = ftpKeys(ftp);
    keys[u"autodelete"_s] = u"True"_s;
    keys[u"deleteamount"_s] = u"1"_s;
    Session s;
    QVERIFY(s.start(keys));
    s.publisher->UpdateLocal(false);
    QVERIFY(settings().pageRetrieved);
    s.flows->butt_Preview_Click();
    QVERIFY(s.view.finishEnabled);
    const QByteArray webbie = s.file(u"webbie"_s), archiveEdited = s.file(u"archivewebbie"_s);
    QVERIFY(webbie.contains("></a>Hello"));
    QVERIFY(!webbie.contains("Old post 1"));
    QVERIFY(archiveEdited.contains("Old post 1") && archiveEdited.contains("Old post 2"));
    QVERIFY(archiveEdited.contains("Archived text"));

    s.prompt.clear();
    ftp.clearLog();
    s.publisher->butt_Fin_Click();
    QVERIFY2(s.prompt.messages.isEmpty(), qPrintable(describe(s.prompt.messages)));
    QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);

    // On the server: the three files, nothing else left behind.
    QCOMPARE(ftp.readFile(u"www/index.html"_s), webbie);
    QCOMPARE(ftp.readFile(u"www/archive.html"_s), archiveEdited);
    const QByteArray rss = readFile(workFile(u"backend"_s, u".rss"_s));
    QVERIFY(rss.startsWith("<?xml"));
    QCOMPARE(ftp.readFile(u"www/backend.rss"_s), rss);
    QCOMPARE(QDir(ftp.rootPath(u"www"_s)).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             QStringList({u"archive.html"_s, u"backend.rss"_s, u"index.html"_s}));
    QCOMPARE(ftp.loginCount(), 1); // one connection for the whole sequence

    // The RSS file is XML and lists the new entry first.
    const Rss parsed = parseRss(rss);
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QCOMPARE(parsed.channelTitle, u"Ann & Bob's <log>"_s);
    // The headline keeps the line end the template's title line carries.
    QCOMPARE(parsed.titles.value(0), u"Hello"_s);
    QCOMPARE(parsed.links.value(0), kWebsite + u'#' + kAnchor);
    QCOMPARE(parsed.titles.size(), 1); // the page holds the new entry alone

    // Recorded, rolled forward, opened.
    QCOMPARE(s.ini(u"Fail"_s), u"False"_s);
    QCOMPARE(s.ini(u"Date"_s), u"12/5/2000"_s);
    QCOMPARE(s.ini(u"Time"_s), u"5:44:36 PM"_s);
    QCOMPARE(s.file(u"indexbackup"_s), webbie);
    QCOMPARE(s.file(u"backup"_s), webbie);
    QCOMPARE(s.file(u"archivebackup"_s), archiveEdited);
    QCOMPARE(s.file(u"archive"_s), archiveEdited);
    QCOMPARE(s.prompt.opened, QStringList{kWebsite});
    QVERIFY(s.commandsOn());
    QVERIFY(!s.view.resendVisible);
    for (const QString& line : {u"Copying Preview Into Backup"_s, u"Backend Placement Complete"_s,
                                u"Upload to www/index.html complete."_s, u"Disconnected"_s})
        QVERIFY2(s.view.status.contains(line), qPrintable(line));

    // Where the RSS file goes beside the page.
    QCOMPARE(Publisher::backendRemotePath(u"/www/index.html"_s), u"/www/backend.rss"_s);
    QCOMPARE(Publisher::backendRemotePath(u"www/index.html"_s), u"www/backend.rss"_s);
    QCOMPARE(Publisher::backendRemotePath(u"index.html"_s), u"backend.rss"_s);
}

namespace {
enum FtpFault
{
    NotRunning,
    WrongPassword,
    NoPermission,
    DiskFull,
    DroppedUpload,
    SlowServer
};
}

void TestPublisher::publishFaults_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("exact"); // else: the text starts so

    QTest::newRow("server not running")
        << int(NotRunning) << u"Pagewick"_s
        << u"Pagewick was unable to connect to the FTP site.  Please check your configuration and "
           "try again."_s
        << true;
    // The server's code, a line break and its reply text.
    QTest::newRow("wrong password") << int(WrongPassword) << u"Error Response Received"_s
                                    << u"Error Code 530\r\nAuthentication failed."_s << true;
    QTest::newRow("no permission") << int(NoPermission) << u"Error Response Received"_s
                                   << u"Error Code 550\r\nNot enough privileges."_s << true;
    QTest::newRow("disk full")
        << int(DiskFull) << u"Error Response Received"_s
        << u"Error Code 452\r\nInsufficient storage space; transfer aborted."_s << true;
    // The error number, a blank and its description.
    QTest::newRow("connection dropped")
        << int(DroppedUpload) << u"Transfer Error"_s << u"35781 "_s << false;
    QTest::newRow("slower than timeout")
        << int(SlowServer) << u"Transfer Error"_s << u"35761 "_s << false;
}

void TestPublisher::publishFaults()
{
    QFETCH(int, fault);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(bool, exact);

    FtpTestServer ftp;
    REQUIRE_RUNNING(ftp);
    const QByteArray served = page(3, 400000), archive = archivePage();
    QVERIFY(ftp.writeFile(u"www/index.html"_s, served));
    QVERIFY(ftp.writeFile(u"www/archive.html"_s, archive));
    Keys keys = ftpKeys(ftp);
    keys[u"timeout"_s] = u"2"_s;
    Session s;
    QVERIFY(s.start(keys));
    const QByteArray archiveBackup = archive + "<!-- as last published -->\r\n";
    QVERIFY(s.put(u"archivebackup"_s, archiveBackup));
    s.publisher->UpdateLocal(false);
    QVERIFY(settings().pageRetrieved);
    s.flows->butt_Preview_Click();
    QVERIFY(s.view.finishEnabled);
    const QByteArray webbie = s.file(u"webbie"_s), archiveEdited = s.file(u"archivewebbie"_s);
    const QByteArray base = s.file(u"indexbackup"_s), archiveCopy = s.file(u"archive"_s);

    switch (fault) {
    case NotRunning:
        settings().ftpsite = u"ftp://127.0.0.1:%1"_s.arg(closedPort());
        break;
    case WrongPassword:
        settings().password = u"wrong"_s;
        break;
    case NoPermission:
        ftp.denyAccess(u"/www"_s);
        break;
    case DiskFull:
        ftp.setDiskFullAfter(100000);
        break;
    case DroppedUpload:
        ftp.setDropAfter(100000);
        break;
    case SlowServer:
        ftp.setSlow(4000, 65536);
        break;
    }
    s.prompt.clear();
    s.publisher->butt_Fin_Click();

    // The message, once.
    QVERIFY2(s.prompt.messages.size() == 1, qPrintable(describe(s.prompt.messages)));
    const Message& m = s.prompt.messages[0];
    QCOMPARE(m.title, title);
    if (exact)
        QCOMPARE(m.text, text);
    else
        QVERIFY2(m.text.startsWith(text) && m.text.size() > text.size(),
                 qPrintable(describe(s.prompt.messages)));

    // Not published, Resend offered.
    QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Failed);
    QVERIFY(s.commandsOn());
    QVERIFY(!s.view.finishEnabled);
    QVERIFY(s.view.resendVisible && s.view.resendEnabled);
    QCOMPARE(s.ini(u"Fail"_s), u"True"_s);
    QCOMPARE(s.ini(u"Date"_s), QString());
    QCOMPARE(s.prompt.opened, QStringList());

    // The local working files as they were.
    QCOMPARE(s.file(u"webbie"_s), webbie);
    QCOMPARE(s.file(u"archivewebbie"_s), archiveEdited);
    QCOMPARE(s.file(u"indexbackup"_s), base);
    QCOMPARE(s.file(u"archive"_s), archiveCopy);
    QCOMPARE(s.file(u"archivebackup"_s), archiveBackup);

    // The live pages must be the old ones or the new ones, whole (checked
    // at the end, so that the resend below is tried in any case).
    const QByteArray live = ftp.readFile(u"www/index.html"_s);
    const QByteArray liveArchive = ftp.readFile(u"www/archive.html"_s);
    const QString liveReport =
        u"after the failed upload the live page has %1 bytes, the live "
        "archive %2; old pages %3 and %4 bytes, new ones %5 and %6"_s.arg(live.size())
            .arg(liveArchive.size())
            .arg(served.size())
            .arg(archive.size())
            .arg(webbie.size())
            .arg(archiveEdited.size());

    // The server recovers: Resend publishes the same entry.
    ftp.resetBehaviour();
    settings().ftpsite = ftp.url();
    settings().password = FtpTestServer::Password;
    s.prompt.clear();
    s.view.status.clear();
    s.publisher->butt_resend_Click();
    QVERIFY2(s.prompt.messages.isEmpty(), qPrintable(describe(s.prompt.messages)));
    QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
    QCOMPARE(s.view.status.value(0), u"Preview Last Entry"_s);
    QCOMPARE(ftp.readFile(u"www/index.html"_s), webbie);
    QCOMPARE(ftp.readFile(u"www/archive.html"_s), archiveEdited);
    QCOMPARE(ftp.readFile(u"www/backend.rss"_s), readFile(workFile(u"backend"_s, u".rss"_s)));
    QCOMPARE(s.ini(u"Fail"_s), u"False"_s);
    QCOMPARE(s.ini(u"Date"_s), u"12/5/2000"_s);
    QCOMPARE(s.file(u"indexbackup"_s), webbie);
    QCOMPARE(s.file(u"archivebackup"_s), archiveEdited);
    QCOMPARE(s.prompt.opened, QStringList{kWebsite});
    QVERIFY(s.commandsOn());
    QVERIFY(!s.view.resendVisible);

    QVERIFY2(live == served || live == webbie, qPrintable(liveReport));
    QVERIFY2(liveArchive == archive || liveArchive == archiveEdited, qPrintable(liveReport));
}

void TestPublisher::manualPublishing()
{
    HttpTestServer http;
    REQUIRE_RUNNING(http);
    FtpTestServer ftp;
    REQUIRE_RUNNING(ftp);
    QVERIFY(http.writeFile(u"index.html"_s, page(2)));
    Keys keys = httpKeys(http.url(u"/index.html"_s));
    keys[u"autoftp"_s] = u"False"_s;
    keys[u"ftpsite"_s] = ftp.url();
    keys[u"username"_s] = FtpTestServer::User;
    keys[u"password"_s] = FtpTestServer::Password;
    Session s;
    QVERIFY(s.start(keys));
    QVERIFY2(s.prompt.messages.isEmpty(), qPrintable(describe(s.prompt.messages)));
    s.publisher->UpdateLocal(false);
    s.flows->butt_Preview_Click();
    QVERIFY(s.view.finishEnabled);
    const QByteArray webbie = s.file(u"webbie"_s);
    QVERIFY(webbie.contains("></a>Hello"));

    const QString target = s.dir.filePath(u"for-upload.html"_s);
    s.prompt.clear();
    ftp.clearLog();
    s.prompt.files << std::nullopt << target; // cancelled once, then saved
    s.publisher->butt_Fin_Click();
    QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Saved);
    QCOMPARE(s.prompt.texts(),
             QStringList({u"You must save the file to be manually uploaded."_s,
                          target + u" ready!  Please exit and manually upload."_s}));
    QCOMPARE(s.prompt.fileRequests.size(), 2);
    const FileRequest& r = s.prompt.fileRequests[0];
    QCOMPARE(r.kind, FileRequest::Save);
    QCOMPARE(r.initialDir, programDir());
    QCOMPARE(r.filter, u"All Files (*.*)|*.*|HTML Files(*.html)|*.html"_s);
    QCOMPARE(r.filterIndex, 2);
    QCOMPARE(r.defaultExt, u"html"_s);
    QCOMPARE(readFile(target), webbie);

    QCOMPARE(s.ini(u"Date"_s), u"12/5/2000"_s);
    QCOMPARE(s.ini(u"Time"_s), u"5:44:36 PM"_s);
    QCOMPARE(s.ini(u"Fail"_s), QString());
    QVERIFY(!s.exists(u"backup"_s));
    QCOMPARE(ftp.logLines(), QStringList());
    QCOMPARE(s.prompt.opened, QStringList());
    QVERIFY(!s.view.finishEnabled && !s.view.previewEnabled); // the user is to quit
}

// ---- Help menu -------------------------------------------------------------------

void TestPublisher::updateCheck()
{
    HttpTestServer http;
    REQUIRE_RUNNING(http);
    const QByteArray news =
        "Pagewick 0.8.5 is out.\r\nIt mends the archive.\r\nIt adds RSS images.";
    QVERIFY(http.writeFile(u"pagewick/version.txt"_s, news));
    const QString site = u"http://127.0.0.1:%1"_s.arg(http.port());
    qputenv("PAGEWICK_SITE", site.toUtf8());
    const auto unset = qScopeGuard([] { qunsetenv("PAGEWICK_SITE"); });

    QTemporaryDir dir;
    QVERIFY(setProgramDir(dir.path()));
    settings() = Settings();
    settings().timeout = u"5"_s;
    ScriptedPrompt prompt;
    RecordingView view;
    UpdateCheck check(view);
    const QString question = u"Your version: Version 0.8.4\r\n\r\n"_s + QString::fromLatin1(news) +
                             u"\r\n\r\nWould you like to visit the Pagewick Home Page?"_s;

    prompt.answers << Answer::Yes;
    check.mnuUpdateCheck_Click();
    QCOMPARE(prompt.messages.size(), 1);
    QCOMPARE(prompt.messages[0].title, u"Checking for Update"_s);
    QCOMPARE(prompt.messages[0].buttons, Buttons::YesNo);
    QCOMPARE(prompt.messages[0].text, question);
    QCOMPARE(prompt.opened, QStringList{site + u"/pagewick/"_s});
    QCOMPARE(view.status.value(view.status.size() - 1), u"Check for update news completed."_s);
    QCOMPARE(http.requests(), QStringList{u"GET /pagewick/version.txt"_s});

    prompt.clear();
    view.status.clear();
    prompt.answers << Answer::No;
    check.mnuUpdateCheck_Click();
    QCOMPARE(prompt.texts(), QStringList{question});
    QCOMPARE(prompt.opened, QStringList());
    QCOMPARE(view.status.value(view.status.size() - 1), u"Check for update news completed."_s);

    check.mnuVisitWeb_Click();
    check.mnuHelp_Click();
    QCOMPARE(prompt.opened,
             QStringList({site + u"/pagewick/"_s, dir.path() + u"/pagewick.html"_s}));
    QVERIFY(QFileInfo::exists(dir.path() + u"/pagewick.html"_s));

    // A failed fetch: one clear message naming the address, no question.
    HttpTestServer::Behaviour missing;
    missing.status = 404;
    http.setBehaviour(u"/pagewick/version.txt"_s, missing);
    for (const QString& where : {site, u"http://127.0.0.1:%1"_s.arg(closedPort())}) {
        qputenv("PAGEWICK_SITE", where.toUtf8());
        prompt.clear();
        view.status.clear();
        check.mnuUpdateCheck_Click();
        QVERIFY2(prompt.messages.size() == 1, qPrintable(describe(prompt.messages)));
        QCOMPARE(prompt.messages[0].buttons, Buttons::Ok);
        QVERIFY2(prompt.messages[0].text.contains(where + u"/pagewick/version.txt"_s),
                 qPrintable(describe(prompt.messages)));
        if (where == site)
            QVERIFY2(prompt.messages[0].text.contains(u"404"_s),
                     qPrintable(describe(prompt.messages)));
        QCOMPARE(prompt.opened, QStringList());
        QVERIFY(!view.status.contains(u"Check for update news completed."_s));
    }

    // And the program goes on: the next check works.
    qputenv("PAGEWICK_SITE", site.toUtf8());
    http.resetBehaviour();
    prompt.clear();
    prompt.answers << Answer::No;
    check.mnuUpdateCheck_Click();
    QCOMPARE(prompt.texts(), QStringList{question});
}

QTEST_GUILESS_MAIN(TestPublisher)
#include "tst_publisher.moc"
