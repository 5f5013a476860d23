// The preferences dialog and the field style editor driven for real through
// their object names: loading, the enabling rules, Apply into weblog.ini,
// Cancel, and a new user configuring a site against the test FTP server.

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/config/PasswordScrambler.h"
#include "core/config/PreferencesApply.h"
#include "core/entry/EntryBuilder.h"
#include "gui/MainWindow.h"
#include "gui/WindowShots.h"
#include "gui/prefs/PreferencesDialog.h"
#include "gui/prefs/StyleEditorDialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

template <typename T> T* child(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QString::fromLatin1(name));
    QTEST_ASSERT(c);
    return c;
}
QLineEdit* edit(QWidget* w, const char* name)
{
    return child<QLineEdit>(w, name);
}
QCheckBox* check(QWidget* w, const char* name)
{
    return child<QCheckBox>(w, name);
}
QPushButton* button(QWidget* w, const char* name)
{
    return child<QPushButton>(w, name);
}
QRadioButton* option(QWidget* w, const char* name)
{
    return child<QRadioButton>(w, name);
}
QLabel* label(QWidget* w, const char* name)
{
    return child<QLabel>(w, name);
}

void type(QWidget* w, const char* name, const QString& text)
{
    edit(w, name)->setText(text);
}

// Picks an entry of a list as the user does (the list's "activated" signal).
void pick(QComboBox* list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

const QString kArchiveMessage = QStringLiteral(
    "To use the archive utility, you must have your FTP configured.  The archive function has "
    "been disabled.");

PreferencesDialog* openPreferences(QWidget* window)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmPrefs") && w->isVisible())
            return qobject_cast<PreferencesDialog*>(w);
    Q_UNUSED(window);
    return nullptr;
}

} // namespace

class TestPreferencesDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QString iniPath() const { return programFile(QStringLiteral("weblog.ini")); }
    void ini(const QByteArray& text)
    {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    QByteArray iniBytes() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString key(const char* name, const QString& section = QStringLiteral("1")) const
    {
        return readSetting(iniPath(), section, QString::fromLatin1(name));
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(setProgramDir(dir->path()));
        settings() = Settings();
        settings().settingsPath = iniPath();
        settings().activeSection = QStringLiteral("1");
    }
    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName().startsWith(QLatin1String("frm")))
                w->close();
    }

    void freshInstallShowsTheDefaults()
    {
        qputenv("PAGEWICK_NOW", "2000-12-05T17:44:36");
        ScriptedPrompt p;
        MainWindow w;
        PreferencesDialog d(w, w);
        QCOMPARE(d.objectName(), QStringLiteral("frmPrefs"));
        QCOMPARE(d.windowTitle(), QStringLiteral("Preferences..."));
        QCOMPARE(p.texts(), QStringList());
        auto* tabs = child<QTabWidget>(&d, "TabStrip1");
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
        QCOMPARE(captions, QStringList({QStringLiteral("&Config"), QStringLiteral("&FTP"),
                                        QStringLiteral("&Maintain"), QStringLiteral("&Sig/Email"),
                                        QStringLiteral("&Date/Time"), QStringLiteral("&Backend"),
                                        QStringLiteral("&Imaging"), QStringLiteral("&Retrieve")}));
        QCOMPARE(d.currentTab(), 1);
        QCOMPARE(label(&d, "lblConfig")->text(), QStringLiteral("Config 1 Loaded"));
        QCOMPARE(edit(&d, "txtConfigNumber")->text(), QStringLiteral("1"));
        QCOMPARE(edit(&d, "txtWebSite")->text(), QString());
        QVERIFY(!check(&d, "chkFTP")->isChecked());
        for (const char* name :
             {"txtFTPsite", "txtUsername", "txtPassword", "txtFTPremote", "txttimeout"})
            QVERIFY2(!edit(&d, name)->isEnabled(), name);
        QVERIFY(option(&d, "optmodem")->isChecked());
        QCOMPARE(edit(&d, "txttimeout")->text(), QStringLiteral("60"));
        QCOMPARE(edit(&d, "txtPassword")->echoMode(), QLineEdit::Password);
        QVERIFY(option(&d, "optmodeauto")->isChecked());
        QVERIFY(!button(&d, "buttSelectLocal")->isEnabled());
        auto* dates = child<QComboBox>(&d, "cbodate");
        auto* times = child<QComboBox>(&d, "cboTime");
        QCOMPARE(dates->count(), 3);
        QCOMPARE(dates->currentIndex(), 1);
        QCOMPARE(times->currentIndex(), 1);
        const QDateTime now = entryNow();
        QCOMPARE(dates->itemText(0), namedDate(now, QStringLiteral("long date")));
        QCOMPARE(dates->itemText(2), namedDate(now, QStringLiteral("short date")));
        QCOMPARE(times->itemText(1), namedTime(now, QStringLiteral("medium time")));
        QVERIFY(!check(&d, "chkAutoDeletes")->isChecked());
        QVERIFY(!edit(&d, "txtAmount")->isEnabled());
        QVERIFY(!check(&d, "chkArchive")->isEnabled());
        QVERIFY(!edit(&d, "txtTitle")->isEnabled());
        QVERIFY(
            label(&d, "Label9")
                ->text()
                .startsWith(QStringLiteral("Automatic Retrieve Mode downloads your html files")));
        QVERIFY(label(&d, "Label9")
                    ->text()
                    .contains(QStringLiteral("this mode.\r\n\r\nFTP Retrieve Mode")));
        QVERIFY(!w.txtStatus->toPlainText().contains(QStringLiteral("RESEND")));

        // Every input can be found by its name in an accessibility tree.
        for (QWidget* input : d.findChildren<QWidget*>()) {
            if (!qobject_cast<QLineEdit*>(input) && !qobject_cast<QComboBox*>(input) &&
                !qobject_cast<QScrollBar*>(input))
                continue;
            bool hasBuddy = false;
            for (QLabel* l : d.findChildren<QLabel*>())
                hasBuddy = hasBuddy || l->buddy() == input;
            QVERIFY2(hasBuddy || !input->accessibleName().isEmpty(),
                     qPrintable(input->objectName()));
        }

        d.show();
        static const char* const names[] = {"config", "ftp",     "maintain", "sig",
                                            "date",   "backend", "imaging",  "retrieve"};
        for (int tab = 1; tab <= 8; ++tab) {
            d.showTab(tab);
            QCOMPARE(tabs->currentIndex(), tab - 1);
            saveWindowShot(
                &d, QStringLiteral("frmPrefs-%1-%2").arg(tab).arg(QLatin1String(names[tab - 1])));
        }
        qunsetenv("PAGEWICK_NOW");
    }

    // The number box changes without loading; Apply refuses until Load; Load
    // replaces the record but not the active section; Cancel puts it back.
    void loadAndCancel()
    {
        ini("[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://one.example.com/\r\ndefaultsig=One\r\n"
            "[3]\r\nwebsite=http://three.example.com/\r\ndefaultsig=Three\r\nautoftp=True\r\n"
            "ftpsite=ftp.three.example.com\r\n");
        ScriptedPrompt p;
        MainWindow w;
        settings().website = QStringLiteral("http://one.example.com/");
        PreferencesDialog d(w, w);
        const QByteArray before = iniBytes();
        child<QScrollBar>(&d, "VScroll1")->setValue(3);
        QCOMPARE(edit(&d, "txtConfigNumber")->text(), QStringLiteral("3"));
        QCOMPARE(edit(&d, "txtWebSite")->text(), QStringLiteral("http://one.example.com/"));
        QVERIFY(!d.apply());
        QCOMPARE(p.messages.size(), 1);
        QVERIFY(p.messages[0].text.contains(QStringLiteral("Press Load")));
        QCOMPARE(iniBytes(), before);

        button(&d, "buttLoad")->click();
        QCOMPARE(d.loadedConfig(), 3);
        QCOMPARE(label(&d, "lblConfig")->text(), QStringLiteral("Config 3 Loaded"));
        QCOMPARE(edit(&d, "txtWebSite")->text(), QStringLiteral("http://three.example.com/"));
        QVERIFY(check(&d, "chkFTP")->isChecked());
        QVERIFY(edit(&d, "txtFTPsite")->isEnabled());
        QCOMPARE(settings().website, QStringLiteral("http://three.example.com/"));
        QCOMPARE(settings().activeSection, QStringLiteral("1"));
        QCOMPARE(w.txtSig->text(), QStringLiteral("Three"));

        button(&d, "buttCancel")->click();
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(settings().website, QStringLiteral("http://one.example.com/"));
        QCOMPARE(settings().ftpsite, QString());
        QCOMPARE(settings().activeSection, QStringLiteral("1"));
        QCOMPARE(w.txtSig->text(), QStringLiteral("One"));
        QCOMPARE(iniBytes(), before);

        // A number outside 1 to 9 is not loaded.
        PreferencesDialog again(w, w);
        p.clear();
        type(&again, "txtConfigNumber", QStringLiteral("12"));
        button(&again, "buttLoad")->click();
        QCOMPARE(
            p.texts(),
            QStringList({QStringLiteral("Please choose a configuration number from 1 to 9.")}));
        QCOMPARE(again.loadedConfig(), 1);
    }

    // An Apply that stopped after writing its first keys to configuration 3:
    // those stay written, but Cancel gives memory back configuration 1, the
    // active one, so the next entry is not built from a mixture.
    void cancelAfterAStoppedApply()
    {
        ini("[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://one.example.com/\r\n"
            "[3]\r\nwebsite=http://three.example.com/\r\n");
        ScriptedPrompt p;
        MainWindow w;
        PreferencesDialog d(w, w);
        d.show();
        const Settings before = settings();
        child<QScrollBar>(&d, "VScroll1")->setValue(3);
        button(&d, "buttLoad")->click();
        type(&d, "txtWebSite", QStringLiteral("three.example.com"));
        type(&d, "txtSig", QStringLiteral("Third"));
        QVERIFY(!d.apply());
        QCOMPARE(p.texts(),
                 QStringList({QStringLiteral("Please format the website entry like this:   "
                                             "http://www.yoursite.com/weblog/index.html")}));
        QCOMPARE(key("defaultsig", QStringLiteral("3")), QStringLiteral("Third"));
        QCOMPARE(key("website", QStringLiteral("3")), QStringLiteral("http://three.example.com/"));
        QCOMPARE(key("Config", QStringLiteral("General")), QStringLiteral("1"));
        QCOMPARE(settings().activeSection, QStringLiteral("3"));
        d.close(); // the window frame: the same as Cancel
        QVERIFY(!d.settingsApplied());
        QCOMPARE(settings().activeSection, QStringLiteral("1"));
        QCOMPARE(settings().website, before.website);
        QCOMPARE(settings().defaultsig, before.defaultsig);
        QCOMPARE(w.txtSig->text(), before.defaultsig);
    }

    void archiveNeedsFtp()
    {
        ScriptedPrompt p;
        MainWindow w;
        PreferencesDialog d(w, w);
        QCheckBox* archive = check(&d, "chkArchive");
        check(&d, "chkAutoDeletes")->setChecked(true);
        QVERIFY(archive->isEnabled());
        QVERIFY(!edit(&d, "txtarchiveURL")->isEnabled());
        archive->click();
        QCOMPARE(p.texts(), QStringList({kArchiveMessage}));
        QVERIFY(!archive->isChecked());
        QCOMPARE(settings().archive, QStringLiteral("false"));

        check(&d, "chkFTP")->click();
        archive->click();
        QCOMPARE(p.texts().size(), 1);
        QVERIFY(archive->isChecked());
        QCOMPARE(settings().archive, QStringLiteral("true"));
        QVERIFY(edit(&d, "txtarchiveURL")->isEnabled());
        QVERIFY(edit(&d, "txtArchiveFTP")->isEnabled());

        // Auto-delete off switches the whole group off; on again brings the
        // archive fields back with it.
        check(&d, "chkAutoDeletes")->click();
        QVERIFY(!archive->isEnabled());
        QVERIFY(!edit(&d, "txtarchiveURL")->isEnabled());
        check(&d, "chkAutoDeletes")->click();
        QVERIFY(edit(&d, "txtarchiveURL")->isEnabled());

        // A stored archive with automatic FTP off is corrected on load.
        ini("[1]\r\narchive=true\r\nautoftp=False\r\nautodelete=True\r\n");
        p.clear();
        PreferencesDialog loaded(w, w);
        QCOMPARE(p.texts(),
                 QStringList({QStringLiteral("The Auto Archive Ability can not be used if the auto "
                                             "FTP is not enabled.  The auto archive ability has "
                                             "been disabled.")}));
        QVERIFY(!check(&loaded, "chkArchive")->isChecked());
        QVERIFY(check(&loaded, "chkAutoDeletes")->isChecked());
    }

    void enablingRules()
    {
        ScriptedPrompt p;
        MainWindow w;
        PreferencesDialog d(w, w);
        QPushButton* apply = button(&d, "buttApply");
        d.apply(); // fresh site without a web site: stops, Apply switched off
        QVERIFY(!apply->isEnabled());
        type(&d, "txtSig", QStringLiteral("x"));
        QVERIFY(apply->isEnabled());

        check(&d, "chkEnabled")->click();
        QVERIFY(edit(&d, "txtTitle")->isEnabled());
        QVERIFY(check(&d, "chkImage")->isEnabled());
        QVERIFY(!edit(&d, "txtImageURL")->isEnabled());
        check(&d, "chkImage")->click();
        QVERIFY(edit(&d, "txtImageURL")->isEnabled());
        QVERIFY(label(&d, "Label6")->isEnabled());
        check(&d, "chkEnabled")->click();
        QVERIFY(!edit(&d, "txtImageURL")->isEnabled());
        QVERIFY(!check(&d, "chkImage")->isEnabled());

        option(&d, "optmodenone")->click();
        QVERIFY(button(&d, "buttSelectLocal")->isEnabled());
        option(&d, "optmodeFTP")->click();
        QVERIFY(!button(&d, "buttSelectLocal")->isEnabled());

        // The wizard opens with what the dialog holds; its Cancel stores nothing.
        type(&d, "txtFTPsite", QStringLiteral("ftp.example.com"));
        QString shownSite;
        QTimer::singleShot(0, &d, [&] {
            auto* wizard = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QTEST_ASSERT(wizard && wizard->objectName() == QLatin1String("frmWizard"));
            shownSite = edit(wizard, "txtFTP")->text();
            button(wizard, "buttCancel")->click();
        });
        button(&d, "buttWizard")->click();
        QCOMPARE(shownSite, QStringLiteral("ftp.example.com"));
        QVERIFY(!QFile::exists(programFile(QStringLiteral("weblog.ini"))) ||
                readSetting(programFile(QStringLiteral("weblog.ini")), QStringLiteral("1"),
                            QStringLiteral("ftpsite"))
                    .isEmpty());
    }

    // A failed check shows its message and its tab; OK then stays open.
    void failedCheckShowsItsTab()
    {
        ScriptedPrompt p;
        MainWindow w;
        PreferencesDialog d(w, w);
        d.show();
        type(&d, "txtWebSite", QStringLiteral("http://www.example.com/"));
        check(&d, "chkEnabled")->click();
        check(&d, "chkImage")->click();
        type(&d, "txtTitle", QStringLiteral("News"));
        type(&d, "txtDescript", QStringLiteral("All of it"));
        type(&d, "txtImageURL", QString());
        button(&d, "buttOK")->click();
        QCOMPARE(p.texts(),
                 QStringList({QStringLiteral("You must input the location of your image file.")}));
        QCOMPARE(p.messages[0].title, QStringLiteral("Insert URL"));
        QCOMPARE(d.currentTab(), 7);
        QVERIFY(d.isVisible());
        QVERIFY(!d.settingsApplied());

        check(&d, "chkImage")->click();
        button(&d, "buttOK")->click();
        QVERIFY(!d.isVisible());
        QVERIFY(d.settingsApplied());
        QCOMPARE(key("imagebackendenabled"), QStringLiteral("false"));
        QCOMPARE(key("backendenabled"), QStringLiteral("True"));
    }

    void timeout_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("29") << QStringLiteral("29") << QStringLiteral("60");
        QTest::newRow("30") << QStringLiteral("30") << QStringLiteral("30");
        QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("60");
    }
    void timeout()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        ScriptedPrompt p;
        MainWindow w;
        PreferencesDialog d(w, w);
        type(&d, "txtWebSite", QStringLiteral("http://www.example.com/"));
        type(&d, "txttimeout", typed);
        QVERIFY(d.apply());
        QCOMPARE(key("timeout"), stored);
        QCOMPARE(edit(&d, "txttimeout")->text(), typed); // the box keeps what was typed
        QCOMPARE(p.texts().size(), stored == typed ? 0 : 1);
        if (stored != typed)
            QCOMPARE(p.messages[0].title, QStringLiteral("FTP Timeout"));
        PreferencesDialog reopened(w, w);
        QCOMPARE(edit(&reopened, "txttimeout")->text(), stored);
    }

    void passwordRoundTrip()
    {
        ScriptedPrompt p;
        MainWindow w;
        {
            PreferencesDialog d(w, w);
            type(&d, "txtWebSite", QStringLiteral("http://www.example.com/"));
            check(&d, "chkFTP")->click();
            type(&d, "txtFTPsite", QStringLiteral("ftp.example.com"));
            type(&d, "txtUsername", QStringLiteral("ann"));
            type(&d, "txtPassword", QStringLiteral("Se cret!"));
            type(&d, "txtFTPremote", QStringLiteral("www/index.html"));
            QVERIFY(d.apply());
            QCOMPARE(p.texts(), QStringList());
        }
        QCOMPARE(key("password"), TextEncrypt(QStringLiteral("Se cret!"), true, p));
        QVERIFY(key("password") != QStringLiteral("Se cret!"));
        {
            PreferencesDialog d(w, w);
            QCOMPARE(edit(&d, "txtPassword")->text(), QStringLiteral("Se cret!"));
            QCOMPARE(settings().password, QStringLiteral("Se cret!"));
        }

        // Scrambling a character that cannot move up: message, empty key.
        {
            PreferencesDialog d(w, w);
            type(&d, "txtPassword", QStringLiteral("pw") + QChar(0xFE));
            QVERIFY(d.apply());
            QCOMPARE(
                p.texts(),
                QStringList({QStringLiteral("Error encrypting/decrypting password on letter: ") +
                             QChar(0xFE)}));
            QCOMPARE(key("password"), QString());
        }
        // A stored value that cannot move down: message, empty password box.
        ini("[General]\r\nConfig=1\r\n[1]\r\npassword=ab\x01\r\n");
        p.clear();
        PreferencesDialog d(w, w);
        QCOMPARE(p.texts(),
                 QStringList({QStringLiteral("Error encrypting/decrypting password on letter: ") +
                              QChar(1)}));
        QCOMPARE(edit(&d, "txtPassword")->text(), QString());
    }

    void selectLocalFile()
    {
        settings().activeSection = QStringLiteral("2");
        ini("[General]\r\nConfig=2\r\n[2]\r\nretreivemode=none\r\n");
        const QString chosen = dir->filePath(QStringLiteral("mine.html"));
        QVERIFY(PublishFixture::writeFile(chosen, "<html>mine</html>"));
        ScriptedPrompt p;
        MainWindow w;
        PreferencesDialog d(w, w);
        QVERIFY(button(&d, "buttSelectLocal")->isEnabled());
        p.files << std::nullopt;
        button(&d, "buttSelectLocal")->click();
        QVERIFY(!QFile::exists(programFile(QStringLiteral("indexbackup2.html"))));
        QVERIFY(!settings().pageRetrieved);

        p.files << chosen;
        button(&d, "buttSelectLocal")->click();
        QCOMPARE(p.fileRequests.last().filterIndex, 2);
        QCOMPARE(p.fileRequests.last().defaultExt, QStringLiteral("html"));
        QCOMPARE(p.fileRequests.last().initialDir, programDir());
        QCOMPARE(PublishFixture::readFile(programFile(QStringLiteral("indexbackup2.html"))),
                 QByteArray("<html>mine</html>"));
        QVERIFY(w.txtStatus->toPlainText().endsWith(QStringLiteral("Local file updated")));
        QVERIFY(settings().pageRetrieved);
    }

    // ---- field style editor ---------------------------------------------------

    void styleEditorDefaultsAndSize()
    {
        ScriptedPrompt p;
        MainWindow w;
        w.butt_Fin->setEnabled(true);
        StyleEditorDialog e(w);
        QCOMPARE(e.objectName(), QStringLiteral("frmAll"));
        QCOMPARE(e.windowTitle(), QStringLiteral("Customize Your Entry"));
        QVERIFY(!w.butt_Fin->isEnabled());
        auto* fields = child<QComboBox>(&e, "Combo1");
        QCOMPARE(fields->count(), 6);
        QCOMPARE(fields->itemText(5), QStringLiteral("URL"));
        QCOMPARE(label(&e, "lblFontSample")->text(), QStringLiteral("Default"));
        QCOMPARE(edit(&e, "txtFontSize")->text(), QStringLiteral("Default"));
        QCOMPARE(label(&e, "lblColor")->text(), QStringLiteral("Default"));
        auto* size = child<QScrollBar>(&e, "VScroll1");
        QCOMPARE(size->value(), 3);
        QVERIFY(!button(&e, "buttApply")->isEnabled());

        size->setValue(5);
        QCOMPARE(edit(&e, "txtFontSize")->text(), QStringLiteral("+2"));
        QVERIFY(button(&e, "buttApply")->isEnabled());
        size->setValue(1);
        QCOMPARE(edit(&e, "txtFontSize")->text(), QStringLiteral("-2"));
        size->setValue(3);
        QCOMPARE(edit(&e, "txtFontSize")->text(), QStringLiteral("Default"));
        check(&e, "chkbold")->click();
        button(&e, "buttApply")->click();
        QCOMPARE(key("titlefontsize"), QString());
        QCOMPARE(key("titlefontbold"), QStringLiteral("1"));
        QVERIFY(!button(&e, "buttApply")->isEnabled());
        QVERIFY(label(&e, "lblSample")->text().contains(QStringLiteral("<B>")));
        e.show();
        saveWindowShot(&e, QStringLiteral("frmAll"));
    }

    // A size the scroll bar cannot show stays as stored until it moves.
    void storedSizeOutsideTheScrollBar()
    {
        ini("[1]\r\nbodyfontsize=+12\r\n");
        ScriptedPrompt p;
        MainWindow w;
        StyleEditorDialog e(w);
        pick(child<QComboBox>(&e, "Combo1"), 1);
        QCOMPARE(edit(&e, "txtFontSize")->text(), QStringLiteral("+12"));
        QCOMPARE(child<QScrollBar>(&e, "VScroll1")->value(), 12);
        e.apply();
        QCOMPARE(key("bodyfontsize"), QStringLiteral("+12"));
        child<QScrollBar>(&e, "VScroll1")->setValue(11);
        QCOMPARE(edit(&e, "txtFontSize")->text(), QStringLiteral("+8"));
    }

    void styleDefaultWordAndColour()
    {
        ini("[1]\r\ntitlefontname=Arial\r\ntitlefontcolor=255\r\n");
        ScriptedPrompt p;
        MainWindow w;
        StyleEditorDialog e(w);
        QCOMPARE(label(&e, "lblFontSample")->text(), QStringLiteral("Arial"));
        QCOMPARE(label(&e, "lblColor")->text(), QStringLiteral("#FF0000"));
        p.fonts << QStringLiteral("DEFAULT");
        button(&e, "buttFont")->click();
        QCOMPARE(settings().styles[0].fontname, QString());
        QCOMPARE(label(&e, "lblFontSample")->text(), QString());

        // A cancelled colour dialog changes nothing but counts as a change.
        p.colors << std::nullopt;
        button(&e, "buttColor")->click();
        QCOMPARE(settings().styles[0].fontcolor, QStringLiteral("255"));
        QVERIFY(e.fieldChanged());
        p.colors << 0x00FF00u;
        button(&e, "buttColor")->click();
        QCOMPARE(settings().styles[0].fontcolor, QString::number(0x00FF00));
        QCOMPARE(label(&e, "lblColor")->text(), QStringLiteral("#00FF00"));
        button(&e, "buttColorDefault")->click();
        QCOMPARE(label(&e, "lblColor")->text(), QStringLiteral("Default"));
        edit(&e, "txtFontSize")->setText(QStringLiteral("DEFAULT"));
        button(&e, "buttOK")->click();
        QCOMPARE(key("titlefontname"), QString());
        QCOMPARE(key("titlefontcolor"), QString());
        QCOMPARE(key("titlefontsize"), QString());
    }

    void saveChangesWhenSwitchingFields()
    {
        ScriptedPrompt p;
        MainWindow w;
        auto* e = new StyleEditorDialog(w);
        auto* fields = child<QComboBox>(e, "Combo1");
        // No: the face stays in memory, not in the file; Cancel drops it.
        p.fonts << QStringLiteral("Arial");
        button(e, "buttFont")->click();
        check(e, "chkitalics")->click();
        p.answers << Answer::No;
        pick(fields, 1);
        QCOMPARE(p.messages.last().title, QStringLiteral("Save Changes?"));
        QCOMPARE(p.messages.last().text, QStringLiteral("You have made settings changes to this "
                                                        "field.  Would you like to save them?"));
        QCOMPARE(p.messages.last().buttons, Buttons::YesNo);
        QCOMPARE(settings().styles[0].fontname, QStringLiteral("Arial"));
        QCOMPARE(settings().styles[0].fontitalic, QString());
        QVERIFY(!QFile::exists(iniPath()));
        QVERIFY(!button(e, "buttApply")->isEnabled());
        button(e, "buttCancel")->click();
        QCOMPARE(settings().styles[0].fontname, QString());
        delete e;

        // Yes: the field left is stored and its seven keys written in order.
        e = new StyleEditorDialog(w);
        fields = child<QComboBox>(e, "Combo1");
        pick(fields, 4); // Sig
        check(e, "chkbold")->click();
        p.answers << Answer::Yes;
        pick(fields, 5); // URL
        QCOMPARE(iniBytes(), QByteArray("[1]\r\nsigfontname=\r\nsigfontbold=1\r\nsigfontcolor=\r\n"
                                        "sigfontitalic=0\r\nsigfontsize=\r\nsigstrikethru=0\r\n"
                                        "sigunderline=0\r\n"));
        QCOMPARE(p.unscripted, 0);
        delete e;
    }

    // ---- the main window ---------------------------------------------------------

    void startWithoutConfigurationOpensThePreferences()
    {
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        QCOMPARE(p.texts(), QStringList({QStringLiteral("No weblog.ini entry found.  Please "
                                                        "configure your program under the SETUP "
                                                        "menu.")}));
        PreferencesDialog* d = openPreferences(&w);
        QVERIFY(d);
        for (QAction* a : {w.mnuBackup, w.mnuDeleteLast})
            QVERIFY(!a->isEnabled());
        QVERIFY(!w.butt_Preview->isEnabled());
        QVERIFY(!w.butt_Fin->isEnabled());
        QVERIFY(w.mnuPreferences->isEnabled());
        button(d, "buttCancel")->click();
        QVERIFY(!openPreferences(&w));
        QVERIFY(!w.butt_Preview->isEnabled());
        QVERIFY(!w.mnuBackup->isEnabled());
        QVERIFY(!QFile::exists(iniPath()));

        // Config opens it again, once.
        w.mnuPreferences->trigger();
        w.mnuPreferences->trigger();
        int open = 0;
        for (QWidget* t : QApplication::topLevelWidgets())
            open += t->objectName() == QLatin1String("frmPrefs") && t->isVisible();
        QCOMPARE(open, 1);
    }

    // Apply resets the window; closing fetches the page again.
    void applyResetsTheWindow()
    {
        ini("[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://www.example.com/"
            "\r\nretreivemode=none\r\n");
        QVERIFY(PublishFixture::writeFile(programFile(QStringLiteral("backup1.html")),
                                          PublishFixture::page(1)));
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        QVERIFY(w.butt_Preview->isEnabled());
        w.txtHead->setText(QStringLiteral("Draft"));
        w.txtMain->setPlainText(QStringLiteral("Body"));
        w.txtURL->setText(QStringLiteral("http://x/"));
        w.mnuPreferences->trigger();
        PreferencesDialog* d = openPreferences(&w);
        QVERIFY(d);
        type(d, "txtSig", QStringLiteral("Bea"));
        button(d, "buttApply")->click();
        QCOMPARE(w.txtStatus->toPlainText(), QStringLiteral("Config 1 Loaded"));
        QCOMPARE(w.txtHead->text(), QString());
        QCOMPARE(w.txtMain->toPlainText(), QString());
        QCOMPARE(w.txtURL->text(), QString());
        QCOMPARE(w.txtSig->text(), QStringLiteral("Bea"));
        QVERIFY(!w.butt_Preview->isEnabled());
        QVERIFY(!w.butt_Fin->isEnabled());
        button(d, "buttCancel")->click(); // after an Apply the page is fetched anyway
        QVERIFY(w.txtStatus->toPlainText().contains(
            QStringLiteral("Using backup1.html as local file")));
        QVERIFY(w.butt_Preview->isEnabled());

        // Auto Customize opens the style editor.
        w.mnuOptions->trigger();
        QWidget* editor = nullptr;
        for (QWidget* t : QApplication::topLevelWidgets())
            if (t->objectName() == QLatin1String("frmAll") && t->isVisible())
                editor = t;
        QVERIFY(editor);
        button(editor, "buttCancel")->click();
    }

    // A new user: no weblog.ini, the site configured in the dialog against the
    // real FTP server, OK, then Preview and Finish publish the entry.
    void newUserConfiguresAndPublishes()
    {
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QVERIFY(ftp.writeFile(QStringLiteral("www/index.html"), PublishFixture::page(2)));
        qputenv("PAGEWICK_NOW", "2000-12-06T09:30:15");
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        PreferencesDialog* d = openPreferences(&w);
        QVERIFY(d);
        type(d, "txtWebSite", PublishFixture::kWebsite);
        option(d, "optDirect")->click();
        check(d, "chkFTP")->click();
        type(d, "txtFTPsite", ftp.url());
        type(d, "txtUsername", FtpTestServer::User);
        type(d, "txtPassword", FtpTestServer::Password);
        type(d, "txtFTPremote", QStringLiteral("www/index.html"));
        type(d, "txttimeout", QStringLiteral("30"));
        option(d, "optmodeFTP")->click();
        type(d, "txtSig", QStringLiteral("Ann"));
        p.clear();
        button(d, "buttOK")->click();
        QCOMPARE(p.texts(), QStringList());
        QVERIFY(!openPreferences(&w));
        QCOMPARE(key("Config", QStringLiteral("General")), QStringLiteral("1"));
        QCOMPARE(PublishFixture::readFile(programFile(QStringLiteral("indexbackup1.html"))),
                 PublishFixture::page(2));
        QVERIFY(w.butt_Preview->isEnabled());
        QVERIFY(w.mnuBackup->isEnabled());
        QCOMPARE(w.butt_Fin->text(), QStringLiteral("Finish/FTP"));

        w.txtHead->setText(QStringLiteral("Configured"));
        w.txtMain->setPlainText(QStringLiteral("Published without editing weblog.ini"));
        w.butt_Preview->click();
        QCOMPARE(p.opened.last(), programFile(QStringLiteral("webbie1.html")));
        QVERIFY(w.butt_Fin->isEnabled());
        w.butt_Fin->click();
        const QByteArray served = ftp.readFile(QStringLiteral("www/index.html"));
        QVERIFY(served.contains("Published without editing weblog.ini"));
        QVERIFY(served.contains("Old post 1"));
        QCOMPARE(key("Fail"), QStringLiteral("False"));
        QCOMPARE(p.unscripted, 0);
        qunsetenv("PAGEWICK_NOW");
    }
};

QTEST_MAIN(TestPreferencesDialog)
#include "tst_preferencesdialog.moc"
