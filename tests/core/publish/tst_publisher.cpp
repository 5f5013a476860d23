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

#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/Startup.h"
#include "core/entry/PageEditor.h"
#include "core/publish/Publisher.h"
#include "core/publish/UpdateCheck.h"

#include <QScopeGuard>
#include <QTcpServer>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;
using namespace PublishFixture;

namespace {

// The anchor of the entry Preview makes on 12/5/2000 at 5:44:36 PM.
const QString kAnchor = u"125200054436PM"_s;
const QString kNoArchiveBackup =
    u"Pagewick: Normally in No-Retrieve Mode pagewick assumes the last archive backup file is the "
    "latest local version of your archive.  However, this backup file was not found.  Next, an "
    "open file dialog box will open.  Please select the file you wish to use as your archive "
    "file."_s;

QString describe(const QList<Message>& messages)
{
    QStringList out;
    for (const Message& m : messages)
        out << m.title + u": "_s + m.text;
    return out.join(u" | "_s).replace(u'\r', u"\\r"_s).replace(u'\n', u"\\n"_s);
}

// Whether the messages shown are, in order, one "title: text" of `patterns`
// each, where a "*" stands for one character or more.
bool shownAre(const QList<Message>& messages, const QStringList& patterns)
{
    if (messages.size() != patterns.size())
        return false;
    for (qsizetype i = 0; i < patterns.size(); ++i) {
        const QString text = messages[i].title + u": "_s + messages[i].text;
        const QString head = patterns[i].section(u'*', 0, 0), tail = patterns[i].section(u'*', 1);
        if (!patterns[i].contains(u'*') ? text != patterns[i]
                                        : text.size() <= head.size() + tail.size() ||
                                              !text.startsWith(head) || !text.endsWith(tail))
            return false;
    }
    return true;
}

#define SHOWN(prompt, ...)                                                                         \
    QVERIFY2(shownAre((prompt).messages, __VA_ARGS__), qPrintable(describe((prompt).messages)))

// The hooks of the window, with the real publisher behind them.
class Hooks final : public PageEditorHooks
{
public:
    Publisher* publisher = nullptr;
    int preferences = 0;

    void retrievePage(bool insertAfter) override { publisher->retrievePage(insertAfter); }
    void publish() override { publisher->publish(); }
    QString choosePageSource() override { return u"Server"_s; }
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
    std::unique_ptr<PageEditor> flows;
    std::unique_ptr<Publisher> publisher;

    bool start(const Keys& keys)
    {
        if (!dir.isValid() || !setProgramDir(dir.path()) || !writeIni(dir.path(), {{1, keys}}))
            return false;
        settings() = Settings();
        startUp(settings(), prompt, view);
        flows = std::make_unique<PageEditor>(view, hooks);
        publisher = std::make_unique<Publisher>(view, *flows, hooks);
        hooks.publisher = publisher.get();
        view.entry = {u"Hello"_s, u"World"_s, u"Ann"_s, QString(), u"http://"_s, QString()};
        return true;
    }
    // Forgets the messages and status lines shown so far.
    void again()
    {
        prompt.clear();
        view.status.clear();
    }

    QByteArray file(const QString& stem) const { return readFile(workFile(stem)); }
    bool put(const QString& stem, const QByteArray& bytes) const
    {
        return writeFile(workFile(stem), bytes);
    }
    bool exists(const QString& stem) const { return QFileInfo::exists(workFile(stem)); }
    QString ini(const QString& key) const
    {
        return readSetting(settings().settingsPath, u"1"_s, key);
    }
    // The status box showed all of `lines`.
    bool said(const QStringList& lines) const
    {
        return std::all_of(lines.begin(), lines.end(),
                           [this](const QString& line) { return view.status.contains(line); });
    }
    // setPublishingEnabled(true) happened last: everything but Finish and Resend is on.
    bool commandsOn() const
    {
        return view.previewEnabled && view.preferencesEnabled && view.backupEnabled &&
               view.deleteLastEnabled && !view.busy;
    }
    // Waiting for the next Preview: the commands on, Finish off.
    bool idle() const { return commandsOn() && !view.finishEnabled; }
};

#define SAID(s, ...) QVERIFY2((s).said(__VA_ARGS__), qPrintable((s).view.status.join(u" | "_s)))

// Publishing by FTP with the page, the archive page and the RSS file.
Keys publishKeys(const FtpTestServer& ftp)
{
    Keys keys = ftpKeys(ftp);
    keys.insert({{u"archive"_s, u"true"_s},
                 {u"archiveftp"_s, u"www/archive.html"_s},
                 {u"archiveurl"_s, u"http://www.example.com/weblog/archive.html"_s},
                 {u"backendenabled"_s, u"True"_s},
                 {u"backendtitle"_s, u"Ann & Bob's <log>"_s},
                 {u"backenddescript"_s, u"News"_s}});
    return keys;
}

// Retrieval by HTTP from `address`, publishing switched on but never used
// (or, with `ftp`, used on that server).
Keys httpKeys(const QString& address, const FtpTestServer* ftp = nullptr)
{
    Keys keys{{u"website"_s, address},
              {u"ftpsite"_s, u"ftp://127.0.0.1:%1"_s.arg(closedPort())},
              {u"ftpremote"_s, u"index.html"_s},
              {u"timeout"_s, u"2"_s},
              {u"autoftp"_s, u"True"_s},
              {u"connection"_s, u"direct"_s},
              {u"retreivemode"_s, u"auto"_s},
              {u"archive"_s, u"false"_s}};
    if (ftp)
        keys.insert({{u"ftpsite"_s, ftp->url()},
                     {u"username"_s, FtpTestServer::User},
                     {u"password"_s, FtpTestServer::Password}});
    return keys;
}

// The texts of the title and link elements of an XML document by path
// ("rss/channel/item/title"), in order; "error" holds a parse error.
QMap<QString, QStringList> rssTexts(const QByteArray& bytes)
{
    QMap<QString, QStringList> texts;
    QXmlStreamReader xml(bytes);
    QStringList path;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            path << xml.name().toString();
            if (xml.name() == u"title" || xml.name() == u"link") {
                texts[path.join(u'/')] << xml.readElementText();
                path.removeLast(); // readElementText consumed the end element
            }
        } else if (token == QXmlStreamReader::EndElement) {
            path.removeLast();
        }
    }
    if (xml.hasError())
        texts[u"error"_s] << xml.errorString() + u" at line "_s + QString::number(xml.lineNumber());
    return texts;
}

} // namespace

class TestPublisher : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        qputenv("PAGEWICK_NOW", "2000-12-05T17:44:36");
        qunsetenv("PAGEWICK_OFFLINE");
    }

    void sizesAndPaths()
    {
        // The progress bar of a download counts kilobytes, halves to the even
        // number, 300 when the size is unknown or small.
        QCOMPARE(Publisher::expectedKilobytes(u"1536"_s), 2);
        QCOMPARE(Publisher::expectedKilobytes(u"2560"_s), 2);
        QCOMPARE(Publisher::expectedKilobytes(u"3584"_s), 4);
        QCOMPARE(Publisher::expectedKilobytes(u"512"_s), 300);
        QCOMPARE(Publisher::expectedKilobytes(QString()), 300);
        // The RSS file goes beside the page.
        QCOMPARE(Publisher::backendRemotePath(u"/www/index.html"_s), u"/www/backend.rss"_s);
        QCOMPARE(Publisher::backendRemotePath(u"www/index.html"_s), u"www/backend.rss"_s);
        QCOMPARE(Publisher::backendRemotePath(u"index.html"_s), u"backend.rss"_s);
    }

    // ---- retrieval ---------------------------------------------------------------

    void retrieveByFtp()
    {
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        const QByteArray served = page(2), archive = archivePage();
        QVERIFY(ftp.writeFile(u"www/index.html"_s, served));
        QVERIFY(ftp.writeFile(u"www/archive.html"_s, archive));
        Session s;
        QVERIFY(s.start(publishKeys(ftp)));
        SHOWN(s.prompt, {});
        QCOMPARE(settings().password, FtpTestServer::Password);

        s.publisher->retrievePage(false);
        SHOWN(s.prompt, {});
        QCOMPARE(s.file(u"indexbackup"_s), served);
        QCOMPARE(s.file(u"archive"_s), archive);
        QVERIFY(settings().pageRetrieved && s.idle());
        SAID(s, {u"FTP Retrieve Mode Detected..."_s, u"Local Page Updated"_s, u"Disconnected"_s});
        QCOMPARE(ftp.loginCount(), 1); // page and archive over one connection
        // The page is read: Preview places the entry at once.
        s.flows->preview();
        QVERIFY(s.view.finishEnabled);
        QVERIFY(s.file(u"webbie"_s).contains("<a name=\"" + kAnchor.toLatin1() + "\"></a>Hello"));

        // A download broken off in the middle, then a page missing on the
        // server: the error, then the same ending; the base copy stays.
        for (const bool dropped : {true, false}) {
            if (dropped) {
                QVERIFY(ftp.writeFile(u"www/index.html"_s, page(5, 200000)));
                ftp.setDropAfter(30000);
            } else {
                ftp.resetBehaviour();
                settings().ftpremote = u"www/missing.html"_s;
            }
            s.again();
            s.publisher->retrievePage(false);
            // Each message once: the failed transfer and the advice, or the
            // server's answer and the end of the retrieval.
            if (dropped)
                SHOWN(s.prompt, {u"Transfer Error: 35781 *"_s,
                                 u"Pagewick: An error has occur while trying to download the "
                                 "html files off your server.  If this continues, you may wish "
                                 "to switch to a different retrieve mode."_s});
            else
                SHOWN(s.prompt, {u"Error Response Received: Error Code 550\r\n*"_s,
                                 u"Pagewick: Error attempting to FTP download."_s});
            QCOMPARE(s.file(u"indexbackup"_s), served);
            QCOMPARE(s.file(u"archive"_s), archive);
            QVERIFY(!settings().pageRetrieved && s.idle());
            QVERIFY(!s.view.resendVisible); // nothing failed to upload
        }

        // Auto FTP switched off after loading, as the preferences window can
        // leave it: the FTP retrieve mode is refused before any connection.
        settings().autoftp = u"False"_s;
        settings().insertAfterRetrieval = false;
        s.again();
        s.view.setPublishingEnabled(false);
        s.view.preferencesEnabled = false;
        ftp.clearLog();
        s.publisher->retrievePage(true);
        SHOWN(s.prompt, {u"Auto FTP not enabled: You can not use FTP Retrieve Mode if you have "
                         "Auto FTP disabled in the setup menu.  Please correct this and try "
                         "again."_s});
        QCOMPARE(s.prompt.messages[0].icon, Icon::Critical);
        QCOMPARE(s.prompt.messages[0].buttons, Buttons::Ok);
        QVERIFY(s.view.preferencesEnabled);
        QCOMPARE(s.hooks.preferences, 1);
        QVERIFY(!s.view.previewEnabled && !s.view.finishEnabled); // as they were
        QVERIFY(!settings().insertAfterRetrieval && !settings().pageRetrieved);
        QCOMPARE(s.file(u"indexbackup"_s), served);
        QCOMPARE(ftp.logLines(), QStringList()); // not even a connection
    }

    void retrieveByHttp_data()
    {
        QTest::addColumn<QString>("how");     // the page's answer (see httpBehaviour), or "down"
        QTest::addColumn<QString>("archive"); // the archive's answer; "off": no archive
        QTest::addColumn<QString>("message"); // %1: the page's address, %2: the archive's
        const auto row = [](const char* name, const char* how, const char* archive,
                            const QString& message = {}) {
            QTest::newRow(name) << QString(how) << QString(archive) << message;
        };
        const QString unexpected =
            u"Download Error: The server returned the following unexpected response:\r\r"_s;
        const QString interrupted = u"Download Error: The download of %1 was interrupted: "
                                    "*\r\rYour local files were not changed."_s;
        row("page", "", "off");
        row("no Content-Length", "no length", "off");
        row("longer than Content-Length", "extra 700", "off");
        row("page and archive", "", "");
        row("archive missing", "", "404", u"File Not Found: %2was not found."_s);
        row("401", "401", "off",
            u"Unauthorized: 401 error.  You are not authorized to get this file."_s);
        row("404", "404", "off", u"File Not Found: %1was not found."_s);
        row("500", "500", "off", unexpected + u"HTTP/1.1 500 Internal Server Error\r"_s);
        row("closed without answer", "close", "off", unexpected + u"*"_s);
        row("server not running", "down", "off",
            u"Unable to Establish Connection: Connection cannot be established.\r\rPlease check "
            "your Internet connection."_s);
        row("stalled mid-body", "stall 20000", "off", interrupted);
        // The announced length is never reached: the server closes early.
        row("dropped mid-body", "cut 100000", "off", interrupted);
    }

    void retrieveByHttp()
    {
        QFETCH(QString, how);
        QFETCH(QString, archive);
        QFETCH(QString, message);
        const bool read = message.isEmpty() || archive == u"404"; // the page's markers were read

        HttpTestServer http;
        REQUIRE_RUNNING(http);
        // 35.5 KB: the progress bar counts to 36 (35.5 rounds to the even 36).
        QByteArray served = page(3);
        served = page(3, 36352 - served.size() - 11);
        QCOMPARE(served.size(), 36352);
        QVERIFY(http.writeFile(u"index.html"_s, served));
        QVERIFY(http.writeFile(u"archive.html"_s, archivePage()));
        if (how != u"down")
            http.setBehaviour(u"/index.html"_s, httpBehaviour(how));
        const QString address =
            u"http://127.0.0.1:%1/index.html"_s.arg(how == u"down" ? closedPort() : http.port());
        Keys keys = httpKeys(address);
        if (archive != u"off") {
            http.setBehaviour(u"/archive.html"_s, httpBehaviour(archive));
            keys.insert(
                {{u"archive"_s, u"true"_s}, {u"archiveurl"_s, http.url(u"/archive.html"_s)}});
        }
        Session s;
        QVERIFY(s.start(keys));
        SHOWN(s.prompt, {});
        // The local files of an earlier session: the base copy older and
        // longer, so that it must be replaced, not appended to.
        const QByteArray base = page(9, 90000), backup = page(1) + "<!-- published -->\r\n";
        const QByteArray oldArchive = archivePage() + "<!-- kept -->\r\n";
        QVERIFY(s.put(u"indexbackup"_s, base) && s.put(u"backup"_s, backup));
        QVERIFY(s.put(u"archive"_s, oldArchive));

        s.publisher->retrievePage(false);
        message.replace(u"%1"_s, address).replace(u"%2"_s, http.url(u"/archive.html"_s));
        SHOWN(s.prompt, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(s.file(u"indexbackup"_s), read ? served : base);
        QCOMPARE(s.file(u"archive"_s), archive.isEmpty() ? archivePage() : oldArchive);
        QCOMPARE(s.file(u"backup"_s), backup);
        QCOMPARE(settings().pageRetrieved, read);
        QVERIFY(s.idle());
        if (!read) {
            QCOMPARE(s.prompt.messages[0].icon,
                     how == u"down" ? Icon::Exclamation : Icon::Critical);
            SAID(s, {u"Error retrieving URL"_s});
            QVERIFY(!s.view.progressVisible);
            QVERIFY(!s.exists(u"webbie"_s));
            return;
        }
        SAID(s, {u"Attempting 127.0.0.1:%1"_s.arg(http.port()),
                 u"indexbackup1.html updated via HTTP"_s});
        if (archive == u"off") { // the last bar is the page's
            QCOMPARE(s.view.progressMax, how == u"no length" ? 300 : 36);
            QVERIFY(s.view.progress <= s.view.progressMax);
        } else {
            QCOMPARE(http.requests(), QStringList({u"GET /index.html"_s, u"GET /archive.html"_s}));
        }
        if (archive.isEmpty())
            SAID(s, {u"archive1.html updated via HTTP"_s});
        s.flows->preview();
        QVERIFY(s.view.finishEnabled);
    }

    void retrieveFromBackupOrChosenFile()
    {
        Keys keys = httpKeys(kWebsite);
        keys.insert({{u"retreivemode"_s, u"none"_s}, {u"archive"_s, u"true"_s}});
        Session s;
        QVERIFY(s.start(keys));
        const QString mine = s.dir.filePath(u"mine.html"_s);
        const QString myArchive = s.dir.filePath(u"old.html"_s);
        QVERIFY(writeFile(mine, page(3)) && writeFile(myArchive, archivePage()));

        // No backup: the explanation, then the file dialog until a file is
        // chosen; the same for the archive.
        s.prompt.files << std::nullopt << mine << myArchive;
        s.publisher->retrievePage(false);
        SHOWN(s.prompt,
              {u"Pagewick: Normally in no-retrieve mode pagewick assumes the last backup file is "
               "the latest local version of your web page.  However, this backup file was not "
               "found.  Next, an open file dialog box will open.  Please select the html file "
               "you wish to modify."_s,
               u"Pagewick: Since you are in No Retrieve Mode, you must select a local file"_s,
               kNoArchiveBackup});
        QCOMPARE(s.file(u"indexbackup"_s), page(3));
        QCOMPARE(s.file(u"archive"_s), archivePage());
        QCOMPARE(s.prompt.fileRequests.size(), 3);
        const FileRequest& r = s.prompt.fileRequests[0];
        QCOMPARE(r.kind, FileRequest::Open);
        QCOMPARE(r.initialDir, programDir());
        QCOMPARE(r.filter, u"All Files (*.*)|*.*|HTML Files(*.html)|*.html|HTM Files (*.htm)|*.htm|"
                           "SHTML Files (*.shtml)|*.shtml"_s);
        QCOMPARE(r.filterIndex, 2);
        QCOMPARE(r.defaultExt, u"html"_s);
        SAID(s, {u"No-Retrieve Mode Detected..."_s, u"Looking for backup1.html"_s,
                 u"Local Files Not Found"_s, u"Local file updated"_s,
                 u"Looking for archivebackup1.html"_s});
        QVERIFY(settings().pageRetrieved && s.idle());
        QCOMPARE(s.prompt.unscripted, 0);

        // With both backups nothing is asked.
        QVERIFY(s.put(u"backup"_s, page(1)));
        QVERIFY(s.put(u"archivebackup"_s, archivePage() + "<!-- kept -->\r\n"));
        s.again();
        settings().pageRetrieved = false;
        s.publisher->retrievePage(false);
        SHOWN(s.prompt, {});
        QCOMPARE(s.prompt.fileRequests.size(), 0);
        QCOMPARE(s.file(u"indexbackup"_s), page(1));
        QCOMPARE(s.file(u"archive"_s), archivePage() + "<!-- kept -->\r\n");
        SAID(s, {u"Assuming local files are current"_s, u"Using backup1.html as local file"_s});
        QVERIFY(settings().pageRetrieved);

        // The page's backup alone: the page is taken silently, the archive asked for.
        QVERIFY(QFile::remove(workFile(u"archivebackup"_s)));
        s.again();
        s.prompt.files << myArchive;
        s.publisher->retrievePage(false);
        SHOWN(s.prompt, {kNoArchiveBackup});
        QCOMPARE(s.prompt.fileRequests.size(), 1);
        QCOMPARE(s.file(u"archive"_s), archivePage());
        QCOMPARE(s.file(u"indexbackup"_s), page(1));
    }

    void offlineDecision()
    {
        qputenv("PAGEWICK_OFFLINE", "1");
        const auto online = qScopeGuard([] { qunsetenv("PAGEWICK_OFFLINE"); });
        HttpTestServer http;
        REQUIRE_RUNNING(http);
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QVERIFY(http.writeFile(u"index.html"_s, page(2)));
        Keys keys = httpKeys(http.url(u"/index.html"_s), &ftp);
        keys[u"connection"_s] = u"modem"_s;
        Session s;
        QVERIFY(s.start(keys));

        // No backup: the message alone.
        s.publisher->retrievePage(false);
        SHOWN(s.prompt,
              {u"Pagewick: Unable to use OffLine Mode.  Please connect to the internet."_s});
        SAID(s, {u"Please Connect to the Net"_s});
        QVERIFY(s.commandsOn());
        QVERIFY(!settings().pageRetrieved);
        QVERIFY(!s.exists(u"indexbackup"_s));

        // With a backup, the question; No changes nothing, Yes makes the
        // backup the base copy.
        const QByteArray backup = page(1);
        QVERIFY(s.put(u"backup"_s, backup));
        for (const Answer answer : {Answer::No, Answer::Yes}) {
            s.again();
            s.prompt.answers << answer;
            s.publisher->retrievePage(false);
            SHOWN(s.prompt, {u"Go into Offline Mode?: You are not connected to the internet.  "
                             "Would you like to use the version that was last placed on the "
                             "webserver successfully?"_s});
            QCOMPARE(s.prompt.messages[0].buttons, Buttons::YesNo);
            QCOMPARE(s.exists(u"indexbackup"_s), answer == Answer::Yes);
            QCOMPARE(settings().pageRetrieved, answer == Answer::Yes);
            QVERIFY(s.idle());
        }
        QCOMPARE(s.file(u"indexbackup"_s), backup);
        SAID(s, {u"Entering OffLine Mode"_s});
        QCOMPARE(http.requests(), QStringList()); // offline: never asked

        // Finishing while offline: nothing is copied, nothing is sent.
        s.flows->preview();
        QVERIFY(s.view.finishEnabled);
        s.prompt.clear();
        ftp.clearLog();
        s.publisher->finish();
        SHOWN(s.prompt, {u"Pagewick: Please connect to the internet first.  Once you are "
                         "connected, hit the transfer button again."_s});
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Stopped);
        QCOMPARE(s.file(u"backup"_s), backup);
        QCOMPARE(ftp.logLines(), QStringList());
        QVERIFY(s.commandsOn());
        QCOMPARE(s.ini(u"Fail"_s), QString());
    }

    // ---- publishing --------------------------------------------------------------

    void publish_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message"); // shown by Finish; empty: published at once
        // After a failure: which live files are new ("none": all old).
        QTest::addColumn<QString>("newOnServer");
        QTest::addColumn<QString>("outcomeLine"); // status line telling what is where
        const QString notChanged = u"The entry was not published; your page on the server was not "
                                   "changed by the failed transfer.  Press Resend to try again."_s;
        QTest::newRow("published") << QString() << QString() << QString() << QString();
        // A server that will not rename over an existing file: the old file
        // goes aside, the new one in, then the old one is deleted.
        QTest::newRow("no rename over an existing file")
            << u"noRenameOver"_s << QString() << QString() << QString();
        QTest::newRow("renames refused")
            << u"noRename"_s
            << u"Error Response Received: Error Code 550\r\nRenaming files is not permitted here."_s
            << u"none"_s << notChanged;
        QTest::newRow("archive upload refused after the page upload")
            << u"archiveStore"_s
            << u"Error Response Received: Error Code 550\r\nCannot store "
               "archive.html.pagewick-upload: Permission denied."_s
            << u"none"_s << notChanged;
        QTest::newRow("RSS upload refused")
            << u"rssStore"_s
            << u"Error Response Received: Error Code 550\r\nCannot store "
               "backend.rss.pagewick-upload: Permission denied."_s
            << u"none"_s << notChanged;
        // The archive page is in place, the page cannot follow: the cut
        // entries are on the new archive page and still on the old page.
        QTest::newRow("page cannot be put in place after the archive page")
            << u"pageRename"_s
            << u"Error Response Received: Error Code 550\r\nCannot rename "
               "index.html.pagewick-upload."_s
            << u"archive"_s
            << u"The entry was not completely published: on the server the archive page is new, "
               "the page and the RSS file are still the old ones.  Press Resend to try again."_s;
        QTest::newRow("server not running")
            << u"down"_s
            << u"Pagewick: Pagewick was unable to connect to the FTP site.  Please check your "
               "configuration and try again."_s
            << u"none"_s << QString();
        // The server's code, a line break and its reply text.
        QTest::newRow("wrong password")
            << u"password"_s
            << u"Error Response Received: Error Code 530\r\nAuthentication failed."_s << u"none"_s
            << QString();
        QTest::newRow("no permission")
            << u"deny"_s << u"Error Response Received: Error Code 550\r\nNot enough privileges."_s
            << u"none"_s << notChanged;
        QTest::newRow("disk full") << u"full"_s
                                   << u"Error Response Received: Error Code 452\r\nInsufficient "
                                      "storage space; transfer aborted."_s
                                   << u"none"_s << notChanged;
        // The error number, a blank and its description.
        QTest::newRow("connection dropped")
            << u"drop"_s << u"Transfer Error: 35781 *"_s << u"none"_s << notChanged;
        // A server that accepts and never answers: the time-out at log-in
        // gets the same box as any other failed transfer.
        QTest::newRow("no answer at log-in")
            << u"silent"_s << u"Transfer Error: 35761 *"_s << u"none"_s << QString();
        QTest::newRow("slower than timeout")
            << u"slow"_s << u"Transfer Error: 35761 *"_s << u"none"_s << notChanged;
    }

    void publish()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(QString, newOnServer);
        QFETCH(QString, outcomeLine);
        QTcpServer silent; // accepts connections, never says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        // Padded, so that an upload takes many blocks.
        const QByteArray served = page(3, 400000), archive = archivePage();
        QVERIFY(ftp.writeFile(u"www/index.html"_s, served));
        QVERIFY(ftp.writeFile(u"www/archive.html"_s, archive));
        // Auto-delete keeps the new entry alone: the old ones move to the
        // archive page, so all three files change.
        Keys keys = publishKeys(ftp);
        keys.insert(
            {{u"timeout"_s, u"2"_s}, {u"autodelete"_s, u"True"_s}, {u"deleteamount"_s, u"1"_s}});
        Session s;
        QVERIFY(s.start(keys));
        const QByteArray archiveBackup = archive + "<!-- as last published -->\r\n";
        QVERIFY(s.put(u"archivebackup"_s, archiveBackup));
        s.publisher->retrievePage(false);
        QVERIFY(settings().pageRetrieved);
        s.flows->preview();
        QVERIFY(s.view.finishEnabled);
        const QByteArray webbie = s.file(u"webbie"_s), archiveEdited = s.file(u"archivewebbie"_s);
        const QByteArray base = s.file(u"indexbackup"_s), archiveCopy = s.file(u"archive"_s);
        QVERIFY(webbie.contains("></a>Hello") && !webbie.contains("Old post 1"));
        QVERIFY(archiveEdited.contains("Old post 1") && archiveEdited.contains("Old post 3"));
        QVERIFY(archiveEdited.contains("Archived text"));

        if (fault == u"down")
            settings().ftpsite = u"ftp://127.0.0.1:%1"_s.arg(closedPort());
        else if (fault == u"password")
            settings().password = u"wrong"_s;
        else if (fault == u"deny")
            ftp.denyAccess(u"/www"_s);
        else if (fault == u"full")
            ftp.setDiskFullAfter(100000);
        else if (fault == u"drop")
            ftp.setDropAfter(100000);
        else if (fault == u"slow")
            ftp.setSlow(4000, 65536);
        else if (fault == u"silent")
            settings().ftpsite = u"ftp://127.0.0.1:%1"_s.arg(silent.serverPort());
        else if (fault == u"noRenameOver")
            ftp.setRenaming(FtpTestServer::Renaming::NotOverExisting);
        else if (fault == u"noRename")
            ftp.setRenaming(FtpTestServer::Renaming::Refused);
        else if (fault == u"archiveStore")
            ftp.failUploadsOf(u"archive.html"_s);
        else if (fault == u"rssStore")
            ftp.failUploadsOf(u"backend.rss"_s);
        else if (fault == u"pageRename")
            ftp.failRenamesOf(u"index.html"_s);
        s.again();
        ftp.clearLog();
        s.publisher->finish();

        QByteArray live, liveArchive;
        if (!message.isEmpty()) {
            // The message, once; not published, Resend offered.
            SHOWN(s.prompt, {message});
            QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Failed);
            QVERIFY(s.idle());
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
            // The live pages, checked at the end, so that Resend is tried in any case.
            live = ftp.readFile(u"www/index.html"_s);
            liveArchive = ftp.readFile(u"www/archive.html"_s);
            if (!outcomeLine.isEmpty())
                SAID(s, {outcomeLine});
            // Nothing but the live files is left on the server (a broken
            // connection may leave the partial upload copy behind).
            QStringList left =
                QDir(ftp.rootPath(u"www"_s)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
            if (fault == u"drop" || fault == u"slow")
                left = left.filter(QRegularExpression(u"^(archive|index)\\.html$"_s));
            QCOMPARE(left, QStringList({u"archive.html"_s, u"index.html"_s}));

            // The server recovers: Resend publishes the same entry.
            ftp.resetBehaviour();
            settings().ftpsite = ftp.url();
            settings().password = FtpTestServer::Password;
            s.again();
            ftp.clearLog();
            s.publisher->resend();
            QCOMPARE(s.view.status.value(0), u"Preview Last Entry"_s);
        }

        // Published, over one connection; on the server the three files,
        // nothing else left behind.
        SHOWN(s.prompt, {});
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
        QCOMPARE(ftp.readFile(u"www/index.html"_s), webbie);
        QCOMPARE(ftp.readFile(u"www/archive.html"_s), archiveEdited);
        const QByteArray rss = readFile(workFile(u"backend"_s, u".rss"_s));
        QVERIFY(rss.startsWith("<?xml"));
        QCOMPARE(ftp.readFile(u"www/backend.rss"_s), rss);
        QCOMPARE(QDir(ftp.rootPath(u"www"_s)).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                 QStringList({u"archive.html"_s, u"backend.rss"_s, u"index.html"_s}));
        // One connection; each refused rename makes libcurl log in anew
        // (a rename over a file, moving aside one that does not exist yet).
        if (fault == u"noRenameOver" || fault == u"pageRename")
            QVERIFY2(ftp.loginCount() <= 3, qPrintable(ftp.logLines().join(u" | "_s)));
        else
            QCOMPARE(ftp.loginCount(), 1);
        // The RSS file is XML and lists the new entry alone (the page holds
        // it alone), its headline with the line end of the template's title
        // line (only blanks are trimmed; XML reads CR LF as LF).
        const QMap<QString, QStringList> texts = rssTexts(rss);
        QCOMPARE(texts.value(u"error"_s), QStringList());
        QCOMPARE(texts.value(u"rss/channel/title"_s), QStringList{u"Ann & Bob's <log>"_s});
        QCOMPARE(texts.value(u"rss/channel/item/title"_s), QStringList{u"Hello\n"_s});
        QCOMPARE(texts.value(u"rss/channel/item/link"_s), QStringList{kWebsite + u'#' + kAnchor});

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
        SAID(s, {u"Copying Preview Into Backup"_s, u"Backend Placement Complete"_s,
                 u"Upload to www/index.html complete."_s, u"Disconnected"_s});
        // The live page is never deleted to make room for the new one.
        QCOMPARE(ftp.commands()
                     .filter(u"DELE /www/index.html"_s, Qt::CaseSensitive)
                     .filter(QRegularExpression(u"index.html$"_s)),
                 QStringList());
        if (fault == u"noRenameOver")
            QVERIFY2(ftp.commands().contains(u"RNTO /www/index.html.pagewick-old"_s),
                     qPrintable(ftp.commands().join(u" | "_s)));

        // After the failure the live pages were whole: the old ones, or the
        // new archive page beside the old page (never a cut entry on
        // neither page).
        if (!message.isEmpty())
            QVERIFY2(live == served &&
                         liveArchive == (newOnServer == u"archive" ? archiveEdited : archive),
                     qPrintable(u"after the failed upload the live page has %1 bytes, the live "
                                "archive %2; old pages %3 and %4 bytes, new ones %5 and %6"_s
                                    .arg(live.size())
                                    .arg(liveArchive.size())
                                    .arg(served.size())
                                    .arg(archive.size())
                                    .arg(webbie.size())
                                    .arg(archiveEdited.size())));
    }

    // A transfer path or address read back cut at 254 characters is refused
    // naming its key; nothing is sent, nothing recorded.
    void cutSettingsRefused_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("ftpremote") << u"ftpremote"_s;
        QTest::newRow("archiveftp") << u"archiveftp"_s;
        QTest::newRow("ftpsite") << u"ftpsite"_s;
        QTest::newRow("website") << u"website"_s;
    }

    void cutSettingsRefused()
    {
        QFETCH(QString, key);
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        HttpTestServer http;
        REQUIRE_RUNNING(http);
        const QByteArray served = page(2), archive = archivePage();
        QVERIFY(ftp.writeFile(u"www/index.html"_s, served));
        QVERIFY(ftp.writeFile(u"www/archive.html"_s, archive));
        QVERIFY(http.writeFile(u"index.html"_s, served));
        Session s;
        QVERIFY(s.start(publishKeys(ftp)));
        s.publisher->retrievePage(false);
        s.flows->preview();
        QVERIFY(s.view.finishEnabled);

        // As weblog.ini hands back a longer value: its first 254 characters.
        const QString cut = (u"www/"_s + QString(300, u'a')).left(254);
        const QString text = u"The setting "_s + key +
                             u" in weblog.ini is 254 characters or longer, so it was cut short "
                             "when it was read.  Nothing was sent.  Please correct it in the "
                             "SETUP menu."_s;
        s.again();
        ftp.clearLog();
        if (key == u"website") {
            settings().website = http.url(u"/"_s) + cut;
            settings().retreivemode = u"auto"_s;
            s.publisher->retrievePage(false);
            SHOWN(s.prompt, {u"Download Error: "_s + text});
            QCOMPARE(http.requests(), QStringList());
            QVERIFY(s.idle());
            return;
        }
        if (key == u"ftpremote")
            settings().ftpremote = cut;
        else if (key == u"archiveftp")
            settings().archiveftp = cut;
        else
            settings().ftpsite = u"ftp://127.0.0.1/"_s + cut;
        s.publisher->finish();
        SHOWN(s.prompt, {u"Pagewick: "_s + text});
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Stopped);
        // Not one command (the retrieval's connection may still be logging
        // its end).
        QCOMPARE(ftp.commands(), QStringList());
        QCOMPARE(ftp.readFile(u"www/index.html"_s), served);
        QCOMPARE(s.ini(u"Fail"_s), QString());
        QCOMPARE(s.ini(u"Date"_s), QString());
        QVERIFY(s.view.finishEnabled); // publish again once the setting is mended
    }

    // Auto-delete with archive never cuts entries it cannot archive: when the
    // archive page does not come whole, the page is published untrimmed and
    // the live archive left alone; the next publish trims.
    void autoDeleteKeepsWhatItCannotArchive_data()
    {
        QTest::addColumn<QString>("archiveAnswer"); // see httpBehaviour
        QTest::newRow("archive missing") << u"404"_s;
        QTest::newRow("archive shorter than announced") << u"cut 100000"_s;
        QTest::newRow("archive server error") << u"500"_s;
    }

    void autoDeleteKeepsWhatItCannotArchive()
    {
        QFETCH(QString, archiveAnswer);
        HttpTestServer http;
        REQUIRE_RUNNING(http);
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        const QByteArray served = page(3), archive = archivePage();
        QVERIFY(http.writeFile(u"index.html"_s, served));
        QVERIFY(http.writeFile(u"archive.html"_s, archive));
        QVERIFY(ftp.writeFile(u"www/index.html"_s, served));
        QVERIFY(ftp.writeFile(u"www/archive.html"_s, archive));
        Keys keys = httpKeys(http.url(u"/index.html"_s), &ftp);
        keys.insert({{u"ftpremote"_s, u"www/index.html"_s},
                     {u"archive"_s, u"true"_s},
                     {u"archiveurl"_s, http.url(u"/archive.html"_s)},
                     {u"archiveftp"_s, u"www/archive.html"_s},
                     {u"autodelete"_s, u"True"_s},
                     {u"deleteamount"_s, u"1"_s}});
        Session s;
        QVERIFY(s.start(keys));
        // An older local archive copy: it must not stand in for the live one.
        const QByteArray stale = archive + "<!-- stale -->\r\n";
        QVERIFY(s.put(u"archive"_s, stale));
        http.setBehaviour(u"/archive.html"_s, httpBehaviour(archiveAnswer));
        s.publisher->retrievePage(false);
        s.flows->preview();
        QVERIFY(s.view.finishEnabled);
        const QByteArray untrimmed = s.file(u"webbie"_s);
        for (const char* post : {"Old post 1", "Old post 2", "Old post 3", "></a>Hello"})
            QVERIFY2(untrimmed.contains(post), post);
        QVERIFY2(s.view.status.filter(u"so no entries were cut from the page"_s).size() == 1,
                 qPrintable(s.view.status.join(u" | "_s)));
        s.again();
        s.publisher->finish();
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
        QCOMPARE(ftp.readFile(u"www/index.html"_s), untrimmed);
        QCOMPARE(ftp.readFile(u"www/archive.html"_s), archive);
        QCOMPARE(s.file(u"archive"_s), stale);

        // The archive page can be read again: the next publish trims, and
        // the cut entries are on the live archive page.
        http.resetBehaviour();
        QVERIFY(http.writeFile(u"index.html"_s, untrimmed));
        s.again();
        settings().pageRetrieved = false;
        s.publisher->retrievePage(false);
        s.flows->preview();
        const QByteArray trimmed = s.file(u"webbie"_s);
        QVERIFY(!trimmed.contains("Old post 1") && !trimmed.contains("Old post 3"));
        s.publisher->finish();
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
        QCOMPARE(ftp.readFile(u"www/index.html"_s), trimmed);
        const QByteArray liveArchive = ftp.readFile(u"www/archive.html"_s);
        for (const char* post : {"Old post 1", "Old post 2", "Old post 3"})
            QVERIFY2(liveArchive.contains(post), post);
    }

    void manualPublishing()
    {
        HttpTestServer http;
        REQUIRE_RUNNING(http);
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QVERIFY(http.writeFile(u"index.html"_s, page(2)));
        Keys keys = httpKeys(http.url(u"/index.html"_s), &ftp);
        keys[u"autoftp"_s] = u"False"_s;
        Session s;
        QVERIFY(s.start(keys));
        SHOWN(s.prompt, {});
        s.publisher->retrievePage(false);
        s.flows->preview();
        QVERIFY(s.view.finishEnabled);
        const QByteArray webbie = s.file(u"webbie"_s);
        QVERIFY(webbie.contains("></a>Hello"));

        const QString target = s.dir.filePath(u"for-upload.html"_s);
        s.prompt.clear();
        ftp.clearLog();
        s.prompt.files << std::nullopt << target; // cancelled once, then saved
        s.publisher->finish();
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Saved);
        SHOWN(s.prompt,
              {u"Pagewick: You must save the file to be manually uploaded."_s,
               u"Pagewick: "_s + target + u" ready!  Please exit and manually upload."_s});
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

    // ---- Help menu ---------------------------------------------------------------

    void updateCheck()
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
        const QString question = u"Checking for Update: Your version: Version 0.8.4\r\n\r\n"_s +
                                 QString::fromLatin1(news) +
                                 u"\r\n\r\nWould you like to visit the Pagewick Home Page?"_s;
        const QString done = u"Check for update news completed."_s;

        // Yes opens the home page, No does not.
        for (const Answer answer : {Answer::Yes, Answer::No}) {
            prompt.clear();
            view.status.clear();
            prompt.answers << answer;
            check.checkForUpdate();
            SHOWN(prompt, {question});
            QCOMPARE(prompt.messages[0].buttons, Buttons::YesNo);
            QCOMPARE(prompt.opened,
                     answer == Answer::Yes ? QStringList{site + u"/pagewick/"_s} : QStringList());
            QCOMPARE(view.status.value(view.status.size() - 1), done);
        }
        QCOMPARE(http.requests(), QStringList(2, u"GET /pagewick/version.txt"_s));

        check.visitWebSite();
        check.openHelp();
        QCOMPARE(prompt.opened,
                 QStringList({site + u"/pagewick/"_s, dir.path() + u"/pagewick.html"_s}));
        QVERIFY(QFileInfo::exists(dir.path() + u"/pagewick.html"_s));

        // A failed fetch: one clear message naming the address, no question.
        http.setBehaviour(u"/pagewick/version.txt"_s, httpBehaviour(u"404"_s));
        for (const QString& where : {site, u"http://127.0.0.1:%1"_s.arg(closedPort())}) {
            qputenv("PAGEWICK_SITE", where.toUtf8());
            prompt.clear();
            view.status.clear();
            check.checkForUpdate();
            QVERIFY2(prompt.messages.size() == 1 && prompt.messages[0].buttons == Buttons::Ok &&
                         prompt.messages[0].text.contains(where + u"/pagewick/version.txt"_s) &&
                         (where != site || prompt.messages[0].text.contains(u"404"_s)),
                     qPrintable(describe(prompt.messages)));
            QCOMPARE(prompt.opened, QStringList());
            QVERIFY(!view.status.contains(done));
        }

        // And the program goes on: the next check works.
        qputenv("PAGEWICK_SITE", site.toUtf8());
        http.resetBehaviour();
        prompt.clear();
        prompt.answers << Answer::No;
        check.checkForUpdate();
        SHOWN(prompt, {question});
    }
};

QTEST_GUILESS_MAIN(TestPublisher)
#include "tst_publisher.moc"
