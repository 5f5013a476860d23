#include "Waiting.h"

#include <QObject>
#include <QTest>

#include <optional>

namespace {

template <typename Result, typename Start> Result waitFor(Start start)
{
    std::optional<Result> result;
    QObject context;
    start(&context, [&result](const Result& r) { result = r; });
    if (!QTest::qWaitFor([&result] { return result.has_value(); }, 60000))
        qWarning("The keyring did not answer within a minute");
    return result.value_or(Result());
}

} // namespace

ConfigLoadResult loadConfiguration(int number, Settings& s, Prompt& prompt, MainView& view)
{
    return waitFor<ConfigLoadResult>([&](QObject* context, auto done) {
        loadConfiguration(number, s, prompt, view, context, done);
    });
}

StartupOutcome startUp(Workspace& ws, MainView& view, int configOverride)
{
    return waitFor<StartupOutcome>(
        [&](QObject* context, auto done) { startUp(ws, view, configOverride, context, done); });
}

PasswordStore::Loaded PasswordStore::load(const QString& settingsPath, const Account& account,
                                          Prompt& prompt)
{
    return waitFor<Loaded>(
        [&](QObject* context, auto done) { load(settingsPath, account, prompt, context, done); });
}
