// The set-up wizard as a user meets it on a desktop, typing and clicking, against an FTP
// server that may hang: Enter moves on, a time-out is named as one, Cancel ends the wizard
// at once whatever transfer runs, and an archive page comes with its web address.

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "gui/MainWindow.h"
#include "gui/QtPrompt.h"
#include "gui/RealDialogs.h"
#include "gui/ShownWindows.h"
#include "gui/prefs/PreferencesDialog.h"
#include "gui/setup/SetupWizard.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kOddCase = "<html><!--PageWick--></html>\r\n";

void click(QWidget* w)
{
    QTest::mouseClick(w, Qt::LeftButton);
}

// Waits for the end of the wizard's steps under way; false when they do not end.
bool settled(SetupWizard* w)
{
    return QTest::qWaitFor([w] { return !w->browser().isBusy(); }, 30000);
}

// Double-clicks the list item `name` and waits for the steps it starts; false when there is
// none.
bool doubleClick(QListWidget* list, const QString& name)
{
    const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    const QPoint at = list->visualItemRect(found.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    return settled(qobject_cast<SetupWizard*>(list->window()));
}

QStringList itemsOf(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

} // namespace

class TestWizardOnDesktop : public QObject
{
    Q_OBJECT

    std::unique_ptr<FtpTestServer> m_ftp;
    std::unique_ptr<QTemporaryDir> m_dir;

    // From the welcome page through the account, typed field by field; Enter in the last
    // logs on (waited for).
    void typeAccount(SetupWizard& w)
    {
        click(child<QPushButton>(&w, "buttNext"));
        const std::pair<QLineEdit*, QString> typed[] = {
            {child<QLineEdit>(&w, "txtFTP"), m_ftp->url()},
            {child<QLineEdit>(&w, "txtUsername"), FtpTestServer::User},
            {child<QLineEdit>(&w, "txtPassword"), FtpTestServer::Password},
            {child<QLineEdit>(&w, "txtURL"), u"http://www.example.com/"
                                             "blog/index.html"_s}};
        for (const auto& [field, text] : typed) {
            click(field);
            QTest::keyClicks(field, text);
        }
        QTest::keyClick(child<QLineEdit>(&w, "txtURL"), Qt::Key_Return);
        QVERIFY(settled(&w));
    }

private slots:
    void initTestCase()
    {
        m_ftp = std::make_unique<FtpTestServer>();
        QVERIFY2(m_ftp->isRunning(), qPrintable(m_ftp->errorString()));
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(useProgramDir(m_dir->path()));
        settings() = Settings();
        m_ftp->resetBehaviour();
        for (const char* name : {"www/index.html", "www/Archive.html", "www/blog/old.html"})
            QVERIFY(m_ftp->writeFile(QString::fromLatin1(name), "<p><!--pagewick--></p>\r\n"));
        QVERIFY(m_ftp->writeFile("www/archived.html", "<!--PagewickArchiveStart-->\r\n"));
        QVERIFY(m_ftp->writeFile("www/oddcase.html", kOddCase));
        QVERIFY(m_ftp->writeFile("www/zeta/a.html", "x"));
    }

    // Enter on the account page means Next; a server that does not answer is reported as a
    // time-out, and the wizard returns to the account; the list shows ".." first, then the
    // folders, then the files, each alphabetically.
    void enterTimeOutAndOrder()
    {
        ScriptedPrompt p;
        SetupWizard w(workspace());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.browser().client().setRequestTimeout(1);
        m_ftp->hangOn("MLSD");
        typeAccount(w);
        QCOMPARE(p.texts(), QStringList{"The FTP site did not answer within 1 seconds.  Please "
                                        "check your configuration and your connection, and try "
                                        "again."});
        QCOMPARE(titlesOf(p), QStringList{"Time-out"});
        QCOMPARE(w.currentPage(), 1);
        m_ftp->resetBehaviour();
        QTest::keyClick(child<QLineEdit>(&w, "txtUsername"), Qt::Key_Enter);
        QVERIFY(settled(&w));
        QCOMPARE(w.currentPage(), 2);
        QVERIFY(doubleClick(child<QListWidget>(&w, "lstdir"), "www/"));
        QCOMPARE(itemsOf(child<QListWidget>(&w, "lstdir")),
                 QStringList({"..", "blog/", "zeta/", "Archive.html", "archived.html", "index.html",
                              "oddcase.html"}));
    }

    // Cancel while the server hangs ends the wizard at once: the transfer is abandoned, no
    // message follows, nothing more is sent, and the server's page and the settings stay.
    void cancelWhileTheServerHangs_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("hung"); // the command the server leaves unanswered
        QTest::newRow("first listing") << "log-on"
                                       << "MLSD";
        QTest::newRow("folder listing") << "folder"
                                        << "MLSD";
        QTest::newRow("download") << "select"
                                  << "RETR";
        QTest::newRow("upload") << "select"
                                << "STOR";
    }
    void cancelWhileTheServerHangs()
    {
        QFETCH(QString, step);
        QFETCH(QString, hung);
        QtPrompt real;
        usePrompt(&real);
        const auto restore = qScopeGuard([] { usePrompt(nullptr); });
        SetupWizard w(workspace());
        w.open();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        // Cancel is clicked once the server holds the command.
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, &w, [&] {
            if (m_ftp->logLines().contains("HANG")) {
                cancel.stop();
                click(child<QPushButton>(&w, "buttCancel"));
            }
        });
        if (step != u"log-on") {
            typeAccount(w);
            QVERIFY(doubleClick(child<QListWidget>(&w, "lstdir"), "www/"));
            QCOMPARE(w.currentPage(), 2);
        }
        m_ftp->hangOn(hung);
        m_ftp->clearLog();
        // The upload is of the page with its marker mended, once the user agrees.
        std::shared_ptr<ModalAnswer> asked;
        if (hung == u"STOR")
            asked = answerModal<QMessageBox>(
                [](QMessageBox* box) { clickDialogButton(box, QDialogButtonBox::Yes); });
        cancel.start(50);
        QElapsedTimer clock;
        clock.start();
        if (step == u"log-on")
            typeAccount(w);
        else if (step == u"folder")
            QVERIFY(doubleClick(child<QListWidget>(&w, "lstdir"), "blog/"));
        else
            QVERIFY(doubleClick(child<QListWidget>(&w, "lstdir"), "oddcase.html"));
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!w.isVisible() && w.result() == QDialog::Rejected);
        QVERIFY(!cancel.isActive());
        QVERIFY(!asked || (asked->seen && asked->title == u"Insertion Marker"_s));
        QVERIFY(!QApplication::activeModalWidget()); // no message after the Cancel
        const QStringList log = m_ftp->logLines();
        const QStringList after = log.mid(log.indexOf("HANG") + 1).filter(u"CMD"_s);
        QVERIFY2(after.isEmpty() || after == QStringList{"CMD QUIT"}, qPrintable(after.join('|')));
        QCOMPARE(m_ftp->readFile("www/oddcase.html"), kOddCase);
        QVERIFY(!m_ftp->fileExists("www/oddcase.html.pagewick-upload"));
        QCOMPARE(QFile::exists(programFile("wizardtemp.html")), hung == u"STOR");
        QVERIFY(!QFile::exists(programFile("weblog.ini")));
    }

    // A new user who picks an archive page gets its address proposed beside the weblog
    // page's; Enter takes it, and the preferences' Apply stores it with the rest.
    void archivePageWithItsAddress()
    {
        ScriptedPrompt p;
        MainWindow main(workspace());
        main.start(0);
        PreferencesDialog* prefs = shownWindow<PreferencesDialog>();
        QVERIFY(prefs);
        bool done = false;
        whenShown<SetupWizard>([&](SetupWizard* w) {
            typeAccount(*w);
            QVERIFY(doubleClick(child<QListWidget>(w, "lstdir"), "www/"));
            p.answers << Answer::Yes; // an archive too
            QVERIFY(doubleClick(child<QListWidget>(w, "lstdir"), "index.html"));
            QVERIFY(doubleClick(child<QListWidget>(w, "lstdir"), "archived.html"));
            QCOMPARE(shownText(w, "txtArchiveURL"), u"http://www.example.com/blog/archived.html"_s);
            QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(w, "txtArchiveURL"));
            QTest::keyClick(child<QLineEdit>(w, "txtArchiveURL"), Qt::Key_Return);
            done = w->currentPage() == 3;
            click(child<QPushButton>(w, "buttOkay"));
        });
        QSignalSpy applied(prefs, &PreferencesDialog::applyEnded);
        click(child<QPushButton>(prefs, "buttWizard"));
        QVERIFY(done && (applied.count() || applied.wait()));
        const QString ini = programFile(u"weblog.ini"_s);
        QStringList stored;
        for (const char* key : {"archive", "archiveftp", "archiveurl", "ftpremote"})
            stored << readSetting(ini, "1", key);
        QCOMPARE(stored,
                 QStringList({"true", "/www/archived.html",
                              "http://www.example.com/blog/archived.html", "/www/index.html"}));
        QVERIFY2(p.texts().filter("ARCHIVE").isEmpty(), qPrintable(p.texts().join('|')));
        prefs->close();
    }
};

QTEST_MAIN(TestWizardOnDesktop)
#include "tst_wizardondesktop.moc"
