#pragma once

// The loaders in one go, for tests: each waits (up to a minute) until the
// keyring has answered, as the window and the command line do on the event
// loop.

#include "core/Startup.h"
#include "core/config/ConfigLoader.h"
#include "core/config/PasswordStore.h"

ConfigLoadResult loadConfiguration(int number, Settings& s, Prompt& prompt, MainView& view);
StartupOutcome startUp(Workspace& ws, MainView& view, int configOverride = 0);

namespace PasswordStore {
Loaded load(const QString& settingsPath, const Account& account, Prompt& prompt);
} // namespace PasswordStore
