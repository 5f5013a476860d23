#include "cli/Arguments.h"

#include "base/ProgramDir.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(Arguments)
};

enum Command : unsigned
{
    Post = 1,
    Restore = 2,
    DeleteLast = 4,
    Resend = 8,
    Entries = 16,
    Edit = 32,
    Delete = 64,
    Every = 127,
    Publishing = Every & ~Entries
};

struct CommandSpec
{
    const char* name;
    Command bit;
    const char* synopsis; // after "Usage: " or as many blanks
    const char* summary;
};

const CommandSpec kCommands[] = {
    {"post", Post,
     "pagewick post [--dir DIR] [--config N] --title TEXT\n"
     "                     (--body TEXT | --body-file FILE) [--sig TEXT] [--email TEXT]\n"
     "                     [--url URL] [--url-title TEXT] [--preview] [--save FILE]\n"
     "                     [--picture FILE --alt TEXT]... [--yes] [--use local|server]\n"
     "                     [--merge | --overwrite]",
     QT_TRANSLATE_NOOP("Arguments", "fetch the page, place the entry, and publish it (or only "
                                    "preview it with --preview)")},
    {"restore", Restore,
     "pagewick restore [--dir DIR] [--config N] [--yes] [--save FILE]\n"
     "                     [--overwrite]",
     QT_TRANSLATE_NOOP("Arguments", "publish the page as it was after the last Finish")},
    {"delete-last", DeleteLast,
     "pagewick delete-last [--dir DIR] [--config N] [--yes] [--save FILE]\n"
     "                     [--overwrite]",
     QT_TRANSLATE_NOOP("Arguments", "remove the newest entry from the page and publish it")},
    {"resend", Resend,
     "pagewick resend [--dir DIR] [--config N] [--yes] [--save FILE]\n"
     "                     [--overwrite]",
     QT_TRANSLATE_NOOP("Arguments",
                       "after a failed upload (Fail=True in weblog.ini), send the same edited page "
                       "again, as the window's Resend button does; post says when a resend is "
                       "waiting")},
    {"entries", Entries, "pagewick entries [--dir DIR] [--config N] [--archive]",
     QT_TRANSLATE_NOOP("Arguments",
                       "fetch the page and print one line per entry, newest first: its anchor "
                       "('-' when it has none), date, time and title, separated by blanks")},
    {"edit", Edit,
     "pagewick edit [--dir DIR] [--config N] --entry ANCHOR --html-file FILE\n"
     "                     [--yes] [--save FILE] [--overwrite]",
     QT_TRANSLATE_NOOP("Arguments",
                       "replace the text of the entry named ANCHOR by the HTML in FILE and publish "
                       "the page; the entry's time/date marker and anchor stay")},
    {"delete", Delete,
     "pagewick delete [--dir DIR] [--config N] --entry ANCHOR\n"
     "                     [--yes] [--save FILE] [--overwrite]",
     QT_TRANSLATE_NOOP("Arguments", "remove the entry named ANCHOR from the page and publish it")},
};

struct OptionInfo
{
    const char* name;
    const char* value; // null for a switch
    unsigned commands;
    const char* description;
};

// --dir first: the window takes it too.
const OptionInfo kOptions[] = {
    {"dir", "DIR", Every,
     QT_TRANSLATE_NOOP("Arguments", "use DIR as the program directory (weblog.ini, template, "
                                    "working files); default $XDG_DATA_HOME/pagewick")},
    {"config", "N", Every,
     QT_TRANSLATE_NOOP("Arguments", "use configuration N (1-9) for this run only")},
    {"title", "TEXT", Post, QT_TRANSLATE_NOOP("Arguments", "the title of the entry; required")},
    {"body", "TEXT", Post,
     QT_TRANSLATE_NOOP("Arguments", "the body of the entry, which may hold HTML")},
    {"body-file", "FILE", Post,
     QT_TRANSLATE_NOOP("Arguments",
                       "read the body from FILE instead; it must hold UTF-8 text: any other "
                       "bytes are refused with the file name and the offset of the first bad "
                       "byte")},
    {"sig", "TEXT", Post, QT_TRANSLATE_NOOP("Arguments", "the signature of the entry")},
    {"email", "TEXT", Post, QT_TRANSLATE_NOOP("Arguments", "the e-mail address of the entry")},
    {"url", "URL", Post, QT_TRANSLATE_NOOP("Arguments", "the address of the entry's link")},
    {"url-title", "TEXT", Post, QT_TRANSLATE_NOOP("Arguments", "the text of the entry's link")},
    {"picture", "FILE", Post,
     QT_TRANSLATE_NOOP("Arguments",
                       "add the picture FILE (PNG, JPEG, GIF, WebP or SVG) at the end of the "
                       "body; its copy, scaled down to the configuration's picturewidth, goes "
                       "into the pictures folder of the program directory and is published "
                       "with the page, into the pictures folder beside it; may be given more "
                       "than once")},
    {"alt", "TEXT", Post,
     QT_TRANSLATE_NOOP("Arguments",
                       "the alternative text of the --picture before it, required for each "
                       "picture; --alt \"\" marks a picture that only decorates")},
    {"preview", nullptr, Post,
     QT_TRANSLATE_NOOP("Arguments", "only build the page and show the preview; publish nothing")},
    {"use", "WHICH", Post,
     QT_TRANSLATE_NOOP("Arguments",
                       "when the page on the server differs from the last one published: build "
                       "on the 'local' or the 'server' copy (default server)")},
    {"archive", nullptr, Entries,
     QT_TRANSLATE_NOOP("Arguments", "list the entries of the archive page instead")},
    {"entry", "ANCHOR", Edit | Delete,
     QT_TRANSLATE_NOOP("Arguments", "the anchor name of the entry, as 'pagewick entries' "
                                    "prints it; required")},
    {"html-file", "FILE", Edit,
     QT_TRANSLATE_NOOP("Arguments",
                       "the entry's new HTML, UTF-8 text without time/date or end markers; "
                       "required")},
    {"yes", nullptr, Publishing,
     QT_TRANSLATE_NOOP("Arguments", "answer questions Yes/OK (otherwise No/Cancel)")},
    {"save", "FILE", Publishing,
     QT_TRANSLATE_NOOP("Arguments", "where manual publishing saves the page")},
    {"merge", nullptr, Post,
     QT_TRANSLATE_NOOP("Arguments",
                       "when the page or archive page on the server changed since Pagewick last "
                       "retrieved or published it (edited by hand, say): fetch the server's "
                       "version, put the entry into it and publish that; without --merge or "
                       "--overwrite such a change stops the command and nothing is sent")},
    {"overwrite", nullptr, Publishing,
     QT_TRANSLATE_NOOP("Arguments",
                       "publish over a page or archive page that changed on the server since "
                       "Pagewick last retrieved or published it")},
};

const char* const kHelp = QT_TRANSLATE_NOOP("Arguments", "print this help and exit");

// `text` broken into lines of at most 79 columns, those after the first
// indented by `indent`; the first goes on after `column` characters.
QString wrapped(const QString& text, int indent, qsizetype column = 0)
{
    QString result;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts)) {
        if (!result.isEmpty() && column + 1 + word.size() > 79) {
            result += u'\n' + QString(indent, u' ');
            column = indent;
        } else if (!result.isEmpty()) {
            result += u' ';
            ++column;
        }
        result += word;
        column += word.size();
    }
    return result + u'\n';
}

// "  --title TEXT      the title ..." with the descriptions in one column.
QString item(const QString& names, const QString& description)
{
    constexpr int kColumn = 20;
    QString line = u"  "_s + names;
    line += line.size() < kColumn - 1 ? QString(kColumn - line.size(), u' ')
                                      : u'\n' + QString(kColumn, u' ');
    return line + wrapped(description, kColumn, kColumn);
}

QString optionItem(const OptionInfo& o, const QString& suffix = {})
{
    const QString names =
        u"--"_s + QLatin1String(o.name) + (o.value ? u' ' + QLatin1String(o.value) : QString());
    return item(names, Texts::tr(o.description) + suffix);
}

QString trailer()
{
    return u'\n' +
           wrapped(Texts::tr("A value follows its option as --title TEXT or --title=TEXT. Messages "
                             "go to standard error as \"Title: text\", status lines to standard "
                             "output. Exit status 0 when done, 1 when stopped, 2 for a usage "
                             "error (an unknown command or option, a missing or wrong value)."),
                   0);
}

QString programUsage()
{
    QString usage = u"pagewick [--dir DIR]\n       pagewick --version | --help\n"_s;
    for (const CommandSpec& c : kCommands)
        usage += u"       "_s + QLatin1String(c.synopsis) + u'\n';
    return usage + u"       pagewick COMMAND --help\n"_s;
}

// " (post only)", " (edit, delete)": the commands of an option that only
// one or two take.
QString onlyFor(unsigned commands)
{
    QStringList names;
    for (const CommandSpec& c : kCommands)
        if (commands & c.bit)
            names << QLatin1String(c.name);
    if (names.size() == 1)
        return Texts::tr(" (%1 only)").arg(names.first());
    return names.size() == 2 ? u" ("_s + names.join(u", "_s) + u')' : QString();
}

QString programHelp()
{
    QString help = u"Usage: "_s + programUsage() + u'\n' + Texts::tr("Commands:") + u'\n';
    for (const CommandSpec& c : kCommands)
        help += item(QLatin1String(c.name), Texts::tr(c.summary));
    help += u'\n' + Texts::tr("Options:") + u'\n' + optionItem(kOptions[0]) +
            item(u"--version"_s, Texts::tr("print the version and exit")) +
            item(u"--help, -h"_s, Texts::tr(kHelp)) + u'\n' +
            Texts::tr("Options of the commands (each takes --dir DIR and --help too):") + u'\n';
    for (const OptionInfo& o : kOptions)
        if (&o != &kOptions[0])
            help += optionItem(o, onlyFor(o.commands));
    return help + trailer();
}

QString commandHelp(const CommandSpec& c)
{
    QString help = u"Usage: "_s + QLatin1String(c.synopsis) + u"\n\n"_s +
                   wrapped(Texts::tr(c.summary), 0) + u'\n' + Texts::tr("Options:") + u'\n';
    for (const OptionInfo& o : kOptions)
        if (o.commands & c.bit)
            help += optionItem(o);
    return help + item(u"--help, -h"_s, Texts::tr(kHelp)) + trailer();
}

// Says what is wrong, then how it is used; the exit status of a usage error.
int refuse(const QString& problem, const QString& usage, const QString& helpCommand)
{
    std::fprintf(stderr, "pagewick: %s\n\nUsage: %s%s\n", qPrintable(problem), qPrintable(usage),
                 qPrintable(Texts::tr("Try '%1 --help' for more.").arg(helpCommand)));
    return 2;
}

// Why `parser` refused `args`: an unknown option, an option without its
// value, a switch with one, or (for anything else) the parser's words.
QString refusal(const QCommandLineParser& parser, const QStringList& args,
                const QList<QCommandLineOption>& options)
{
    if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty())
        return Texts::tr("unknown option %1")
            .arg((unknown.first().size() == 1 ? u"-"_s : u"--"_s) + unknown.first());
    const QString last = args.isEmpty() ? QString() : args.last();
    for (const QCommandLineOption& o : options) {
        const QString name = u"--"_s + o.names().constLast();
        if (!o.valueName().isEmpty() && last == name)
            return Texts::tr("%1 needs a value").arg(name);
        const auto joined = [&](const QString& a) { return a.startsWith(name + u'='); };
        if (o.valueName().isEmpty() && std::any_of(args.begin(), args.end(), joined))
            return Texts::tr("%1 takes no value").arg(name);
    }
    return parser.errorText();
}

// The --picture and --alt options of `args` in their order, each --alt
// going with the --picture before it; false (with the problem) for an --alt
// without a picture of its own.
bool pictureOptions(const QStringList& args, unsigned command, QList<PictureOption>& pictures,
                    QString& problem)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == u"--"_s)
            break;
        const OptionInfo* option = nullptr;
        for (const OptionInfo& o : kOptions)
            if ((o.commands & command) && o.value &&
                (arg == u"--"_s + QLatin1String(o.name) ||
                 arg.startsWith(u"--"_s + QLatin1String(o.name) + u'=')))
                option = &o;
        if (!option)
            continue;
        const qsizetype eq = arg.indexOf(u'=');
        const QString value = eq >= 0 ? arg.mid(eq + 1) : args.value(++i);
        if (qstrcmp(option->name, "picture") == 0) {
            pictures.append({value, QString(), false});
        } else if (qstrcmp(option->name, "alt") == 0) {
            if (pictures.isEmpty() || pictures.last().hasAlt) {
                problem = Texts::tr("--alt %1 follows no --picture of its own").arg(value);
                return false;
            }
            pictures.last().alt = value;
            pictures.last().hasAlt = true;
        }
    }
    return true;
}

// The options of command `c` into `o`; returns the exit status when done
// here (help, usage error), otherwise -1.
int parseCommand(const CommandSpec& c, const QStringList& args, CommandOptions& o)
{
    QList<QCommandLineOption> options;
    for (const OptionInfo& s : kOptions)
        if (s.commands & c.bit)
            options << (s.value ? QCommandLineOption(QLatin1String(s.name), QString(),
                                                     QLatin1String(s.value))
                                : QCommandLineOption(QLatin1String(s.name)));
    const QCommandLineOption help(QStringList{u"h"_s, u"help"_s});
    QCommandLineParser parser;
    parser.addOptions(options);
    parser.addOption(help);
    const QString name = u"pagewick "_s + QLatin1String(c.name);
    const auto fail = [&](const QString& problem) {
        return refuse(problem, QLatin1String(c.synopsis) + u'\n', name);
    };
    if (!parser.parse(QStringList{name} + args))
        return fail(refusal(parser, args, options));
    if (parser.isSet(help)) {
        std::fputs(qPrintable(commandHelp(c)), stdout);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(Texts::tr("unexpected argument %1").arg(parser.positionalArguments().first()));

    const auto take = [&](const QString& option, QString& target) {
        const bool given = parser.isSet(option);
        if (given)
            target = parser.value(option);
        return given;
    };
    take(u"dir"_s, o.dir);
    if (c.bit & Publishing) {
        take(u"save"_s, o.save);
        o.yes = parser.isSet(u"yes"_s);
        o.overwrite = parser.isSet(u"overwrite"_s);
        o.merge = c.bit == Post && parser.isSet(u"merge"_s);
        if (o.merge && o.overwrite)
            return fail(Texts::tr("--merge and --overwrite cannot be given together"));
    }
    if (QString n; take(u"config"_s, n)) {
        o.config = n.toInt();
        if (o.config < 1 || o.config > 9)
            return fail(Texts::tr("--config takes a configuration number from 1 to 9"));
    }
    if (c.bit == Entries) {
        o.archive = parser.isSet(u"archive"_s);
        return -1;
    }
    if (c.bit == Edit || c.bit == Delete) {
        if (!take(u"entry"_s, o.entry) || o.entry.isEmpty())
            return fail(Texts::tr("%1 needs --entry").arg(QLatin1String(c.name)));
        if (c.bit == Edit && (!take(u"html-file"_s, o.htmlFile) || o.htmlFile.isEmpty()))
            return fail(Texts::tr("edit needs --html-file"));
        return -1;
    }
    if (c.bit != Post)
        return -1;
    o.hasTitle = take(u"title"_s, o.title);
    o.hasBody = take(u"body"_s, o.body);
    take(u"body-file"_s, o.bodyFile);
    o.hasSig = take(u"sig"_s, o.sig);
    o.hasEmail = take(u"email"_s, o.email);
    o.hasUrl = take(u"url"_s, o.url);
    take(u"url-title"_s, o.urlTitle);
    take(u"use"_s, o.use);
    o.preview = parser.isSet(u"preview"_s);
    if (QString problem; !pictureOptions(args, c.bit, o.pictures, problem))
        return fail(problem);
    if (o.use != u"local"_s && o.use != u"server"_s)
        return fail(Texts::tr("--use takes 'local' or 'server'"));
    if (!o.hasTitle)
        return fail(Texts::tr("post needs --title"));
    if (o.hasBody == !o.bodyFile.isEmpty())
        return fail(Texts::tr("post needs either --body or --body-file"));
    return -1;
}

} // namespace

Arguments parseArguments(const QStringList& args)
{
    Arguments result;
    const OptionInfo& dirSpec = kOptions[0];
    const QList<QCommandLineOption> options{
        QCommandLineOption(QLatin1String(dirSpec.name), QString(), QLatin1String(dirSpec.value)),
        QCommandLineOption(u"version"_s), QCommandLineOption(QStringList{u"h"_s, u"help"_s})};
    QCommandLineParser parser;
    // Everything from the command's name on is the command's.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.addOptions(options);
    if (!parser.parse(QStringList{u"pagewick"_s} + args)) {
        result.exitStatus = refuse(refusal(parser, args, options), programUsage(), u"pagewick"_s);
        return result;
    }
    if (parser.isSet(options[2])) {
        std::fputs(qPrintable(programHelp()), stdout);
        result.exitStatus = 0;
        return result;
    }
    if (parser.isSet(options[1])) {
        std::printf("%s\n", qPrintable(versionText()));
        result.exitStatus = 0;
        return result;
    }
    result.dir = parser.value(options[0]);
    const QStringList rest = parser.positionalArguments();
    if (rest.isEmpty())
        return result;
    for (const CommandSpec& c : kCommands) {
        if (rest.first() == QLatin1String(c.name)) {
            result.isCommand = true;
            result.command.command = rest.first();
            result.command.dir = result.dir;
            result.exitStatus = parseCommand(c, rest.mid(1), result.command);
            return result;
        }
    }
    result.exitStatus =
        refuse(Texts::tr("unknown command %1").arg(rest.first()), programUsage(), u"pagewick"_s);
    return result;
}
