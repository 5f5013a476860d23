#include "cli/CommandLine.h"

#include "base/ProgramDir.h"
#include "base/TextCodec.h"
#include "base/Workspace.h"
#include "cli/CliPrompt.h"
#include "cli/EntryCommands.h"
#include "cli/SignalStop.h"
#include "core/Startup.h"
#include "core/entry/PageEditor.h"
#include "core/picture/PictureStore.h"
#include "core/publish/Publisher.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

// The hooks the flows need: retrieval and publishing go to the publisher,
// the local-or-server choice is answered by --use, and whatever would open
// the preferences dialog stops the command.
class CliHooks final : public PageEditorHooks
{
public:
    CliView& view;
    QString choice;
    Publisher* publisher = nullptr;

    CliHooks(CliView& v, const QString& use) : view(v), choice(use) {}
    void retrievePage(bool insertAfter, std::function<void()> then) override
    {
        publisher->retrievePage(insertAfter, std::move(then));
    }
    void publish() override { publisher->publish(); }
    QString choosePageSource() override { return choice; }
    void showPreferences() override
    {
        throw CommandStopped("the configuration needs attention: open Pagewick's window and "
                             "choose Config under the SetUp menu");
    }
    void setPreviewEnabled(bool enabled) override { view.previewEnabled = enabled; }
    void showFields(const EntryFields& fields) override { view.entry = fields; }
};

// Prepares the pictures and puts their tags at the end of the body, each on
// a line of its own. All are checked before any is prepared; false after
// the message when one cannot be used.
bool addPictures(const QList<PictureOption>& pictures, Workspace& ws, CliView& view)
{
    QString error;
    const bool usable = std::all_of(pictures.begin(), pictures.end(), [&](const auto& p) {
        return Picture::inspect(p.file, &error).has_value();
    });
    QString tags;
    for (qsizetype i = 0; usable && i < pictures.size(); ++i) {
        const auto placed =
            Picture::place(pictures[i].file, pictures[i].alt, ws.settings(), &error);
        if (!placed)
            break;
        for (const QString& note : placed->notes)
            view.appendStatus(note);
        tags += QStringLiteral("\r\n") + placed->tag;
    }
    if (!error.isEmpty()) {
        ws.prompt().message(error + QStringLiteral("  Nothing was sent."), Buttons::Ok,
                            Icon::Exclamation, QCoreApplication::translate("Picture", "Picture"));
        return false;
    }
    view.entry.main += tags;
    return true;
}

bool published(Publisher::Outcome o)
{
    return o == Publisher::Outcome::Published || o == Publisher::Outcome::Saved;
}

// co_await on a JobsEnded: goes on once the publisher's jobs have all ended
// (at once when none runs), and throws what stopped one of them. `waiting`
// keeps the command's steps until jobsEnded resumes them.
struct JobsEnded
{
    Publisher& publisher;
    std::coroutine_handle<>& waiting;

    bool await_ready() const noexcept { return !publisher.isRunning(); }
    void await_suspend(std::coroutine_handle<> steps) noexcept { waiting = steps; }
    void await_resume() const
    {
        if (std::exception_ptr stopped = publisher.takeJobError())
            std::rethrow_exception(stopped);
    }
};

// co_await on a Parked: the coroutine waits in `slot` until a callback
// resumes it, unless it is `ready` already.
struct Parked
{
    std::coroutine_handle<>& slot;
    bool ready;

    bool await_ready() const noexcept { return ready; }
    void await_suspend(std::coroutine_handle<> waiting) noexcept { slot = waiting; }
    void await_resume() const noexcept {}
};

NetTask<bool> allEnded(Publisher& publisher, std::coroutine_handle<>& waiting)
{
    JobsEnded ended{publisher, waiting}; // named: GCC 12 mishandles temporary awaiters
    co_await ended;
    co_return true;
}

std::optional<QString> readUtf8File(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "pagewick: cannot read %s\n", qPrintable(path));
        return std::nullopt;
    }
    const QByteArray bytes = f.readAll();
    if (const qsizetype bad = TextCodec::firstInvalidUtf8(bytes); bad >= 0) {
        std::fprintf(stderr,
                     "pagewick: %s is not UTF-8 text: byte %lld (offset from 0) is "
                     "0x%02X; save it as UTF-8 and try again\n",
                     qPrintable(path), static_cast<long long>(bad),
                     static_cast<unsigned char>(bytes[bad]));
        return std::nullopt;
    }
    return QString::fromUtf8(bytes);
}

} // namespace

int runCommand(const CommandOptions& o)
{
    const bool post = o.command == QLatin1String("post");
    // Named from where the command was given: the program directory becomes
    // the working directory.
    QList<PictureOption> pictures = o.pictures;
    for (PictureOption& picture : pictures) {
        picture.file = QFileInfo(picture.file).absoluteFilePath();
        if (!picture.hasAlt) {
            std::fprintf(stderr,
                         "pagewick: the picture %s has no --alt text: say what it shows (--alt "
                         "\"\" for a picture that only decorates); nothing was sent\n",
                         qPrintable(picture.file));
            return 1;
        }
    }
    QString body = o.body, html;
    for (const auto& [file, text] :
         {std::pair(post ? o.bodyFile : QString(), &body), std::pair(o.htmlFile, &html)}) {
        if (file.isEmpty())
            continue;
        const std::optional<QString> read = readUtf8File(file);
        if (!read)
            return 1;
        *text = *read;
    }

    QString error;
    const QString dir = prepareProgramDir(o.dir.isEmpty() ? defaultProgramDir() : o.dir, &error);
    if (dir.isEmpty()) {
        std::fprintf(stderr, "pagewick: %s\n", qPrintable(error));
        return 1;
    }

    CliPrompt cliPrompt;
    cliPrompt.yes = o.yes;
    cliPrompt.saveFile = o.save;
    Workspace ws(dir, cliPrompt);

    // The entry list alone goes to standard output, without status lines.
    CliView view(o.command == QLatin1String("entries") ? nullptr : stdout);
    view.entry.head = o.title;
    view.entry.main = body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                          .replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    view.entry.sig = o.sig;
    view.entry.email = o.email;
    view.entry.url = o.hasUrl ? o.url : QStringLiteral("http://");
    view.entry.urlTitle = o.urlTitle;
    view.sigGiven = o.hasSig;
    view.emailGiven = o.hasEmail;

    CliHooks hooks(view, o.use == QLatin1String("local") ? QStringLiteral("Local")
                                                         : QStringLiteral("Server"));
    try {
        Settings& s = ws.settings();
        PageEditor flows(ws, view, hooks);
        Publisher publisher(ws, view, flows, hooks);
        hooks.publisher = &publisher;
        publisher.setLiveChangeAnswer(o.merge       ? Publisher::LiveChange::Merge
                                      : o.overwrite ? Publisher::LiveChange::Overwrite
                                                    : Publisher::LiveChange::Stop);
        // Ctrl+C or SIGTERM stops the running transfer; the command then ends
        // at the next step with status 1.
        SignalStop interrupt([&publisher] { publisher.stop(); });
        const auto ended = [&](bool success) {
            if (!interrupt.signalled())
                return success ? 0 : 1;
            std::fprintf(stderr, "pagewick: stopped: interrupted; the live files on the server "
                                 "were left as they were\n");
            return 1;
        };

        // The command's steps; each waits for the jobs it started to end.
        std::coroutine_handle<> waiting;
        QObject::connect(&publisher, &Publisher::jobsEnded, &publisher, [&waiting] {
            if (std::coroutine_handle<> steps = std::exchange(waiting, {}))
                steps.resume();
        });
        const auto steps = [&]() -> NetTask<int> {
            // The configuration, once the keyring has answered for its password.
            std::optional<StartupOutcome> start;
            startUp(ws, view, o.config, &publisher,
                    [&start, &waiting](const StartupOutcome& outcome) {
                        start = outcome;
                        if (std::coroutine_handle<> steps = std::exchange(waiting, {}))
                            steps.resume();
                    });
            Parked keyring{waiting, start.has_value()};
            co_await keyring;
            if (!start->configured) {
                std::fprintf(stderr, "pagewick: no configuration in %s\n",
                             qPrintable(s.settingsPath));
                co_return 1;
            }
            if (!addPictures(pictures, ws, view))
                co_return 1;
            if (o.command == QLatin1String("resend")) {
                if (!s.lastUploadFailed()) {
                    std::fprintf(stderr,
                                 "pagewick: nothing to resend: the last upload did not fail\n");
                    co_return 1;
                }
                publisher.resend();
                co_await allEnded(publisher, waiting);
                co_return ended(published(publisher.lastOutcome()));
            }
            if (post && s.lastUploadFailed())
                std::fprintf(stderr, "pagewick: the last upload failed; 'pagewick resend' sends "
                                     "it again\n");
            if (o.command == QLatin1String("restore")) {
                flows.restoreBackup();
                co_await allEnded(publisher, waiting);
                co_return ended(published(publisher.lastOutcome()));
            }
            // One retrieval per command: a failed one has told the user why, and
            // trying again at once would only wait and say the same again.
            publisher.retrievePage(false);
            co_await allEnded(publisher, waiting);
            if (!ws.run().pageRetrieved || interrupt.signalled())
                co_return ended(false);
            if (const int status = runEntryCommand(o, html, ws, view, hooks); status >= 0) {
                co_await allEnded(publisher, waiting);
                co_return status == 0 && o.command != QLatin1String("entries")
                    ? ended(published(publisher.lastOutcome()))
                    : status;
            }
            if (o.command == QLatin1String("delete-last")) {
                flows.deleteNewestEntry();
                co_await allEnded(publisher, waiting);
                co_return ended(published(publisher.lastOutcome()));
            }
            flows.preview();
            co_await allEnded(publisher, waiting);
            if (!view.finishEnabled || interrupt.signalled())
                co_return ended(false);
            if (o.preview)
                co_return 0;
            publisher.publish();
            co_await allEnded(publisher, waiting);
            co_return ended(published(publisher.lastOutcome()));
        };
        // The one event loop of the command runs until its steps have ended.
        NetTask<int> command = steps();
        bool done = false;
        command.start([&done] {
            done = true;
            QCoreApplication::quit();
        });
        if (!done)
            QCoreApplication::exec();
        return command.result();
    } catch (const CommandStopped& stop) {
        std::fprintf(stderr, "pagewick: stopped: %s\n", stop.what());
        return 1;
    }
}
