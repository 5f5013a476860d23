#pragma once

#include "cli/Arguments.h"

class MainView;
class PageEditorHooks;
class Workspace;

// `pagewick entries|edit|delete` once the page has been obtained: the list
// of entries on standard output, or one entry changed or removed and the
// page published. Returns -1 for any other command, 1 when it stopped, 0
// when it listed the entries or went as far as publishing (whose outcome
// the caller reads). `html` is the text of edit's --html-file.
int runEntryCommand(const CommandOptions& options, const QString& html, Workspace& ws,
                    MainView& view, PageEditorHooks& hooks);
