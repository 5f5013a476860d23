#include "core/Startup.h"

#include "base/IniFile.h"
#include "base/MainView.h"
#include "base/Prompt.h"
#include "base/Workspace.h"
#include "core/config/ConfigLoader.h"

#include <cmath>

namespace {

// Sections "1" to "9" hold configurations; anything else in section General
// (a hand-edited "0", "12" or a word) falls back to configuration 1.
int configNumber(const QString& text)
{
    const double v = numericValue(text);
    return (v >= 1 && v <= 9 && v == std::floor(v)) ? static_cast<int>(v) : 1;
}

} // namespace

namespace {

// Before the configuration loads: the settings path, the commands off, and
// which configuration. Without one the user is told so first.
int prepare(Workspace& ws, MainView& view, int configOverride, StartupOutcome& out)
{
    Settings& s = ws.settings();
    Prompt& prompt = ws.prompt();
    s.settingsPath = ws.file(QStringLiteral("weblog.ini"));
    ws.run().pageRetrieved = false;
    view.setPublishingEnabled(false);
    view.setResendVisible(false);

    const QString config =
        readSetting(s.settingsPath, QStringLiteral("General"), QStringLiteral("Config"));
    out.configured = !config.isEmpty() || configOverride > 0;
    if (out.configured) {
        const int number = configOverride > 0 ? configOverride : configNumber(config);
        s.activeSection = QString::number(number);
        return number;
    }
    s.activeSection = QStringLiteral("1");
    prompt.message(QStringLiteral("No weblog.ini entry found.  Please configure your program "
                                  "under the SETUP menu."));
    view.appendStatus(QStringLiteral("No Config Loaded"));
    view.appendStatus(QStringLiteral("Goto CONFIG under the SETUP Menu"));
    view.setPublishingEnabled(false);
    view.setPreferencesEnabled(true);
    return 1;
}

StartupOutcome loaded(const ConfigLoadResult& loaded, Workspace& ws, MainView& view,
                      StartupOutcome out)
{
    // The loader has already told the user about the failed upload (with
    // the same words start-up would use), so the box is not shown twice.
    if (out.configured && loaded.failFound && ws.settings().autoFtp()) {
        ws.prompt().openDocument(ws.workFile(QStringLiteral("webbie")));
        view.appendStatus(QStringLiteral("RESEND to retry"));
        view.setPublishingEnabled(true);
        view.setResendEnabled(true);
        view.setResendVisible(true);
        view.setFinishEnabled(false);
        out.resendOffered = true;
    }
    return out;
}

} // namespace

void startUp(Workspace& ws, MainView& view, int configOverride, QObject* context,
             std::function<void(const StartupOutcome&)> done)
{
    StartupOutcome out;
    const int number = prepare(ws, view, configOverride, out);
    loadAll(number, ws.settings(), ws.prompt(), view, context,
            [&ws, &view, out, done](const ConfigLoadResult& result) {
                done(loaded(result, ws, view, out));
            });
}
