#include "WindowShots.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextEdit>
#include <QToolBar>
#include <QWidget>

namespace {

void layOut(QWidget* window)
{
    window->ensurePolished();
    if (!window->isVisible()) {
        window->adjustSize();
        if (window->layout())
            window->layout()->activate();
    }
}

// The controls a user reads or operates; toolbar buttons are drawn by the
// toolbar itself and are left to it.
bool isControl(const QWidget* w)
{
    if (qobject_cast<const QToolBar*>(w->parentWidget()))
        return false;
    return qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QListView*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QProgressBar*>(w);
}

// The least size at which a control shows its text. A scrolling box shows
// any text by scrolling, and its hint of 70x70 is only a default: one line
// must fit.
QSize leastSize(const QWidget* w)
{
    if (auto* area = qobject_cast<const QAbstractScrollArea*>(w)) {
        const int line = w->fontMetrics().lineSpacing();
        return {3 * line, line + 2 * area->frameWidth()};
    }
    return w->minimumSizeHint();
}

// Inputs a screen reader must be able to name: by their accessible name or by
// the label that is their buddy.
bool isInput(const QWidget* w)
{
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w) || qobject_cast<const QScrollBar*>(w);
}

QString describe(const QWidget* w)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
}

} // namespace

QString saveWindowShot(QWidget* window, const QString& name)
{
    const QString dir = QStringLiteral(PAGEWICK_TEST_OUTPUT_DIR "/windows");
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    layOut(window);
    window->grab().save(path);
    return path;
}

QStringList windowProblems(QWidget* window, const QString& name)
{
    QStringList problems;
    // Checked as a user sees it: shown, at the size it takes by itself.
    const bool wasHidden = !window->isVisible();
    if (wasHidden) {
        window->show();
        QCoreApplication::processEvents();
    }
    layOut(window);
    const QRect inside = window->rect();
    QList<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || !isControl(w))
            continue;
        // A control inside another control (the line edit of a combo box) is
        // that control's business.
        bool nested = false;
        for (QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
            nested = nested || isControl(p);
        if (nested)
            continue;
        controls << w;
        const QSize min = leastSize(w);
        if (w->width() < min.width() || w->height() < min.height())
            problems << QStringLiteral("%1 is %2x%3, smaller than its minimum %4x%5")
                            .arg(describe(w))
                            .arg(w->width())
                            .arg(w->height())
                            .arg(min.width())
                            .arg(min.height());
        const QRect at(w->mapTo(window, QPoint(0, 0)), w->size());
        if (!inside.contains(at))
            problems << QStringLiteral("%1 reaches outside the window").arg(describe(w));
    }
    QList<const QWidget*> buddies;
    for (const QLabel* label : window->findChildren<QLabel*>())
        buddies << label->buddy();
    for (QWidget* w : window->findChildren<QWidget*>()) {
        bool nested = false;
        for (QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
            nested = nested || isControl(p) || isInput(p);
        if (isInput(w) && !nested && w->accessibleName().isEmpty() && !buddies.contains(w))
            problems << QStringLiteral("%1 has no accessible name").arg(describe(w));
    }
    for (qsizetype i = 0; i < controls.size(); ++i)
        for (qsizetype j = i + 1; j < controls.size(); ++j)
            if (controls[i]->parentWidget() == controls[j]->parentWidget() &&
                controls[i]->geometry().intersects(controls[j]->geometry()))
                problems << QStringLiteral("%1 overlaps %2")
                                .arg(describe(controls[i]), describe(controls[j]));

    const QImage picture = window->grab().toImage();
    bool flat = true;
    const QRgb first = picture.isNull() ? 0 : picture.pixel(0, 0);
    for (int y = 0; flat && y < picture.height(); y += 3)
        for (int x = 0; flat && x < picture.width(); x += 3)
            flat = picture.pixel(x, y) == first;
    if (flat)
        problems << QStringLiteral("the picture of %1 is one flat colour").arg(name);
    if (qEnvironmentVariableIsSet("PAGEWICK_WINDOW_SHOTS"))
        saveWindowShot(window, name);
    if (wasHidden)
        window->hide();
    return problems;
}
