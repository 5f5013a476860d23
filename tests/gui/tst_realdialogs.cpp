// The commands that open a dialog, answered through the real dialogs, and the
// keyboard (shortcuts, access keys, Escape) with real key presses, on a
// desktop where focus moves as it does for a user.

#include "PublishFixture.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "gui/MainWindow.h"
#include "gui/QtPrompt.h"
#include "gui/RealDialogs.h"
#include "gui/ShownWindows.h"
#include "gui/TextBoxes.h"
#include "gui/editing/FontPicker.h"
#include "gui/setup/TemplateEditor.h"
#include "gui/spell/SpellDialog.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void click(QAbstractButton* b)
{
    QTest::mouseClick(b, Qt::LeftButton);
}

// Answers the dialog `command` opens: the link box, the font picker or the
// colour dialog. `typed` goes in and OK is clicked; empty: Cancel.
std::shared_ptr<ModalAnswer> answerValue(const QString& command, const QString& typed)
{
    if (command == QLatin1String("mnuLink"))
        return answerModal<QInputDialog>([typed](QInputDialog* d) {
            if (typed.isEmpty())
                return clickDialogButton(d, QDialogButtonBox::Cancel);
            typeIntoDialog(d, typed);
            clickDialogButton(d, QDialogButtonBox::Ok);
        });
    if (command.endsWith(QLatin1String("ace"))) // mnufontface, mnuFontFace
        return answerModal<FontPicker>([typed](FontPicker* d) {
            if (typed.isEmpty())
                return click(child<QPushButton>(d, "buttCancel"));
            QTest::keyClicks(child<QComboBox>(d, "cboFonts"),
                             typed); // picks the first family starting so
            click(child<QPushButton>(d, "buttGo"));
        });
    return answerModal<QColorDialog>([typed](QColorDialog* d) {
        if (typed.isEmpty())
            return clickDialogButton(d, QDialogButtonBox::Cancel);
        for (auto* edit : d->findChildren<QLineEdit*>()) // the HTML box, not a spin box's
            if (!qobject_cast<QAbstractSpinBox*>(edit->parentWidget())) {
                edit->selectAll();
                QTest::keyClicks(edit, typed);
            }
        clickDialogButton(d, QDialogButtonBox::Ok);
    });
}

// Answers the spelling dialog's questions in turn: "Change:word" types the
// word and clicks Change, anything else clicks Cancel.
void answerSpelling(QStringList steps)
{
    if (steps.isEmpty())
        return;
    answerModal<SpellDialog>([steps](SpellDialog* d) mutable {
        const QString step = steps.takeFirst();
        if (step.startsWith(QLatin1String("Change:"))) {
            typeIntoDialog(d, step.section(u':', 1));
            click(child<QPushButton>(d, "buttChange"));
        } else {
            click(child<QPushButton>(d, "buttCancel"));
        }
        answerSpelling(steps); // the next question
    });
}

} // namespace

class TestRealDialogs : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QtPrompt qtPrompt;
    std::unique_ptr<MainWindow> w;

    void showActive(QWidget* window)
    {
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
    }
    void keyToFocused(Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

private slots:
    void initTestCase()
    {
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        QVERIFY(useProgramDir(dir.path()));
        QVERIFY(PublishFixture::writeFile(programFile("template.txt"), "%title\r\n%body\r\n"));
        usePrompt(&qtPrompt);
    }

    void init()
    {
        // Two commands on one key would make Qt run neither.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("Ambiguous")));
        settings() = Settings();
        settings().settingsPath = programFile(QStringLiteral("weblog.ini"));
        settings().activeSection = QStringLiteral("1");
        w = std::make_unique<MainWindow>(workspace());
        showActive(w.get());
    }
    void cleanup() { w.reset(); }

    // The dialog's answer wraps the word selected when the command started;
    // a cancelled font or colour inserts nothing, a cancelled link box an
    // empty link. The template editor's copies of the commands likewise.
    void valueCommands()
    {
        const char* const cases[][4] = {
            {"txtMain", "mnuLink", "help.html", "say <a href=\"help.html\">word</a> now"},
            {"txtHead", "mnuLink", "", "say <a href=\"\">word</a> now"},
            {"txtMain", "mnufontface", "Geo", "say <font face=\"Georgia\">word</font> now"},
            {"txtHead", "mnufontface", "", "say word now"},
            {"txtHead", "mnuFontColor", "#4080c0", "say <font color=\"#4080C0\">word</font> now"},
            {"txtMain", "mnuFontColor", "", "say word now"},
            {"Text1", "mnuFontFace", "Cou", "say <font face=\"Courier New\">word</font> now"},
            {"Text1", "mnuFontFace", "", "say word now"},
            {"Text1", "mnuFontColor", "#00ff00", "say <font color=\"#00FF00\">word</font> now"},
            {"Text1", "mnuFontColor", "", "say word now"}};
        for (const auto& [boxName, command, typed, expected] : cases) {
            std::unique_ptr<TemplateEditor> editor;
            QWidget* window = w.get();
            if (qstrcmp(boxName, "Text1") == 0) {
                editor = std::make_unique<TemplateEditor>(workspace(), w.get(), w.get());
                showActive(editor.get());
                window = editor.get();
            }
            QWidget* box = child<QWidget>(window, boxName);
            selectMarked(box, QStringLiteral("say [word] now"));
            const auto answered =
                answerValue(QString::fromLatin1(command), QString::fromUtf8(typed));
            child<QAction>(window, command)->trigger();
            QVERIFY2(answered->seen, command);
            QCOMPARE(QStringList({command, typed, textOf(box)}),
                     QStringList({command, typed, QString::fromUtf8(expected)}));
        }
    }

    // Escape is Cancel: with changes it asks "Save Changes?"; Cancel there
    // keeps the editor open, No closes it. Unchanged, it closes at once.
    void templateEditorEscape()
    {
        TemplateEditor editor(workspace(), w.get(), w.get());
        showActive(&editor);
        child<QPlainTextEdit>(&editor, "Text1")->setFocus();
        QTest::keyClicks(child<QPlainTextEdit>(&editor, "Text1"), QStringLiteral("<hr>"));
        QStringList asked;
        for (auto button : {QDialogButtonBox::Cancel, QDialogButtonBox::No}) {
            const auto answered = answerModal<QMessageBox>([&, button](QMessageBox* box) {
                asked << box->windowTitle() + QLatin1Char('|') + box->text();
                clickDialogButton(box, button);
            });
            QTest::keyClick(child<QPlainTextEdit>(&editor, "Text1"), Qt::Key_Escape);
            QVERIFY(answered->seen);
            QCOMPARE(editor.isVisible(), button == QDialogButtonBox::Cancel);
            QVERIFY(shownText(&editor, "Text1").contains(QLatin1String("<hr>")));
        }
        QCOMPARE(asked, QStringList(2, QStringLiteral("Save Changes?|Save Changes?")));
        QCOMPARE(editor.result(), int(QDialog::Rejected));
        TemplateEditor unchanged(workspace(), w.get(), w.get());
        showActive(&unchanged);
        QTest::keyClick(child<QPlainTextEdit>(&unchanged, "Text1"), Qt::Key_Escape);
        QVERIFY(!unchanged.isVisible());
    }

    // Cancel keeps the corrections made before it, each box's as one undo step.
    void spellCheckCancelKeepsCorrections()
    {
        auto* title = child<QLineEdit>(w.get(), "txtHead");
        title->setText(QStringLiteral("Teh news"));
        auto* body = child<QPlainTextEdit>(w.get(), "txtMain");
        body->setPlainText(QStringLiteral("Frist wrold\nlnie"));
        child<QLineEdit>(w.get(), "txtURLtitle")->setText(QStringLiteral("Lnik"));
        answerSpelling({"Change:The", "Change:First", "Change:world", "Cancel"});
        title->setFocus();
        QTest::keyClick(title, Qt::Key_F7);
        QTRY_VERIFY_WITH_TIMEOUT(!shownWindow<SpellDialog>(), 40000);
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain", "txtURLtitle"}),
                 QStringList({"The news", "First world\nlnie", "Lnik"}));
        QVERIFY(!shownWindow<SpellDialog>());
        QVERIFY(!shownText(w.get(), "txtStatus").contains(QLatin1String("Spell Check Complete!")));
        title->undo();
        body->undo();
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain"}),
                 QStringList({"Teh news", "Frist wrold\nlnie"}));
        // Nothing to correct: complete.
        w->showFields({"Good news", "Fine words", "", "", "", "Link"});
        showActive(w.get()); // back from the dialog
        QTest::keyClick(body, Qt::Key_F7);
        QVERIFY(shownText(w.get(), "txtStatus").endsWith(QLatin1String("Spell Check Complete!")));
    }

    // Ctrl+B, Ctrl+I and Ctrl+U wrap the selection, in every box and in the
    // template editor (where a line edit would take Ctrl+U to clear the line);
    // Ctrl+N asks before clearing the entry.
    void shortcutKeys()
    {
        child<QLineEdit>(w.get(), "txtHead")->setFocus();
        const auto answered = answerModal<QMessageBox>(
            [](QMessageBox* box) { clickDialogButton(box, QDialogButtonBox::Ok); });
        child<QLineEdit>(w.get(), "txtHead")->setText(QStringLiteral("Old"));
        QTest::keyClick(child<QLineEdit>(w.get(), "txtHead"), Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(answered->title, QStringLiteral("Clear all fields?"));
        QCOMPARE(shownText(w.get(), "txtHead"), QString());

        const std::pair<Qt::Key, const char*> keys[] = {
            {Qt::Key_B, "<B>word</B>"}, {Qt::Key_I, "<I>word</I>"}, {Qt::Key_U, "<U>word</U>"}};
        TemplateEditor editor(workspace(), w.get(), w.get());
        for (const char* boxName : {"txtHead", "txtMain", "txtSig", "txtURLtitle", "Text1"}) {
            QWidget* window =
                qstrcmp(boxName, "Text1") == 0 ? static_cast<QWidget*>(&editor) : w.get();
            showActive(window);
            for (const auto& [key, expected] : keys) {
                QWidget* box = child<QWidget>(window, boxName);
                selectMarked(box, QStringLiteral("[word]"));
                QTest::keyClick(box, key, Qt::ControlModifier);
                QCOMPARE(boxName + QLatin1Char(' ') + textOf(box),
                         boxName + QLatin1Char(' ') + QLatin1String(expected));
            }
        }
    }

    // Alt and a menu's letter opens it; F&ormat and F&onts share O and open
    // in turn, so both stay in reach.
    void menuKeys()
    {
        child<QLineEdit>(w.get(), "txtHead")->setFocus();
        const std::pair<Qt::Key, const char*> menus[] = {
            {Qt::Key_F, "mnuFile"},     {Qt::Key_E, "mnuEdit"},     {Qt::Key_O, "mnuHTML"},
            {Qt::Key_O, "mnuFontsTop"}, {Qt::Key_S, "mnuSetUpTop"}, {Qt::Key_H, "mnuhelptop"}};
        for (const auto& [key, menu] : menus) {
            keyToFocused(key, Qt::AltModifier);
            QWidget* popup = QApplication::activePopupWidget();
            QCOMPARE(popup ? popup->objectName() : QString(), QString::fromLatin1(menu));
            QTest::keyClick(popup, Qt::Key_Escape); // the menu, then the menu bar
            keyToFocused(Qt::Key_Escape, Qt::NoModifier);
        }
    }

    // Alt with a label's underlined letter goes to its box, from any box.
    // Finish after the page changed on the server since Preview: the real
    // question names what each button does, and fetching the server's
    // version keeps the change beside the new entry.
    void finishAfterAServerEditAsks()
    {
        struct Questions final : Prompt // the real boxes, no browser
        {
            QtPrompt real;
            Answer ask(const Message& m) override { return real.ask(m); }
            std::optional<QString> input(const QString& t, const QString& title,
                                         const QString& d) override
            {
                return real.input(t, title, d);
            }
            std::optional<QString> chooseFile(const FileRequest& r) override
            {
                return real.chooseFile(r);
            }
            std::optional<quint32> chooseColor(quint32 c) override { return real.chooseColor(c); }
            std::optional<QString> chooseFont() override { return real.chooseFont(); }
            void openDocument(const QString&) override {}
            void beep() override {}
        } questions;
        usePrompt(&questions);
        const auto back = qScopeGuard([this] { usePrompt(&qtPrompt); });
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QByteArray page = PublishFixture::page(2);
        QVERIFY(ftp.writeFile(QStringLiteral("www/index.html"), page));
        PublishFixture::Keys keys = PublishFixture::ftpKeys(ftp);
        keys.insert({{QStringLiteral("archive"), QStringLiteral("false")},
                     {QStringLiteral("backendenabled"), QStringLiteral("False")}});
        QVERIFY(PublishFixture::writeIni(dir.path(), {{1, keys}}));
        w = std::make_unique<MainWindow>(workspace());
        w->start(0);
        QVERIFY(settled(*w));
        showActive(w.get());
        child<QLineEdit>(w.get(), "txtHead")->setText(QStringLiteral("Kept"));
        child<QPlainTextEdit>(w.get(), "txtMain")->setPlainText(QStringLiteral("Body"));
        click(child<QPushButton>(w.get(), "butt_Preview"));
        QVERIFY(settled(*w));
        QVERIFY(child<QPushButton>(w.get(), "butt_Fin")->isEnabled());
        QVERIFY(ftp.writeFile(QStringLiteral("www/index.html"),
                              page.replace("Old post 1", "Old post one")));
        QStringList buttons;
        const auto answered = answerModal<QMessageBox>([&buttons](QMessageBox* box) {
            for (QAbstractButton* b : box->buttons())
                buttons << b->text();
            click(box->button(QMessageBox::Yes));
        });
        click(child<QPushButton>(w.get(), "butt_Fin"));
        QVERIFY(settled(*w));
        QVERIFY(answered->seen);
        QCOMPARE(answered->title, QStringLiteral("Changed on the Server"));
        buttons.sort();
        QCOMPARE(buttons, QStringList({"Cancel", "Fetch and Put the Entry In", "Publish Over It"}));
        const QByteArray live = ftp.readFile(QStringLiteral("www/index.html"));
        QVERIFY(live.contains("Old post one") && live.contains("></a>Kept"));
    }

    void accessKeys()
    {
        const std::pair<Qt::Key, QWidget*> keys[] = {
            {Qt::Key_T, child<QLineEdit>(w.get(), "txtHead")},
            {Qt::Key_M, child<QPlainTextEdit>(w.get(), "txtMain")},
            {Qt::Key_G, child<QLineEdit>(w.get(), "txtSig")},
            {Qt::Key_A, child<QLineEdit>(w.get(), "txtEmail")},
            {Qt::Key_U, child<QLineEdit>(w.get(), "txtURL")},
            {Qt::Key_L, child<QLineEdit>(w.get(), "txtURLtitle")}};
        child<QPushButton>(w.get(), "butt_Preview")->setFocus();
        for (const auto& [key, box] : keys) {
            keyToFocused(key, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), box);
        }
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->buddy())
                QCOMPARE(l->buddy()->accessibleName(), QString(l->text()).remove(u'&'));
    }
};

QTEST_MAIN(TestRealDialogs)
#include "tst_realdialogs.moc"
