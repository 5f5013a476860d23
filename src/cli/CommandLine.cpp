#include "cli/CommandLine.h"

#include "cli/CliPrompt.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/Startup.h"
#include "core/entry/PageEditor.h"
#include "core/publish/Publisher.h"

#include <QFile>

#include <cstdio>
#include <memory>

const char* const kCommandUsage =
    "       pagewick post [--dir DIR] [--config N] --title TEXT\n"
    "                     (--body TEXT | --body-file FILE) [--sig TEXT] [--email TEXT]\n"
    "                     [--url URL] [--url-title TEXT] [--preview] [--save FILE]\n"
    "                     [--yes] [--use local|server]\n"
    "       pagewick restore [--dir DIR] [--config N] [--yes] [--save FILE]\n"
    "       pagewick delete-last [--dir DIR] [--config N] [--yes] [--save FILE]\n"
    "\n"
    "Commands:\n"
    "  post          fetch the page, place the entry, and publish it (or only\n"
    "                preview it with --preview)\n"
    "  restore       publish the page as it was after the last Finish\n"
    "  delete-last   remove the newest entry from the page and publish it\n"
    "\n"
    "  --config N    use configuration N (1-9) for this run only\n"
    "  --yes         answer questions Yes/OK (otherwise No/Cancel)\n"
    "  --use WHICH   when the page on the server differs from the last one\n"
    "                published: build on the 'local' or the 'server' copy\n"
    "                (default server)\n"
    "  --save FILE   where manual publishing saves the page\n"
    "Messages go to standard error as \"Title: text\", status lines to standard\n"
    "output. Exit status 0 when done, 1 when stopped, 2 for a usage error.\n";

namespace {

struct Options
{
    QString command, dir, title, body, bodyFile, sig, email, url, urlTitle, save, use;
    int config = 0;
    bool preview = false, yes = false, hasTitle = false, hasBody = false, hasSig = false,
         hasEmail = false, hasUrl = false;
};

int usage(const QString& problem)
{
    std::fprintf(stderr, "pagewick: %s\n\nUsage:\n%s", qPrintable(problem), kCommandUsage);
    return 2;
}

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
    void retrievePage(bool insertAfter) override { publisher->retrievePage(insertAfter); }
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

bool published(Publisher::Outcome o)
{
    return o == Publisher::Outcome::Published || o == Publisher::Outcome::Saved;
}

} // namespace

bool isCommand(const QStringList& args)
{
    return !args.isEmpty() && (args[0] == QLatin1String("post") ||
                               args[0] == QLatin1String("restore") ||
                               args[0] == QLatin1String("delete-last"));
}

int runCommand(const QStringList& args)
{
    Options o;
    o.command = args.value(0);
    o.use = QStringLiteral("server");
    const bool post = o.command == QLatin1String("post");
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](QString& target) {
            if (i + 1 >= args.size())
                return false;
            target = args[++i];
            return true;
        };
        bool ok = true;
        if (a == QLatin1String("--dir"))
            ok = value(o.dir);
        else if (a == QLatin1String("--config")) {
            QString n;
            ok = value(n);
            o.config = n.toInt();
            if (ok && (o.config < 1 || o.config > 9))
                return usage(QStringLiteral("--config takes a configuration number from 1 to 9"));
        } else if (a == QLatin1String("--yes"))
            o.yes = true;
        else if (a == QLatin1String("--save"))
            ok = value(o.save);
        else if (post && a == QLatin1String("--title"))
            ok = o.hasTitle = value(o.title);
        else if (post && a == QLatin1String("--body"))
            ok = o.hasBody = value(o.body);
        else if (post && a == QLatin1String("--body-file"))
            ok = value(o.bodyFile);
        else if (post && a == QLatin1String("--sig"))
            ok = o.hasSig = value(o.sig);
        else if (post && a == QLatin1String("--email"))
            ok = o.hasEmail = value(o.email);
        else if (post && a == QLatin1String("--url"))
            ok = o.hasUrl = value(o.url);
        else if (post && a == QLatin1String("--url-title"))
            ok = value(o.urlTitle);
        else if (post && a == QLatin1String("--preview"))
            o.preview = true;
        else if (post && a == QLatin1String("--use")) {
            ok = value(o.use);
            if (ok && o.use != QLatin1String("local") && o.use != QLatin1String("server"))
                return usage(QStringLiteral("--use takes 'local' or 'server'"));
        } else
            return usage(QStringLiteral("unknown option ") + a);
        if (!ok)
            return usage(a + QStringLiteral(" needs a value"));
    }
    if (post) {
        if (!o.hasTitle)
            return usage(QStringLiteral("post needs --title"));
        if (o.hasBody == !o.bodyFile.isEmpty())
            return usage(QStringLiteral("post needs either --body or --body-file"));
        if (!o.bodyFile.isEmpty()) {
            QFile f(o.bodyFile);
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "pagewick: cannot read %s\n", qPrintable(o.bodyFile));
                return 1;
            }
            o.body = QString::fromUtf8(f.readAll());
        }
    }

    QString error;
    if (!setProgramDir(o.dir.isEmpty() ? defaultProgramDir() : o.dir, &error)) {
        std::fprintf(stderr, "pagewick: %s\n", qPrintable(error));
        return 1;
    }

    CliPrompt cliPrompt;
    cliPrompt.yes = o.yes;
    cliPrompt.saveFile = o.save;
    setPrompt(&cliPrompt);
    struct Restore
    {
        ~Restore() { setPrompt(nullptr); }
    } restore;

    CliView view;
    view.entry.head = o.title;
    view.entry.main = QString(o.body).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
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
        Settings& s = settings();
        const StartupOutcome start = startUp(s, cliPrompt, view, o.config);
        if (!start.configured) {
            std::fprintf(stderr, "pagewick: no configuration in %s\n", qPrintable(s.settingsPath));
            return 1;
        }
        PageEditor flows(view, hooks);
        Publisher publisher(view, flows, hooks);
        hooks.publisher = &publisher;

        if (o.command == QLatin1String("restore")) {
            flows.restoreBackup();
            return published(publisher.lastOutcome()) ? 0 : 1;
        }
        publisher.retrievePage(false);
        if (o.command == QLatin1String("delete-last")) {
            if (!s.pageRetrieved)
                return 1;
            flows.deleteNewestEntry();
            return published(publisher.lastOutcome()) ? 0 : 1;
        }
        // A preview that only fetched and read the page is made once more,
        // as a second press of Preview would.
        flows.preview();
        if (!view.finishEnabled)
            flows.preview();
        if (!view.finishEnabled)
            return 1;
        if (o.preview)
            return 0;
        return published(publisher.publish()) ? 0 : 1;
    } catch (const CommandStopped& stop) {
        std::fprintf(stderr, "pagewick: stopped: %s\n", stop.what());
        return 1;
    }
}
