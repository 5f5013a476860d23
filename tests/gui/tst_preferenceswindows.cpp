// The preferences dialog and the style editor as a user meets them on a
// desktop: opened from the main window's menu, driven with mouse and keys.

#include "PublishFixture.h"
#include "ScriptedPrompt.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "gui/MainWindow.h"
#include "gui/RealDialogs.h"
#include "gui/ShownWindows.h"
#include "gui/prefs/PreferencesDialog.h"
#include "gui/prefs/StyleEditorDialog.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QString iniPath()
{
    return programFile(u"weblog.ini"_s);
}

QString key(const char* name, const char* section = "1")
{
    return readSetting(iniPath(), QString::fromLatin1(section), QString::fromLatin1(name));
}

QString accessible(QWidget* w, QAccessible::Text what)
{
    return QAccessible::queryAccessibleInterface(w)->text(what);
}

void mouseClick(QWidget* root, const char* name)
{
    QTest::mouseClick(child<QWidget>(root, name), Qt::LeftButton);
}

// Replaces the text of a box as a user does: select all, type.
void retype(QWidget* root, const char* name, const QString& text)
{
    auto* box = child<QLineEdit>(root, name);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box, text);
}

// The window the menu command opened, once it is the active modal one.
template <typename T> T* openedBy(QAction* command)
{
    command->trigger();
    T* window = nullptr;
    const bool active = QTest::qWaitFor([&] {
        window = qobject_cast<T*>(QApplication::activeModalWidget());
        return window && window->isActiveWindow();
    });
    return active ? window : nullptr;
}

} // namespace

class TestPreferencesWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;

    // The main window on configuration 1 with the local backup as its page;
    // `keys` are added to section 1.
    std::unique_ptr<MainWindow> startWindow(const QByteArray& keys = {})
    {
        QTEST_ASSERT(PublishFixture::writeFile(
            iniPath(), "[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://www.example.com/\r\n"
                       "retreivemode=none\r\ndefaultsig=Ann\r\n" +
                           keys));
        QTEST_ASSERT(
            PublishFixture::writeFile(programFile(u"backup1.html"_s), PublishFixture::page(1)));
        auto w = std::make_unique<MainWindow>(workspace());
        w->start(0);
        QTEST_ASSERT(QTest::qWaitFor([&w] { return w->isVisible(); })); // the keyring first
        w->activateWindow();
        return w;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(useProgramDir(dir->path()));
        settings() = Settings();
    }

    // The upper arrow of the size raises it, the lower one lowers it, and so
    // does the wheel rolled up or down over the bar.
    void styleEditorSizeArrows()
    {
        ScriptedPrompt p;
        auto w = startWindow();
        auto* editor = openedBy<StyleEditorDialog>(child<QAction>(w.get(), "mnuOptions"));
        QVERIFY(editor);
        auto* bar = child<QScrollBar>(editor, "VScroll1");
        QStringList shown;
        for (bool upper : {true, true, false, false, false}) {
            clickScrollArrow(bar, upper);
            shown << shownText(editor, "txtFontSize");
        }
        for (int notches : {2, -1}) {
            const QPoint at = bar->rect().center();
            QWheelEvent wheel(at, bar->mapToGlobal(at), {}, {0, 120 * notches}, Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(bar, &wheel);
            shown << shownText(editor, "txtFontSize");
        }
        QCOMPARE(shown, QStringList({"+1", "+2", "+1", "Default", "-1", "+1", "Default"}));
        clickScrollArrow(bar, false);
        mouseClick(editor, "buttOK");
        QCOMPARE(key("titlefontsize"), u"-1"_s);
    }

    // The chosen face and colour are said to a screen reader.
    void styleEditorSaysFaceAndColour()
    {
        ScriptedPrompt p;
        auto w = startWindow("titlefontsize=+2\r\n");
        auto* editor = openedBy<StyleEditorDialog>(child<QAction>(w.get(), "mnuOptions"));
        QVERIFY(editor);
        p.fonts << u"Courier"_s;
        p.colors << 0x0000FFu; // red in the low byte
        mouseClick(editor, "buttFont");
        mouseClick(editor, "buttColor");
        const QString red = u"#FF0000 (red 255, green 0, blue 0)"_s;
        QCOMPARE(
            QStringList({accessible(child<QLabel>(editor, "lblFontSample"), QAccessible::Name),
                         accessible(child<QLabel>(editor, "lblColor"), QAccessible::Name),
                         accessible(child<QLabel>(editor, "lblColorSample"), QAccessible::Name)}),
            QStringList(
                {u"Font face: Courier"_s, u"Colour: "_s + red, u"Colour sample: "_s + red}));
        mouseClick(editor, "chkbold");
        QCOMPARE(accessible(child<QLabel>(editor, "lblSample"), QAccessible::Description),
                 u"face Courier, size +2, colour "_s + red + u", bold"_s);
        mouseClick(editor, "buttCancel");
    }

    // A size that is no step, typed or hand-edited into weblog.ini, is
    // refused by Apply and OK (Enter) with a message, its field shown, and
    // nothing is written; the hand-edited one is also said at start-up.
    void styleEditorRefusesWhatNoTagCarries()
    {
        ScriptedPrompt p;
        auto w = startWindow("bodyfontsize=abc\r\n");
        QVERIFY(shownText(w.get(), "txtStatus")
                    .contains(u"The font size \"abc\" (bodyfontsize in weblog.ini) is not a size "
                              u"from -3 to +9: "
                              "entries are built without it."_s));
        auto* editor = openedBy<StyleEditorDialog>(child<QAction>(w.get(), "mnuOptions"));
        QVERIFY(editor);
        const QByteArray before = PublishFixture::readFile(iniPath());
        retype(editor, "txtFontSize", u"+2\"><script>"_s);
        mouseClick(editor, "buttApply");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        const QString refusal = u"The %1 font size \"%2\" cannot be used.  Please choose a size "
                                "from -3 to +9 with the arrows, or type Default."_s;
        QCOMPARE(p.texts(), QStringList(2, refusal.arg(u"Title"_s, u"+2\"><script>"_s)));
        QVERIFY(editor->isVisible());
        QCOMPARE(PublishFixture::readFile(iniPath()), before);
        retype(editor, "txtFontSize", u"+9"_s);
        p.clear();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(p.texts(), QStringList({refusal.arg(u"Body"_s, u"abc"_s)}));
        QCOMPARE(child<QComboBox>(editor, "Combo1")->currentText() + u'|' +
                     shownText(editor, "txtFontSize"),
                 u"Body|abc"_s);
        retype(editor, "txtFontSize", u"Default"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(!shownWindow("frmAll"));
        QCOMPARE(key("titlefontsize") + u'|' + key("bodyfontsize"), u"+9|"_s);
    }

    // Configuration 9 is the last the arrows reach; it loads and applies.
    void configurationNineIsTheLast()
    {
        ScriptedPrompt p;
        auto w = startWindow();
        auto* prefs = openedBy<PreferencesDialog>(child<QAction>(w.get(), "mnuPreferences"));
        QVERIFY(prefs);
        auto* number = child<QLineEdit>(prefs, "txtConfigNumber");
        for (int i = 0; i < 9; ++i)
            clickScrollArrow(child<QScrollBar>(prefs, "VScroll1"), true);
        QCOMPARE(number->text(), u"9"_s);
        mouseClick(prefs, "buttLoad");
        QCOMPARE(shownTexts(prefs, {"lblConfig"}), QStringList({"Config 9 Loaded"}));
        retype(prefs, "txtWebSite", u"http://nine.example.com/"_s);
        QSignalSpy applied(prefs, &PreferencesDialog::applyEnded);
        mouseClick(prefs, "buttApply");
        QVERIFY(applied.wait());
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(QStringList({key("website", "9"), key("retreivemode", "9"),
                              key("Config", "General"), key("website", "1")}),
                 QStringList({"http://nine.example.com/", "auto", "9", "http://www.example.com/"}));
        retype(prefs, "txtConfigNumber", u"10"_s);
        mouseClick(prefs, "buttLoad");
        QCOMPARE(p.texts(), QStringList({"Please choose a configuration number from 1 to 9."}));
        QCOMPARE(prefs->loadedConfig(), 9);
        mouseClick(prefs, "buttCancel");
    }

    // Apply and OK (Enter) leave the entry being typed in its boxes.
    void applyKeepsTheEntryBeingTyped()
    {
        ScriptedPrompt p;
        auto w = startWindow();
        QTest::keyClicks(child<QLineEdit>(w.get(), "txtHead"), u"Half a title"_s);
        QTest::keyClicks(child<QPlainTextEdit>(w.get(), "txtMain"), u"Half a body"_s);
        retype(w.get(), "txtURL", u"http://x.example/"_s);
        QTest::keyClicks(child<QLineEdit>(w.get(), "txtURLtitle"), u"X"_s);
        auto* prefs = openedBy<PreferencesDialog>(child<QAction>(w.get(), "mnuPreferences"));
        QVERIFY(prefs);
        retype(prefs, "txtSig", u"Bea"_s);
        QSignalSpy applied(prefs, &PreferencesDialog::applyEnded);
        mouseClick(prefs, "buttApply");
        QVERIFY(applied.wait());
        QVERIFY(!child<QPushButton>(w.get(), "butt_Preview")->isEnabled() &&
                !child<QPushButton>(w.get(), "butt_Fin")->isEnabled());
        retype(prefs, "txtSig", u"Cy"_s);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(!shownWindow("frmPrefs"));
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain", "txtURL", "txtURLtitle", "txtSig"}),
                 QStringList({"Half a title", "Half a body", "http://x.example/", "X", "Cy"}));
    }

    // A failed upload offered again by the preferences shows Resend, also
    // after a Preview had taken it away.
    void resendIsShownWhenOffered()
    {
        ScriptedPrompt p;
        auto w = startWindow("autoftp=True\r\nftpsite=ftp.example.com\r\nusername=ann\r\n"
                             "ftpremote=www/index.html\r\nFail=True\r\n");
        QVERIFY(child<QPushButton>(w.get(), "butt_resend")->isVisible());
        QTest::keyClicks(child<QLineEdit>(w.get(), "txtHead"), u"New"_s);
        QTest::keyClicks(child<QPlainTextEdit>(w.get(), "txtMain"), u"Body"_s);
        mouseClick(w.get(), "butt_Preview");
        QVERIFY(child<QPushButton>(w.get(), "butt_resend")->isHidden());
        p.clear();
        auto* prefs = openedBy<PreferencesDialog>(child<QAction>(w.get(), "mnuPreferences"));
        QVERIFY(prefs); // the keyring is asked for ann's password first
        QTRY_VERIFY(p.texts().value(0).startsWith(u"It has been detected that the last FTP did "
                                                  "not succeed.  Pressing RESEND"_s));
        QVERIFY(child<QPushButton>(w.get(), "butt_resend")->isVisible() &&
                child<QPushButton>(w.get(), "butt_resend")->isEnabled());
        mouseClick(prefs, "buttCancel");
        QVERIFY(child<QPushButton>(w.get(), "butt_resend")->isVisible());
    }
};

QTEST_MAIN(TestPreferencesWindows)
#include "tst_preferenceswindows.moc"
