// The main window's toolbar on a desktop without an icon theme: every button
// shows a picture of its own, a screen reader hears the command's name and
// the tip says what the button does; the program's own icon draws too.

#include "TestWorkspace.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "gui/Icons.h"
#include "gui/MainWindow.h"
#include "gui/ShownWindows.h"

#include <QAccessible>
#include <QAction>
#include <QImage>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

namespace {

// How many pixels of `icon` drawn at `size` are not transparent.
int paintedPixels(const QIcon& icon, int size)
{
    const QImage image = icon.pixmap(size, size).toImage();
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            painted += qAlpha(image.pixel(x, y)) > 64;
    return painted;
}

} // namespace

class TestToolbar : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY(useProgramDir(dir.path()));
        settings() = Settings();
        // No icon theme anywhere: only the program's own pictures can show.
        QIcon::setThemeSearchPaths({});
        QIcon::setFallbackSearchPaths({});
    }

    void buttonsShowPicturesAndSayTheirCommands()
    {
        MainWindow w(workspace());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* bar = child<QToolBar>(&w, "Toolbar1");
        const QList<QAction*> actions = bar->actions();
        QStringList keys, heard, unexplained, blank;
        QList<QImage> pictures;
        for (QAction* a : actions) {
            if (a->isSeparator())
                continue;
            auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(a));
            QVERIFY(button && button->isVisible());
            keys << a->data().toString();
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(button);
            QVERIFY(face);
            heard << face->text(QAccessible::Name);
            const QString tip = button->toolTip();
            if (tip.isEmpty() || tip == face->text(QAccessible::Name))
                unexplained << keys.last();
            if (paintedPixels(button->icon(), 16) < 16)
                blank << keys.last();
            pictures << button->icon().pixmap(16, 16).toImage();
        }
        QCOMPARE(keys, QStringList({"Undo", "Cut", "Copy", "Paste", "Delete", "Bold", "Italics",
                                    "Underline", "Strikethru", "Left", "Center", "Right", "Justify",
                                    "Picture", "Spell", "Help"}));
        QCOMPARE(heard, QStringList({"Undo", "Cut", "Copy", "Paste", "Delete", "Bold", "Italic",
                                     "Underline", "Strikeout", "Align Left", "Center",
                                     "Align Right", "Justify", "Picture", "Spell Check", "Help"}));
        QCOMPARE(unexplained, QStringList());
        QCOMPARE(blank, QStringList());
        // Each button its own picture.
        for (qsizetype i = 0; i < pictures.size(); ++i)
            for (qsizetype j = i + 1; j < pictures.size(); ++j)
                QVERIFY2(pictures[i] != pictures[j],
                         qPrintable(keys[i] + " looks like " + keys[j]));
    }

    void applicationIconDrawsAtEverySize()
    {
        const QIcon icon = Icons::application();
        for (int size : {16, 32, 48, 128})
            QVERIFY2(paintedPixels(icon, size) > size * size / 3,
                     qPrintable(QString::number(size)));
    }
};

QTEST_MAIN(TestToolbar)
#include "tst_toolbar.moc"
