// A new user from no weblog.ini to a first published entry: the preferences open
// at start-up, the wizard marks and uploads the page on the test server, its OK
// fills the preferences and runs their Apply, and the first entry goes up.

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/config/PasswordScrambler.h"
#include "gui/MainWindow.h"
#include "gui/ShownWindows.h"
#include "gui/prefs/PreferencesDialog.h"
#include "gui/setup/MarkerTool.h"
#include "gui/setup/SetupWizard.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void choose(QListWidget* list, const QString& name, bool doubleClick)
{
    const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
    QTEST_ASSERT(!found.isEmpty());
    list->setCurrentItem(found.first());
    if (doubleClick)
        emit list->itemDoubleClicked(found.first());
}

const QByteArray kPage = "<html><head><title>My weblog</title></head>\n<body>\n<h1>News</h1>\n"
                         "<p>Footer</p>\n</body></html>\n";

} // namespace

class TestFirstRun : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void newUserThroughTheWizard()
    {
        QVERIFY(setProgramDir(m_dir.path()));
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QVERIFY(ftp.writeFile(QStringLiteral("www/index.html"), kPage));
        qputenv("PAGEWICK_NOW", "2026-12-07T09:30:15");
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        PreferencesDialog* prefs = shownWindow<PreferencesDialog>();
        QVERIFY(prefs);
        const QString ini = programFile(QStringLiteral("weblog.ini"));
        bool wizardDone = false;
        whenShown<SetupWizard>([&](SetupWizard* wizard) {
            wizard->buttNext->click();
            wizard->txtFTP->setText(ftp.url());
            wizard->txtUsername->setText(FtpTestServer::User);
            wizard->txtPassword->setText(FtpTestServer::Password);
            wizard->txtURL->setText(PublishFixture::kWebsite);
            wizard->buttNext->click();
            choose(wizard->lstdir, QStringLiteral("www/"), true);
            whenShown<MarkerTool>([](MarkerTool* tool) {
                const qsizetype at =
                    tool->txtEdit->toPlainText().indexOf(QStringLiteral("<p>Footer"));
                QTextCursor c = tool->txtEdit->textCursor();
                c.setPosition(int(at));
                tool->txtEdit->setTextCursor(c);
                tool->buttInsertCode->click();
            });
            // Add the markers: Yes; the position is right: Yes; no archive.
            p.answers << Answer::Yes << Answer::Yes << Answer::No;
            choose(wizard->lstdir, QStringLiteral("index.html"), false);
            wizard->buttSelect->click();
            // Nothing is stored before OK.
            QVERIFY(!QFile::exists(ini) || readSetting(ini, "1", "ftpsite").isEmpty());
            wizardDone = wizard->currentPage() == 3;
            wizard->buttOkay->click();
        });
        prefs->findChild<QPushButton*>(QStringLiteral("buttWizard"))->click();
        QVERIFY(wizardDone);
        // The marked page is on the server.
        const QByteArray marked = ftp.readFile(QStringLiteral("www/index.html"));
        QCOMPARE(marked, QByteArray("<html><head><title>My weblog</title></head>\r\n<body>\r\n"
                                    "<h1>News</h1>\r\n<!--pagewick-->\r\n<!--**END**--><p>Footer"
                                    "</p>\r\n</body></html>\r\n\r\n"));
        // The wizard's OK ran Apply: the account is in weblog.ini.
        QStringList stored;
        for (const char* key :
             {"ftpsite", "username", "ftpremote", "website", "autoftp", "archive"})
            stored << readSetting(ini, "1", key);
        QCOMPARE(stored, QStringList({ftp.url(), FtpTestServer::User, "/www/index.html",
                                      PublishFixture::kWebsite, "True", "false"}));
        QCOMPARE(TextEncrypt(readSetting(ini, "1", "password"), false, p), FtpTestServer::Password);
        // The rest as a user would: FTP retrieve mode, a direct line, OK.
        prefs->findChild<QRadioButton*>(QStringLiteral("optDirect"))->click();
        prefs->findChild<QRadioButton*>(QStringLiteral("optmodeFTP"))->click();
        p.clear();
        prefs->findChild<QPushButton*>(QStringLiteral("buttOK"))->click();
        // The page fetched after OK has markers but no entry yet.
        QCOMPARE(p.texts(),
                 QStringList{QStringLiteral(
                     "Time/Date Markers Not Found.  Assuming this is 1st weblog entry.")});
        QVERIFY(!shownWindow<PreferencesDialog>());
        w.txtHead->setText(QStringLiteral("First entry"));
        w.txtMain->setPlainText(QStringLiteral("Set up by the wizard"));
        w.butt_Preview->click();
        QVERIFY(w.butt_Fin->isEnabled());
        w.butt_Fin->click();
        const QByteArray served = ftp.readFile(QStringLiteral("www/index.html"));
        const qsizetype marker = served.indexOf("<!--pagewick-->");
        const qsizetype entry = served.indexOf("Set up by the wizard");
        QVERIFY(marker >= 0 && entry > marker);
        QVERIFY(served.indexOf("<!--**END**-->") > entry);
        QVERIFY(served.contains("<p>Footer</p>"));
        QCOMPARE(readSetting(ini, "1", "Fail"), QStringLiteral("False"));
        QCOMPARE(p.unscripted, 0);
        qunsetenv("PAGEWICK_NOW");
    }
};

QTEST_MAIN(TestFirstRun)
#include "tst_firstrun.moc"
