#pragma once

// Small helpers the windows share while they build their controls.

#include <QEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QString>
#include <QWheelEvent>

namespace Widgets {

// `widget` with its object name set: tests and the window's own code find
// controls by these names.
template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// Rolls the wheel over a step scroll bar (below) the way its arrows go:
// rolling up raises the number, one step per notch.
class StepWheel final : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        auto* bar = static_cast<QScrollBar*>(watched);
        const int notches = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
        bar->setValue(bar->value() + notches * bar->singleStep());
        return true;
    }
};

// A small vertical scroll bar that steps the number in `box` beside it: the
// upper arrow raises the number, one step per click, as tall as the box.
inline QScrollBar* stepScrollBar(const char* name, const QString& accessibleName, int minimum,
                                 int maximum, const QLineEdit* box)
{
    auto* bar = named(new QScrollBar(Qt::Vertical), name);
    bar->setAccessibleName(accessibleName);
    bar->setRange(minimum, maximum);
    bar->setPageStep(1);
    bar->setInvertedAppearance(true);
    bar->setInvertedControls(true);
    bar->setFixedHeight(box->sizeHint().height() + 8);
    // Drawn upside down, the bar keeps Qt's arrows: the upper one would still
    // take a step off. Its steps (arrows, clicks beside the handle, keys) are
    // turned round before the value changes, and so is the wheel; dragging
    // follows the drawing.
    bar->installEventFilter(new StepWheel(bar));
    QObject::connect(bar, &QAbstractSlider::actionTriggered, bar, [bar](int action) {
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            bar->setSliderPosition(bar->value() - bar->singleStep());
            break;
        case QAbstractSlider::SliderSingleStepSub:
            bar->setSliderPosition(bar->value() + bar->singleStep());
            break;
        case QAbstractSlider::SliderPageStepAdd:
            bar->setSliderPosition(bar->value() - bar->pageStep());
            break;
        case QAbstractSlider::SliderPageStepSub:
            bar->setSliderPosition(bar->value() + bar->pageStep());
            break;
        default:
            break;
        }
    });
    return bar;
}

} // namespace Widgets
