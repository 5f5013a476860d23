#include "WindowShots.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextEdit>
#include <QToolBar>
#include <QWidget>

namespace {

template <typename... T> bool isA(const QWidget* w)
{
    return (qobject_cast<const T*>(w) || ...);
}

// The controls a user reads or operates; toolbar buttons are drawn by the
// toolbar itself and are left to it.
bool isControl(const QWidget* w)
{
    return !qobject_cast<const QToolBar*>(w->parentWidget()) &&
           isA<QLabel, QAbstractButton, QLineEdit, QPlainTextEdit, QTextEdit, QComboBox, QListView,
               QAbstractSpinBox, QProgressBar>(w);
}

// Inputs a screen reader must be able to name.
bool isInput(const QWidget* w)
{
    return isA<QLineEdit, QPlainTextEdit, QTextEdit, QComboBox, QAbstractSpinBox, QScrollBar>(w);
}

// Whether `w` lies inside a widget of `window` that passes `test` (the line
// edit of a combo box is the combo box's business).
bool nested(const QWidget* w, const QWidget* window, bool (*test)(const QWidget*))
{
    for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (test(p))
            return true;
    return false;
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

QString describe(const QWidget* w)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName());
}

} // namespace

QStringList windowProblems(QWidget* window, const QString& name)
{
    QStringList problems;
    // Checked as a user sees it: shown, at the size it takes by itself.
    const bool wasHidden = !window->isVisible();
    if (wasHidden) {
        window->show();
        QCoreApplication::processEvents();
    }
    window->ensurePolished();
    QList<QWidget*> controls;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || !isControl(w) || nested(w, window, isControl))
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
        if (!window->rect().contains(QRect(w->mapTo(window, QPoint(0, 0)), w->size())))
            problems << QStringLiteral("%1 reaches outside the window").arg(describe(w));
    }
    QList<const QWidget*> buddies;
    for (const QLabel* label : window->findChildren<QLabel*>())
        buddies << label->buddy();
    const auto controlOrInput = [](const QWidget* w) { return isControl(w) || isInput(w); };
    for (QWidget* w : window->findChildren<QWidget*>())
        if (isInput(w) && !nested(w, window, controlOrInput) && w->accessibleName().isEmpty() &&
            !buddies.contains(w))
            problems << QStringLiteral("%1 has no accessible name").arg(describe(w));
    for (qsizetype i = 0; i < controls.size(); ++i)
        for (qsizetype j = i + 1; j < controls.size(); ++j)
            if (controls[i]->parentWidget() == controls[j]->parentWidget() &&
                controls[i]->geometry().intersects(controls[j]->geometry()))
                problems << QStringLiteral("%1 overlaps %2")
                                .arg(describe(controls[i]), describe(controls[j]));

    const QImage picture = window->grab().toImage();
    bool flat = true;
    for (int y = 0; flat && y < picture.height(); y += 3)
        for (int x = 0; flat && x < picture.width(); x += 3)
            flat = picture.pixel(x, y) == picture.pixel(0, 0);
    if (flat)
        problems << QStringLiteral("the picture of %1 is one flat colour").arg(name);
    if (qEnvironmentVariableIsSet("PAGEWICK_WINDOW_SHOTS")) {
        const QString dir = QStringLiteral(PAGEWICK_TEST_OUTPUT_DIR "/windows");
        QDir().mkpath(dir);
        picture.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
    if (wasHidden)
        window->hide();
    return problems;
}
