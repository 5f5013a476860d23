#pragma once

// Renders a window to PNG under <build>/test-output/windows/<name>.png so
// anyone can look at what users see. Returns the file written.

#include <QString>
#include <QStringList>

class QWidget;

QString saveWindowShot(QWidget* window, const QString& name);

// What is wrong with how the window shows its controls, one line each; empty
// when nothing is. A window that is not shown is shown for the check (and
// hidden again). Checked: every visible label, button, box and list is at least its
// minimum size (so its text is not cut), lies inside the window, and overlaps
// no other such control of the same parent; and the window's picture is not
// one flat colour. The picture is written (as saveWindowShot) only when
// PAGEWICK_WINDOW_SHOTS is set, for a person to look at.
QStringList windowProblems(QWidget* window, const QString& name);
