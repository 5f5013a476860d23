#pragma once

#include "cli/Arguments.h"

// The command line for scripts: `pagewick post|restore|delete-last|resend|
// entries|edit|delete ...`, its arguments read by parseArguments(). It runs
// the same flows as the window, with messages on standard error and status
// lines on standard output (none for `entries`, whose list is the output). Returns the exit status:
// 0 when the entry was published (or previewed with --preview, or the entries listed), 1 when
// anything stopped it.
int runCommand(const CommandOptions& options);
