// The template editor through its controls: the Save Changes question on OK,
// Cancel and Load, file round trips and the markup that differs.

#include "PublishFixture.h"
#include "RecordingView.h"
#include "ScriptedPrompt.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/config/ConfigLoader.h"
#include "gui/ShownWindows.h"
#include "gui/WindowShots.h"
#include "gui/setup/TemplateEditor.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kTemplate = "<b>%title</b>\r\n\r\n\r\n<p>%body</p>\n\nBy %sig @ %time\r\n";
const QString kLoaded = QStringLiteral("<b>%title</b>\r\n<p>%body</p>\r\nBy %sig @ %time\r\n");

QString editorText(const TemplateEditor& e)
{
    return child<QPlainTextEdit>(&e, "Text1")
        ->toPlainText()
        .replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

// The text, the file name shown, and whether it counts as changed.
QStringList shown(const TemplateEditor& e)
{
    return {editorText(e), shownText(&e, "lblFileName"), e.isChanged() ? "changed" : "unchanged"};
}

} // namespace

class TestTemplateEditor : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    void focusText(TemplateEditor& e)
    {
        e.show();
        e.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&e));
        child<QPlainTextEdit>(&e, "Text1")->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), child<QPlainTextEdit>(&e, "Text1"));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(useProgramDir(m_dir->path()));
        settings() = Settings();
        settings().settingsPath = programFile("weblog.ini");
        settings().activeSection = "1";
        QVERIFY(PublishFixture::writeFile(programFile("template.txt"), kTemplate));
    }

    void missingFileGivesTheDefault()
    {
        ScriptedPrompt p;
        writeSetting("1", "templatefilename", "gone.txt", settings().settingsPath);
        TemplateEditor e(workspace());
        QCOMPARE(p.texts(), QStringList{"Template File Not Found"});
        QCOMPARE(shown(e) << settings().templateText,
                 QStringList({defaultTemplate(), "gone.txt", "unchanged", defaultTemplate()}));
        // Help opens the help file and the templates page.
        child<QAction>(&e, "mnuHelpfiles")->trigger();
        child<QAction>(&e, "mnuWebsite")->trigger();
        QCOMPARE(p.opened, (QStringList{workspace().dir() + "/pagewick.html",
                                        makerSite() + "/pagewick/templates.html"}));
    }

    // OK and Cancel after an edit, with each answer to "Save Changes?": whether
    // the editor closes, saves, and puts the new text in use. OK's Cancel
    // stays open with the new text in use.
    void saveChangesQuestion()
    {
        const std::tuple<bool, Answer, bool, bool, bool> cases[] = {
            {true, Answer::Yes, true, true, true},
            {true, Answer::No, true, false, true},
            {true, Answer::Cancel, false, false, true},
            {false, Answer::Yes, true, true, false},
            {false, Answer::No, true, false, false},
            {false, Answer::Cancel, false, false, false}};
        for (const auto& [viaOk, answer, closed, saved, newTemplateInUse] : cases) {
            init();
            ScriptedPrompt p;
            RecordingView view;
            view.finishEnabled = true;
            TemplateEditor e(workspace(), &view);
            e.show();
            child<QPlainTextEdit>(&e, "Text1")->setPlainText(QStringLiteral("  %title\n%body  "));
            QVERIFY(e.isChanged());
            const QString target = programFile("saved.txt");
            p.answers << answer;
            p.files << target;
            (viaOk ? child<QPushButton>(&e, "buttOK") : child<QPushButton>(&e, "buttCancel"))
                ->click();
            QCOMPARE(titlesOf(p) + p.texts(), QStringList(2, QStringLiteral("Save Changes?")));
            QCOMPARE(p.messages[0].buttons, Buttons::YesNoCancel);
            QCOMPARE(e.isVisible(), !closed);
            QCOMPARE(PublishFixture::readFile(target),
                     QByteArray(saved ? "%title\r\n%body\r\n" : "<missing>"));
            QCOMPARE(PublishFixture::readFile(programFile("template.txt")), kTemplate);
            QCOMPARE(settings().templateText,
                     newTemplateInUse ? QStringLiteral("%title\r\n%body") : kLoaded);
            // OK names the file in use in the configuration and makes the
            // previewed entry stale.
            const bool okDone = viaOk && closed;
            QCOMPARE(readSetting(settings().settingsPath, "1", "templatefilename"),
                     okDone ? (saved ? target : QStringLiteral("template.txt")) : QString());
            QCOMPARE(view.finishEnabled, !okDone);
        }
    }

    // The template loads without its empty lines. Unchanged, OK asks nothing;
    // Cancel with no template in use puts the default in use.
    void closingUnchanged()
    {
        ScriptedPrompt p;
        TemplateEditor e(workspace());
        QCOMPARE(shown(e) << e.objectName(),
                 QStringList({kLoaded, "template.txt", "unchanged", "frmTemplate"}));
        for (const char* placeholder :
             {"%title", "%body", "%sig", "%date", "%time", "%url", "%newurl"})
            QVERIFY2(shownText(&e, "Label1")
                         .contains(QLatin1String(placeholder) + QStringLiteral(" = ")),
                     placeholder);
        e.resize(640, 420);
        QCOMPARE(e.windowTitle(), QStringLiteral("Template"));
        CHECK_WINDOW(&e, QStringLiteral("frmTemplate"));
        e.show();
        child<QPushButton>(&e, "buttOK")->click();
        QVERIFY(p.messages.isEmpty());
        QVERIFY(!e.isVisible());
        TemplateEditor again(workspace());
        again.show();
        settings().templateText.clear();
        child<QPushButton>(&again, "buttCancel")->click();
        QCOMPARE(settings().templateText, defaultTemplate());
        QVERIFY(p.messages.isEmpty());
    }

    void loadAndSaveRoundTrip()
    {
        ScriptedPrompt p;
        TemplateEditor e(workspace());
        const QString other = programFile("other.txt");
        QVERIFY(PublishFixture::writeFile(other, "<i>%title</i>\n\n\n%body\n"));
        p.files << other;
        child<QAction>(&e, "mnuLoad")->trigger();
        const FileRequest& r = p.fileRequests.value(0);
        QVERIFY(p.fileRequests.size() == 1 && r.kind == FileRequest::Open);
        QCOMPARE(
            QStringList({r.initialDir, r.filter, QString::number(r.filterIndex), r.defaultExt}),
            QStringList(
                {workspace().dir(), "All Files (*.*)|*.*|Text Files(*.txt)|*.txt", "2", "txt"}));
        QCOMPARE(shown(e), QStringList({"<i>%title</i>\r\n%body\r\n", other, "unchanged"}));
        QCOMPARE(settings().templateText, kLoaded); // loading alone puts nothing in use
        const QString copy = programFile("copy.txt");
        p.files << copy;
        child<QAction>(&e, "mnuSave")->trigger();
        QCOMPARE(p.fileRequests.last().kind, FileRequest::Save);
        QCOMPARE(PublishFixture::readFile(copy), QByteArray("<i>%title</i>\r\n%body\r\n\r\n"));
        QCOMPARE(shownText(&e, "lblFileName"), copy);
        // A cancelled dialog changes nothing.
        child<QPlainTextEdit>(&e, "Text1")->setPlainText("edited");
        p.answers << Answer::No;
        p.files << std::nullopt;
        child<QAction>(&e, "mnuLoad")->trigger();
        QCOMPARE(shown(e), QStringList({"edited", copy, "changed"}));
        // Yes, then a cancelled save dialog: the edit is kept, nothing loads.
        p.answers << Answer::Yes;
        p.files << std::nullopt << other;
        child<QAction>(&e, "mnuLoad")->trigger();
        QCOMPARE(editorText(e), QStringLiteral("edited"));
        QCOMPARE(p.files.size(), 1);
        // A file that cannot be read: an empty editor, changed, named after it.
        p.answers << Answer::No;
        p.files.clear();
        p.files << programFile("nowhere.txt");
        child<QAction>(&e, "mnuLoad")->trigger();
        QCOMPARE(shown(e), QStringList({"", programFile("nowhere.txt"), "changed"}));
    }

    void markupDiffersFromTheMainWindow()
    {
        ScriptedPrompt p;
        TemplateEditor e(workspace());
        focusText(e);
        auto* text = child<QPlainTextEdit>(&e, "Text1");
        text->setPlainText("abc");
        text->selectAll();
        QTest::keyClick(text, Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(text->toPlainText(), QStringLiteral("abc&nbsp"));
        // The caret goes after the insertion.
        const auto withCaret = [&] {
            return text->toPlainText().insert(text->textCursor().position(), u'|');
        };
        text->setPlainText("xy");
        text->moveCursor(QTextCursor::Start);
        text->moveCursor(QTextCursor::NextCharacter);
        child<QAction>(&e, "mnuBold")->trigger();
        QCOMPARE(withCaret(), QStringLiteral("x<B></B>|y"));
        QTest::keyClick(text, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(withCaret(), QStringLiteral("x<B></B><BR>|y"));
        e.findChild<QAction*>("mnuFontdown2")->trigger();
        QVERIFY(text->toPlainText().contains("<font size=\"-2\"></font>"));
        p.fonts << QString("Verdana");
        child<QAction>(&e, "mnuFontFace")->trigger();
        QVERIFY(text->toPlainText().contains("<font face=\"Verdana\"></font>"));
        p.colors << 0x0000FFu;
        child<QAction>(&e, "mnuFontColor")->trigger();
        QVERIFY(text->toPlainText().contains("<font color=\"#FF0000\"></font>"));
        // With the focus on a button, markup does nothing and edits beep.
        child<QPushButton>(&e, "buttOK")->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), child<QPushButton>(&e, "buttOK"));
        const QString before = text->toPlainText();
        child<QAction>(&e, "mnuItalics")->trigger();
        QCOMPARE(text->toPlainText(), before);
        child<QAction>(&e, "mnuCut")->trigger();
        QCOMPARE(p.beeps, 1);
    }
};

QTEST_MAIN(TestTemplateEditor)
#include "tst_templateeditor.moc"
