#include "cli/CommandLine.h"

#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "cli/CliPrompt.h"
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
    "       pagewick resend [--dir DIR] [--config N]\n"
    "\n"
    "Commands:\n"
    "  post          fetch the page, place the entry, and publish it (or only\n"
    "                preview it with --preview)\n"
    "  restore       publish the page as it was after the last Finish\n"
    "  delete-last   remove the newest entry from the page and publish it\n"
    "  resend        after a failed upload (Fail=True in weblog.ini), send the\n"
    "                same edited page again, as the window's Resend button does;\n"
    "                post says when a resend is waiting\n"
    "\n"
    "  --config N    use configuration N (1-9) for this run only\n"
    "  --yes         answer questions Yes/OK (otherwise No/Cancel)\n"
    "  --use WHICH   when the page on the server differs from the last one\n"
    "                published: build on the 'local' or the 'server' copy\n"
    "                (default server)\n"
    "  --save FILE   where manual publishing saves the page\n"
    "  --body-file   must hold UTF-8 text; any other bytes are refused with\n"
    "                the file name and the offset of the first bad byte\n"
    "Messages go to standard error as \"Title: text\", status lines to standard\n"
    "output. Exit status 0 when done, 1 when stopped, 2 for a usage error.\n";

namespace {

// Offset of the first byte that is not part of well-formed UTF-8 (no
// overlong forms, no surrogates, nothing above U+10FFFF); -1 when all are.
qsizetype firstInvalidUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        int more = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0)
                low = 0xA0;
            else if (c == 0xED)
                high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F;
        } else {
            return i;
        }
        for (int k = 1; k <= more; ++k) {
            if (i + k >= n)
                return i;
            const unsigned char d = p[i + k];
            if (d < (k == 1 ? low : 0x80) || d > (k == 1 ? high : 0xBF))
                return i;
        }
        i += more + 1;
    }
    return -1;
}

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
    return !args.isEmpty() &&
           (args[0] == QLatin1String("post") || args[0] == QLatin1String("restore") ||
            args[0] == QLatin1String("delete-last") || args[0] == QLatin1String("resend"));
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
            const QByteArray bytes = f.readAll();
            if (const qsizetype bad = firstInvalidUtf8(bytes); bad >= 0) {
                std::fprintf(stderr,
                             "pagewick: %s is not UTF-8 text: byte %lld (offset from 0) is "
                             "0x%02X; save it as UTF-8 and try again\n",
                             qPrintable(o.bodyFile), static_cast<long long>(bad),
                             static_cast<unsigned char>(bytes[bad]));
                return 1;
            }
            o.body = QString::fromUtf8(bytes);
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
    view.entry.main = QString(o.body)
                          .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
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

        if (o.command == QLatin1String("resend")) {
            if (!s.lastUploadFailed()) {
                std::fprintf(stderr, "pagewick: nothing to resend: the last upload did not fail\n");
                return 1;
            }
            publisher.resend();
            return published(publisher.lastOutcome()) ? 0 : 1;
        }
        if (post && s.lastUploadFailed())
            std::fprintf(stderr, "pagewick: the last upload failed; 'pagewick resend' sends it "
                                 "again\n");
        if (o.command == QLatin1String("restore")) {
            flows.restoreBackup();
            return published(publisher.lastOutcome()) ? 0 : 1;
        }
        // One retrieval per command: a failed one has told the user why, and
        // trying again at once would only wait and say the same again.
        publisher.retrievePage(false);
        if (!s.pageRetrieved)
            return 1;
        if (o.command == QLatin1String("delete-last")) {
            flows.deleteNewestEntry();
            return published(publisher.lastOutcome()) ? 0 : 1;
        }
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
