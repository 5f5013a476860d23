#pragma once

// The program's pictures: its own icon, and the toolbar icons it draws for
// desktops whose icon theme lacks one.

#include <QIcon>

namespace Icons {

// Pagewick's icon (a page with a quill), for its windows.
QIcon application();

// The desktop theme's icon `themeName`, or the program's own drawing
// `fallback` (a file name under :/icons/toolbar/) where the theme has none.
QIcon themed(const char* themeName, const char* fallback);

} // namespace Icons
