// Edit > Spell Check on the real window with the real en_US dictionary, answered
// by a script or by clicks on the spelling dialog: what is checked, what comes
// back, and what a cancel or a missing dictionary leaves.

#include "ScriptedPrompt.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/spell/SpellChecker.h"
#include "gui/MainWindow.h"
#include "gui/ShownWindows.h"
#include "gui/WindowShots.h"
#include "gui/spell/SpellCommand.h"
#include "gui/spell/SpellDialog.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtTest>

#include <functional>

namespace {

struct Script
{
    QList<SpellReply> replies;
    QStringList asked;
};

// Stands in for the dialog during one check.
class ScriptedAnswerer final : public SpellAnswerer
{
public:
    explicit ScriptedAnswerer(Script& script) : m_script(script) {}
    SpellReply ask(const SpellQuestion& q) override
    {
        m_script.asked << q.word;
        return m_script.replies.isEmpty() ? SpellReply{SpellReply::Cancel, {}}
                                          : m_script.replies.takeFirst();
    }

private:
    Script& m_script;
};

// "Change:word", "ChangeAll:word", "IgnoreAll" or "Cancel".
SpellReply reply(const QString& script)
{
    const QStringList actions{"Change", "ChangeAll", "Ignore", "IgnoreAll"};
    const qsizetype action = actions.indexOf(script.section(QLatin1Char(':'), 0, 0));
    return {action < 0 ? SpellReply::Cancel : SpellReply::Action(action),
            script.section(QLatin1Char(':'), 1)};
}

// Runs the steps one per question on the dialog, as the user would click.
void driveDialog(QList<std::function<void(SpellDialog*)>> steps)
{
    QTimer::singleShot(0, [steps]() mutable {
        SpellDialog* d = shownWindow<SpellDialog>();
        if (!d) {
            driveDialog(steps); // not up yet
            return;
        }
        if (steps.isEmpty())
            return;
        auto step = steps.takeFirst();
        step(d);
        if (!steps.isEmpty())
            driveDialog(steps);
    });
}

} // namespace

class TestSpellCheckWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<ScriptedPrompt> p;
    std::unique_ptr<MainWindow> w;
    Script script;

    void fill(const QString& head, const QString& main, const QString& urlTitle)
    {
        w->txtHead->setText(head);
        w->txtMain->setPlainText(main);
        w->txtURLtitle->setText(urlTitle);
        w->txtSig->setText(QStringLiteral("Sgi wrold"));
        w->butt_Fin->setEnabled(true);
    }
    QString lastStatus() const
    {
        return w->txtStatus->toPlainText().section(QLatin1Char('\n'), -1);
    }

private slots:
    void initTestCase()
    {
        // Add to Dictionary must not write into the real user's home.
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir.path() + QStringLiteral("/config")).toUtf8());
        qunsetenv("ENCHANT_CONFIG_DIR");
        QVERIFY(setProgramDir(dir.path()));
    }

    void init()
    {
        settings() = Settings();
        p = std::make_unique<ScriptedPrompt>();
        w = std::make_unique<MainWindow>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        script = Script();
        w->spellCheck()->setAnswererFactory([this](QWidget*, const QString&) {
            return std::unique_ptr<SpellAnswerer>(new ScriptedAnswerer(script));
        });
        w->butt_Preview->setFocus();
        QTRY_VERIFY(w->butt_Preview->hasFocus());
    }

    void cleanup()
    {
        w.reset();
        p.reset();
    }

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
        QTest::newRow("cancel after a change leaves every box")
            << QStringList{"Teh news", "wrold", "lnk"} << QStringList{"Change:The", "Cancel"}
            << QStringList{"Teh", "wrold"} << QStringList{};
    }
    void fields()
    {
        QFETCH(QStringList, entry);
        QFETCH(QStringList, replies);
        QFETCH(QStringList, asked);
        QFETCH(QStringList, expected);
        fill(entry[0], entry[1], entry[2]);
        for (const QString& r : replies)
            script.replies << reply(r);
        w->mnuSpell->trigger();
        QCOMPARE(script.asked, asked);
        QVERIFY(script.replies.isEmpty());
        const bool cancelled = replies.contains(QStringLiteral("Cancel"));
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain", "txtURLtitle"}),
                 expected.isEmpty() ? entry : expected);
        QCOMPARE(w->txtSig->text(), QStringLiteral("Sgi wrold"));
        QCOMPARE(lastStatus() == QLatin1String("Spell Check Complete!"), !cancelled);
        // A corrected entry must be previewed again; an unchanged one need not.
        QCOMPARE(w->butt_Fin->isEnabled(), expected.isEmpty());
        QVERIFY(p->messages.isEmpty());
    }

    void bodyComesBackWithWindowsLineBreaks()
    {
        fill(QString(), QStringLiteral("one\ntwo wrold\nthree"), QString());
        script.replies << reply(QStringLiteral("Change:world"));
        w->mnuSpell->trigger();
        QCOMPARE(w->fields().main, QStringLiteral("one\r\ntwo world\r\nthree"));
        // The correction is one step the user can undo.
        w->txtMain->setFocus();
        QTRY_VERIFY(w->txtMain->hasFocus());
        w->txtMain->undo();
        QCOMPARE(w->txtMain->toPlainText(), QStringLiteral("one\ntwo wrold\nthree"));
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
        QWidget* target = w->findChild<QWidget*>(box);
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());
        if (auto* line = qobject_cast<QLineEdit*>(target)) {
            line->setSelection(4, 5); // "wrold" of "Sgi wrold"
        } else {
            QTextCursor c = w->txtMain->textCursor();
            c.setPosition(4);
            c.setPosition(9, QTextCursor::KeepAnchor);
            w->txtMain->setTextCursor(c);
        }
        script.replies << reply(QStringLiteral("Change:world"));
        w->mnuSpell->trigger();
        QCOMPARE(script.asked, QStringList({"wrold"}));
        const bool sig = box == QLatin1String("txtSig");
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain", "txtURLtitle", "txtSig"}),
                 QStringList({"Teh title", sig ? "Teh wrold\nis big" : "Teh world\nis big", "lnk",
                              sig ? "Sgi world" : "Sgi wrold"}));
        if (!sig)
            QCOMPARE(w->txtMain->textCursor().position(), 9);
        QCOMPARE(lastStatus(), QStringLiteral("Spell Check Complete!"));
    }

    void noDictionary()
    {
        fill(QStringLiteral("Teh"), QStringLiteral("wrold"), QStringLiteral("lnk"));
        w->spellCheck()->setLanguages({QStringLiteral("xx_YY")});
        w->mnuSpell->trigger();
        QCOMPARE(p->texts(), QStringList({"Error opening the spell checker.\r\nNo spelling "
                                          "dictionary is installed for xx_YY."}));
        QVERIFY(script.asked.isEmpty());
        QCOMPARE(w->txtHead->text(), QStringLiteral("Teh"));
        QVERIFY(w->butt_Fin->isEnabled());
        QVERIFY(!w->txtStatus->toPlainText().contains(QLatin1String("Spell Check Complete!")));
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
                sentences << d->txtNotInDictionary->toPlainText();
                QVERIFY(!d->lstSuggestions->findItems(QStringLiteral("world"), Qt::MatchExactly)
                             .isEmpty());
                d->lstSuggestions->setCurrentItem(
                    d->lstSuggestions->findItems(QStringLiteral("world"), Qt::MatchExactly)
                        .first());
                QCOMPARE(d->txtChangeTo->text(), QStringLiteral("world"));
                CHECK_WINDOW(d, QStringLiteral("frmSpell"));
                d->buttChangeAll->click();
            },
            [&](SpellDialog* d) {
                sentences << d->txtNotInDictionary->toPlainText();
                d->txtChangeTo->setText(QStringLiteral("World"));
                d->buttChange->click();
            },
            [&](SpellDialog* d) {
                sentences << d->txtNotInDictionary->toPlainText();
                d->buttIgnore->click();
            },
        });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, [] {
            if (SpellDialog* d = shownWindow<SpellDialog>())
                d->close();
        });
        guard.start(20000);
        w->findChild<QAction*>(QStringLiteral("Toolbar1_Spell"))->trigger();
        QVERIFY(guard.isActive());
        QCOMPARE(sentences, QStringList({"My new wrold", "Wrold tour!", "Lnik"}));
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain", "txtURLtitle"}),
                 QStringList({"My new world", "The world is <B>big</B>. World tour!", "Lnik"}));
        QVERIFY(!shownWindow<SpellDialog>());
        // Closing the dialog by its frame cancels the check.
        fill(QStringLiteral("Teh"), QStringLiteral("wrold"), QString());
        driveDialog({[](SpellDialog* d) {
                         d->txtChangeTo->setText(QStringLiteral("The"));
                         d->buttChange->click();
                     },
                     [](SpellDialog* d) { d->close(); }});
        w->mnuSpell->trigger();
        QCOMPARE(shownTexts(w.get(), {"txtHead", "txtMain"}), QStringList({"Teh", "wrold"}));
        QVERIFY(!shownWindow<SpellDialog>());
    }
};

QTEST_MAIN(TestSpellCheckWindow)
#include "tst_spellcheck.moc"
