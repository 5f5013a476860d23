// Format > Picture... through the real file dialog and the picture's dialog:
// the tag at the caret, the scaled copy beside the edited page, the
// alternative text required unless the picture is decorative, and a file
// that is no picture refused with the entry as it was.

#include "PublishFixture.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "gui/MainWindow.h"
#include "gui/QtPrompt.h"
#include "gui/RealDialogs.h"
#include "gui/ShownWindows.h"
#include "gui/TextBoxes.h"
#include "gui/editing/PictureDialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestPictureDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QtPrompt qtPrompt;
    std::unique_ptr<MainWindow> w;

    QString picture(const QString& name, int width, QColor color)
    {
        QImage image(width, width / 2, QImage::Format_RGB32);
        image.fill(color);
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        return image.save(path, "PNG") ? path : QString();
    }

    // Chooses `path` in the file dialog the Picture button opens, then
    // answers the picture's dialog with `answer`; returns what was seen.
    QStringList choose(const QString& path, std::function<void(PictureDialog*)> answer)
    {
        QStringList seen;
        const auto file = answerModal<QFileDialog>([&seen, path, answer](QFileDialog* d) {
            auto* name = d->findChild<QLineEdit*>(u"fileNameEdit"_s);
            // Its completion list opens once the folder has been read and
            // would take the Return key: at a moment the test cannot know.
            name->setCompleter(nullptr);
            QTest::keyClicks(name, path);
            answerModal<PictureDialog>([&seen, answer](PictureDialog* p) {
                seen << p->windowTitle() << child<QLabel>(p, "lblPictureInfo")->text();
                seen << (dialogButton(p, QDialogButtonBox::Ok)->isEnabled() ? u"OK"_s : u"-"_s);
                answer(p);
            });
            QTest::keyClick(name, Qt::Key_Return);
        });
        auto* toolbar = w->findChild<QToolBar*>(u"Toolbar1"_s);
        QTest::mouseClick(toolbar->widgetForAction(child<QAction>(w.get(), "Toolbar1_Picture")),
                          Qt::LeftButton);
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT(file->seen && !QApplication::activeModalWidget(), 15000);
        }();
        return seen;
    }

private slots:
    void initTestCase()
    {
        qputenv("HOME", dir.path().toUtf8());
        QVERIFY(useProgramDir(dir.path()));
        usePrompt(&qtPrompt);
        settings().settingsPath = programFile(u"weblog.ini"_s);
        settings().activeSection = u"1"_s;
        w = std::make_unique<MainWindow>(workspace());
        w->show();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void cleanupTestCase() { w.reset(); }

    void pictureAtTheCaret()
    {
        auto* body = child<QPlainTextEdit>(w.get(), "txtMain");
        selectMarked(body, u"See [] here"_s);
        const QString holiday = picture(u"in/holiday.png"_s, 2400, Qt::darkCyan);
        QStringList seen = choose(holiday, [](PictureDialog* p) {
            QTest::keyClicks(child<QLineEdit>(p, "txtAlt"), u"The beach at dawn"_s);
            QVERIFY(dialogButton(p, QDialogButtonBox::Ok)->isEnabled());
            clickDialogButton(p, QDialogButtonBox::Ok);
        });
        QCOMPARE(seen, QStringList({u"Picture"_s, u"holiday.png, 2400 x 1200 pixels"_s, u"-"_s}));
        const QString tag = u"<img src=\"images/holiday.png\" alt=\"The beach at dawn\" "
                            "width=\"1200\" height=\"600\">"_s;
        QCOMPARE(textOf(body), u"See "_s + tag + u" here"_s);
        QVERIFY(shownText(w.get(), "txtStatus").contains(u"scaled down from 2400 x 1200"_s));
        // The preview, written beside the pictures folder, shows the copy.
        QCOMPARE(QImage(programFile(u"images/holiday.png"_s)).size(), QSize(1200, 600));

        // Another picture of that name, decorative: a name of its own, no text.
        selectMarked(body, u"[]"_s);
        seen = choose(picture(u"other/holiday.png"_s, 200, Qt::red), [](PictureDialog* p) {
            QTest::mouseClick(child<QCheckBox>(p, "chkDecorative"), Qt::LeftButton, {},
                              QPoint(8, 8));
            clickDialogButton(p, QDialogButtonBox::Ok);
        });
        QCOMPARE(textOf(body),
                 u"<img src=\"images/holiday-2.png\" alt=\"\" width=\"200\" height=\"100\">"_s);

        // Cancel, and a file that is no picture: the entry stays as it was,
        // no copy is made.
        const QString before = textOf(body);
        choose(holiday, [](PictureDialog* p) { clickDialogButton(p, QDialogButtonBox::Cancel); });
        QVERIFY(PublishFixture::writeFile(dir.filePath(u"in/notes.png"_s), "text"));
        QString said;
        answerModal<QMessageBox>([&said](QMessageBox* box) {
            said = box->text();
            clickDialogButton(box, QDialogButtonBox::Ok);
        });
        choose(dir.filePath(u"in/notes.png"_s), [](PictureDialog*) {});
        QCOMPARE(said, u"The file notes.png is not a picture Pagewick can use (PNG, JPEG, GIF, "
                       "WebP or SVG)."_s);
        QCOMPARE(textOf(body), before);
        QCOMPARE(QDir(programFile(u"images"_s)).entryList(QDir::Files),
                 QStringList({u"holiday-2.png"_s, u"holiday.png"_s}));
    }
};

QTEST_MAIN(TestPictureDialog)
#include "tst_picturedialog.moc"
