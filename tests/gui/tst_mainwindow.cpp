// The main window driven for real: start-up with and without a configuration,
// the resend offer, the status box, New Entry, the markup keys and commands.

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "gui/AboutDialog.h"
#include "gui/MainWindow.h"
#include "gui/PageSourceDialog.h"
#include "gui/SplashScreen.h"
#include "gui/WindowShots.h"

#include <QAction>
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

const QString kResendText = QStringLiteral("It has been detected that the last FTP did not "
                                           "succeed.  Pressing RESEND will retry to FTP the old "
                                           "weblog entry.  Proceeding normally will erase this old "
                                           "weblog entry. A preview of the old entry will "
                                           "now load.");

const QByteArray kPage =
    "<html><body>\r\n<!--pagewick-->\r\n<!--|12/5/2000|5:44:36 PM|-->Old entry\r\n"
    "<!--**END**-->\r\n</body></html>\r\n";

// The window shows its controls whole, inside it and apart (see windowProblems).
#define VERIFY_WINDOW(window, name)                                                                \
    do {                                                                                           \
        const QStringList problems = windowProblems(window, name);                                 \
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));                \
    } while (false)

QAction* action(QWidget* w, const char* name)
{
    return w->findChild<QAction*>(QString::fromLatin1(name));
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    static void writeFile(const QString& name, const QByteArray& bytes)
    {
        QVERIFY(PublishFixture::writeFile(programFile(name), bytes));
    }
    static void ini(const QByteArray& text) { writeFile(QStringLiteral("weblog.ini"), text); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(setProgramDir(dir->path()));
        settings() = Settings();
    }

    void startWithoutConfiguration()
    {
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        QCOMPARE(w.windowTitle(), QStringLiteral("PageWick: 0.8.4"));
        // There is no page to fetch yet: the preferences dialog opens instead.
        QCOMPARE(p.texts(), QStringList({QStringLiteral(
                                "No weblog.ini entry found.  Please configure your program under "
                                "the SETUP menu.")}));
        QCOMPARE(p.messages[0].title, QStringLiteral("Pagewick"));
        QCOMPARE(w.txtStatus->toPlainText(),
                 QStringLiteral("\nNo Config Loaded\nGoto CONFIG under the SETUP Menu"));
        QVERIFY(w.findChild<QWidget*>(QStringLiteral("frmPrefs"))->isVisible());
        QVERIFY(!w.butt_Fin->isEnabled());
        QVERIFY(!w.butt_Preview->isEnabled());
        QVERIFY(!w.mnuBackup->isEnabled());
        QVERIFY(!w.mnuDeleteLast->isEnabled());
        QVERIFY(w.mnuPreferences->isEnabled());
        QVERIFY(w.butt_resend->isHidden());
        QCOMPARE(settings().activeSection, QStringLiteral("1"));
        QCOMPARE(settings().settingsPath, programFile(QStringLiteral("weblog.ini")));
        // Start-up placed the default template in the program directory.
        QVERIFY(QFile::exists(programFile(QStringLiteral("template.txt"))));
        QVERIFY(w.isVisible());
        VERIFY_WINDOW(&w, QStringLiteral("Form1-no-configuration"));
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
                     {QStringLiteral("autoftp"),
                      autoFtp ? QStringLiteral("True") : QStringLiteral("False")},
                     {QStringLiteral("Fail"), QStringLiteral("True")}});
        QVERIFY(PublishFixture::writeIni(dir->path(), {{1, keys}}));
        writeFile(QStringLiteral("backup1.html"), kPage);
        const QByteArray unsent = "<html><body>the entry that did not go up</body></html>\r\n";
        writeFile(QStringLiteral("webbie1.html"), unsent);

        MainWindow w;
        w.start(0);
        // The offer once; a missing page adds only its own message.
        QCOMPARE(p.texts().value(0), kResendText);
        QCOMPARE(p.texts().size(), pageOnWeb ? 1 : 2);
        QVERIFY(w.butt_Preview->isEnabled());
        QVERIFY(!w.butt_Fin->isEnabled());
        if (!autoFtp) {
            QVERIFY(p.opened.isEmpty());
            QVERIFY(!w.txtStatus->toPlainText().contains(QStringLiteral("RESEND to retry")));
            QVERIFY(w.butt_resend->isHidden());
            QCOMPARE(w.butt_Fin->text(), QStringLiteral("Finish"));
            return;
        }
        QCOMPARE(p.opened, QStringList({programFile(QStringLiteral("webbie1.html"))}));
        QVERIFY(w.txtStatus->toPlainText().contains(
            QStringLiteral("RESEND Config 1?\nRESEND to retry")));
        QVERIFY(w.butt_resend->isVisible());
        QVERIFY(w.butt_resend->isEnabled());
        QCOMPARE(w.butt_Fin->text(), QStringLiteral("Finish/FTP"));
        if (mode == QLatin1String("ftp"))
            VERIFY_WINDOW(&w, QStringLiteral("Form1-resend"));
        if (preview) {
            // A new edited page: Resend goes, and stays gone.
            w.txtHead->setText(QStringLiteral("New"));
            w.txtMain->setPlainText(QStringLiteral("Body"));
            w.butt_Preview->click();
            QVERIFY(w.butt_Fin->isEnabled());
            w.setPublishingEnabled(false);
            w.setPublishingEnabled(true);
            QVERIFY(w.butt_resend->isHidden());
            return;
        }

        p.clear();
        w.butt_resend->click();
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(ftp.readFile(QStringLiteral("www/index.html")), unsent);
        QCOMPARE(readSetting(programFile(QStringLiteral("weblog.ini")), QStringLiteral("1"),
                             QStringLiteral("Fail")),
                 QStringLiteral("False"));
        QVERIFY(w.butt_resend->isHidden());
        // Published: nothing left to resend, even when the commands come on again.
        w.setPublishingEnabled(true);
        QVERIFY(w.butt_resend->isHidden());
    }

    void statusBoxLines()
    {
        ScriptedPrompt p;
        MainWindow w;
        w.appendStatus(QString());
        w.appendStatus(QStringLiteral("\r\n"));
        QCOMPARE(w.txtStatus->toPlainText(), QString());
        w.appendStatus(QStringLiteral("  first  "));
        w.appendStatus(QStringLiteral("a\r\nb\r\nc"));
        QCOMPARE(w.txtStatus->toPlainText(), QStringLiteral("\nfirst\nab\nc"));
        QCOMPARE(w.txtStatus->textCursor().position(), w.txtStatus->toPlainText().size());
    }

    void buttsOnSwitchesTheCommands()
    {
        ScriptedPrompt p;
        MainWindow w;
        w.show();
        w.butt_resend->show();
        w.butt_resend->setEnabled(true);
        w.showProgress(1, 100, 5);
        QList<QObject*> commands{w.butt_Fin, w.butt_Preview, w.mnuPreferences, w.mnuBackup,
                                 w.mnuDeleteLast};
        for (const bool on : {true, false}) {
            w.setPublishingEnabled(on);
            for (QObject* c : commands)
                QVERIFY2(c->property("enabled").toBool() == on, qPrintable(c->objectName()));
            QCOMPARE(w.butt_resend->isVisible(), on); // kept when on, hidden when off
            QCOMPARE(w.butt_resend->isEnabled(), on);
            QVERIFY(w.ProgressBar1->isHidden());
        }
    }

    void newEntry()
    {
        ScriptedPrompt p;
        MainWindow w;
        w.txtHead->setText(QStringLiteral("Title"));
        w.txtMain->setPlainText(QStringLiteral("Body"));
        w.txtSig->setText(QStringLiteral("Sig"));
        w.txtEmail->setText(QStringLiteral("me@example.com"));
        w.txtURLtitle->setText(QStringLiteral("Link"));
        p.answers << Answer::Cancel;
        action(&w, "mnuNew")->trigger();
        QCOMPARE(p.messages.last().text,
                 QStringLiteral("This will erase all current text on this form.  Continue?"));
        QCOMPARE(p.messages.last().title, QStringLiteral("Clear all fields?"));
        QCOMPARE(p.messages.last().buttons, Buttons::OkCancel);
        QCOMPARE(w.txtHead->text(), QStringLiteral("Title"));
        QCOMPARE(w.txtURL->text(), QStringLiteral("http://"));
        p.answers << Answer::Ok;
        action(&w, "mnuNew")->trigger();
        QCOMPARE(w.txtHead->text(), QString());
        QCOMPARE(w.txtMain->toPlainText(), QString());
        QCOMPARE(w.txtURL->text(), QString());
        QCOMPARE(w.txtURLtitle->text(), QString());
        QCOMPARE(w.txtSig->text(), QStringLiteral("Sig"));
        QCOMPARE(w.txtEmail->text(), QStringLiteral("me@example.com"));
    }

    // Without a text box in focus the Edit commands are off, and one run
    // anyway only beeps.
    void editCommandWithoutTextBoxBeeps()
    {
        ScriptedPrompt p;
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.butt_Preview->setFocus();
        QTRY_VERIFY(w.butt_Preview->hasFocus());
        QVERIFY(!action(&w, "mnuCopy")->isEnabled());
        w.editCommands()->run(Markup::EditCommand::Copy);
        QCOMPARE(p.beeps, 1);
    }

    void splashAboutAndChoiceWindows()
    {
        SplashScreen splash;
        QCOMPARE(splash.Label1->text(), QStringLiteral("Beta:  0.8.4"));
        VERIFY_WINDOW(&splash, QStringLiteral("frmSplash"));

        AboutDialog about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Pagewick"));
        QCOMPARE(about.lblVersion->text(), QStringLiteral("Version 0.8.4"));
        QVERIFY(about.lblDisclaimer->text().startsWith(
            QStringLiteral("Disclaimer:\r\n\r\nThis is a beta version")));
        QVERIFY(about.lblDisclaimer->text().endsWith(
            QStringLiteral("please contact me, I beg you!  :)")));
        VERIFY_WINDOW(&about, QStringLiteral("frmAbout"));

        ScriptedPrompt p;
        settings().activeSection = QStringLiteral("2");
        PageSourceDialog choice;
        choice.show();
        choice.buttPreviewLocal->click();
        choice.buttPreviewServer->click();
        QCOMPARE(p.opened, QStringList({programFile(QStringLiteral("backup2.html")),
                                        programFile(QStringLiteral("indexbackup2.html"))}));
        // OK without a choice keeps the question open.
        choice.buttOkay->click();
        QCOMPARE(choice.tag(), QString());
        QVERIFY(choice.isVisible());
        choice.optlocal->setChecked(true);
        choice.optConfig->setChecked(true);
        QVERIFY(!choice.optlocal->isChecked());
        choice.buttOkay->click();
        QCOMPARE(choice.tag(), QStringLiteral("Config"));
        QVERIFY(choice.isHidden());
        VERIFY_WINDOW(&choice, QStringLiteral("frmUpdate"));
    }

    // The choice holds up start-up, so the rest of the program waits for it:
    // it is the modal window while it asks, and answers only through OK.
    void pageSourceChoiceIsModal()
    {
        ScriptedPrompt p;
        MainWindow w;
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
            choice->optserver->setChecked(true);
            choice->buttOkay->click();
        });
        QCOMPARE(w.choosePageSource(), QStringLiteral("Server"));
        QCOMPARE(modal, QStringLiteral("frmUpdate"));
        QVERIFY(mainWindowBlocked);
        QVERIFY(!QApplication::activeModalWidget());
    }

    // Start-up with configuration 2 in no-retrieve mode, then Preview, Finish
    // (manual publishing, so no server is needed) and Restore Backup from
    // the window, on real files.
    void entryCommandsFromTheWindow()
    {
        qputenv("PAGEWICK_NOW", "2000-12-06T09:30:15");
        ini("[General]\r\nConfig=2\r\n[2]\r\nwebsite=http://www.example.com/index.html\r\n"
            "autoftp=False\r\nretreivemode=none\r\ndefaultsig=Ann\r\n"
            "defaultemail=ann@example.com\r\n");
        writeFile(QStringLiteral("backup2.html"), kPage);
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        QCOMPARE(p.texts(), QStringList());
        QVERIFY(w.txtStatus->toPlainText().contains(
            QStringLiteral("Using backup2.html as local file")));
        QCOMPARE(settings().activeSection, QStringLiteral("2"));
        QCOMPARE(settings().siteHost, QStringLiteral("www.example.com"));
        QCOMPARE(w.txtSig->text(), QStringLiteral("Ann"));
        QCOMPARE(w.txtEmail->text(), QStringLiteral("ann@example.com"));
        QVERIFY(w.butt_Preview->isEnabled() && !w.butt_Fin->isEnabled());
        QVERIFY(w.butt_resend->isHidden());
        VERIFY_WINDOW(&w, QStringLiteral("Form1-configured"));
        w.txtHead->setText(QStringLiteral("Second"));
        w.txtMain->setPlainText(QStringLiteral("Line one\nLine two"));
        w.butt_Preview->click();
        QCOMPARE(p.opened.last(), programFile(QStringLiteral("webbie2.html")));
        const QByteArray page =
            PublishFixture::readFile(programFile(QStringLiteral("webbie2.html")));
        const qsizetype newEntry = page.indexOf("Second");
        QVERIFY(newEntry > page.indexOf("<!--pagewick-->"));
        QVERIFY(newEntry < page.indexOf("Old entry"));
        QVERIFY(page.contains("Line one\r\nLine two"));
        QCOMPARE(page.count("<!--**END**-->"), 1);
        QVERIFY(w.butt_Fin->isEnabled());
        // Typing again asks for a new preview.
        QTest::keyClicks(w.txtHead, QStringLiteral("!"));
        QVERIFY(!w.butt_Fin->isEnabled());

        // Finish in manual mode saves the page where the user says.
        w.butt_Preview->click();
        const QString saved = dir->filePath(QStringLiteral("upload.html"));
        p.files << saved;
        w.butt_Fin->click();
        QCOMPARE(p.messages.last().text,
                 saved + QStringLiteral(" ready!  Please exit and manually upload."));
        QVERIFY(PublishFixture::readFile(saved).contains("Second!"));

        // Restore Backup answered Cancel leaves the edited page alone.
        p.answers << Answer::Cancel;
        w.mnuBackup->setEnabled(true);
        w.mnuBackup->trigger();
        QCOMPARE(p.messages.last().title, QStringLiteral("Restore Web Site?"));
        QVERIFY(PublishFixture::readFile(programFile(QStringLiteral("webbie2.html")))
                    .contains("Second!"));
        qunsetenv("PAGEWICK_NOW");
    }

    void systemInformationUnavailable()
    {
        ScriptedPrompt p;
        AboutDialog about;
        qputenv("PATH", dir->path().toLocal8Bit());
        about.cmdSysInfo->click();
        QCOMPARE(p.texts(),
                 QStringList({QStringLiteral("System Information Is Unavailable At This Time")}));
    }
};

QTEST_MAIN(TestForm1)
#include "tst_mainwindow.moc"
