// The markup and Edit commands of the main window by objectName: text and caret
// of the focused box, the Edit states, the text-change rule, the boxes'
// accessible names, and the font picker.

#include "ScriptedPrompt.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "gui/MainWindow.h"
#include "gui/ShownWindows.h"
#include "gui/WindowShots.h"
#include "gui/editing/FontPicker.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QAction* action(QWidget* w, const QString& name)
{
    return w->findChild<QAction*>(name);
}

// Puts `text` into the named box, focuses it and selects [from, to).
QWidget* prepare(MainWindow& w, const QString& boxName, const QString& text, int from, int to)
{
    QWidget* box = w.findChild<QWidget*>(boxName);
    box->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->setText(text);
        line->setSelection(from, to - from);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(box)) {
        edit->setPlainText(text);
        QTextCursor c = edit->textCursor();
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        edit->setTextCursor(c);
    }
    return box;
}

QString textOf(QWidget* box)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->text();
    return qobject_cast<QPlainTextEdit*>(box)->toPlainText();
}

int caretOf(QWidget* box)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->cursorPosition();
    return qobject_cast<QPlainTextEdit*>(box)->textCursor().position();
}

} // namespace

class TestMarkupWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<ScriptedPrompt> p;
    std::unique_ptr<MainWindow> w;

    // The Edit commands that are on; the toolbar's edit buttons follow the menu.
    QStringList states()
    {
        QStringList menu =
            enabledAmong(w.get(), {"mnuUndo", "mnuCut", "mnuCopy", "mnuPaste", "mnuDelete"});
        QStringList bar = enabledAmong(w.get(), {"Toolbar1_Undo", "Toolbar1_Cut", "Toolbar1_Copy",
                                                 "Toolbar1_Paste", "Toolbar1_Delete"});
        menu.replaceInStrings(QStringLiteral("mnu"), QString());
        bar.replaceInStrings(QStringLiteral("Toolbar1_"), QString());
        return bar == menu ? menu : menu << QStringLiteral("toolbar differs");
    }

private slots:
    void initTestCase() { QVERIFY(setProgramDir(dir.path())); }

    void init()
    {
        settings() = Settings();
        p = std::make_unique<ScriptedPrompt>();
        w = std::make_unique<MainWindow>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QApplication::clipboard()->setText(QStringLiteral("clip"));
    }

    void cleanup()
    {
        w.reset();
        p.reset();
    }

    void fixedTags()
    {
        struct Case
        {
            const char *name, *box, *command; // an action, or a key with Ctrl
            const char* text;
            int from, to;
            const char* expected;
            int caret;
        };
        const Case cases[] = {
            {"bold around a word", "txtMain", "mnuBold", "say hello now", 4, 9,
             "say <B>hello</B> now", 16},
            {"italics, nothing selected: caret between", "txtHead", "mnuItalics", "ab", 1, 1,
             "a<I></I>b", 4},
            {"selection over lines", "txtMain", "mnuBlockQuote", "one\ntwo", 0, 7,
             "<BLOCKQUOTE>one\ntwo</BLOCKQUOTE>", 32},
            {"paragraph", "txtURLtitle", "mnuP", "x", 0, 1, "<P>x</P>", 8},
            {"align: opening tag only", "txtHead", "mnualignright", "x", 0, 1, "<P align=right>x",
             16},
            {"line break: caret in front", "txtMain", "mnuBR", "ab", 2, 2, "ab<BR>", 2},
            {"hard space", "txtSig", "mnunbsp", "ab", 1, 1, "a&nbsp;b", 7},
            {"font size", "txtHead", "mnuFontDown2", "small", 0, 5,
             "<font size=\"-2\">small</font>", 28},
            {"header", "txtHead", "mnuh3", "", 0, 0, "<H3></H3>", 4},
            {"teletype", "txtMain", "mnuTT", "code", 0, 4, "<TT>code</TT>", 13},
            {"toolbar Center is the paragraph alignment", "txtHead", "Toolbar1_Center", "", 0, 0,
             "<P align=center>", 16},
            {"toolbar Strikethru", "txtMain", "Toolbar1_Strikethru", "gone", 0, 4, "<S>gone</S>",
             11},
            {"Ctrl+Enter", "txtMain", "Return", "ab", 1, 1, "a<BR>b", 1},
            {"Ctrl+Space before the selection", "txtHead", "Space", "a b", 1, 2, "a&nbsp; b", 8},
            {"read-only status box untouched", "txtStatus", "mnuBold", "status", 0, 6, "status",
             6}};
        for (const Case& c : cases) {
            QWidget* target =
                prepare(*w, QString::fromLatin1(c.box), QString::fromUtf8(c.text), c.from, c.to);
            QTRY_VERIFY(target->hasFocus());
            const QString command = QString::fromLatin1(c.command);
            if (command == QLatin1String("Return") || command == QLatin1String("Space"))
                QTest::keyClick(target,
                                command == QLatin1String("Space") ? Qt::Key_Space : Qt::Key_Return,
                                Qt::ControlModifier);
            else
                action(w.get(), command)->trigger();
            QCOMPARE(QStringList({c.name, textOf(target), QString::number(caretOf(target))}),
                     QStringList({c.name, c.expected, QString::number(c.caret)}));
        }
    }

    // Link, font face and colour ask for their value; a cancelled dialog gives
    // an empty link but no font tag.
    void valueTags()
    {
        using Value = std::optional<QString>;
        const std::tuple<const char*, Value, const char*> cases[] = {
            {"mnuLink", QStringLiteral("  help.html "), "<a href=\"help.html\">word</a>"},
            {"mnuLink", std::nullopt, "<a href=\"\">word</a>"},
            {"mnufontface", QStringLiteral("DejaVu Sans"),
             "<font face=\"DejaVu Sans\">word</font>"},
            {"mnufontface", std::nullopt, "word"},
            {"mnuFontColor", QStringLiteral("C08040"), "<font color=\"#4080C0\">word</font>"},
            {"mnuFontColor", std::nullopt, "word"}};
        for (const auto& [command, answer, expected] : cases) {
            if (command == QLatin1String("mnuLink"))
                p->inputs << answer;
            else if (command == QLatin1String("mnufontface"))
                p->fonts << answer;
            else
                p->colors << (answer ? std::optional<quint32>(answer->toUInt(nullptr, 16))
                                     : std::nullopt);
            QWidget* box = prepare(*w, QStringLiteral("txtMain"), QStringLiteral("word"), 0, 4);
            QTRY_VERIFY(box->hasFocus());
            action(w.get(), QString::fromLatin1(command))->trigger();
            QCOMPARE(textOf(box), QString::fromUtf8(expected));
        }
        QCOMPARE(p->inputTexts,
                 QStringList(2, QStringLiteral("Type the absolute or relative link here.\r\n"
                                               "Examples...\r\n\r\n") +
                                    makerSite() + QStringLiteral("/pagewick/\r\nhelp.html")));
        QCOMPARE(p->unscripted, 0);
    }

    void colourDialogStartsFromTheLastColour()
    {
        QWidget* box = prepare(*w, QStringLiteral("txtHead"), QString(), 0, 0);
        QTRY_VERIFY(box->hasFocus());
        p->colors << 0x123456u << std::nullopt << 0x00FF00u;
        for (int i = 0; i < 3; ++i)
            action(w.get(), QStringLiteral("mnuFontColor"))->trigger();
        QCOMPARE(p->colorStarts, QList<quint32>({0u, 0x123456u, 0x123456u}));
    }

    // Cut, Copy, Paste and Delete on "world" of "hello world"; Undo brings the
    // text back where it changed.
    void editCommands()
    {
        const char* const cases[][3] = {{"mnuCut", "hello ", "world"},
                                        {"mnuCopy", "hello world", "world"},
                                        {"mnuPaste", "hello clip", "clip"},
                                        {"mnuDelete", "hello ", "clip"},
                                        {"Toolbar1_Cut", "hello ", "world"}};
        for (const char* box : {"txtHead", "txtMain"}) {
            for (const auto& [command, expected, clipboard] : cases) {
                QApplication::clipboard()->setText(QStringLiteral("clip"));
                QWidget* target =
                    prepare(*w, QString::fromLatin1(box), QStringLiteral("hello world"), 6, 11);
                QTRY_VERIFY(target->hasFocus());
                action(w.get(), QString::fromLatin1(command))->trigger();
                QCOMPARE(
                    QStringList({box, command, textOf(target), QApplication::clipboard()->text()}),
                    QStringList({box, command, expected, clipboard}));
                action(w.get(), QStringLiteral("mnuUndo"))->trigger();
                QCOMPARE(textOf(target), QStringLiteral("hello world"));
            }
        }
    }

    void editStatesFollowSignals()
    {
        // Each state is checked straight after the change, without waiting:
        // the states follow Qt's signals, not a timer.
        w->butt_Preview->setFocus();
        QTRY_VERIFY(w->butt_Preview->hasFocus());
        QCOMPARE(states(), QStringList());
        w->txtHead->setFocus();
        QTRY_VERIFY(w->txtHead->hasFocus());
        QCOMPARE(states(), QStringList({"Paste"}));
        QTest::keyClicks(w->txtHead, QStringLiteral("abc"));
        QCOMPARE(states(), QStringList({"Undo", "Paste"}));
        w->txtHead->selectAll();
        QCOMPARE(states(), QStringList({"Undo", "Cut", "Copy", "Paste", "Delete"}));
        w->txtHead->deselect();
        QCOMPARE(states(), QStringList({"Undo", "Paste"}));
        // A picture on the clipboard cannot be pasted into a text box.
        auto* picture = new QMimeData;
        picture->setImageData(QImage(4, 4, QImage::Format_RGB32));
        QApplication::clipboard()->setMimeData(picture);
        QTRY_COMPARE(states(), QStringList({"Undo"}));
        QApplication::clipboard()->setText(QStringLiteral("text again"));
        QTRY_COMPARE(states(), QStringList({"Undo", "Paste"}));
        // The body: its own undo history and selection.
        w->txtMain->setFocus();
        QTRY_VERIFY(w->txtMain->hasFocus());
        QCOMPARE(states(), QStringList({"Paste"}));
        QTest::keyClicks(w->txtMain, QStringLiteral("xy"));
        QCOMPARE(states(), QStringList({"Undo", "Paste"}));
        QTest::keyClick(w->txtMain, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(states(), QStringList({"Undo", "Cut", "Copy", "Paste", "Delete"}));
        action(w.get(), QStringLiteral("mnuUndo"))->trigger();
        QCOMPARE(states(), QStringList({"Paste"}));
        // The read-only status box offers Copy only.
        w->appendStatus(QStringLiteral("Some status"));
        w->txtStatus->setFocus();
        QTRY_VERIFY(w->txtStatus->hasFocus());
        w->txtStatus->selectAll();
        QCOMPARE(states(), QStringList({"Copy"}));
    }

    // Any change but the e-mail address asks for a new preview.
    void textChangesAskForANewPreview()
    {
        for (const char* box :
             {"txtHead", "txtMain", "txtSig", "txtURL", "txtURLtitle", "txtEmail"}) {
            w->butt_Fin->setEnabled(true);
            QWidget* target = w->findChild<QWidget*>(QString::fromLatin1(box));
            target->setFocus();
            QTRY_VERIFY(target->hasFocus());
            QTest::keyClicks(target, QStringLiteral("x"));
            QVERIFY2(w->butt_Fin->isEnabled() == (qstrcmp(box, "txtEmail") == 0), box);
        }
    }

    void inputsHaveAccessibleNames()
    {
        const std::pair<const char*, const char*> names[] = {
            {"Title:", "txtHead"},  {"Main:", "txtMain"}, {"Sig:", "txtSig"},
            {"Email:", "txtEmail"}, {"URL:", "txtURL"},   {"URL Title:", "txtURLtitle"},
            {"Status", "txtStatus"}};
        for (const auto& [name, object] : names) {
            QWidget* found = nullptr;
            for (QWidget* child : w->findChildren<QWidget*>()) {
                QAccessibleInterface* a = QAccessible::queryAccessibleInterface(child);
                if (a && a->text(QAccessible::Name) == QLatin1String(name))
                    found = child;
            }
            QVERIFY2(found, name);
            QCOMPARE(found->objectName(), QString::fromLatin1(object));
        }
        QCOMPARE(w->Label4->buddy(), w->txtURLtitle);
        QCOMPARE(action(w.get(), QStringLiteral("mnuSpell"))->text(),
                 QStringLiteral("Spell Check"));
    }

    void fontPicker()
    {
        FontPicker picker;
        QCOMPARE(QStringList({picker.objectName(), picker.windowTitle(),
                              picker.cboFonts->currentText(), picker.cboFonts->placeholderText()}),
                 QStringList({"frmFont", "Font Face", "", "Select Font Here..."}));
        QVERIFY(picker.cboFonts->count() > 0);
        QCOMPARE(picker.cboFonts->count(), QFontDatabase::families().size());
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        // OK without a choice asks and stays open.
        picker.buttGo->click();
        QCOMPARE(p->texts(), QStringList({"Please either select a font or CANCEL."}));
        QVERIFY(picker.isVisible() && !picker.chosenFont());
        const QString face = picker.cboFonts->itemText(picker.cboFonts->count() - 1);
        picker.cboFonts->setCurrentIndex(picker.cboFonts->count() - 1);
        QCOMPARE(picker.lblFont->font().families().value(0), face);
        CHECK_WINDOW(&picker, QStringLiteral("frmFont"));
        picker.buttGo->click();
        QCOMPARE(picker.result(), int(QDialog::Accepted));
        QCOMPARE(picker.chosenFont(), std::optional<QString>(face));
        // Cancel after a choice chooses nothing.
        FontPicker cancelled;
        cancelled.show();
        cancelled.cboFonts->setCurrentIndex(0);
        cancelled.buttCancel->click();
        QVERIFY(!cancelled.isVisible() && !cancelled.chosenFont());
    }
};

QTEST_MAIN(TestMarkupWindow)
#include "tst_markupcommands.moc"
