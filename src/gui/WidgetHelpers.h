#pragma once

// Small helpers the windows share while they build their controls.

#include <QLineEdit>
#include <QScrollBar>
#include <QString>

namespace Widgets {

// `widget` with its object name set: tests and the window's own code find
// controls by these names.
template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

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
    return bar;
}

} // namespace Widgets
