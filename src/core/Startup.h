#pragma once

#include <QString>

#include <functional>

class MainView;
class QObject;
class Workspace;

// What start-up found, so the window can finish its part (splash, showing
// the preferences dialog, fetching the page).
struct StartupOutcome
{
    bool configured = false;    // section General named an active configuration
    bool resendOffered = false; // last automatic upload failed: Resend replaces Finish
};

// The start-up work shared by the window and the command line: settings path,
// active configuration, the loaders, and the resend offer after a failed
// upload. `configOverride` (1..9,
// 0 for none) loads that configuration for this run without making it the
// active one in weblog.ini. `done` runs once the keyring has answered for
// the configuration's password (at once when it is not asked), unless
// `context` is gone.
void startUp(Workspace& ws, MainView& view, int configOverride, QObject* context,
             std::function<void(const StartupOutcome&)> done);
