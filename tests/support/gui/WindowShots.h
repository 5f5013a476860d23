#pragma once

// Renders a window to PNG under <build>/test-output/windows/<name>.png so
// anyone can look at what users see. Returns the file written.

#include <QString>

class QWidget;

QString saveWindowShot(QWidget* window, const QString& name);
