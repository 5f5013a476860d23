// The main window driven for real: start-up with and without a configuration,
// the resend offer, the status box, New Entry, the markup keys and commands.

#include "ScriptedPrompt.h"
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
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
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
        QFile f(programFile(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    void ini(const QByteArray& text)
    {
        QFile f(programFile(QStringLiteral("weblog.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

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

    void startWithConfiguration()
    {
        ini("[General]\r\nConfig=2\r\n[2]\r\nwebsite=http://www.example.com/"
            "index.html\r\nautoftp=True\r\n"
            "defaultsig=Ann\r\ndefaultemail=ann@example.com\r\nretreivemode=none\r\n");
        writeFile(QStringLiteral("backup2.html"), kPage);
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        QCOMPARE(p.texts(), QStringList());
        QVERIFY(w.txtStatus->toPlainText().contains(
            QStringLiteral("Using backup2.html as local file")));
        QVERIFY(w.butt_Preview->isEnabled());
        QCOMPARE(settings().activeSection, QStringLiteral("2"));
        QCOMPARE(settings().siteHost, QStringLiteral("www.example.com"));
        QCOMPARE(w.txtSig->text(), QStringLiteral("Ann"));
        QCOMPARE(w.txtEmail->text(), QStringLiteral("ann@example.com"));
        QCOMPARE(w.butt_Fin->text(), QStringLiteral("Finish/FTP"));
        QVERIFY(!w.butt_Fin->isEnabled());
        QVERIFY(w.butt_resend->isHidden());
        VERIFY_WINDOW(&w, QStringLiteral("Form1-configured"));
    }

    void failedUploadWithAutomaticFtpOffersResend()
    {
        ini("[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://www.example.com/"
            "\r\nautoftp=True\r\nFail=True\r\n"
            "retreivemode=none\r\n");
        writeFile(QStringLiteral("backup1.html"), kPage);
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        QCOMPARE(p.texts(), QStringList({kResendText}));
        QCOMPARE(p.opened, QStringList({programFile(QStringLiteral("webbie1.html"))}));
        const QString status = w.txtStatus->toPlainText();
        QVERIFY(status.contains(QStringLiteral("RESEND Config 1?\nRESEND to retry")));
        QVERIFY(w.butt_resend->isVisible());
        QVERIFY(w.butt_resend->isEnabled());
        QVERIFY(!w.butt_Fin->isEnabled());
        QVERIFY(w.butt_Preview->isEnabled());
        VERIFY_WINDOW(&w, QStringLiteral("Form1-resend"));
    }

    void failedUploadWithoutAutomaticFtpOnlyWarns()
    {
        ini("[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://www.example.com/"
            "\r\nautoftp=False\r\nFail=True\r\n"
            "retreivemode=none\r\n");
        writeFile(QStringLiteral("backup1.html"), kPage);
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        QCOMPARE(p.texts(), QStringList({kResendText}));
        QVERIFY(p.opened.isEmpty());
        QVERIFY(!w.txtStatus->toPlainText().contains(QStringLiteral("RESEND to retry")));
        QVERIFY(w.butt_resend->isHidden());
        QCOMPARE(w.butt_Fin->text(), QStringLiteral("Finish"));
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
        w.setPublishingEnabled(true);
        QVERIFY(w.butt_resend->isVisible());
        QVERIFY(w.butt_resend->isEnabled());
        QVERIFY(w.ProgressBar1->isHidden());
        for (QAction* a : {w.mnuPreferences, w.mnuBackup, w.mnuDeleteLast})
            QVERIFY(a->isEnabled());
        w.setPublishingEnabled(false);
        QVERIFY(!w.butt_Fin->isEnabled());
        QVERIFY(!w.butt_Preview->isEnabled());
        QVERIFY(w.butt_resend->isHidden());
        QVERIFY(!w.butt_resend->isEnabled());
        for (QAction* a : {w.mnuPreferences, w.mnuBackup, w.mnuDeleteLast})
            QVERIFY(!a->isEnabled());
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

    void markupWrapsTheSelection()
    {
        ScriptedPrompt p;
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.txtMain->setFocus();
        QTRY_VERIFY(w.txtMain->hasFocus());
        w.txtMain->setPlainText(QStringLiteral("say hello now"));
        QTextCursor c = w.txtMain->textCursor();
        c.setPosition(4);
        c.setPosition(9, QTextCursor::KeepAnchor);
        w.txtMain->setTextCursor(c);
        action(&w, "mnuBold")->trigger();
        QCOMPARE(w.txtMain->toPlainText(), QStringLiteral("say <B>hello</B> now"));
        // Nothing selected: the caret lands between the tags.
        c = w.txtMain->textCursor();
        c.setPosition(0);
        w.txtMain->setTextCursor(c);
        action(&w, "mnuItalics")->trigger();
        QCOMPARE(w.txtMain->textCursor().position(), 3);
        // Ctrl+Enter: "<BR>" with the caret in front of it; Ctrl+Space: a hard space.
        w.txtHead->setFocus();
        QTRY_VERIFY(w.txtHead->hasFocus());
        QTest::keyClick(w.txtHead, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(w.txtHead->text(), QStringLiteral("<BR>"));
        QCOMPARE(w.txtHead->cursorPosition(), 0);
        QTest::keyClick(w.txtHead, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(w.txtHead->text(), QStringLiteral("&nbsp;<BR>"));
        // Align commands insert only the opening tag; the toolbar's Center is
        // the paragraph alignment.
        w.txtHead->clear();
        action(&w, "Toolbar1_Center")->trigger();
        QCOMPARE(w.txtHead->text(), QStringLiteral("<P align=center>"));
        // A link: the answer trimmed; a cancelled box still inserts the tags.
        w.txtHead->clear();
        p.inputs << QStringLiteral("  help.html ");
        action(&w, "mnuLink")->trigger();
        QCOMPARE(w.txtHead->text(), QStringLiteral("<a href=\"help.html\"></a>"));
        QVERIFY(p.inputTexts.last().startsWith(
            QStringLiteral("Type the absolute or relative link here.\r\nExamples...")));
        w.txtHead->clear();
        action(&w, "mnuLink")->trigger();
        QCOMPARE(w.txtHead->text(), QStringLiteral("<a href=\"\"></a>"));
        // Colour: red, green, blue order; a cancel inserts nothing.
        w.txtHead->clear();
        p.colors << 0x00C08040u;
        action(&w, "mnuFontColor")->trigger();
        QCOMPARE(w.txtHead->text(), QStringLiteral("<font color=\"#4080C0\"></font>"));
        w.txtHead->clear();
        action(&w, "mnuFontColor")->trigger();
        action(&w, "mnufontface")->trigger();
        QCOMPARE(w.txtHead->text(), QString());
        // Typing into an entry box asks for a new preview.
        w.butt_Fin->setEnabled(true);
        QTest::keyClicks(w.txtHead, QStringLiteral("x"));
        QVERIFY(!w.butt_Fin->isEnabled());
    }

    void editCommandsFollowTheFocus()
    {
        ScriptedPrompt p;
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.butt_Preview->setFocus();
        QTRY_VERIFY(w.butt_Preview->hasFocus());
        // The command is off without a text box; run anyway, it beeps.
        QVERIFY(!action(&w, "mnuCopy")->isEnabled());
        w.editCommands()->run(Markup::EditCommand::Copy);
        QCOMPARE(p.beeps, 1);
        w.txtHead->setFocus();
        QTRY_VERIFY(w.txtHead->hasFocus());
        w.txtHead->setText(QStringLiteral("abc"));
        w.txtHead->selectAll();
        QTRY_VERIFY(w.mnuCut->isEnabled());
        w.txtHead->deselect();
        QTRY_VERIFY(!w.mnuCut->isEnabled());
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

    // Preview, Delete Last Entry and Restore Backup from the window, on real
    // files, with manual publishing so no server is needed.
    void entryCommandsFromTheWindow()
    {
        qputenv("PAGEWICK_NOW", "2000-12-06T09:30:15");
        ini("[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://www.example.com/\r\nautoftp=False\r\n"
            "retreivemode=none\r\ndefaultsig=Ann\r\n");
        writeFile(QStringLiteral("backup1.html"), kPage);
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        QVERIFY(w.butt_Preview->isEnabled());
        w.txtHead->setText(QStringLiteral("Second"));
        w.txtMain->setPlainText(QStringLiteral("Line one\nLine two"));
        w.butt_Preview->click();
        QCOMPARE(p.opened.last(), programFile(QStringLiteral("webbie1.html")));
        QFile edited(programFile(QStringLiteral("webbie1.html")));
        QVERIFY(edited.open(QIODevice::ReadOnly));
        const QByteArray page = edited.readAll();
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
        QFile savedFile(saved);
        QVERIFY(savedFile.open(QIODevice::ReadOnly));
        QVERIFY(savedFile.readAll().contains("Second!"));

        // Restore Backup answered Cancel leaves the edited page alone.
        p.answers << Answer::Cancel;
        w.mnuBackup->setEnabled(true);
        w.mnuBackup->trigger();
        QCOMPARE(p.messages.last().title, QStringLiteral("Restore Web Site?"));
        QFile again(programFile(QStringLiteral("webbie1.html")));
        QVERIFY(again.open(QIODevice::ReadOnly));
        QVERIFY(again.readAll().contains("Second!"));
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
