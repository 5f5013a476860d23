// The main window driven for real: start-up with and without a configuration,
// the resend offer, the commands, the small windows and the entry draft.

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/entry/EntryDraft.h"
#include "gui/AboutDialog.h"
#include "gui/EntryDraftKeeper.h"
#include "gui/MainWindow.h"
#include "gui/PageSourceDialog.h"
#include "gui/ShownWindows.h"
#include "gui/SplashScreen.h"
#include "gui/WindowShots.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

const QByteArray kPage =
    "<html><body>\r\n<!--pagewick-->\r\n<!--|12/5/2000|5:44:36 PM|-->Old entry\r\n"
    "<!--**END**-->\r\n</body></html>\r\n";

EntryFields sample()
{
    return {QStringLiteral("Title \u00e9t\u00e9"),
            QStringLiteral("Line one\r\n<b>two</b>\r\n"),
            QStringLiteral("Ann"),
            QStringLiteral("ann@example.com"),
            QStringLiteral("http://example.com/a b"),
            QStringLiteral("A link")};
}

QStringList fieldList(const EntryFields& f)
{
    return {f.head, f.main, f.sig, f.email, f.url, f.urlTitle};
}

QStringList draftOnDisk()
{
    return fieldList(EntryDraft::load(programFile(EntryDraft::fileName())).fields);
}

bool draftExists()
{
    return QFile::exists(programFile(EntryDraft::fileName()));
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    static void writeFile(const QString& name, const QByteArray& bytes)
    {
        QTEST_ASSERT(PublishFixture::writeFile(programFile(name), bytes));
    }
    // The main window started on a configuration that needs no server (the
    // page is the local backup, Finish saves it where the user says), saving
    // the draft `delay` ms after typing pauses.
    static std::unique_ptr<MainWindow> startWindow(int delay = 3000)
    {
        writeFile(QStringLiteral("weblog.ini"),
                  "[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://www.example.com/\r\n"
                  "autoftp=False\r\nretreivemode=none\r\ndefaultsig=Ann\r\n"
                  "defaultemail=ann@example.com\r\n");
        writeFile(QStringLiteral("backup1.html"), PublishFixture::page(1));
        auto w = std::make_unique<MainWindow>(workspace());
        w->draftKeeper()->setDelay(delay);
        w->start(0);
        [&] { QVERIFY(settled(*w)); }();
        return w;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(useProgramDir(dir->path()));
        settings() = Settings();
    }

    void startWithoutConfiguration()
    {
        ScriptedPrompt p;
        MainWindow w(workspace());
        w.start(0);
        QVERIFY(settled(w));
        // There is no page to fetch yet: the preferences dialog opens instead.
        QCOMPARE(p.texts(), QStringList({QStringLiteral(
                                "No weblog.ini entry found.  Please configure your program under "
                                "the SETUP menu.")}));
        QCOMPARE(QStringList({titlesOf(p).join(""), w.windowTitle(), shownText(&w, "txtStatus")}),
                 QStringList({"Pagewick", "PageWick: 0.8.4",
                              "\nNo Config Loaded\nGoto CONFIG under the SETUP Menu"}));
        QVERIFY(shownWindow("frmPrefs"));
        QCOMPARE(enabledAmong(&w, {"butt_Fin", "butt_Preview", "mnuBackup", "mnuDeleteLast",
                                   "mnuPreferences"}),
                 QStringList({"mnuPreferences"}));
        QVERIFY(w.isVisible() && child<QPushButton>(&w, "butt_resend")->isHidden());
        QCOMPARE(QStringList({settings().activeSection, settings().settingsPath}),
                 QStringList({"1", programFile(QStringLiteral("weblog.ini"))}));
        // Start-up placed the default template in the program directory.
        QVERIFY(QFile::exists(programFile(QStringLiteral("template.txt"))));
        CHECK_WINDOW(&w, QStringLiteral("Form1-no-configuration"));
        // Cancel in the preferences writes nothing and publishing stays off;
        // Config then opens them once.
        child<QPushButton>(shownWindow("frmPrefs"), "buttCancel")->click();
        QVERIFY(!shownWindow("frmPrefs"));
        QCOMPARE(enabledAmong(&w, {"butt_Preview", "mnuBackup"}), QStringList());
        QVERIFY(!QFile::exists(programFile(QStringLiteral("weblog.ini"))));
        child<QAction>(&w, "mnuPreferences")->trigger();
        child<QAction>(&w, "mnuPreferences")->trigger();
        int open = 0;
        for (QWidget* t : QApplication::topLevelWidgets())
            open += t->objectName() == QLatin1String("frmPrefs") && t->isVisible();
        QCOMPARE(open, 1);
        shownWindow("frmPrefs")->close();
    }

    // A failed last upload is offered for resending from start-up through the
    // retrieval, whatever the retrieve mode and whether the retrieval worked,
    // with Finish off; Resend then publishes the same edited page. Without
    // Auto FTP there is only the warning.
    void failedUploadOffersResend_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("pageOnWeb"); // the HTTP server has the page
        QTest::addColumn<bool>("autoFtp");
        QTest::addColumn<bool>("preview"); // a Preview instead of Resend
        QTest::newRow("none") << QStringLiteral("none") << true << true << false;
        QTest::newRow("auto") << QStringLiteral("auto") << true << true << false;
        QTest::newRow("auto, page missing") << QStringLiteral("auto") << false << true << false;
        QTest::newRow("ftp") << QStringLiteral("ftp") << true << true << false;
        QTest::newRow("ftp, then Preview") << QStringLiteral("ftp") << true << true << true;
        QTest::newRow("Auto FTP off") << QStringLiteral("none") << true << false << false;
    }
    void failedUploadOffersResend()
    {
        QFETCH(QString, mode);
        QFETCH(bool, pageOnWeb);
        QFETCH(bool, autoFtp);
        QFETCH(bool, preview);
        ScriptedPrompt p;
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        HttpTestServer http;
        REQUIRE_RUNNING(http);
        QVERIFY(ftp.writeFile(QStringLiteral("www/index.html"), kPage));
        if (pageOnWeb)
            QVERIFY(http.writeFile(QStringLiteral("index.html"), kPage));
        PublishFixture::Keys keys = PublishFixture::ftpKeys(ftp);
        keys.insert({{QStringLiteral("retreivemode"), mode},
                     {QStringLiteral("website"), http.url(QStringLiteral("/index.html"))},
                     {QStringLiteral("autoftp"), QLatin1String(autoFtp ? "True" : "False")},
                     {QStringLiteral("Fail"), QStringLiteral("True")}});
        QVERIFY(PublishFixture::writeIni(dir->path(), {{1, keys}}));
        writeFile(QStringLiteral("backup1.html"), kPage);
        const QByteArray unsent = "<html><body>the entry that did not go up</body></html>\r\n";
        writeFile(QStringLiteral("webbie1.html"), unsent);
        MainWindow w(workspace());
        w.start(0);
        QVERIFY(settled(w));
        // The offer once, and only where Resend can be pressed; a missing page adds only its
        // own message.
        const QString offer = QStringLiteral(
            "It has been detected that the last FTP did not succeed.  Pressing RESEND will retry "
            "to FTP the old weblog entry.  Proceeding normally will erase this old weblog entry. "
            "A preview of the old entry will now load.");
        QCOMPARE(p.texts().value(0) == offer, autoFtp);
        QCOMPARE(p.texts().size(), (autoFtp ? 1 : 0) + (pageOnWeb ? 0 : 1));
        QCOMPARE(enabledAmong(&w, {"butt_Preview", "butt_Fin"}), QStringList({"butt_Preview"}));
        QCOMPARE(shownText(&w, "txtStatus")
                     .contains(QStringLiteral("RESEND Config 1?\nRESEND to retry")),
                 autoFtp);
        QCOMPARE(child<QPushButton>(&w, "butt_Fin")->text(),
                 QLatin1String(autoFtp ? "Finish/FTP" : "Finish"));
        if (!autoFtp) {
            QVERIFY(p.opened.isEmpty() && child<QPushButton>(&w, "butt_resend")->isHidden());
            return;
        }
        QCOMPARE(p.opened, QStringList({programFile(QStringLiteral("webbie1.html"))}));
        QVERIFY(child<QPushButton>(&w, "butt_resend")->isVisible() &&
                child<QPushButton>(&w, "butt_resend")->isEnabled());
        if (mode == QLatin1String("ftp") && !preview)
            CHECK_WINDOW(&w, QStringLiteral("Form1-resend"));
        if (preview) {
            // A new edited page: Resend goes, and stays gone.
            child<QLineEdit>(&w, "txtHead")->setText(QStringLiteral("New"));
            child<QPlainTextEdit>(&w, "txtMain")->setPlainText(QStringLiteral("Body"));
            child<QPushButton>(&w, "butt_Preview")->click();
            QVERIFY(settled(w));
            QVERIFY(child<QPushButton>(&w, "butt_Fin")->isEnabled());
            w.setPublishingEnabled(false);
            w.setPublishingEnabled(true);
            QVERIFY(child<QPushButton>(&w, "butt_resend")->isHidden());
            return;
        }
        p.clear();
        child<QPushButton>(&w, "butt_resend")->click();
        QVERIFY(settled(w));
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(ftp.readFile(QStringLiteral("www/index.html")), unsent);
        QCOMPARE(readSetting(programFile(QStringLiteral("weblog.ini")), QStringLiteral("1"),
                             QStringLiteral("Fail")),
                 QStringLiteral("False"));
        // Published: nothing left to resend, even when the commands come on again.
        QVERIFY(child<QPushButton>(&w, "butt_resend")->isHidden());
        w.setPublishingEnabled(true);
        QVERIFY(child<QPushButton>(&w, "butt_resend")->isHidden());
    }

    // Stop during a publish to a slow server: while it runs Stop is offered
    // and the commands that could disturb it are off; Stop ends it at once,
    // the staged copy goes, the live page stays, Resend is offered.
    void stopDuringPublish()
    {
        ScriptedPrompt p;
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        const QByteArray live = PublishFixture::page(3, 400000);
        QVERIFY(ftp.writeFile(QStringLiteral("www/index.html"), live));
        PublishFixture::Keys keys = PublishFixture::ftpKeys(ftp);
        keys.insert({{QStringLiteral("retreivemode"), QStringLiteral("none")},
                     {QStringLiteral("archive"), QStringLiteral("false")},
                     {QStringLiteral("backendenabled"), QStringLiteral("False")}});
        QVERIFY(PublishFixture::writeIni(dir->path(), {{1, keys}}));
        writeFile(QStringLiteral("backup1.html"), live);
        MainWindow w(workspace());
        w.start(0);
        QVERIFY(settled(w));
        w.show();
        child<QLineEdit>(&w, "txtHead")->setText(QStringLiteral("Stopped"));
        child<QPlainTextEdit>(&w, "txtMain")->setPlainText(QStringLiteral("Body"));
        QTest::mouseClick(child<QPushButton>(&w, "butt_Preview"), Qt::LeftButton);
        QVERIFY(settled(w));
        QVERIFY(child<QPushButton>(&w, "butt_Fin")->isEnabled());
        ftp.setSlow(20, 16384);
        const auto commandsOn = [&w] {
            return enabledAmong(&w,
                                {"butt_Fin", "butt_Preview", "mnuNew", "mnuOptions", "mnuDragnDrop",
                                 "mnuUpdateCheck", "mnuBackup", "mnuDeleteLast", "mnuPreferences"});
        };
        QStringList onWhileRunning;
        bool stopShown = false;
        QElapsedTimer stopping;
        QTimer poll;
        poll.callOnTimeout([&] {
            if (!ftp.fileExists(QStringLiteral("www/index.html.pagewick-upload")))
                return;
            poll.stop();
            onWhileRunning = commandsOn();
            auto* stop = child<QPushButton>(&w, "butt_Stop");
            stopShown = stop->isVisible() && stop->isEnabled();
            stopping.start();
            QTest::mouseClick(stop, Qt::LeftButton);
        });
        poll.start(20);
        QTest::mouseClick(child<QPushButton>(&w, "butt_Fin"), Qt::LeftButton);
        QVERIFY(settled(w));
        QVERIFY(stopShown && onWhileRunning.isEmpty());
        QVERIFY2(stopping.elapsed() < 3000, qPrintable(QString::number(stopping.elapsed())));
        QCOMPARE(p.texts(), QStringList()); // no error box for a Stop
        QCOMPARE(ftp.readFile(QStringLiteral("www/index.html")), live);
        QTRY_VERIFY_WITH_TIMEOUT(!ftp.fileExists(QStringLiteral("www/index.html.pagewick-upload")),
                                 5000);
        QCOMPARE(readSetting(programFile(QStringLiteral("weblog.ini")), QStringLiteral("1"),
                             QStringLiteral("Fail")),
                 QStringLiteral("True"));
        QVERIFY(child<QPushButton>(&w, "butt_resend")->isVisible() &&
                child<QPushButton>(&w, "butt_Stop")->isHidden());
        QCOMPARE(commandsOn(),
                 QStringList({"butt_Preview", "mnuNew", "mnuOptions", "mnuDragnDrop",
                              "mnuUpdateCheck", "mnuBackup", "mnuDeleteLast", "mnuPreferences"}));
    }

    // Finish after the page was edited on the server since Preview asks
    // before placing anything; fetching the server's version keeps the edit.
    void finishAfterAServerEdit()
    {
        ScriptedPrompt p;
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QVERIFY(ftp.writeFile(QStringLiteral("www/index.html"), PublishFixture::page(2)));
        PublishFixture::Keys keys = PublishFixture::ftpKeys(ftp);
        keys.insert({{QStringLiteral("archive"), QStringLiteral("false")},
                     {QStringLiteral("backendenabled"), QStringLiteral("False")}});
        QVERIFY(PublishFixture::writeIni(dir->path(), {{1, keys}}));
        MainWindow w(workspace());
        w.start(0);
        QVERIFY(settled(w));
        w.show();
        child<QLineEdit>(&w, "txtHead")->setText(QStringLiteral("Kept"));
        child<QPlainTextEdit>(&w, "txtMain")->setPlainText(QStringLiteral("Body"));
        QTest::mouseClick(child<QPushButton>(&w, "butt_Preview"), Qt::LeftButton);
        QVERIFY(settled(w));
        QVERIFY(child<QPushButton>(&w, "butt_Fin")->isEnabled());
        QByteArray edited = PublishFixture::page(2);
        QVERIFY(ftp.writeFile(QStringLiteral("www/index.html"),
                              edited.replace("Old post 1", "Old post one")));
        p.clear();
        p.answers << Answer::Yes;
        QTest::mouseClick(child<QPushButton>(&w, "butt_Fin"), Qt::LeftButton);
        QVERIFY(settled(w));
        QVERIFY2(p.messages.size() == 1 && p.messages[0].buttons == Buttons::YesNoCancel &&
                     p.messages[0].text.startsWith(
                         QStringLiteral("The page www/index.html on the server was changed on ")),
                 qPrintable(p.texts().join(QStringLiteral(" | "))));
        const QByteArray live = ftp.readFile(QStringLiteral("www/index.html"));
        QVERIFY(live.contains("Old post one") && live.contains("></a>Kept"));
    }

    // A Preview that has to fetch the page first and then finds no place for
    // the entry leaves Finish off: there is no edited page to send.
    void previewThatFetchesAnUnmarkedPage()
    {
        ScriptedPrompt p;
        HttpTestServer http;
        REQUIRE_RUNNING(http);
        PublishFixture::Keys keys =
            PublishFixture::httpKeys(http.url(QStringLiteral("/index.html")));
        QVERIFY(PublishFixture::writeIni(dir->path(), {{1, keys}}));
        MainWindow w(workspace());
        w.start(0); // the page is not there yet: nothing is retrieved
        QVERIFY(settled(w));
        QTRY_VERIFY(w.isVisible()); // once the keyring has answered for the password
        QVERIFY(!runState().pageRetrieved);
        QVERIFY(http.writeFile(QStringLiteral("index.html"),
                               QByteArray(kPage).replace("<!--pagewick-->\r\n", "")));
        p.clear();
        child<QLineEdit>(&w, "txtHead")->setText(QStringLiteral("Lost"));
        child<QPlainTextEdit>(&w, "txtMain")->setPlainText(QStringLiteral("Body"));
        QTest::mouseClick(child<QPushButton>(&w, "butt_Preview"), Qt::LeftButton);
        QVERIFY(settled(w));
        QCOMPARE(p.texts(), QStringList{QStringLiteral(
                                "Neither insert symbols were found in the web page downloaded "
                                "from server; therefore, pagewick entry could not be added.")});
        QVERIFY(runState().pageRetrieved);
        QCOMPARE(enabledAmong(&w, {"butt_Preview", "butt_Fin"}), QStringList({"butt_Preview"}));
    }

    // Status lines are trimmed and joined; switching the commands ends any
    // progress shown.
    void statusBoxAndProgress()
    {
        ScriptedPrompt p;
        MainWindow w(workspace());
        w.appendStatus(QString());
        w.appendStatus(QStringLiteral("\r\n"));
        QCOMPARE(shownText(&w, "txtStatus"), QString());
        w.appendStatus(QStringLiteral("  first  "));
        w.appendStatus(QStringLiteral("a\r\nb\r\nc"));
        QCOMPARE(shownText(&w, "txtStatus"), QStringLiteral("\nfirst\nab\nc"));
        QCOMPARE(child<QPlainTextEdit>(&w, "txtStatus")->textCursor().position(),
                 shownText(&w, "txtStatus").size());
        w.showProgress(1, 100, 5);
        w.setPublishingEnabled(false);
        QVERIFY(child<QProgressBar>(&w, "ProgressBar1")->isHidden());
        // weblog.ini others could read is made private once it holds a password.
        writeFile(QStringLiteral("weblog.ini"), "[1]\r\npassword=xyz\r\n");
        QFile::setPermissions(programFile("weblog.ini"), QFile::ReadOwner | QFile::ReadOther);
        QVERIFY(writeSetting("1", "Fail", "False", programFile("weblog.ini")));
        QVERIFY(shownText(&w, "txtStatus")
                    .endsWith("\nweblog.ini holds a password: it is now readable by you alone."));
    }

    void splashAboutAndChoiceWindows()
    {
        SplashScreen splash;
        CHECK_WINDOW(&splash, QStringLiteral("frmSplash"));
        AboutDialog about(workspace().prompt());
        QCOMPARE(QStringList({shownText(&splash, "Label1"), shownText(&about, "lblVersion")}),
                 QStringList({"Beta:  0.8.4", "Version 0.8.4"}));
        const QString disclaimer = shownText(&about, "lblDisclaimer");
        QVERIFY(disclaimer.startsWith(QStringLiteral("Disclaimer:\r\n\r\nThis is a beta version")));
        QVERIFY(disclaimer.endsWith(QStringLiteral("please contact me, I beg you!  :)")));
        CHECK_WINDOW(&about, QStringLiteral("frmAbout"));
        ScriptedPrompt p;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", dir->path().toLocal8Bit());
        child<QPushButton>(&about, "cmdSysInfo")->click();
        qputenv("PATH", path);
        QCOMPARE(p.texts(),
                 QStringList({QStringLiteral("System Information Is Unavailable At This Time")}));
        settings().activeSection = QStringLiteral("2");
        PageSourceDialog choice(workspace());
        choice.show();
        child<QPushButton>(&choice, "buttPreviewLocal")->click();
        child<QPushButton>(&choice, "buttPreviewServer")->click();
        QCOMPARE(p.opened, QStringList({programFile(QStringLiteral("backup2.html")),
                                        programFile(QStringLiteral("indexbackup2.html"))}));
        // OK without a choice keeps the question open.
        child<QPushButton>(&choice, "buttOkay")->click();
        QVERIFY(choice.tag().isEmpty() && choice.isVisible());
        child<QRadioButton>(&choice, "optlocal")->setChecked(true);
        child<QRadioButton>(&choice, "optConfig")->setChecked(true);
        QVERIFY(!child<QRadioButton>(&choice, "optlocal")->isChecked());
        child<QPushButton>(&choice, "buttOkay")->click();
        QCOMPARE(choice.tag(), QStringLiteral("Config"));
        QVERIFY(choice.isHidden());
        CHECK_WINDOW(&choice, QStringLiteral("frmUpdate"));
    }

    // The choice holds up start-up, so the rest of the program waits for it:
    // it is the modal window while it asks, and answers only through OK.
    void pageSourceChoiceIsModal()
    {
        ScriptedPrompt p;
        MainWindow w(workspace());
        w.show();
        QString modal;
        bool mainWindowBlocked = false;
        QTimer::singleShot(0, this, [&] {
            auto* choice = qobject_cast<PageSourceDialog*>(QApplication::activeModalWidget());
            QVERIFY(choice);
            modal = choice->objectName();
            mainWindowBlocked = QApplication::activeModalWidget() != &w && choice->isModal();
            choice->close(); // closing by the frame keeps the question open
            QVERIFY(choice->isVisible());
            child<QRadioButton>(choice, "optserver")->setChecked(true);
            child<QPushButton>(choice, "buttOkay")->click();
        });
        QCOMPARE(w.choosePageSource(), QStringLiteral("Server"));
        QCOMPARE(modal, QStringLiteral("frmUpdate"));
        QVERIFY(mainWindowBlocked);
        QVERIFY(!QApplication::activeModalWidget());
    }

    // Start-up with configuration 2 in no-retrieve mode, then Preview and
    // Restore Backup from the window, on real files.
    void entryCommandsFromTheWindow()
    {
        writeFile(QStringLiteral("weblog.ini"),
                  "[General]\r\nConfig=2\r\n[2]\r\nwebsite=http://www.example.com/index.html\r\n"
                  "autoftp=False\r\nretreivemode=none\r\n");
        writeFile(QStringLiteral("backup2.html"), kPage);
        ScriptedPrompt p;
        MainWindow w(workspace());
        w.start(0);
        QVERIFY(settled(w));
        QVERIFY(shownText(&w, "txtStatus")
                    .contains(QStringLiteral("Using backup2.html as local file")));
        QCOMPARE(settings().activeSection, QStringLiteral("2"));
        QCOMPARE(enabledAmong(&w, {"butt_Preview", "butt_Fin"}), QStringList({"butt_Preview"}));
        CHECK_WINDOW(&w, QStringLiteral("Form1-configured"));
        child<QLineEdit>(&w, "txtHead")->setText(QStringLiteral("Second"));
        child<QPlainTextEdit>(&w, "txtMain")->setPlainText(QStringLiteral("Body"));
        child<QPushButton>(&w, "butt_Preview")->click();
        QVERIFY(settled(w));
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(p.opened.value(0), programFile(QStringLiteral("webbie2.html")));
        const QByteArray page =
            PublishFixture::readFile(programFile(QStringLiteral("webbie2.html")));
        QVERIFY(page.indexOf("<!--pagewick-->") < page.indexOf("Second") &&
                page.indexOf("Second") < page.indexOf("Old entry"));
        QVERIFY(child<QPushButton>(&w, "butt_Fin")->isEnabled());
        // Restore Backup answered Cancel leaves the edited page alone.
        p.answers << Answer::Cancel;
        child<QAction>(&w, "mnuBackup")->trigger();
        QVERIFY(settled(w));
        QCOMPARE(p.texts().size(), 1);
        QCOMPARE(PublishFixture::readFile(programFile(QStringLiteral("webbie2.html"))), page);
    }

    // ---- the entry draft ---------------------------------------------------------

    // A draft reads back whole; cut at any byte, or with anything changed in
    // its frame, it is refused as a whole: never read as a shorter entry.
    void draftFrames()
    {
        const QByteArray full = EntryDraft::format(sample());
        QCOMPARE(fieldList(EntryDraft::parse(full).value_or(EntryFields())), fieldList(sample()));
        for (qsizetype n = 0; n < full.size(); ++n) {
            QString error;
            QVERIFY2(!EntryDraft::parse(full.left(n), &error), qPrintable(QString::number(n)));
            QVERIFY(!error.isEmpty());
        }
        const char* const changes[][2] = {
            {"DRAFT 1\n", "DRAFT 2\n"}, {"PAGEWICK-DRAFT 1\n", "hello\n"},
            {"sig 3\n", "sig 4\n"},     {"sig 3\n", "sig 2\n"},
            {"sig 3\n", "sig -3\n"},    {"sig 3\n", "sig 99999999999\n"},
            {"email ", "mail "},        {"END\n", "END\nx"},
            {"END\n", "EOF\n"}};
        for (const auto& [from, to] : changes) {
            QByteArray bytes = full;
            QVERIFY2(bytes.contains(from), from);
            QVERIFY2(!EntryDraft::parse(bytes.replace(from, to)), to);
        }
    }

    // Title, body, link, link text; signature and e-mail come from the
    // configuration, not from typing.
    void blankEntries()
    {
        const std::pair<QStringList, bool> cases[] = {
            {{"", "", "http://", ""}, true},   {{"", "", "", ""}, true},
            {{"T", "", "http://", ""}, false}, {{"", " ", "", ""}, false},
            {{"", "", "http://x", ""}, false}, {{"", "", "", "x"}, false}};
        for (const auto& [typed, blank] : cases)
            QVERIFY2(EntryDraft::isBlank({typed[0], typed[1], "Sig", "e@x", typed[2], typed[3]}) ==
                         blank,
                     qPrintable(typed.join(u'|')));
    }

    // A draft that cannot be written costs one status line, not one per pause,
    // and typing goes on.
    void unwritableDraftIsReportedOnce()
    {
        QVERIFY(QDir(dir->path()).mkdir(EntryDraft::fileName())); // a folder in its place
        ScriptedPrompt p;
        const auto w = startWindow(50);
        QCOMPARE(p.texts(), QStringList());
        const QString line = QStringLiteral("The entry draft could not be saved");
        QTest::keyClicks(child<QLineEdit>(w.get(), "txtHead"), QStringLiteral("One"));
        QTRY_VERIFY(shownText(w.get(), "txtStatus").contains(line));
        QTest::keyClicks(child<QLineEdit>(w.get(), "txtHead"), QStringLiteral(" two"));
        QTest::qWait(200);
        QCOMPARE(shownText(w.get(), "txtStatus").count(line), 1);
        QVERIFY(!shownText(w.get(), "txtStatus").contains(QStringLiteral("cannot be removed")));
        QCOMPARE(shownText(w.get(), "txtHead"), QStringLiteral("One two"));
    }

    // Typing is saved once the typing pauses; until the start-up offer is made
    // nothing is written, so a crashed run's draft is not overwritten.
    void typingIsSavedAfterAPause()
    {
        QVERIFY(PublishFixture::writeFile(programFile(EntryDraft::fileName()),
                                          EntryDraft::format(sample())));
        ScriptedPrompt p;
        p.answers << Answer::No;
        const auto w = startWindow(200);
        QCOMPARE(p.texts(), QStringList{QStringLiteral("Restore the entry you were writing?")});
        QCOMPARE(titlesOf(p), QStringList{QStringLiteral("Pagewick")});
        QCOMPARE(p.messages[0].buttons, Buttons::YesNo);
        // Declined: the draft is gone and the form keeps the configuration's
        // signature.
        QVERIFY(!draftExists());
        QCOMPARE(shownTexts(w.get(), {"txtSig", "txtHead"}), QStringList({"Ann", ""}));
        QTest::keyClicks(child<QLineEdit>(w.get(), "txtHead"), QStringLiteral("Hel"));
        QTest::qWait(50);
        QTest::keyClicks(child<QLineEdit>(w.get(), "txtHead"), QStringLiteral("lo"));
        QVERIFY(!draftExists());
        QTRY_VERIFY(draftExists());
        QCOMPARE(draftOnDisk(),
                 QStringList({"Hello", "", "Ann", "ann@example.com", "http://", ""}));
        // Every one of the six boxes counts.
        for (const char* box : {"txtMain", "txtSig", "txtEmail", "txtURL", "txtURLtitle"})
            QTest::keyClicks(child<QWidget>(w.get(), box), QStringLiteral("Z"));
        QTRY_COMPARE(draftOnDisk(),
                     QStringList({"Hello", "Z", "AnnZ", "ann@example.comZ", "http://Z", "Z"}));
        // Emptying the entry by hand leaves no draft to offer.
        for (QLineEdit* e :
             {child<QLineEdit>(w.get(), "txtHead"), child<QLineEdit>(w.get(), "txtURL"),
              child<QLineEdit>(w.get(), "txtURLtitle")})
            e->clear();
        child<QPlainTextEdit>(w.get(), "txtMain")->clear();
        QTRY_VERIFY(!draftExists());
    }

    // A damaged draft, or an empty one, costs a status line and is left for a
    // look by hand until typing replaces it.
    void damagedDraftIsIgnored()
    {
        const QByteArray full = EntryDraft::format(sample());
        for (const QByteArray& bytes : {full.left(full.size() - 2), QByteArray()}) {
            settings() = Settings();
            QVERIFY(PublishFixture::writeFile(programFile(EntryDraft::fileName()), bytes));
            ScriptedPrompt p;
            const auto w = startWindow();
            QCOMPARE(p.texts(), QStringList());
            QVERIFY2(shownText(w.get(), "txtStatus")
                         .contains(QStringLiteral("The saved entry draft could not be read")),
                     qPrintable(shownText(w.get(), "txtStatus")));
            QCOMPARE(shownTexts(w.get(), {"txtHead", "txtURL"}), QStringList({"", "http://"}));
            QVERIFY(draftExists());
        }
    }

    // A draft left by a run that ended while the user typed comes back at the
    // next start and stays the draft until a Finish succeeds.
    void restoredDraftLastsUntilFinish()
    {
        QVERIFY(EntryDraft::save(programFile(EntryDraft::fileName()),
                                 {"Written before the crash", "First words.", "Ann", "", "", ""}));
        ScriptedPrompt p;
        p.answers << Answer::Yes;
        const auto w = startWindow();
        QCOMPARE(p.texts(), QStringList{QStringLiteral("Restore the entry you were writing?")});
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain", "txtSig"}),
                 QStringList({"Written before the crash", "First words.", "Ann"}));
        QVERIFY(shownText(w.get(), "txtStatus")
                    .contains(QStringLiteral("Entry restored from the draft")));
        QVERIFY(draftExists());
        // A Finish that fails (the page cannot be saved there) keeps it...
        child<QPushButton>(w.get(), "butt_Preview")->click();
        QVERIFY(settled(*w));
        QVERIFY(child<QPushButton>(w.get(), "butt_Fin")->isEnabled());
        p.files << dir->filePath(QStringLiteral("no such folder/upload.html"));
        child<QPushButton>(w.get(), "butt_Fin")->click();
        QVERIFY(settled(*w));
        QVERIFY(draftExists());
        // ...a Finish that succeeds removes it.
        child<QPushButton>(w.get(), "butt_Preview")->click();
        QVERIFY(settled(*w));
        p.files << dir->filePath(QStringLiteral("upload.html"));
        child<QPushButton>(w.get(), "butt_Fin")->click();
        QVERIFY(settled(*w));
        QVERIFY(QFile::exists(dir->filePath(QStringLiteral("upload.html"))));
        QVERIFY(!draftExists());
    }

    // New Entry asks first; it clears the entry but keeps signature and
    // e-mail, and removes the draft for good, until typing makes a new one.
    void newEntryClearsTheFormAndTheDraft()
    {
        ScriptedPrompt p;
        auto w = startWindow(100);
        QTest::keyClicks(child<QLineEdit>(w.get(), "txtHead"), QStringLiteral("Title"));
        child<QPlainTextEdit>(w.get(), "txtMain")->setPlainText(QStringLiteral("Body"));
        child<QLineEdit>(w.get(), "txtSig")->setText(QStringLiteral("Sig"));
        child<QLineEdit>(w.get(), "txtEmail")->setText(QStringLiteral("me@x"));
        child<QLineEdit>(w.get(), "txtURLtitle")->setText(QStringLiteral("Link"));
        QTRY_VERIFY(draftExists());
        const auto fields = [&] {
            return shownTexts(
                w.get(), {"txtHead", "txtMain", "txtURL", "txtURLtitle", "txtSig", "txtEmail"});
        };
        p.answers << Answer::Cancel << Answer::Ok;
        child<QAction>(w.get(), "mnuNew")->trigger();
        const Message& asked = p.messages.last();
        QCOMPARE(QStringList({asked.title, asked.text}),
                 QStringList({"Clear all fields?",
                              "This will erase all current text on this form.  Continue?"}));
        QCOMPARE(asked.buttons, Buttons::OkCancel);
        QCOMPARE(fields(), QStringList({"Title", "Body", "http://", "Link", "Sig", "me@x"}));
        QVERIFY(draftExists());
        QTest::keyClicks(child<QLineEdit>(w.get(), "txtHead"), QStringLiteral("!"));
        child<QAction>(w.get(), "mnuNew")->trigger();
        QCOMPARE(fields(), QStringList({"", "", "", "", "Sig", "me@x"}));
        QVERIFY(!draftExists());
        // The pending save of the last key press does not bring it back.
        QTest::qWait(300);
        QVERIFY(!draftExists());
        // Closing the window writes what was typed since the last pause.
        w->draftKeeper()->setDelay(3000);
        QTest::keyClicks(child<QLineEdit>(w.get(), "txtURLtitle"), QStringLiteral("Just typed"));
        QVERIFY(w->draftKeeper()->timer().isActive());
        w->close();
        w.reset();
        QCOMPARE(draftOnDisk().value(5), QStringLiteral("Just typed"));
    }
};

QTEST_MAIN(TestForm1)
#include "tst_mainwindow.moc"
