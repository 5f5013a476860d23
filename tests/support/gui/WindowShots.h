#pragma once

// Renders a window to PNG under <build>/test-output/windows/<name>.png so
// anyone can look at what users see. Returns the file written.

#include <QString>
#include <QStringList>

class QWidget;

QString saveWindowShot(QWidget* window, const QString& name);

// What is wrong with how the window shows its controls, one line each; empty
// when nothing is. A window that is not shown is shown for the check (and
// hidden again). Checked: every visible label, button, box and list is at
// least its minimum size (so its text is not cut; a scrolling box at least one
// line high), lies inside the window, and overlaps no other such control of
// the same parent; every text, combo, scroll and spin box, shown or not, has
// an accessible name or a buddy label; and the window's picture is not one
// flat colour. The picture is written (as saveWindowShot) only when
// PAGEWICK_WINDOW_SHOTS is set, for a person to look at.
QStringList windowProblems(QWidget* window, const QString& name);

// Fails the running test with the window's problems, one per line.
#define CHECK_WINDOW(window, name)                                                                 \
    do {                                                                                           \
        const QStringList windowProblemList = windowProblems(window, name);                        \
        QVERIFY2(windowProblemList.isEmpty(), qPrintable(windowProblemList.join(u'\n')));          \
    } while (false)
