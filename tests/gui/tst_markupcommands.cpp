// The markup, Edit and Spell Check commands of the main window by objectName,
// the font picker, and spelling against the en_US dictionary.

#include "ScriptedPrompt.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/spell/SpellChecker.h"
#include "gui/MainWindow.h"
#include "gui/ShownWindows.h"
#include "gui/TextBoxes.h"
#include "gui/WindowShots.h"
#include "gui/editing/FontPicker.h"
#include "gui/spell/SpellCommand.h"
#include "gui/spell/SpellDialog.h"

#include <QAccessible>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <functional>

namespace {

void trigger(QWidget* w, const char* name)
{
    child<QAction>(w, name)->trigger();
}

// The text of a box with '|' at the caret.
QString withCaret(QWidget* box)
{
    auto* line = qobject_cast<QLineEdit*>(box);
    return textOf(box).insert(line ? line->cursorPosition()
                                   : qobject_cast<QPlainTextEdit*>(box)->textCursor().position(),
                              QLatin1Char('|'));
}

QWidget* prepare(MainWindow& w, const QString& boxName, const QString& marked)
{
    return selectMarked(w.findChild<QWidget*>(boxName), marked);
}

// Stands in for the dialog during one check: answers each question with the
// next reply ("Change:word", "ChangeAll:word", "IgnoreAll"; Cancel when none
// is left) and records the words asked.
struct Script
{
    QStringList replies, asked;
};
class ScriptedAnswerer final : public SpellAnswerer
{
public:
    explicit ScriptedAnswerer(Script& script) : m_script(script) {}
    void ask(const SpellQuestion& q, SpellSession& session) override
    {
        m_script.asked << q.word;
        const QString r = m_script.replies.isEmpty() ? QString() : m_script.replies.takeFirst();
        const qsizetype action = QStringList{"Change", "ChangeAll", "Ignore", "IgnoreAll"}.indexOf(
            r.section(QLatin1Char(':'), 0, 0));
        session.answer({action < 0 ? SpellReply::Cancel : SpellReply::Action(action),
                        r.section(QLatin1Char(':'), 1)});
    }

private:
    Script& m_script;
};

// Runs the steps one per question on the dialog, as the user would click.
void driveDialog(QList<std::function<void(SpellDialog*)>> steps)
{
    QTimer::singleShot(0, [steps]() mutable {
        if (SpellDialog* d = shownWindow<SpellDialog>(); d && !steps.isEmpty())
            steps.takeFirst()(d);
        if (!steps.isEmpty())
            driveDialog(steps); // the next question, or the dialog is not up yet
    });
}

} // namespace

class TestMarkupWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<ScriptedPrompt> p;
    std::unique_ptr<MainWindow> w;
    Script script;

    void fill(const QString& head, const QString& main, const QString& urlTitle)
    {
        child<QLineEdit>(w.get(), "txtHead")->setText(head);
        child<QPlainTextEdit>(w.get(), "txtMain")->setPlainText(main);
        child<QLineEdit>(w.get(), "txtURLtitle")->setText(urlTitle);
        child<QLineEdit>(w.get(), "txtSig")->setText(QStringLiteral("Sgi wrold"));
        child<QPushButton>(w.get(), "butt_Fin")->setEnabled(true);
    }
    QString lastStatus() const
    {
        return shownText(w.get(), "txtStatus").section(QLatin1Char('\n'), -1);
    }

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
    void initTestCase()
    {
        // Add to Dictionary must not write into the real user's home.
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        qunsetenv("ENCHANT_CONFIG_DIR");
        QVERIFY(useProgramDir(dir.path()));
    }

    void init()
    {
        settings() = Settings();
        p = std::make_unique<ScriptedPrompt>();
        w = std::make_unique<MainWindow>(workspace());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QApplication::clipboard()->setText(QStringLiteral("clip"));
        script = Script();
        w->spellCheck()->setAnswererFactory([this](QWidget*, const QString&) {
            return std::unique_ptr<SpellAnswerer>(new ScriptedAnswerer(script));
        });
        focusBox(child<QPushButton>(w.get(), "butt_Preview"));
    }

    void cleanup()
    {
        w.reset();
        p.reset();
    }

    // The box, the command (an action, or a key with Ctrl), the text before
    // and after: the selection in [], the caret after as |.
    void fixedTags()
    {
        const char* const cases[][4] = {
            {"txtMain", "mnuBold", "say [hello] now", "say <B>hello</B>| now"},
            {"txtHead", "mnuItalics", "a[]b", "a<I>|</I>b"},
            {"txtMain", "mnuBlockQuote", "[one\ntwo]", "<BLOCKQUOTE>one\ntwo</BLOCKQUOTE>|"},
            {"txtURLtitle", "mnuP", "[x]", "<P>x</P>|"},
            {"txtHead", "mnualignright", "[x]", "<P align=right>x|"}, // opening tag only
            {"txtMain", "mnuBR", "ab[]", "ab|<BR>"},                  // caret in front
            {"txtSig", "mnunbsp", "a[]b", "a&nbsp;|b"},
            {"txtHead", "mnuFontDown2", "[small]", "<font size=\"-2\">small</font>|"},
            {"txtHead", "mnuh3", "[]", "<H3>|</H3>"},
            {"txtMain", "mnuTT", "[code]", "<TT>code</TT>|"},
            {"txtHead", "Toolbar1_Center", "[]", "<P align=center>|"}, // the paragraph alignment
            {"txtMain", "Toolbar1_Strikethru", "[gone]", "<S>gone</S>|"},
            {"txtMain", "Return", "a[]b", "a|<BR>b"},
            {"txtHead", "Space", "a[ ]b", "a&nbsp; |b"},      // before the selection
            {"txtStatus", "mnuBold", "[status]", "status|"}}; // read-only: untouched
        for (const auto& [box, command, before, after] : cases) {
            QWidget* target = prepare(*w, QString::fromLatin1(box), QString::fromLatin1(before));
            if (qstrcmp(command, "Return") == 0 || qstrcmp(command, "Space") == 0)
                QTest::keyClick(target, *command == 'S' ? Qt::Key_Space : Qt::Key_Return,
                                Qt::ControlModifier);
            else
                trigger(w.get(), command);
            QCOMPARE(QStringList({command, withCaret(target)}),
                     QStringList({command, QString::fromLatin1(after)}));
        }
    }

    // Link, font face and colour ask for their value; a cancelled dialog gives
    // an empty link but no font tag. The colour dialog starts from the last
    // colour chosen.
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
            {"mnuFontColor", std::nullopt, "word"},
            {"mnuFontColor", QStringLiteral("00FF00"), "<font color=\"#00FF00\">word</font>"}};
        for (const auto& [command, answer, expected] : cases) {
            if (command == QLatin1String("mnuLink"))
                p->inputs << answer;
            else if (command == QLatin1String("mnufontface"))
                p->fonts << answer;
            else
                p->colors << (answer ? std::optional<quint32>(answer->toUInt(nullptr, 16))
                                     : std::nullopt);
            QWidget* box = prepare(*w, QStringLiteral("txtMain"), QStringLiteral("[word]"));
            trigger(w.get(), command);
            QCOMPARE(textOf(box), QString::fromUtf8(expected));
        }
        QCOMPARE(p->inputTexts,
                 QStringList(2, QStringLiteral("Type the absolute or relative link here.\r\n"
                                               "Examples...\r\n\r\n") +
                                    makerSite() + QStringLiteral("/pagewick/\r\nhelp.html")));
        QCOMPARE(p->colorStarts, QList<quint32>({0u, 0xC08040u, 0xC08040u}));
        QCOMPARE(p->unscripted, 0);
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
                    prepare(*w, QString::fromLatin1(box), QStringLiteral("hello [world]"));
                trigger(w.get(), command);
                QCOMPARE(
                    QStringList({box, command, textOf(target), QApplication::clipboard()->text()}),
                    QStringList({box, command, expected, clipboard}));
                trigger(w.get(), "mnuUndo");
                QCOMPARE(textOf(target), QStringLiteral("hello world"));
            }
        }
    }

    // Each state is checked straight after the change, without waiting: the
    // states follow Qt's signals, not a timer.
    void editStatesFollowSignals()
    {
        QCOMPARE(states(), QStringList());
        // Without a text box in focus an Edit command only beeps.
        w->editCommands()->run(Markup::EditCommand::Copy);
        QCOMPARE(p->beeps, 1);
        auto* title = child<QLineEdit>(w.get(), "txtHead");
        focusBox(title);
        QCOMPARE(states(), QStringList({"Paste"}));
        QTest::keyClicks(title, QStringLiteral("abc"));
        QCOMPARE(states(), QStringList({"Undo", "Paste"}));
        title->selectAll();
        QCOMPARE(states(), QStringList({"Undo", "Cut", "Copy", "Paste", "Delete"}));
        title->deselect();
        QCOMPARE(states(), QStringList({"Undo", "Paste"}));
        // A picture on the clipboard cannot be pasted into a text box.
        auto* picture = new QMimeData;
        picture->setImageData(QImage(4, 4, QImage::Format_RGB32));
        QApplication::clipboard()->setMimeData(picture);
        QTRY_COMPARE(states(), QStringList({"Undo"}));
        QApplication::clipboard()->setText(QStringLiteral("text again"));
        QTRY_COMPARE(states(), QStringList({"Undo", "Paste"}));
        // The body: its own undo history and selection.
        auto* body = child<QPlainTextEdit>(w.get(), "txtMain");
        focusBox(body);
        QCOMPARE(states(), QStringList({"Paste"}));
        QTest::keyClicks(body, QStringLiteral("xy"));
        QCOMPARE(states(), QStringList({"Undo", "Paste"}));
        QTest::keyClick(body, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(states(), QStringList({"Undo", "Cut", "Copy", "Paste", "Delete"}));
        trigger(w.get(), "mnuUndo");
        QCOMPARE(states(), QStringList({"Paste"}));
        // The read-only status box offers Copy only.
        w->appendStatus(QStringLiteral("Some status"));
        focusBox(child<QPlainTextEdit>(w.get(), "txtStatus"));
        child<QPlainTextEdit>(w.get(), "txtStatus")->selectAll();
        QCOMPARE(states(), QStringList({"Copy"}));
    }

    // Any change but the e-mail address asks for a new preview.
    void textChangesAskForANewPreview()
    {
        for (const char* box :
             {"txtHead", "txtMain", "txtSig", "txtURL", "txtURLtitle", "txtEmail"}) {
            child<QPushButton>(w.get(), "butt_Fin")->setEnabled(true);
            QTest::keyClicks(focusBox(child<QWidget>(w.get(), box)), QStringLiteral("x"));
            QVERIFY2(child<QPushButton>(w.get(), "butt_Fin")->isEnabled() ==
                         (qstrcmp(box, "txtEmail") == 0),
                     box);
        }
    }

    void inputsHaveAccessibleNames()
    {
        const std::pair<const char*, const char*> names[] = {
            {"Title:", "txtHead"},  {"Main:", "txtMain"}, {"Sig:", "txtSig"},
            {"Email:", "txtEmail"}, {"URL:", "txtURL"},   {"URL Title:", "txtURLtitle"},
            {"Status", "txtStatus"}};
        for (const auto& [name, object] : names) {
            QAccessibleInterface* a =
                QAccessible::queryAccessibleInterface(control(w.get(), object));
            QCOMPARE(a->text(QAccessible::Name), QString::fromLatin1(name));
        }
        QCOMPARE(child<QLabel>(w.get(), "Label4")->buddy(),
                 child<QLineEdit>(w.get(), "txtURLtitle"));
        QCOMPARE(child<QAction>(w.get(), "mnuSpell")->text(), QStringLiteral("Spell Check"));
    }

    void fontPicker()
    {
        FontPicker picker(workspace().prompt());
        QCOMPARE(QStringList({picker.objectName(), picker.windowTitle(),
                              child<QComboBox>(&picker, "cboFonts")->currentText(),
                              child<QComboBox>(&picker, "cboFonts")->placeholderText()}),
                 QStringList({"frmFont", "Font Face", "", "Select Font Here..."}));
        // Names a page can use: the common ones first, then the installed
        // families without their foundry, each once.
        const QStringList common = {"Arial",           "Helvetica",  "Georgia",
                                    "Times New Roman", "Verdana",    "Courier New",
                                    "serif",           "sans-serif", "monospace"};
        QCOMPARE(FontPicker::offeredFamilies({"Nimbus Sans [urw]", "C059 [UKWN]", "arial",
                                              "Nimbus Sans [UKWN]", "DejaVu Sans"}),
                 common + QStringList({"Nimbus Sans", "C059", "DejaVu Sans"}));
        QStringList offered;
        for (int i = 0; i < child<QComboBox>(&picker, "cboFonts")->count(); ++i)
            offered << child<QComboBox>(&picker, "cboFonts")->itemText(i);
        QCOMPARE(offered.mid(0, common.size()), common);
        QVERIFY(offered.filter(QStringLiteral("[")).isEmpty());
        QCOMPARE(offered.removeDuplicates(), 0);
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        // OK without a choice asks and stays open.
        child<QPushButton>(&picker, "buttGo")->click();
        QCOMPARE(p->texts(), QStringList({"Please either select a font or CANCEL."}));
        QVERIFY(picker.isVisible() && !picker.chosenFont());
        const QString face = child<QComboBox>(&picker, "cboFonts")
                                 ->itemText(child<QComboBox>(&picker, "cboFonts")->count() - 1);
        child<QComboBox>(&picker, "cboFonts")
            ->setCurrentIndex(child<QComboBox>(&picker, "cboFonts")->count() - 1);
        QCOMPARE(child<QLabel>(&picker, "lblFont")->font().families().value(0), face);
        CHECK_WINDOW(&picker, QStringLiteral("frmFont"));
        child<QPushButton>(&picker, "buttGo")->click();
        QVERIFY(picker.result() == QDialog::Accepted && picker.chosenFont() == face);
        // Cancel after a choice chooses nothing.
        FontPicker cancelled(workspace().prompt());
        cancelled.show();
        child<QComboBox>(&cancelled, "cboFonts")->setCurrentIndex(0);
        child<QPushButton>(&cancelled, "buttCancel")->click();
        QVERIFY(!cancelled.isVisible() && !cancelled.chosenFont());
    }

    // ---- spell check ------------------------------------------------------------

    void fields_data()
    {
        QTest::addColumn<QStringList>("entry"); // title, body, link title
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QStringList>("expected"); // empty: nothing may change
        QTest::newRow("multi-line body")
            << QStringList{"A title", "Frist line\nsecond lnie\nthird", "Link"}
            << QStringList{"Change:First", "Change:line"} << QStringList{"Frist", "lnie"}
            << QStringList{"A title", "First line\nsecond line\nthird", "Link"};
        QTest::newRow("change all from the title to the link title")
            << QStringList{"Teh news", "All of teh day", "teh link"}
            << QStringList{"Change:The", "ChangeAll:the"} << QStringList{"Teh", "teh"}
            << QStringList{"The news", "All of the day", "the link"};
        QTest::newRow("ignore all: unchanged, no new preview needed")
            << QStringList{"Pagewik", "Pagewik, Pagewik\nPagewik", "x"} << QStringList{"IgnoreAll"}
            << QStringList{"Pagewik"} << QStringList{};
        QTest::newRow("cancel keeps the changes made before it")
            << QStringList{"Teh news", "wrold", "lnk"} << QStringList{"Change:The", "Cancel"}
            << QStringList{"Teh", "wrold"} << QStringList{"The news", "wrold", "lnk"};
    }
    void fields()
    {
        QFETCH(QStringList, entry);
        QFETCH(QStringList, replies);
        QFETCH(QStringList, asked);
        QFETCH(QStringList, expected);
        fill(entry[0], entry[1], entry[2]);
        script.replies = replies;
        child<QAction>(w.get(), "mnuSpell")->trigger();
        QCOMPARE(script.asked, asked);
        QVERIFY(script.replies.isEmpty());
        const bool cancelled = replies.contains(QStringLiteral("Cancel"));
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain", "txtURLtitle"}),
                 expected.isEmpty() ? entry : expected);
        QCOMPARE(shownText(w.get(), "txtSig"), QStringLiteral("Sgi wrold"));
        QCOMPARE(lastStatus() == QLatin1String("Spell Check Complete!"), !cancelled);
        // A corrected entry must be previewed again; an unchanged one need not.
        QCOMPARE(child<QPushButton>(w.get(), "butt_Fin")->isEnabled(), expected.isEmpty());
        QVERIFY(p->messages.isEmpty());
        // The body comes back with Windows line breaks; each box's corrections
        // are one step the user can undo.
        QCOMPARE(w->fields().main, shownTexts(w.get(), {"txtMain"})[0].replace(u'\n', "\r\n"));
        child<QPlainTextEdit>(w.get(), "txtMain")->undo();
        child<QLineEdit>(w.get(), "txtHead")->undo();
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain"}), entry.mid(0, 2));
    }

    void selectionOnly_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("body") << "txtMain";
        QTest::newRow("signature") << "txtSig";
    }
    void selectionOnly()
    {
        QFETCH(QString, box);
        fill(QStringLiteral("Teh title"), QStringLiteral("Teh wrold\nis big"),
             QStringLiteral("lnk"));
        // "wrold" of the body or of the signature "Sgi wrold"
        prepare(*w, box, textOf(w->findChild<QWidget*>(box)).insert(9, u']').insert(4, u'['));
        script.replies << QStringLiteral("Change:world");
        child<QAction>(w.get(), "mnuSpell")->trigger();
        QCOMPARE(script.asked, QStringList({"wrold"}));
        const bool sig = box == QLatin1String("txtSig");
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain", "txtURLtitle", "txtSig"}),
                 QStringList({"Teh title", sig ? "Teh wrold\nis big" : "Teh world\nis big", "lnk",
                              sig ? "Sgi world" : "Sgi wrold"}));
        if (!sig)
            QCOMPARE(child<QPlainTextEdit>(w.get(), "txtMain")->textCursor().position(), 9);
        QCOMPARE(lastStatus(), QStringLiteral("Spell Check Complete!"));
    }

    void noDictionary()
    {
        fill(QStringLiteral("Teh"), QStringLiteral("wrold"), QStringLiteral("lnk"));
        w->spellCheck()->setLanguages({QStringLiteral("xx_YY")});
        child<QAction>(w.get(), "mnuSpell")->trigger();
        QCOMPARE(p->texts(), QStringList({"Error opening the spell checker.\r\nNo spelling "
                                          "dictionary is installed for xx_YY."}));
        QVERIFY(script.asked.isEmpty());
        QCOMPARE(shownText(w.get(), "txtHead"), QStringLiteral("Teh"));
        QVERIFY(child<QPushButton>(w.get(), "butt_Fin")->isEnabled());
        QVERIFY(!shownText(w.get(), "txtStatus").contains(QLatin1String("Spell Check Complete!")));
    }

    void realDialog()
    {
        w->spellCheck()->setAnswererFactory([](QWidget* parent, const QString& language) {
            return std::unique_ptr<SpellAnswerer>(new SpellDialog(parent, language));
        });
        fill(QStringLiteral("My new wrold"), QStringLiteral("The wrold is <B>big</B>. Wrold tour!"),
             QStringLiteral("Lnik"));
        QStringList sentences;
        driveDialog({
            [&](SpellDialog* d) {
                sentences << child<QTextEdit>(d, "txtNotInDictionary")->toPlainText();
                const auto found = child<QListWidget>(d, "lstSuggestions")
                                       ->findItems(QStringLiteral("world"), Qt::MatchExactly);
                QVERIFY(!found.isEmpty());
                child<QListWidget>(d, "lstSuggestions")->setCurrentItem(found.first());
                QCOMPARE(shownText(d, "txtChangeTo"), QStringLiteral("world"));
                CHECK_WINDOW(d, QStringLiteral("frmSpell"));
                child<QPushButton>(d, "buttChangeAll")->click();
            },
            [&](SpellDialog* d) {
                sentences << child<QTextEdit>(d, "txtNotInDictionary")->toPlainText();
                child<QLineEdit>(d, "txtChangeTo")->setText(QStringLiteral("World"));
                child<QPushButton>(d, "buttChange")->click();
            },
            [&](SpellDialog* d) {
                sentences << child<QTextEdit>(d, "txtNotInDictionary")->toPlainText();
                child<QPushButton>(d, "buttIgnore")->click();
            },
        });
        QSignalSpy ended(w->spellCheck(), &SpellCommand::finished);
        trigger(w.get(), "Toolbar1_Spell");
        QVERIFY(shownWindow<SpellDialog>()); // the check waits for the user's answer
        QVERIFY(ended.wait(20000));
        QCOMPARE(sentences, QStringList({"My new wrold", "Wrold tour!", "Lnik"}));
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain", "txtURLtitle"}),
                 QStringList({"My new world", "The world is <B>big</B>. World tour!", "Lnik"}));
        QVERIFY(!shownWindow<SpellDialog>());
        // Closing the dialog by its frame cancels the check; the change stays.
        fill(QStringLiteral("Teh"), QStringLiteral("wrold"), QString());
        driveDialog({[](SpellDialog* d) {
                         child<QLineEdit>(d, "txtChangeTo")->setText(QStringLiteral("The"));
                         child<QPushButton>(d, "buttChange")->click();
                     },
                     [](SpellDialog* d) { d->close(); }});
        child<QAction>(w.get(), "mnuSpell")->trigger();
        QVERIFY(ended.wait(20000));
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain"}), QStringList({"The", "wrold"}));
        QVERIFY(!shownWindow<SpellDialog>());
    }
};

QTEST_MAIN(TestMarkupWindow)
#include "tst_markupcommands.moc"
