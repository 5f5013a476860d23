// The markup and Edit commands of the main window, driven offscreen by
// objectName: what each command family does to the focused box's text and
// caret, how the Edit states follow focus, selection, undo and clipboard, the
// text-change rule, the boxes' accessible names, and the font picker.

#include "ScriptedPrompt.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "gui/MainWindow.h"
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

    QStringList states()
    {
        QStringList on;
        for (const char* name : {"mnuUndo", "mnuCut", "mnuCopy", "mnuPaste", "mnuDelete"})
            if (action(w.get(), QString::fromLatin1(name))->isEnabled())
                on << QString::fromLatin1(name).mid(3);
        // The toolbar's edit buttons follow the menu.
        for (const char* key : {"Undo", "Cut", "Copy", "Paste", "Delete"}) {
            const QString name = QStringLiteral("Toolbar1_") + QString::fromLatin1(key);
            const bool menuOn = on.contains(QString::fromLatin1(key));
            if (action(w.get(), name)->isEnabled() != menuOn)
                on << QStringLiteral("toolbar differs: ") + QString::fromLatin1(key);
        }
        return on;
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

    void fixedTags_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("command"); // an action, or "key:" and a key
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("caret");
        const auto row = [](const char* name, const char* box, const char* command,
                            const char* text, int from, int to, const char* expected, int caret) {
            QTest::newRow(name) << QString::fromUtf8(box) << QString::fromUtf8(command)
                                << QString::fromUtf8(text) << from << to
                                << QString::fromUtf8(expected) << caret;
        };
        row("bold around a word", "txtMain", "mnuBold", "say hello now", 4, 9,
            "say <B>hello</B> now", 16);
        row("italics, nothing selected: caret between", "txtHead", "mnuItalics", "ab", 1, 1,
            "a<I></I>b", 4);
        row("selection over lines", "txtMain", "mnuBlockQuote", "one\ntwo", 0, 7,
            "<BLOCKQUOTE>one\ntwo</BLOCKQUOTE>", 32);
        row("paragraph", "txtURLtitle", "mnuP", "x", 0, 1, "<P>x</P>", 8);
        row("align: opening tag only", "txtHead", "mnualignright", "x", 0, 1, "<P align=right>x",
            16);
        row("line break: caret in front", "txtMain", "mnuBR", "ab", 2, 2, "ab<BR>", 2);
        row("hard space", "txtSig", "mnunbsp", "ab", 1, 1, "a&nbsp;b", 7);
        row("font size", "txtHead", "mnuFontDown2", "small", 0, 5, "<font size=\"-2\">small</font>",
            28);
        row("header", "txtHead", "mnuh3", "", 0, 0, "<H3></H3>", 4);
        row("teletype", "txtMain", "mnuTT", "code", 0, 4, "<TT>code</TT>", 13);
        row("toolbar Center is the paragraph alignment", "txtHead", "key:Center", "", 0, 0,
            "<P align=center>", 16);
        row("toolbar Strikethru", "txtMain", "key:Strikethru", "gone", 0, 4, "<S>gone</S>", 11);
        row("Ctrl+Enter", "txtMain", "ctrl:Return", "ab", 1, 1, "a<BR>b", 1);
        row("Ctrl+Space before the selection", "txtHead", "ctrl:Space", "a b", 1, 2, "a&nbsp; b",
            8);
        row("read-only status box untouched", "txtStatus", "mnuBold", "status", 0, 6, "status", 6);
    }
    void fixedTags()
    {
        QFETCH(QString, box);
        QFETCH(QString, command);
        QFETCH(QString, text);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, expected);
        QFETCH(int, caret);
        QWidget* target = prepare(*w, box, text, from, to);
        QTRY_VERIFY(target->hasFocus());
        if (command.startsWith(QLatin1String("key:")))
            action(w.get(), QStringLiteral("Toolbar1_") + command.mid(4))->trigger();
        else if (command == QLatin1String("ctrl:Return"))
            QTest::keyClick(target, Qt::Key_Return, Qt::ControlModifier);
        else if (command == QLatin1String("ctrl:Space"))
            QTest::keyClick(target, Qt::Key_Space, Qt::ControlModifier);
        else
            action(w.get(), command)->trigger();
        QCOMPARE(textOf(target), expected);
        QCOMPARE(caretOf(target), caret);
    }

    void valueTags_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("answer"); // "<cancel>" cancels the dialog
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* command, const char* answer,
                            const char* expected) {
            QTest::newRow(name) << QString::fromUtf8(command) << QString::fromUtf8(answer)
                                << QString::fromUtf8(expected);
        };
        row("link, answer trimmed", "mnuLink", "  help.html ", "<a href=\"help.html\">word</a>");
        row("link cancelled: empty address", "mnuLink", "<cancel>", "<a href=\"\">word</a>");
        row("font face", "mnufontface", "DejaVu Sans", "<font face=\"DejaVu Sans\">word</font>");
        row("font face cancelled", "mnufontface", "<cancel>", "word");
        row("colour: red, green, blue", "mnuFontColor", "C08040",
            "<font color=\"#4080C0\">word</font>");
        row("colour cancelled", "mnuFontColor", "<cancel>", "word");
    }
    void valueTags()
    {
        QFETCH(QString, command);
        QFETCH(QString, answer);
        QFETCH(QString, expected);
        const bool cancel = answer == QLatin1String("<cancel>");
        if (command == QLatin1String("mnuLink"))
            p->inputs << (cancel ? std::nullopt : std::optional<QString>(answer));
        else if (command == QLatin1String("mnufontface"))
            p->fonts << (cancel ? std::nullopt : std::optional<QString>(answer));
        else
            p->colors << (cancel ? std::nullopt
                                 : std::optional<quint32>(answer.toUInt(nullptr, 16)));
        QWidget* box = prepare(*w, QStringLiteral("txtMain"), QStringLiteral("word"), 0, 4);
        QTRY_VERIFY(box->hasFocus());
        action(w.get(), command)->trigger();
        QCOMPARE(textOf(box), expected);
        if (command == QLatin1String("mnuLink"))
            QCOMPARE(
                p->inputTexts.constLast(),
                QStringLiteral("Type the absolute or relative link here.\r\nExamples...\r\n\r\n") +
                    makerSite() + QStringLiteral("/pagewick/\r\nhelp.html"));
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

    void editCommands_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("clipboard");
        const char* const rows[][3] = {{"mnuCut", "hello ", "world"},
                                       {"mnuCopy", "hello world", "world"},
                                       {"mnuPaste", "hello clip", "clip"},
                                       {"mnuDelete", "hello ", "clip"},
                                       {"Toolbar1_Cut", "hello ", "world"}};
        for (const char* box : {"txtHead", "txtMain"})
            for (const auto& r : rows)
                QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(box, r[0])))
                    << QString::fromUtf8(box) << QString::fromUtf8(r[0]) << QString::fromUtf8(r[1])
                    << QString::fromUtf8(r[2]);
    }
    void editCommands()
    {
        QFETCH(QString, box);
        QFETCH(QString, command);
        QFETCH(QString, expected);
        QFETCH(QString, clipboard);
        QWidget* target = prepare(*w, box, QStringLiteral("hello world"), 6, 11);
        QTRY_VERIFY(target->hasFocus());
        action(w.get(), command)->trigger();
        QCOMPARE(textOf(target), expected);
        QCOMPARE(QApplication::clipboard()->text(), clipboard);
        // Undo brings the text back where it changed.
        if (expected != QLatin1String("hello world")) {
            QVERIFY(action(w.get(), QStringLiteral("mnuUndo"))->isEnabled());
            action(w.get(), QStringLiteral("mnuUndo"))->trigger();
            QCOMPARE(textOf(target), QStringLiteral("hello world"));
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

    void textChangesAskForANewPreview_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<bool>("finishStaysOn");
        QTest::newRow("title") << "txtHead" << false;
        QTest::newRow("body") << "txtMain" << false;
        QTest::newRow("signature") << "txtSig" << false;
        QTest::newRow("address") << "txtURL" << false;
        QTest::newRow("link title") << "txtURLtitle" << false;
        QTest::newRow("e-mail") << "txtEmail" << true;
    }
    void textChangesAskForANewPreview()
    {
        QFETCH(QString, box);
        QFETCH(bool, finishStaysOn);
        w->butt_Fin->setEnabled(true);
        QWidget* target = w->findChild<QWidget*>(box);
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());
        QTest::keyClicks(target, QStringLiteral("x"));
        QCOMPARE(w->butt_Fin->isEnabled(), finishStaysOn);
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
        const auto boxes = w->findChildren<QWidget*>();
        for (QWidget* box : boxes)
            if (qobject_cast<QLineEdit*>(box) || qobject_cast<QPlainTextEdit*>(box))
                QVERIFY2(!box->accessibleName().isEmpty(), qPrintable(box->objectName()));
        QCOMPARE(w->Label4->buddy(), w->txtURLtitle);
        QCOMPARE(action(w.get(), QStringLiteral("mnuSpell"))->text(),
                 QStringLiteral("Spell Check"));
    }

    void fontPicker()
    {
        FontPicker picker;
        QCOMPARE(picker.objectName(), QStringLiteral("frmFont"));
        QCOMPARE(picker.windowTitle(), QStringLiteral("Font Face"));
        QVERIFY(picker.cboFonts->count() > 0);
        QCOMPARE(picker.cboFonts->count(), QFontDatabase::families().size());
        QCOMPARE(picker.cboFonts->currentText(), QString());
        QCOMPARE(picker.cboFonts->placeholderText(), QStringLiteral("Select Font Here..."));
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));

        // OK without a choice asks and stays open.
        picker.buttGo->click();
        QCOMPARE(p->texts(), QStringList({"Please either select a font or CANCEL."}));
        QVERIFY(picker.isVisible());
        QCOMPARE(picker.chosenFont(), std::nullopt);

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
        QVERIFY(!cancelled.isVisible());
        QCOMPARE(cancelled.chosenFont(), std::nullopt);
    }
};

QTEST_MAIN(TestMarkupWindow)
#include "tst_markupcommands.moc"
