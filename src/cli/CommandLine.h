#pragma once

#include <QStringList>

// The command line for scripts: `pagewick post|restore|delete-last ...`. It
// runs the same flows as the window, with messages on standard error and
// status lines on standard output. Returns the exit status: 0 when the entry
// was published (or previewed with --preview), 1 when anything stopped it,
// 2 for a usage error.

// True when `args` (without the program name) name a command.
bool isCommand(const QStringList& args);
int runCommand(const QStringList& args);

extern const char* const kCommandUsage;
