// The set-up wizard against a real FTP server, from the account to the markers
// uploaded, the preferences filled and a new user's first entry.

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/config/PasswordScrambler.h"
#include "core/setup/WizardSteps.h"
#include "gui/MainWindow.h"
#include "gui/ShownWindows.h"
#include "gui/WindowShots.h"
#include "gui/prefs/PreferencesDialog.h"
#include "gui/setup/MarkerTool.h"
#include "gui/setup/SetupWizard.h"

#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// UTF-8, no markers.
const QByteArray kPage = "<html><body>\n<h1>Gr\xC3\xBC\xC3\x9F"
                         "e</h1>\n\n\n\n\n\n</body></html>\n";
// Windows-1252, no archive marker.
const QByteArray kArchive = "<html><body>\r\n<h1>Archiv f\xFCr 2026</h1>\r\n</body></html>\r\n";

QListWidgetItem* itemNamed(QListWidget* list, const QString& name)
{
    const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

// Once the marker tool shows, puts the caret before `anchor` and presses the
// insert button; or cancels.
void driveMarkerTool(const QString& anchor, bool cancel = false)
{
    whenShown<MarkerTool>([=](MarkerTool* tool) {
        if (cancel) {
            child<QPushButton>(tool, "buttCancel")->click();
            return;
        }
        const qsizetype at = shownText(tool, "txtEdit").indexOf(anchor);
        QTextCursor c = child<QPlainTextEdit>(tool, "txtEdit")->textCursor();
        c.setPosition(int(at));
        child<QPlainTextEdit>(tool, "txtEdit")->setTextCursor(c);
        (child<QPushButton>(tool, "buttInsertCode")->isVisible()
             ? child<QPushButton>(tool, "buttInsertCode")
             : child<QPushButton>(tool, "buttarchivecode"))
            ->click();
    });
}

} // namespace

class TestSetupWizard : public QObject
{
    Q_OBJECT

    std::unique_ptr<FtpTestServer> m_ftp;
    std::unique_ptr<QTemporaryDir> m_dir;

    static void fillAccount(SetupWizard& w, const QString& site, const QString& password)
    {
        child<QLineEdit>(&w, "txtFTP")->setText(site);
        child<QLineEdit>(&w, "txtUsername")->setText(FtpTestServer::User);
        child<QLineEdit>(&w, "txtPassword")->setText(password);
        child<QLineEdit>(&w, "txtURL")->setText("http://www.example.com/index.html");
    }

    // Waits for the end of the wizard's steps under way.
    static void settle(SetupWizard& w) { QTRY_VERIFY_WITH_TIMEOUT(!w.browser().isBusy(), 30000); }

    // Logs on from the welcome page and opens `folder` of the server.
    void logOn(SetupWizard& w, const char* folder = nullptr)
    {
        fillAccount(w, m_ftp->url(), FtpTestServer::Password);
        child<QPushButton>(&w, "buttNext")->click();
        QCOMPARE(w.currentPage(), 1);
        child<QPushButton>(&w, "buttNext")->click();
        settle(w);
        if (folder)
            open(w, QString::fromLatin1(folder));
    }

    void select(SetupWizard& w, const QString& name)
    {
        QListWidgetItem* item = itemNamed(child<QListWidget>(&w, "lstdir"), name);
        QVERIFY2(item, qPrintable(name));
        child<QListWidget>(&w, "lstdir")->setCurrentItem(item);
        child<QPushButton>(&w, "buttSelect")->click();
        settle(w);
    }

    void open(SetupWizard& w, const QString& name, bool wait = true) // waits for the step
    {
        QListWidgetItem* item = itemNamed(child<QListWidget>(&w, "lstdir"), name);
        QVERIFY2(item, qPrintable(name));
        emit child<QListWidget>(&w, "lstdir")->itemDoubleClicked(item);
        if (wait)
            settle(w);
    }

private slots:
    void initTestCase()
    {
        m_ftp = std::make_unique<FtpTestServer>();
        QVERIFY2(m_ftp->isRunning(), qPrintable(m_ftp->errorString()));
        for (int i = 0; i < 5000; ++i)
            m_ftp->writeFile(QStringLiteral("many/f%1.html").arg(i), "x");
        m_ftp->writeFile("www/blog/deep/nested.html", "<html><!--pagewick--></html>");
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(useProgramDir(m_dir->path()));
        settings() = Settings();
        m_ftp->resetBehaviour();
        m_ftp->writeFile("www/index.html", kPage);
        m_ftp->writeFile("www/archive.html", kArchive);
        m_ftp->writeFile("www/marked.html", "<html><!--pagewick--></html>\r\n");
        m_ftp->writeFile("www/oddcase.html", "<html><!--PageWick--></html>\r\n");
        m_ftp->writeFile("www/archived.html", "<html><!--PAGEWICKARCHIVESTART--></html>\r\n");
        m_ftp->writeFile("www/my page.html", "<p><!--pagewick--></p>\r\n");
        m_ftp->writeFile(QString::fromUtf8("www/t\xC3\xA4gebuch.html"), "<p>t</p>\r\n");
    }

    void pagesAndAccountChecks() // the connection failures as well
    {
        ScriptedPrompt p;
        MainWindow main(workspace());
        PreferencesDialog prefs(workspace(), main, main);
        child<QLineEdit>(&prefs, "txtFTPsite")->setText("ftp.old.example");
        child<QLineEdit>(&prefs, "txtWebSite")->setText("http://old.example/");
        SetupWizard w(workspace(), &prefs);
        QCOMPARE(QStringList({w.objectName(), w.windowTitle(), shownText(&w, "txtFTP"),
                              shownText(&w, "txtURL")}),
                 QStringList(
                     {"frmWizard", "Pagewick Wizard", "ftp.old.example", "http://old.example/"}));
        QVERIFY(!child<QPushButton>(&w, "buttBack")->isEnabled());
        CHECK_WINDOW(&w, QStringLiteral("frmWizard-0-welcome"));
        auto* next = child<QPushButton>(&w, "buttNext");
        next->click();
        QCOMPARE(w.currentPage(), 1);
        child<QLineEdit>(&w, "txtURL")->setText("www.example.com/index.html");
        child<QLineEdit>(&w, "txtUsername")->setText("me");
        child<QLineEdit>(&w, "txtPassword")->setText("pw");
        CHECK_WINDOW(&w, QStringLiteral("frmWizard-1-account"));
        next->click();
        QCOMPARE(w.currentPage(), 1);
        QCOMPARE(titlesOf(p), QStringList({"Error"})); // its text is checked in tests/core
        QCOMPARE(p.messages[0].icon, Icon::Critical);
        // A server that cannot be reached, or refuses the log-on, returns to
        // the account.
        p.clear();
        fillAccount(w, "ftp://127.0.0.1:1", "p");
        next->click();
        settle(w);
        QCOMPARE(w.currentPage(), 1);
        QCOMPARE(p.texts(), QStringList{"Pagewick was unable to connect to the FTP site.  Please "
                                        "check your configuration and try again."});
        p.clear();
        fillAccount(w, m_ftp->url(), "wrong");
        next->click();
        settle(w);
        QCOMPARE(w.currentPage(), 1);
        QCOMPARE(titlesOf(p), QStringList({"Error Response Received"}));
        QVERIFY(next->isEnabled());
        child<QPushButton>(&w, "buttBack")->click();
        QCOMPARE(w.currentPage(), 0);
    }

    void walksFolders()
    {
        ScriptedPrompt p;
        SetupWizard w(workspace());
        logOn(w);
        QCOMPARE(w.currentPage(), 2);
        QVERIFY(!child<QPushButton>(&w, "buttNext")->isEnabled() &&
                !child<QPushButton>(&w, "buttBack")->isEnabled());
        QCOMPARE(shownText(&w, "txtDirectory"), QStringLiteral("/"));
        auto* files = child<QListWidget>(&w, "lstdir");
        QVERIFY(itemNamed(files, "www/") && !itemNamed(files, ".."));
        open(w, "many/");
        QCOMPARE(shownText(&w, "txtDirectory"), QStringLiteral("/many"));
        QCOMPARE(files->count(), 5001);
        QCOMPARE(files->item(0)->text(), QStringLiteral(".."));
        open(w, "..");
        open(w, "www/");
        for (const char* name :
             {"..", "index.html", "my page.html", "blog/", "t\xC3\xA4gebuch.html"})
            QVERIFY2(itemNamed(files, QString::fromUtf8(name)), name);
        CHECK_WINDOW(&w, QStringLiteral("frmWizard-2-server-files"));
        select(w, "blog/");
        QCOMPARE(p.texts(), QStringList{"Directory selected."});
        files->clearSelection();
        files->setCurrentItem(nullptr);
        child<QPushButton>(&w, "buttSelect")->click();
        QCOMPARE(p.texts().last(), QStringLiteral("No file selected."));
        open(w, "blog/");
        open(w, "deep/");
        QCOMPARE(shownText(&w, "txtDirectory"), QStringLiteral("/www/blog/deep"));
        // A double click on a file selects it: a marked page, then No to the
        // archive question leads to the summary.
        p.answers << Answer::No;
        open(w, "nested.html");
        QCOMPARE(w.currentPage(), 3);
        QCOMPARE(w.wizardResult().mainLocation, QStringLiteral("/www/blog/deep/nested.html"));
        QVERIFY(
            PublishFixture::readFile(programFile("wizardtemp.html")).contains("<!--pagewick-->"));
    }

    // From an unmarked page and an unmarked archive to a configuration: the
    // markers are placed, both pages uploaded, the preferences filled.
    void placesMarkersAndUploads()
    {
        ScriptedPrompt p;
        MainWindow main(workspace());
        PreferencesDialog prefs(workspace(), main, main);
        SetupWizard w(workspace(), &prefs);
        logOn(w, "www/");
        p.answers << Answer::Yes << Answer::Yes << Answer::Yes;
        driveMarkerTool("</body>");
        select(w, "index.html");
        // The page as read (CR LF, at most three empty lines in a row) with
        // the markers where the caret stood, the UTF-8 letters untouched.
        const QByteArray page = "<html><body>\r\n<h1>Gr\xC3\xBC\xC3\x9F"
                                "e</h1>\r\n\r\n\r\n\r\n"
                                "<!--pagewick-->\r\n<!--**END**--></body></html>\r\n\r\n";
        QCOMPARE(m_ftp->readFile("www/index.html"), page);
        QCOMPARE(p.opened, QStringList{workspace().dir() + "/wizardtemp.html"});
        QCOMPARE(titlesOf(p),
                 QStringList({"Insertion Codes Not Found", "Correct Position?", "Success!"}));
        QCOMPARE(
            p.messages[0].text,
            QStringLiteral("Neither pagewick insertion markers found in /www/index.html\r\n\r\n"
                           "Would you like to add the pagewick insertion codes into this "
                           "webpage?"));
        QCOMPARE(child<QPushButton>(&w, "buttSelect")->text(),
                 QStringLiteral("Select Archive File"));
        p.clear();
        p.answers << Answer::Yes << Answer::Yes;
        driveMarkerTool("</body>");
        select(w, "archive.html");
        QCOMPARE(m_ftp->readFile("www/archive.html"),
                 QByteArray("<html><body>\r\n<h1>Archiv f\xFCr 2026</h1>\r\n"
                            "<!--PagewickArchiveStart-->\r\n</body></html>\r\n\r\n"));
        QCOMPARE(p.messages.last().text,
                 QStringLiteral("Success!  Valid archive insertion marker found!"));
        // The archive's web address is asked for, proposed beside the page's.
        QCOMPARE(w.currentPage(), 2);
        QVERIFY(!child<QLineEdit>(&w, "txtArchiveURL")->isHidden() &&
                child<QPushButton>(&w, "buttNext")->isEnabled());
        QCOMPARE(shownText(&w, "txtArchiveURL"),
                 QStringLiteral("http://www.example.com/archive.html"));
        CHECK_WINDOW(&w, QStringLiteral("frmWizard-2-archive-address"));
        child<QLineEdit>(&w, "txtArchiveURL")->setText(QStringLiteral("old.example/archive.html"));
        child<QPushButton>(&w, "buttNext")->click();
        QCOMPARE(w.currentPage(), 2);
        QCOMPARE(titlesOf(p).last(), QStringLiteral("Error"));
        child<QLineEdit>(&w, "txtArchiveURL")
            ->setText(QStringLiteral("http://www.example.com/old/archive.html"));
        child<QPushButton>(&w, "buttNext")->click();
        QCOMPARE(w.currentPage(), 3);
        QCOMPARE(shownText(&w, "txtconfig"),
                 QStringLiteral("\nFTP location of main Pagewick File:\n/www/index.html\n\n"
                                "FTP location of Archive Pagewick File:\n/www/archive.html\n\n"
                                "Web address of the archive page:\n"
                                "http://www.example.com/old/archive.html"));
        QVERIFY(!child<QPushButton>(&w, "buttNext")->isEnabled() &&
                !child<QPushButton>(&w, "buttBack")->isEnabled());
        CHECK_WINDOW(&w, QStringLiteral("frmWizard-3-summary"));
        // No temporary upload names are left on the server.
        QVERIFY(!m_ftp->fileExists("www/index.html.pagewick-upload"));
        child<QPushButton>(&w, "buttOkay")->click();
        QVERIFY(!w.isVisible() && w.result() == QDialog::Accepted);
        QCOMPARE(shownTexts(&prefs, {"txtFTPsite", "txtUsername", "txtPassword", "txtFTPremote",
                                     "txtWebSite", "txtArchiveFTP", "txtarchiveURL", "txtAmount",
                                     "chkFTP", "chkAutoDeletes", "chkArchive"}),
                 QStringList({m_ftp->url(), FtpTestServer::User, FtpTestServer::Password,
                              "/www/index.html", "http://www.example.com/index.html",
                              "/www/archive.html", "http://www.example.com/old/archive.html", "10",
                              "checked", "checked", "checked"}));
    }

    // Marked pages open no tool; the auto-delete amount set by hand stays.
    // Without an archive the option is switched off, unless the summary is
    // cancelled: then the preferences stay as they were.
    void markedPagesNeedNoTool()
    {
        ScriptedPrompt p;
        MainWindow main(workspace());
        PreferencesDialog prefs(workspace(), main, main);
        for (const char* box : {"chkFTP", "chkAutoDeletes", "chkArchive"})
            child<QCheckBox>(&prefs, box)->setChecked(true);
        child<QLineEdit>(&prefs, "txtAmount")->setText("25");
        SetupWizard w(workspace(), &prefs);
        logOn(w, "www/");
        p.answers << Answer::Yes;
        select(w, "marked.html");
        select(w, "archived.html");
        child<QPushButton>(&w, "buttNext")->click();
        QCOMPARE(w.currentPage(), 3);
        QVERIFY(p.opened.isEmpty());
        child<QPushButton>(&w, "buttOkay")->click();
        QCOMPARE(shownTexts(&prefs, {"txtAmount", "chkArchive"}), QStringList({"25", "checked"}));
        const auto filled = [&] {
            return shownTexts(&prefs, {"txtWebSite", "txtFTPsite", "txtUsername", "txtPassword",
                                       "txtFTPremote", "txtArchiveFTP", "txtAmount", "chkFTP",
                                       "chkAutoDeletes", "chkArchive"});
        };
        QStringList expected = filled();
        for (const bool okay : {false, true}) {
            SetupWizard again(workspace(), &prefs);
            logOn(again, "www/");
            p.answers << Answer::No;
            select(again, "my page.html");
            QCOMPARE(
                shownText(&again, "txtconfig"),
                QStringLiteral("\nFTP location of main Pagewick File:\n/www/my page.html\n\n"));
            (okay ? child<QPushButton>(&again, "buttOkay")
                  : child<QPushButton>(&again, "buttCancel"))
                ->click();
            QVERIFY(!again.isVisible());
            if (okay) {
                expected[4] = QStringLiteral("/www/my page.html");
                expected[9] = QStringLiteral("unchecked");
            }
            QCOMPARE(filled(), expected);
        }
    }

    // A marker in another letter case would not be found when an entry is placed: with the
    // user's consent it is written in lower case and the page uploaded; declined, or if
    // the upload fails, the page counts as unmarked and the server's page stays as it was.
    void markerInAnotherCase()
    {
        const QString question = QStringLiteral(
            "The page /www/oddcase.html has the insertion marker written <!--PageWick-->, but "
            "entries are placed only after <!--pagewick--> written exactly so.\r\n\r\nWould you "
            "like the wizard to write it so and upload the page?");
        const QByteArray odd = m_ftp->readFile("www/oddcase.html");
        for (const char* how : {"yes", "no", "upload fails"}) {
            const bool yes = how != QByteArray("no");
            QVERIFY(m_ftp->writeFile("www/oddcase.html", odd));
            ScriptedPrompt p;
            SetupWizard w(workspace());
            logOn(w, "www/");
            if (how == QByteArray("upload fails"))
                m_ftp->failUploadsOf("oddcase.html");
            p.answers << (yes ? Answer::Yes : Answer::No) << Answer::No << Answer::No;
            select(w, "oddcase.html");
            m_ftp->resetBehaviour();
            QCOMPARE(p.messages.value(0).text, question);
            QCOMPARE(p.messages.value(0).title, QStringLiteral("Insertion Marker"));
            const bool mended = how == QByteArray("yes");
            QCOMPARE(m_ftp->readFile("www/oddcase.html"),
                     mended ? QByteArray("<html><!--pagewick--></html>\r\n") : odd);
            QCOMPARE(w.currentPage(), mended ? 3 : 2);
            QCOMPARE(titlesOf(p).value(1), QLatin1String(mended ? "Success!"
                                                         : yes  ? "Error Response Received"
                                                                : "Insertion Codes Not Found"));
            QCOMPARE(w.wizardResult().mainLocation,
                     mended ? QStringLiteral("/www/oddcase.html") : QString());
        }
    }

    // No at the position question restores the source exactly; Cancel leaves
    // the page on the server untouched and the wizard asks for another file.
    void markerToolNoAndCancel()
    {
        ScriptedPrompt p;
        MarkerTool tool(workspace());
        const QByteArray page = "<html>\r\n<body>old</body>\r\n</html>\r\n";
        tool.setPage(page, "/www/x.html");
        QCOMPARE(shownText(&tool, "lblFile"), QStringLiteral("/www/x.html"));
        QTextCursor c = child<QPlainTextEdit>(&tool, "txtEdit")->textCursor();
        c.setPosition(13);
        c.setPosition(16, QTextCursor::KeepAnchor);
        child<QPlainTextEdit>(&tool, "txtEdit")->setTextCursor(c);
        QString uploaded;
        tool.setUploader([&](const QString&, const QString& remote) { uploaded = remote; });
        tool.show();
        CHECK_WINDOW(&tool, QStringLiteral("frmZip"));
        p.answers << Answer::No;
        child<QPushButton>(&tool, "buttInsertCode")->click();
        QVERIFY(tool.isVisible());
        QCOMPARE(shownText(&tool, "txtEdit"),
                 QStringLiteral("<html>\n<body>old</body>\n</html>\n"));
        QCOMPARE(child<QPlainTextEdit>(&tool, "txtEdit")->textCursor().selectedText(),
                 QStringLiteral("old"));
        QVERIFY(tool.page() == page && uploaded.isEmpty());
        QCOMPARE(p.messages[0].text,
                 QStringLiteral("Please wait for the web page to load.\r\n\r\n  Is the position of "
                                "the pagewick entry correct?\r\n(Note:  Images are not seen "
                                "within pagewick previews)"));
        // Yes: the selection is replaced, the samples never reach the file.
        p.answers << Answer::Yes;
        child<QPushButton>(&tool, "buttInsertCode")->click();
        QVERIFY(!tool.isVisible());
        QCOMPARE(uploaded, QStringLiteral("/www/x.html"));
        QCOMPARE(PublishFixture::readFile(programFile("wizardtemp.html")),
                 QByteArray("<html>\r\n<body><!--pagewick-->\r\n<!--**END**--></body>\r\n</html>"
                            "\r\n\r\n"));
        // The wizard after a cancelled tool.
        p.clear();
        SetupWizard w(workspace());
        logOn(w, "www/");
        p.answers << Answer::Yes;
        driveMarkerTool(QString(), true);
        select(w, "index.html");
        QCOMPARE(m_ftp->readFile("www/index.html"), kPage);
        QCOMPARE(w.currentPage(), 2);
        QCOMPARE(shownText(&w, "txtDirections"),
                 QStringLiteral("Neither pagewick insertion markers found.\nPlease select a valid "
                                "pagewick-enabled file."));
    }

    // Failures on the way: the server's page is never half written.
    void failedTransfers()
    {
        ScriptedPrompt p;
        SetupWizard w(workspace());
        logOn(w, "www/");
        // The disk fills during the upload: the live page stays, the wizard
        // asks again.
        p.answers << Answer::Yes << Answer::Yes;
        m_ftp->setDiskFullAfter(10);
        driveMarkerTool("</body>");
        select(w, "index.html");
        m_ftp->resetBehaviour();
        QCOMPARE(m_ftp->readFile("www/index.html"), kPage);
        QCOMPARE(w.currentPage(), 2);
        QVERIFY(shownText(&w, "txtDirections").startsWith("Neither pagewick insertion markers"));
        QVERIFY(titlesOf(p).contains(QStringLiteral("Insertion Codes Not Found")));
        QVERIFY(titlesOf(p).contains(QStringLiteral("Error Response Received")));
        // A file that went away: no page is checked, no tool opens.
        p.clear();
        m_ftp->writeFile("www/gone.html", "x");
        open(w, "..");
        open(w, "www/");
        QVERIFY(QFile::remove(m_ftp->rootPath("www/gone.html")));
        select(w, "gone.html");
        QCOMPARE(titlesOf(p), QStringList({"Error Response Received"}));
        QVERIFY(!QFile::exists(programFile("wizardtemp.html")));
        QVERIFY(child<QListWidget>(&w, "lstdir")->isEnabled() &&
                child<QPushButton>(&w, "buttSelect")->isEnabled());
    }

    // While a step runs the controls that would start another are off, under the hourglass.
    // Cancel in the middle of a slow listing or download ends the wizard within a second: the
    // transfer is dropped, no message follows, and no part of the page is left on disk.
    void cancelDuringSlowTransfer_data()
    {
        QTest::addColumn<QByteArray>("folder");
        QTest::addColumn<QString>("item");
        QTest::newRow("listing") << QByteArray() << "many/";
        QTest::newRow("download") << QByteArray("www/") << "big.html";
    }
    void cancelDuringSlowTransfer()
    {
        QFETCH(QByteArray, folder);
        QFETCH(QString, item);
        ScriptedPrompt p;
        m_ftp->writeFile("www/big.html", QByteArray(400000, 'x'));
        SetupWizard w(workspace());
        w.show();
        logOn(w, folder.isEmpty() ? nullptr : folder.constData());
        m_ftp->setSlow(100, 2048);
        m_ftp->clearLog();
        QSignalSpy moved(&w.browser().client(), &TransferClient::progress);
        open(w, item, false);
        if (item == u"big.html")
            QTRY_VERIFY(!moved.isEmpty() && moved.last().at(0).toLongLong() > 0); // a part came
        else
            QTRY_VERIFY(!m_ftp->commands().filter("MLSD").isEmpty());
        const qsizetype sent = m_ftp->commands().size();
        auto* files = child<QListWidget>(&w, "lstdir");
        emit files->itemDoubleClicked(files->item(0)); // as if it had reached the list
        QTest::qWait(200);
        QVERIFY(w.browser().isBusy() && p.messages.isEmpty());
        QCOMPARE(m_ftp->commands().size(), sent);
        QCOMPARE(enabledAmong(&w, {"lstdir", "buttSelect", "buttNext", "buttBack", "buttCancel"}),
                 QStringList{"buttCancel"});
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

        QElapsedTimer clock;
        clock.start();
        child<QPushButton>(&w, "buttCancel")->click();
        QVERIFY(!w.isVisible() && !QApplication::overrideCursor());
        QTRY_VERIFY_WITH_TIMEOUT(!w.browser().isBusy() && m_ftp->logLines().contains("DISCONNECT"),
                                 1000);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QTest::qWait(200);
        QCOMPARE(p.messages.size(), 0);
        const QStringList page = QDir(workspace().dir()).entryList({"wizardtemp*"}, QDir::Files);
        QVERIFY2(page.isEmpty(), qPrintable(page.join(u' ')));
        QCOMPARE(m_ftp->commands().size(), sent);
    }

    // A new user from no weblog.ini to a first published entry: the preferences
    // open at start-up, the wizard marks the page, its OK fills the preferences
    // and runs their Apply, and the first entry goes up.
    void newUserThroughTheWizard()
    {
        qputenv("PAGEWICK_NOW", "2026-12-07T09:30:15");
        ScriptedPrompt p;
        MainWindow w(workspace());
        w.start(0);
        QVERIFY(settled(w));
        PreferencesDialog* prefs = shownWindow<PreferencesDialog>();
        QVERIFY(prefs);
        const QString ini = programFile(QStringLiteral("weblog.ini"));
        bool wizardDone = false;
        whenShown<SetupWizard>([&](SetupWizard* wizard) {
            logOn(*wizard, "www/");
            driveMarkerTool("</body>");
            // Add the markers: Yes; the position is right: Yes; no archive.
            p.answers << Answer::Yes << Answer::Yes << Answer::No;
            select(*wizard, "index.html");
            // Nothing is stored before OK.
            QVERIFY(!QFile::exists(ini) || readSetting(ini, "1", "ftpsite").isEmpty());
            wizardDone = wizard->currentPage() == 3;
            child<QPushButton>(wizard, "buttOkay")->click();
        });
        QSignalSpy applied(prefs, &PreferencesDialog::applyEnded);
        child<QPushButton>(prefs, "buttWizard")->click();
        QVERIFY(wizardDone && (applied.count() || applied.wait()));
        QVERIFY(m_ftp->readFile("www/index.html").contains("<!--pagewick-->"));
        // The wizard's OK ran Apply: the account is in weblog.ini.
        QStringList stored;
        for (const char* key :
             {"ftpsite", "username", "ftpremote", "website", "autoftp", "archive"})
            stored << readSetting(ini, "1", key);
        QCOMPARE(stored, QStringList({m_ftp->url(), FtpTestServer::User, "/www/index.html",
                                      "http://www.example.com/index.html", "True", "false"}));
        QCOMPARE(TextEncrypt(readSetting(ini, "1", "password"), false, p), FtpTestServer::Password);
        // The rest as a user would: FTP retrieve mode, a direct line, OK.
        child<QRadioButton>(prefs, "optDirect")->click();
        child<QRadioButton>(prefs, "optmodeFTP")->click();
        p.clear();
        child<QPushButton>(prefs, "buttOK")->click();
        QTRY_VERIFY(!shownWindow<PreferencesDialog>());
        QVERIFY(settled(w));
        // The page fetched after OK has markers but no entry yet.
        QCOMPARE(p.texts(),
                 QStringList{QStringLiteral(
                     "Time/Date Markers Not Found.  Assuming this is 1st weblog entry.")});
        child<QLineEdit>(&w, "txtHead")->setText(QStringLiteral("First entry"));
        child<QPlainTextEdit>(&w, "txtMain")->setPlainText(QStringLiteral("Set up by the wizard"));
        child<QPushButton>(&w, "butt_Preview")->click();
        QVERIFY(settled(w));
        child<QPushButton>(&w, "butt_Fin")->click();
        QVERIFY(settled(w));
        const QByteArray served = m_ftp->readFile("www/index.html");
        const qsizetype entry = served.indexOf("Set up by the wizard");
        QVERIFY(entry > served.indexOf("<!--pagewick-->") && served.indexOf("<!--pagewick-->") > 0);
        QVERIFY(served.indexOf("<!--**END**-->") > entry);
        QCOMPARE(readSetting(ini, "1", "Fail"), QStringLiteral("False"));
        QCOMPARE(p.unscripted, 0);
        qunsetenv("PAGEWICK_NOW");
    }
};

QTEST_MAIN(TestSetupWizard)
#include "tst_setupwizard.moc"
