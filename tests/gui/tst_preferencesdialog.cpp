// The preferences dialog and the field style editor driven through their
// object names: what the controls show, the enabling rules, Load, Apply and
// Cancel, and the dialog opened from the main window. The Apply rules
// themselves are tested without a window in tests/core/config.

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/config/PasswordScrambler.h"
#include "core/entry/EntryBuilder.h"
#include "gui/MainWindow.h"
#include "gui/ShownWindows.h"
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
#include <QtTest>

class TestPreferencesDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    QLineEdit* edit(QWidget* w, const char* name) { return child<QLineEdit>(w, name); }
    QCheckBox* check(QWidget* w, const char* name) { return child<QCheckBox>(w, name); }
    QPushButton* button(QWidget* w, const char* name) { return child<QPushButton>(w, name); }
    QRadioButton* option(QWidget* w, const char* name) { return child<QRadioButton>(w, name); }
    QLabel* label(QWidget* w, const char* name) { return child<QLabel>(w, name); }
    void type(QWidget* w, const char* name, const QString& text) { edit(w, name)->setText(text); }
    // Picks an entry of a list as the user does (the list's "activated" signal).
    void pick(QComboBox* list, int index)
    {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }

    QString iniPath() const { return programFile(QStringLiteral("weblog.ini")); }
    void ini(const QByteArray& text) { QVERIFY(PublishFixture::writeFile(iniPath(), text)); }
    QByteArray iniBytes() const { return PublishFixture::readFile(iniPath()); }
    QString key(const char* name, const char* section = "1") const
    {
        return readSetting(iniPath(), QString::fromLatin1(section), QString::fromLatin1(name));
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
        QCOMPARE(captions, QStringList({"&Config", "&FTP", "&Maintain", "&Sig/Email", "&Date/Time",
                                        "&Backend", "&Imaging", "&Retrieve"}));
        QCOMPARE(d.currentTab(), 1);
        QCOMPARE(label(&d, "lblConfig")->text(), QStringLiteral("Config 1 Loaded"));
        QCOMPARE(edit(&d, "txtConfigNumber")->text(), QStringLiteral("1"));
        QCOMPARE(edit(&d, "txtWebSite")->text(), QString());
        QCOMPARE(edit(&d, "txttimeout")->text(), QStringLiteral("60"));
        QCOMPARE(edit(&d, "txtPassword")->echoMode(), QLineEdit::Password);
        QVERIFY(!check(&d, "chkFTP")->isChecked());
        QVERIFY(!check(&d, "chkAutoDeletes")->isChecked());
        QVERIFY(option(&d, "optmodem")->isChecked());
        QVERIFY(option(&d, "optmodeauto")->isChecked());
        // Switched off until their box or mode is chosen.
        for (const char* name : {"txtFTPsite", "txtUsername", "txtPassword", "txtFTPremote",
                                 "txttimeout", "txtAmount", "txtTitle"})
            QVERIFY2(!edit(&d, name)->isEnabled(), name);
        QVERIFY(!check(&d, "chkArchive")->isEnabled());
        QVERIFY(!button(&d, "buttSelectLocal")->isEnabled());
        // The format lists show now in each format; the middle one is chosen.
        const QDateTime now = entryNow();
        auto* dates = child<QComboBox>(&d, "cbodate");
        QStringList shownDates;
        for (int i = 0; i < dates->count(); ++i)
            shownDates << dates->itemText(i);
        QCOMPARE(shownDates, QStringList({namedDate(now, QStringLiteral("long date")),
                                          namedDate(now, QStringLiteral("medium date")),
                                          namedDate(now, QStringLiteral("short date"))}));
        QCOMPARE(dates->currentIndex(), 1);
        QCOMPARE(child<QComboBox>(&d, "cboTime")->itemText(1),
                 namedTime(now, QStringLiteral("medium time")));
        QCOMPARE(child<QComboBox>(&d, "cboTime")->currentIndex(), 1);
        const QString help = label(&d, "Label9")->text();
        QVERIFY(help.startsWith("Automatic Retrieve Mode downloads your html files"));
        QVERIFY(help.contains("this mode.\r\n\r\nFTP Retrieve Mode"));

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
        for (int tab = 1; tab <= 8; ++tab) {
            d.showTab(tab);
            QCOMPARE(tabs->currentIndex(), tab - 1);
            CHECK_WINDOW(&d, QStringLiteral("frmPrefs-%1").arg(tab));
        }
        qunsetenv("PAGEWICK_NOW");
    }

    // The number box changes without loading; Apply refuses until Load; Load
    // replaces the record but not the active section. An Apply that stops
    // after writing its first keys leaves them written, but Cancel gives
    // memory back the active configuration, so no entry is built from a
    // mixture.
    void loadApplyAndCancel()
    {
        ini("[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://one.example.com/\r\ndefaultsig=One\r\n"
            "[3]\r\nwebsite=http://three.example.com/\r\ndefaultsig=Three\r\nautoftp=True\r\n"
            "ftpsite=ftp.three.example.com\r\ntimeout=45\r\n");
        ScriptedPrompt p;
        MainWindow w;
        PreferencesDialog d(w, w);
        d.show();
        type(&d, "txtConfigNumber", QStringLiteral("12"));
        button(&d, "buttLoad")->click();
        QCOMPARE(p.texts(), QStringList({"Please choose a configuration number from 1 to 9."}));
        QCOMPARE(d.loadedConfig(), 1);

        const QByteArray before = iniBytes();
        child<QScrollBar>(&d, "VScroll1")->setValue(3);
        QCOMPARE(edit(&d, "txtConfigNumber")->text(), QStringLiteral("3"));
        QCOMPARE(edit(&d, "txtWebSite")->text(), QStringLiteral("http://one.example.com/"));
        p.clear();
        QVERIFY(!d.apply());
        QCOMPARE(p.messages.size(), 1);
        QVERIFY(p.messages[0].text.contains(QStringLiteral("Press Load")));
        QCOMPARE(iniBytes(), before);

        button(&d, "buttLoad")->click();
        QCOMPARE(d.loadedConfig(), 3);
        QCOMPARE(label(&d, "lblConfig")->text(), QStringLiteral("Config 3 Loaded"));
        QCOMPARE(edit(&d, "txtWebSite")->text(), QStringLiteral("http://three.example.com/"));
        QCOMPARE(edit(&d, "txttimeout")->text(), QStringLiteral("45"));
        QVERIFY(check(&d, "chkFTP")->isChecked());
        QVERIFY(edit(&d, "txtFTPsite")->isEnabled());
        QCOMPARE(settings().website, QStringLiteral("http://three.example.com/"));
        QCOMPARE(settings().activeSection, QStringLiteral("1"));
        QCOMPARE(w.txtSig->text(), QStringLiteral("Three"));

        type(&d, "txtWebSite", QStringLiteral("three.example.com"));
        type(&d, "txtSig", QStringLiteral("Third"));
        p.clear();
        QVERIFY(!d.apply());
        QCOMPARE(p.texts(), QStringList({"Please format the website entry like this:   "
                                         "http://www.yoursite.com/weblog/index.html"}));
        QCOMPARE(key("defaultsig", "3"), QStringLiteral("Third"));
        QCOMPARE(key("website", "3"), QStringLiteral("http://three.example.com/"));
        QCOMPARE(key("Config", "General"), QStringLiteral("1"));
        QCOMPARE(settings().activeSection, QStringLiteral("3"));

        const QByteArray stopped = iniBytes();
        d.close(); // the window frame: the same as Cancel
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!d.settingsApplied());
        QCOMPARE(iniBytes(), stopped);
        QCOMPARE(settings().activeSection, QStringLiteral("1"));
        QCOMPARE(settings().website, QStringLiteral("http://one.example.com/"));
        QCOMPARE(settings().ftpsite, QString());
        QCOMPARE(settings().defaultsig, QStringLiteral("One"));
        QCOMPARE(w.txtSig->text(), QStringLiteral("One"));
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
        QCOMPARE(p.texts(), QStringList({"To use the archive utility, you must have your FTP "
                                         "configured.  The archive function has been disabled."}));
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

        // A stored archive with automatic FTP off is shown unticked.
        ini("[1]\r\narchive=true\r\nautoftp=False\r\nautodelete=True\r\n");
        PreferencesDialog loaded(w, w);
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
        QCOMPARE(p.texts(), QStringList({"You must input the location of your image file."}));
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

    // The password reaches weblog.ini scrambled and comes back; a timeout
    // below the least is stored as the default while the box keeps what was
    // typed.
    void accountRoundTrip()
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
            type(&d, "txttimeout", QStringLiteral("29"));
            QVERIFY(d.apply());
            QCOMPARE(p.messages.size(), 1);
            QCOMPARE(p.messages[0].title, QStringLiteral("FTP Timeout"));
            QCOMPARE(edit(&d, "txttimeout")->text(), QStringLiteral("29"));
        }
        QCOMPARE(key("timeout"), QStringLiteral("60"));
        QCOMPARE(key("password"), TextEncrypt(QStringLiteral("Se cret!"), true, p));
        QVERIFY(key("password") != QStringLiteral("Se cret!"));
        PreferencesDialog d(w, w);
        QCOMPARE(edit(&d, "txtPassword")->text(), QStringLiteral("Se cret!"));
        QCOMPARE(edit(&d, "txtUsername")->text(), QStringLiteral("ann"));
        QCOMPARE(settings().password, QStringLiteral("Se cret!"));
    }

    void selectLocalFile()
    {
        settings().activeSection = QStringLiteral("2");
        ini("[General]\r\nConfig=2\r\n[2]\r\nretreivemode=none\r\n");
        const QString chosen = dir->filePath(QStringLiteral("mine.html"));
        const QString base = programFile(QStringLiteral("indexbackup2.html"));
        QVERIFY(PublishFixture::writeFile(chosen, "<html>mine</html>"));
        ScriptedPrompt p;
        MainWindow w;
        PreferencesDialog d(w, w);
        QVERIFY(button(&d, "buttSelectLocal")->isEnabled());
        p.files << std::nullopt << chosen;
        button(&d, "buttSelectLocal")->click(); // cancelled
        QVERIFY(!QFile::exists(base));
        QVERIFY(!settings().pageRetrieved);

        button(&d, "buttSelectLocal")->click();
        QCOMPARE(p.fileRequests.last().filterIndex, 2);
        QCOMPARE(p.fileRequests.last().defaultExt, QStringLiteral("html"));
        QCOMPARE(p.fileRequests.last().initialDir, programDir());
        QCOMPARE(PublishFixture::readFile(base), QByteArray("<html>mine</html>"));
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
        for (const char* name : {"lblFontSample", "lblColor"})
            QCOMPARE(label(&e, name)->text(), QStringLiteral("Default"));
        QCOMPARE(edit(&e, "txtFontSize")->text(), QStringLiteral("Default"));
        auto* size = child<QScrollBar>(&e, "VScroll1");
        QCOMPARE(size->value(), 3);
        QVERIFY(!button(&e, "buttApply")->isEnabled());

        size->setValue(5);
        QCOMPARE(edit(&e, "txtFontSize")->text(), QStringLiteral("+2"));
        QVERIFY(button(&e, "buttApply")->isEnabled());
        size->setValue(3);
        check(&e, "chkbold")->click();
        button(&e, "buttApply")->click();
        QCOMPARE(key("titlefontsize"), QString());
        QCOMPARE(key("titlefontbold"), QStringLiteral("1"));
        QVERIFY(!button(&e, "buttApply")->isEnabled());
        QVERIFY(label(&e, "lblSample")->text().contains(QStringLiteral("<B>")));
        e.show();
        CHECK_WINDOW(&e, QStringLiteral("frmAll"));

        // A size the scroll bar cannot show stays as stored until it moves.
        ini("[1]\r\nbodyfontsize=+12\r\n");
        StyleEditorDialog stored(w);
        pick(child<QComboBox>(&stored, "Combo1"), 1);
        QCOMPARE(edit(&stored, "txtFontSize")->text(), QStringLiteral("+12"));
        QCOMPARE(child<QScrollBar>(&stored, "VScroll1")->value(), 12);
        stored.apply();
        QCOMPARE(key("bodyfontsize"), QStringLiteral("+12"));
        child<QScrollBar>(&stored, "VScroll1")->setValue(11);
        QCOMPARE(edit(&stored, "txtFontSize")->text(), QStringLiteral("+8"));
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
        p.colors << std::nullopt << 0x00FF00u;
        button(&e, "buttColor")->click();
        QCOMPARE(settings().styles[0].fontcolor, QStringLiteral("255"));
        QVERIFY(e.fieldChanged());
        button(&e, "buttColor")->click();
        QCOMPARE(settings().styles[0].fontcolor, QString::number(0x00FF00));
        QCOMPARE(label(&e, "lblColor")->text(), QStringLiteral("#00FF00"));
        button(&e, "buttColorDefault")->click();
        QCOMPARE(label(&e, "lblColor")->text(), QStringLiteral("Default"));
        edit(&e, "txtFontSize")->setText(QStringLiteral("DEFAULT"));
        button(&e, "buttOK")->click();
        for (const char* name : {"titlefontname", "titlefontcolor", "titlefontsize"})
            QCOMPARE(key(name), QString());
    }

    void saveChangesWhenSwitchingFields()
    {
        ScriptedPrompt p;
        MainWindow w;
        auto e = std::make_unique<StyleEditorDialog>(w);
        // No: the face stays in memory, not in the file; Cancel drops it.
        p.fonts << QStringLiteral("Arial");
        button(e.get(), "buttFont")->click();
        check(e.get(), "chkitalics")->click();
        p.answers << Answer::No;
        pick(child<QComboBox>(e.get(), "Combo1"), 1);
        QCOMPARE(p.messages.last().title, QStringLiteral("Save Changes?"));
        QCOMPARE(p.messages.last().text, QStringLiteral("You have made settings changes to this "
                                                        "field.  Would you like to save them?"));
        QCOMPARE(p.messages.last().buttons, Buttons::YesNo);
        QCOMPARE(settings().styles[0].fontname, QStringLiteral("Arial"));
        QCOMPARE(settings().styles[0].fontitalic, QString());
        QVERIFY(!QFile::exists(iniPath()));
        QVERIFY(!button(e.get(), "buttApply")->isEnabled());
        button(e.get(), "buttCancel")->click();
        QCOMPARE(settings().styles[0].fontname, QString());

        // Yes: the field left is stored and its seven keys written in order.
        e = std::make_unique<StyleEditorDialog>(w);
        pick(child<QComboBox>(e.get(), "Combo1"), 4); // Sig
        check(e.get(), "chkbold")->click();
        p.answers << Answer::Yes;
        pick(child<QComboBox>(e.get(), "Combo1"), 5); // URL
        QCOMPARE(iniBytes(), QByteArray("[1]\r\nsigfontname=\r\nsigfontbold=1\r\nsigfontcolor=\r\n"
                                        "sigfontitalic=0\r\nsigfontsize=\r\nsigstrikethru=0\r\n"
                                        "sigunderline=0\r\n"));
        QCOMPARE(p.unscripted, 0);
    }

    // ---- the main window ---------------------------------------------------------

    // Without weblog.ini the preferences open at start-up; their Cancel
    // writes nothing and publishing stays off; Config opens them once.
    void startWithoutConfigurationOpensThePreferences()
    {
        ScriptedPrompt p;
        MainWindow w;
        w.start(0);
        QWidget* d = shownWindow("frmPrefs");
        QVERIFY(d);
        button(d, "buttCancel")->click();
        QVERIFY(!shownWindow("frmPrefs"));
        QVERIFY(!w.butt_Preview->isEnabled());
        QVERIFY(!w.mnuBackup->isEnabled());
        QVERIFY(!QFile::exists(iniPath()));

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
        QWidget* d = shownWindow("frmPrefs");
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
        QWidget* editor = shownWindow("frmAll");
        QVERIFY(editor);
        button(editor, "buttCancel")->click();
    }
};

QTEST_MAIN(TestPreferencesDialog)
#include "tst_preferencesdialog.moc"
