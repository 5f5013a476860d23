#pragma once

// What is wrong with how a window shows its controls, one line each; empty
// when nothing is. A hidden window is shown for the check (and hidden again).
// Checked: every visible label, button, box and list is at least its minimum
// size (so its text is not cut; a scrolling box at least one line high), lies
// inside the window and overlaps no other such control of the same parent;
// every text, combo, scroll and spin box, shown or not, has an accessible name
// or a buddy label; and the window's picture is not one flat colour. With
// PAGEWICK_WINDOW_SHOTS set the picture is saved for a person to look at, as
// <build>/test-output/windows/<name>.png.

#include <QString>
#include <QStringList>

class QWidget;

QStringList windowProblems(QWidget* window, const QString& name);

// Fails the running test with the window's problems, one per line.
#define CHECK_WINDOW(window, name)                                                                 \
    do {                                                                                           \
        const QStringList windowProblemList = windowProblems(window, name);                        \
        QVERIFY2(windowProblemList.isEmpty(), qPrintable(windowProblemList.join(u'\n')));          \
    } while (false)
