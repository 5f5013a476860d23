#pragma once

#include "cli/Arguments.h"

// The command line for scripts: `pagewick post|restore|delete-last|resend
// ...`, its arguments read by parseArguments(). It runs the same flows as the
// window, with messages on standard error and status lines on standard
// output. Returns the exit status: 0 when the entry was published (or
// previewed with --preview), 1 when anything stopped it.
int runCommand(const CommandOptions& options);
