// Edit > Entries as a user meets it on a desktop: the entries of the page
// fetched from the FTP test server, one changed with the keyboard, the spell
// check and the markup commands, previewed and published, one deleted; the
// controls clicked and reached by their access keys.

#include "PublishFixture.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "gui/MainWindow.h"
#include "gui/RealDialogs.h"
#include "gui/ShownWindows.h"
#include "gui/entries/EntriesWindow.h"
#include "gui/spell/SpellDialog.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace PublishFixture;

namespace {

QStringList rows(QTreeWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(0) + u' ' + list->topLevelItem(i)->text(2);
    return out;
}

void clickRow(QTreeWidget* list, int row)
{
    const QRect at = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at.center());
}

void click(QWidget* root, const char* name)
{
    QTest::mouseClick(child<QWidget>(root, name), Qt::LeftButton);
}

} // namespace

class TestEntriesWindow : public QObject, public Servers
{
    Q_OBJECT

private slots:
    void init() { SERVERS_START(); }

    void editPreviewFinishAndDelete()
    {
        QTemporaryDir dir;
        QVERIFY(useProgramDir(dir.path()));
        settings() = Settings();
        pinClockAndLocale();
        Keys keys = publishKeys(ftp());
        keys.insert("backendenabled", "False");
        QVERIFY(writeIni(dir.path(), {{1, keys}}));
        QByteArray live = page(3);
        live.replace("<!--|12/3/2000", "<!--|12/3/2000|noon|--><p>By hand</p>\r\n<!--|12/3/2000");
        QVERIFY(ftp().writeFile("www/index.html", live));
        ScriptedPrompt p;
        MainWindow w(workspace());
        w.start(0);
        QVERIFY(settled(w));
        w.activateWindow();

        child<QAction>(&w, "mnuEntries")->trigger();
        EntriesWindow* window = nullptr;
        QVERIFY(QTest::qWaitFor([&] {
            window = qobject_cast<EntriesWindow*>(QApplication::activeModalWidget());
            return window && window->isActiveWindow();
        }));
        auto* list = child<QTreeWidget>(window, "lstEntries");
        QCOMPARE(rows(list), QStringList({"12/4/2000 Old post 1", "12/3/2000 By hand",
                                          "12/3/2000 Old post 2", "12/2/2000 Old post 3"}));
        // Every input and button has a name a screen reader says and an
        // access key.
        for (const char* name :
             {"chkArchive", "buttEdit", "buttDelete", "butt_Preview", "butt_Fin", "buttClose"}) {
            auto* b = child<QAbstractButton>(window, name);
            QVERIFY2(!b->accessibleName().isEmpty() && b->text().contains(u'&'), name);
        }
        for (const char* name : {"lstEntries", "txtEntry"})
            QVERIFY(!child<QWidget>(window, name)->accessibleName().isEmpty());
        const auto buttons = {"buttEdit", "buttDelete", "butt_Preview", "butt_Fin"};
        QCOMPARE(enabledAmong(window, buttons), QStringList({"buttEdit", "buttDelete"}));
        // Edit (Alt+I) the third entry; a line typed at its end, its last word
        // corrected by the spell check (F7) and made bold with Ctrl+B.
        clickRow(list, 2);
        QTest::keyClick(window, Qt::Key_I, Qt::AltModifier);
        auto* text = child<QPlainTextEdit>(window, "txtEntry");
        QTRY_VERIFY2(text->hasFocus(), qPrintable(text->toPlainText()));
        QVERIFY(text->toPlainText().startsWith(u"<a name=\"e2\"></a>Old post 2<!--Title-->"));
        QCOMPARE(enabledAmong(window, buttons), QStringList({"buttEdit", "butt_Preview"}));
        QTest::keyClick(text, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(text, Qt::Key_Return);
        QTest::keyClicks(text, u"Added wrods"_s);
        QTest::keyClick(text, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
        const auto spelled = answerModal<SpellDialog>([](SpellDialog* d) {
            typeIntoDialog(d, u"words"_s);
            QTest::mouseClick(child<QPushButton>(d, "buttChange"), Qt::LeftButton);
        });
        QTest::keyClick(text, Qt::Key_F7);
        QTRY_VERIFY(spelled->seen);
        QTRY_VERIFY(window->isActiveWindow());
        QTest::keyClick(text, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(text, Qt::Key_B, Qt::ControlModifier);
        const QByteArray old = "Text of post 2\r\n";
        const QByteArray edited =
            QByteArray(live).replace(old, "Text of post 2\r\nAdded <B>words</B>\r\n");

        // Preview writes the edited page and opens it; Finish publishes it.
        // A failed upload leaves the live page and offers Resend; Finish
        // again sends it.
        click(window, "butt_Preview");
        QCOMPARE(p.opened.last(), programFile(u"webbie1.html"_s));
        QCOMPARE(readFile(programFile(u"webbie1.html"_s)), edited);
        ftp().failUploadsOf("index.html");
        click(window, "butt_Fin");
        QCOMPARE(enabledAmong(window, buttons), QStringList()); // while it is sent
        QVERIFY(settled(w));
        QCOMPARE(ftp().readFile("www/index.html"), live);
        QCOMPARE(settings().Fail, u"True"_s);
        QVERIFY(child<QPushButton>(&w, "butt_resend")->isVisible());
        ftp().resetBehaviour();
        click(window, "butt_Fin");
        QVERIFY(settled(w));
        QCOMPARE(ftp().readFile("www/index.html"), edited);
        QCOMPARE(settings().Fail, u"False"_s);
        QCOMPARE(enabledAmong(window, buttons), QStringList({"buttEdit", "buttDelete"}));

        // Delete (Alt+D) the hand-made entry after the preview and question
        // of Delete Last Entry.
        clickRow(list, 1);
        p.answers << Answer::Ok;
        QTest::keyClick(window, Qt::Key_D, Qt::AltModifier); // the button clicks a moment later
        QTRY_COMPARE(p.messages.last().title, u"Deletion of PageWick Entry"_s);
        QVERIFY(settled(w));
        QCOMPARE(ftp().readFile("www/index.html"),
                 QByteArray(edited).replace("<!--|12/3/2000|noon|--><p>By hand</p>\r\n", ""));
        QCOMPARE(rows(list).size(), 3);
        QCOMPARE(ftp().readFile("www/archive.html"), archivePage());

        // The archive page is listed, not changed.
        QTest::mouseClick(child<QWidget>(window, "chkArchive"), Qt::LeftButton, {}, {8, 8});
        QCOMPARE(rows(list), QStringList({"11/1/2000 Archived"}));
        QCOMPARE(enabledAmong(window, buttons), QStringList());
        click(window, "buttClose");
        QTRY_VERIFY(!shownWindow<EntriesWindow>());
    }
};

QTEST_MAIN(TestEntriesWindow)
#include "tst_entrieswindow.moc"
