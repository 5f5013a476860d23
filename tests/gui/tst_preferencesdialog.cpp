// The preferences dialog and the field style editor through their object names
// (the Apply rules themselves are checked in tests/core).

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

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

class TestPreferencesDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    static void click(QWidget* w, const char* name) { child<QAbstractButton>(w, name)->click(); }
    // Runs Apply to its end: the keyring is asked before weblog.ini is written.
    static bool applied(PreferencesDialog& d)
    {
        QSignalSpy ended(&d, &PreferencesDialog::applyEnded);
        d.apply();
        return (!ended.isEmpty() || ended.wait(40000)) && ended.first().first().toBool();
    }
    static void type(QWidget* w, const char* name, const QString& text)
    {
        child<QLineEdit>(w, name)->setText(text);
    }
    // Picks an entry of a list as the user does (the list's "activated" signal).
    static void pick(QWidget* w, int index)
    {
        auto* list = child<QComboBox>(w, "Combo1");
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    static QStringList items(QComboBox* list)
    {
        QStringList shown;
        for (int i = 0; i < list->count(); ++i)
            shown << list->itemText(i);
        return shown;
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
        QVERIFY(useProgramDir(dir->path()));
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
        MainWindow w(workspace());
        PreferencesDialog d(workspace(), w, w);
        QCOMPARE(p.texts(), QStringList());
        auto* tabs = child<QTabWidget>(&d, "TabStrip1");
        QStringList captions;
        for (int i = 0; i < tabs->count(); ++i)
            captions << tabs->tabText(i);
        QCOMPARE(captions, QStringList({"&Config", "&FTP", "&Maintain", "&Sig/Email", "&Date/Time",
                                        "&Backend", "&Imaging", "&Retrieve"}));
        QCOMPARE(d.currentTab(), 1);
        QCOMPARE(shownTexts(&d, {"lblConfig", "txtConfigNumber", "txtWebSite", "txttimeout",
                                 "chkFTP", "chkAutoDeletes", "optmodem", "optmodeauto"}),
                 QStringList({"Config 1 Loaded", "1", "", "60", "unchecked", "unchecked", "checked",
                              "checked"}));
        QCOMPARE(child<QLineEdit>(&d, "txtPassword")->echoMode(), QLineEdit::Password);
        // Switched off until their box or mode is chosen.
        QCOMPARE(enabledAmong(&d, {"txtFTPsite", "txtUsername", "txtPassword", "txtFTPremote",
                                   "txttimeout", "txtAmount", "txtTitle", "chkArchive",
                                   "buttSelectLocal"}),
                 QStringList());
        // The format lists show now in each format; the middle one is chosen.
        const QDateTime now = entryNow();
        auto* dates = child<QComboBox>(&d, "cbodate");
        auto* times = child<QComboBox>(&d, "cboTime");
        QCOMPARE(items(dates), QStringList({namedDate(now, QStringLiteral("long date")),
                                            namedDate(now, QStringLiteral("medium date")),
                                            namedDate(now, QStringLiteral("short date"))}));
        QCOMPARE(times->itemText(1), namedTime(now, QStringLiteral("medium time")));
        QCOMPARE(QList<int>({dates->currentIndex(), times->currentIndex()}), QList<int>({1, 1}));
        const QString help = shownText(&d, "Label9");
        QVERIFY(help.startsWith("Automatic Retrieve Mode downloads your html files"));
        QVERIFY(help.contains("this mode.\r\n\r\nFTP Retrieve Mode"));
        // Every tab shows its controls whole, each input with its name.
        QCOMPARE(d.windowTitle(), QStringLiteral("Preferences..."));
        d.show();
        for (int tab = 1; tab <= 8; ++tab) {
            d.showTab(tab);
            QCOMPARE(tabs->currentIndex(), tab - 1);
            CHECK_WINDOW(&d, QStringLiteral("frmPrefs-%1").arg(tab));
        }
        qunsetenv("PAGEWICK_NOW");
    }

    // The number box changes without loading; Apply refuses until Load; Load
    // replaces the record but not the active section. An Apply that stops at a
    // later check writes nothing, and Cancel gives memory back the active
    // configuration, so no entry is built from a mixture.
    void loadApplyAndCancel()
    {
        ScriptedPrompt p;
        ini("[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://one.example.com/\r\ndefaultsig=One\r\n"
            "[3]\r\nwebsite=http://three.example.com/\r\ndefaultsig=Three\r\nautoftp=True\r\n"
            "ftpsite=ftp.three.example.com\r\ntimeout=45\r\nusername=ann\r\n");
        QVERIFY(writeSetting(QStringLiteral("3"), QStringLiteral("password"),
                             TextEncrypt(QStringLiteral("Se cret!"), true, p), iniPath()));
        MainWindow w(workspace());
        PreferencesDialog d(workspace(), w, w);
        d.show();
        type(&d, "txtConfigNumber", QStringLiteral("12"));
        click(&d, "buttLoad");
        QCOMPARE(p.texts(), QStringList({"Please choose a configuration number from 1 to 9."}));
        QCOMPARE(d.loadedConfig(), 1);
        const QByteArray before = iniBytes();
        child<QScrollBar>(&d, "VScroll1")->setValue(3);
        QCOMPARE(shownTexts(&d, {"txtConfigNumber", "txtWebSite"}),
                 QStringList({"3", "http://one.example.com/"}));
        p.clear();
        QVERIFY(!applied(d));
        QCOMPARE(p.messages.size(), 1);
        QVERIFY2(p.messages[0].text.startsWith(QStringLiteral(
                     "The fields show configuration 1, but the configuration number reads 3.  "
                     "Press Load")),
                 qPrintable(p.messages[0].text));
        QCOMPARE(iniBytes(), before);
        click(&d, "buttLoad");
        QCOMPARE(d.loadedConfig(), 3);
        QCOMPARE(shownTexts(&d, {"lblConfig", "txtWebSite", "txttimeout", "chkFTP", "txtUsername",
                                 "txtPassword"}),
                 QStringList({"Config 3 Loaded", "http://three.example.com/", "45", "checked",
                              "ann", "Se cret!"}));
        QVERIFY(child<QLineEdit>(&d, "txtFTPsite")->isEnabled());
        QCOMPARE(
            QStringList({settings().website, settings().activeSection, shownText(&w, "txtSig")}),
            QStringList({"http://three.example.com/", "1", "Three"}));
        type(&d, "txtWebSite", QStringLiteral("three.example.com"));
        type(&d, "txtSig", QStringLiteral("Third"));
        p.clear();
        QVERIFY(!applied(d));
        QCOMPARE(p.texts(), QStringList({"Please format the website entry like this:   "
                                         "http://www.yoursite.com/weblog/index.html"}));
        QCOMPARE(std::pair(iniBytes(), settings().activeSection),
                 std::pair(before, QStringLiteral("1")));
        d.close(); // the window frame: the same as Cancel
        QVERIFY(d.result() == QDialog::Rejected && !d.settingsApplied());
        QCOMPARE(iniBytes(), before);
        QCOMPARE(QStringList({settings().activeSection, settings().website, settings().ftpsite,
                              settings().defaultsig, shownText(&w, "txtSig")}),
                 QStringList({"1", "http://one.example.com/", "", "One", "One"}));
    }

    void enablingRules()
    {
        ScriptedPrompt p;
        MainWindow w(workspace());
        PreferencesDialog d(workspace(), w, w);
        applied(d); // fresh site without a web site: stops, nothing saved, Apply stays on
        QCOMPARE(enabledAmong(&d, {"buttApply"}), QStringList({"buttApply"}));
        type(&d, "txtWebSite", QStringLiteral("http://www.example.com/"));
        QVERIFY(applied(d)); // saved: Apply switched off until the next change
        QCOMPARE(enabledAmong(&d, {"buttApply"}), QStringList());
        type(&d, "txtSig", QStringLiteral("x"));
        QCOMPARE(enabledAmong(&d, {"buttApply"}), QStringList({"buttApply"}));
        const auto backend = [&] {
            return enabledAmong(&d, {"txtTitle", "chkImage", "txtImageURL", "Label6"});
        };
        click(&d, "chkEnabled");
        QCOMPARE(backend(), QStringList({"txtTitle", "chkImage"}));
        click(&d, "chkImage");
        QCOMPARE(backend(), QStringList({"txtTitle", "chkImage", "txtImageURL", "Label6"}));
        click(&d, "chkEnabled");
        QCOMPARE(backend(), QStringList());
        // A feed takes the title and its count without the classic file.
        const auto feeds = [&] {
            return enabledAmong(&d, {"txtTitle", "chkImage", "txtFeedItems"});
        };
        QCOMPARE(feeds(), QStringList());
        click(&d, "chkFeedAtom");
        QCOMPARE(feeds(), QStringList({"txtTitle", "txtFeedItems"}));
        type(&d, "txtFeedItems", QStringLiteral("7"));
        QVERIFY(applied(d));
        QCOMPARE(
            QStringList({readSetting(iniPath(), QStringLiteral("1"), QStringLiteral("feeds")),
                         readSetting(iniPath(), QStringLiteral("1"), QStringLiteral("feeditems"))}),
            QStringList({"atom", "7"}));
        click(&d, "chkFeedAtom");
        QCOMPARE(feeds(), QStringList());
        click(&d, "optmodenone");
        QCOMPARE(enabledAmong(&d, {"buttSelectLocal"}), QStringList({"buttSelectLocal"}));
        click(&d, "optmodeFTP");
        QCOMPARE(enabledAmong(&d, {"buttSelectLocal"}), QStringList());
        // The archive needs automatic FTP.
        p.clear();
        const auto archiveGroup = [&] {
            return enabledAmong(&d, {"chkArchive", "txtarchiveURL", "txtArchiveFTP"});
        };
        click(&d, "chkAutoDeletes");
        QCOMPARE(archiveGroup(), QStringList({"chkArchive"}));
        click(&d, "chkArchive");
        QCOMPARE(p.texts(), QStringList({"To use the archive utility, you must have your FTP "
                                         "configured.  The archive function has been disabled."}));
        QCOMPARE(shownTexts(&d, {"chkArchive"}), QStringList({"unchecked"}));
        QCOMPARE(settings().archive, QStringLiteral("false"));
        click(&d, "chkFTP");
        click(&d, "chkArchive");
        QCOMPARE(p.texts().size(), 1);
        QCOMPARE(shownTexts(&d, {"chkArchive"}), QStringList({"checked"}));
        QCOMPARE(settings().archive, QStringLiteral("true"));
        QCOMPARE(archiveGroup(), QStringList({"chkArchive", "txtarchiveURL", "txtArchiveFTP"}));
        // Auto-delete off switches the whole group off; on again brings the
        // archive fields back with it.
        click(&d, "chkAutoDeletes");
        QCOMPARE(archiveGroup(), QStringList());
        click(&d, "chkAutoDeletes");
        QCOMPARE(archiveGroup(), QStringList({"chkArchive", "txtarchiveURL", "txtArchiveFTP"}));
        // A stored archive with automatic FTP off is shown unticked.
        ini("[1]\r\narchive=true\r\nautoftp=False\r\nautodelete=True\r\n");
        PreferencesDialog loaded(workspace(), w, w);
        QCOMPARE(shownTexts(&loaded, {"chkArchive", "chkAutoDeletes"}),
                 QStringList({"unchecked", "checked"}));
    }

    // A failed check shows its message and its tab; OK then stays open.
    void failedCheckShowsItsTab()
    {
        ScriptedPrompt p;
        MainWindow w(workspace());
        PreferencesDialog d(workspace(), w, w);
        d.show();
        type(&d, "txtWebSite", QStringLiteral("http://www.example.com/"));
        click(&d, "chkEnabled");
        click(&d, "chkImage");
        type(&d, "txtTitle", QStringLiteral("News"));
        type(&d, "txtDescript", QStringLiteral("All of it"));
        type(&d, "txtImageURL", QString());
        click(&d, "buttOK");
        QCOMPARE(p.texts(), QStringList({"You must input the location of your image file."}));
        QCOMPARE(titlesOf(p), QStringList({"Insert URL"}));
        QCOMPARE(d.currentTab(), 7);
        QVERIFY(d.isVisible() && !d.settingsApplied());
        click(&d, "chkImage");
        click(&d, "buttOK"); // closes once the keyring has answered
        QTRY_VERIFY(!d.isVisible() && d.settingsApplied());
        QCOMPARE(QStringList({key("imagebackendenabled"), key("backendenabled")}),
                 QStringList({"false", "True"}));
    }

    void selectLocalFile()
    {
        settings().activeSection = QStringLiteral("2");
        ini("[General]\r\nConfig=2\r\n[2]\r\nretreivemode=none\r\n");
        const QString chosen = dir->filePath(QStringLiteral("mine.html"));
        const QString base = programFile(QStringLiteral("indexbackup2.html"));
        QVERIFY(PublishFixture::writeFile(chosen, "<html>mine</html>"));
        ScriptedPrompt p;
        MainWindow w(workspace());
        PreferencesDialog d(workspace(), w, w);
        p.files << std::nullopt << chosen;
        click(&d, "buttSelectLocal"); // cancelled
        QVERIFY(!QFile::exists(base) && !runState().pageRetrieved);
        click(&d, "buttSelectLocal");
        const FileRequest& r = p.fileRequests.last();
        QCOMPARE(QStringList({QString::number(r.filterIndex), r.defaultExt, r.initialDir}),
                 QStringList({"2", "html", workspace().dir()}));
        QCOMPARE(PublishFixture::readFile(base), QByteArray("<html>mine</html>"));
        QVERIFY(shownText(&w, "txtStatus").endsWith(QStringLiteral("Local file updated")));
        QVERIFY(runState().pageRetrieved);
    }

    // ---- field style editor ---------------------------------------------------

    void styleEditorDefaultsAndSize()
    {
        ScriptedPrompt p;
        MainWindow w(workspace());
        child<QPushButton>(&w, "butt_Fin")->setEnabled(true);
        StyleEditorDialog e(workspace(), w);
        QVERIFY(!child<QPushButton>(&w, "butt_Fin")->isEnabled());
        QCOMPARE(items(child<QComboBox>(&e, "Combo1")),
                 QStringList({"Title", "Body", "Date", "Time", "Sig", "URL"}));
        QCOMPARE(shownTexts(&e, {"lblFontSample", "lblColor", "txtFontSize"}),
                 QStringList({"Default", "Default", "Default"}));
        auto* size = child<QScrollBar>(&e, "VScroll1");
        QCOMPARE(size->value(), 3);
        QCOMPARE(enabledAmong(&e, {"buttApply"}), QStringList());
        size->setValue(5);
        QCOMPARE(shownTexts(&e, {"txtFontSize"}), QStringList({"+2"}));
        QCOMPARE(enabledAmong(&e, {"buttApply"}), QStringList({"buttApply"}));
        size->setValue(3);
        click(&e, "chkbold");
        click(&e, "buttApply");
        QCOMPARE(QStringList({key("titlefontsize"), key("titlefontbold")}), QStringList({"", "1"}));
        QCOMPARE(enabledAmong(&e, {"buttApply"}), QStringList());
        QVERIFY(shownText(&e, "lblSample").contains(QStringLiteral("<B>")));
        e.show();
        QCOMPARE(e.windowTitle(), QStringLiteral("Customize Your Entry"));
        CHECK_WINDOW(&e, QStringLiteral("frmAll"));
        // A size the scroll bar cannot show is shown as stored, and refused, until it moves.
        ini("[1]\r\nbodyfontsize=+12\r\n");
        StyleEditorDialog stored(workspace(), w);
        pick(&stored, 1);
        QCOMPARE(shownTexts(&stored, {"txtFontSize"}), QStringList({"+12"}));
        QCOMPARE(child<QScrollBar>(&stored, "VScroll1")->value(), 12);
        p.clear();
        QVERIFY(!stored.apply());
        QCOMPARE(p.texts(),
                 QStringList({"The Body font size \"+12\" cannot be used.  Please choose "
                              "a size from -3 to +9 with the arrows, or type Default."}));
        child<QScrollBar>(&stored, "VScroll1")->setValue(11);
        QCOMPARE(shownTexts(&stored, {"txtFontSize"}), QStringList({"+8"}));
        QVERIFY(stored.apply());
        QCOMPARE(key("bodyfontsize"), QStringLiteral("+8"));
    }

    void styleDefaultWordAndColour()
    {
        ini("[1]\r\ntitlefontname=Arial\r\ntitlefontcolor=255\r\n");
        ScriptedPrompt p;
        MainWindow w(workspace());
        StyleEditorDialog e(workspace(), w);
        QCOMPARE(shownTexts(&e, {"lblFontSample", "lblColor"}), QStringList({"Arial", "#FF0000"}));
        p.fonts << QStringLiteral("DEFAULT");
        click(&e, "buttFont");
        QCOMPARE(settings().styles[0].fontname, QString());
        QCOMPARE(shownTexts(&e, {"lblFontSample"}), QStringList({""}));
        // A cancelled colour dialog changes nothing but counts as a change.
        p.colors << std::nullopt << 0x00FF00u;
        click(&e, "buttColor");
        QCOMPARE(settings().styles[0].fontcolor, QStringLiteral("255"));
        QVERIFY(e.fieldChanged());
        click(&e, "buttColor");
        QCOMPARE(settings().styles[0].fontcolor, QString::number(0x00FF00));
        QCOMPARE(shownTexts(&e, {"lblColor"}), QStringList({"#00FF00"}));
        click(&e, "buttColorDefault");
        QCOMPARE(shownTexts(&e, {"lblColor"}), QStringList({"Default"}));
        type(&e, "txtFontSize", QStringLiteral("DEFAULT"));
        click(&e, "buttOK");
        QCOMPARE(QStringList({key("titlefontname"), key("titlefontcolor"), key("titlefontsize")}),
                 QStringList({"", "", ""}));
    }

    void saveChangesWhenSwitchingFields()
    {
        ScriptedPrompt p;
        MainWindow w(workspace());
        auto e = std::make_unique<StyleEditorDialog>(workspace(), w);
        // No: the face stays in memory, not in the file; Cancel drops it.
        p.fonts << QStringLiteral("Arial");
        click(e.get(), "buttFont");
        click(e.get(), "chkitalics");
        p.answers << Answer::No;
        pick(e.get(), 1);
        QCOMPARE(QStringList({titlesOf(p).join(""), p.texts().join("")}),
                 QStringList({"Save Changes?", "You have made settings changes to this field.  "
                                               "Would you like to save them?"}));
        QCOMPARE(p.messages.last().buttons, Buttons::YesNo);
        QCOMPARE(QStringList({settings().styles[0].fontname, settings().styles[0].fontitalic}),
                 QStringList({"Arial", ""}));
        QVERIFY(!QFile::exists(iniPath()));
        QCOMPARE(enabledAmong(e.get(), {"buttApply"}), QStringList());
        click(e.get(), "buttCancel");
        QCOMPARE(settings().styles[0].fontname, QString());
        // Yes: the field left is stored and its seven keys written in order.
        e = std::make_unique<StyleEditorDialog>(workspace(), w);
        pick(e.get(), 4); // Sig
        click(e.get(), "chkbold");
        p.answers << Answer::Yes;
        pick(e.get(), 5); // URL
        QCOMPARE(iniBytes(), QByteArray("[1]\r\nsigfontname=\r\nsigfontbold=1\r\nsigfontcolor=\r\n"
                                        "sigfontitalic=0\r\nsigfontsize=\r\nsigstrikethru=0\r\n"
                                        "sigunderline=0\r\n"));
        QCOMPARE(p.unscripted, 0);
    }

    // ---- the main window ---------------------------------------------------------

    // Apply switches Preview and Finish off and keeps the entry being typed;
    // closing fetches the page again.
    void applyResetsTheWindow()
    {
        ini("[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://www.example.com/"
            "\r\nretreivemode=none\r\n");
        QVERIFY(PublishFixture::writeFile(programFile(QStringLiteral("backup1.html")),
                                          PublishFixture::page(1)));
        ScriptedPrompt p;
        MainWindow w(workspace());
        w.start(0);
        QVERIFY(child<QPushButton>(&w, "butt_Preview")->isEnabled());
        child<QLineEdit>(&w, "txtHead")->setText(QStringLiteral("Draft"));
        child<QPlainTextEdit>(&w, "txtMain")->setPlainText(QStringLiteral("Body"));
        child<QLineEdit>(&w, "txtURL")->setText(QStringLiteral("http://x/"));
        child<QAction>(&w, "mnuPreferences")->trigger();
        QWidget* d = shownWindow("frmPrefs");
        QVERIFY(d);
        type(d, "txtSig", QStringLiteral("Bea"));
        click(d, "buttApply");
        QTRY_COMPARE(shownTexts(&w, {"txtStatus", "txtHead", "txtMain", "txtURL", "txtSig"}),
                     QStringList({"Config 1 Loaded", "Draft", "Body", "http://x/", "Bea"}));
        QCOMPARE(enabledAmong(&w, {"butt_Preview", "butt_Fin"}), QStringList());
        click(d, "buttCancel"); // after an Apply the page is fetched anyway
        QVERIFY(shownText(&w, "txtStatus")
                    .contains(QStringLiteral("Using backup1.html as local file")));
        QVERIFY(child<QPushButton>(&w, "butt_Preview")->isEnabled());
        // Auto Customize opens the style editor.
        child<QAction>(&w, "mnuOptions")->trigger();
        QWidget* editor = shownWindow("frmAll");
        QVERIFY(editor);
        click(editor, "buttCancel");
    }
};

QTEST_MAIN(TestPreferencesDialog)
#include "tst_preferencesdialog.moc"
