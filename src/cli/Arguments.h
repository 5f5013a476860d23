#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The program's arguments, read in two levels: the program's own options
// (--dir DIR, --version, --help) and, when a command follows, the command
// with its options. A value follows its option as `--title TEXT` or
// `--title=TEXT`. Help and the version go to standard output; a usage error
// (unknown command or option, missing or wrong value) goes to standard error
// with the usage, for exit status 2.

// A picture for the entry: `--picture FILE`, and the `--alt TEXT` after it.
struct PictureOption
{
    QString file, alt;
    bool hasAlt = false;
};

// What `pagewick post|restore|delete-last|resend|entries|edit|delete ...`
// asked for.
struct CommandOptions
{
    QString command, dir, title, body, bodyFile, sig, email, url, urlTitle, save;
    QString use = QStringLiteral("server");
    QString entry, htmlFile; // edit and delete: the entry's anchor; edit: its new text
    int config = 0;
    bool preview = false, yes = false, hasTitle = false, hasBody = false, hasSig = false,
         hasEmail = false, hasUrl = false, archive = false;
    // A page changed on the server since it was last retrieved or published:
    // put the entry into the server's version, or publish over it; neither:
    // stop.
    bool merge = false, overwrite = false;
    QList<PictureOption> pictures; // in the order given
};

struct Arguments
{
    // 0 after help or the version, 2 after a usage error; -1 when the
    // window opens or the command runs.
    int exitStatus = -1;
    bool isCommand = false;
    QString dir; // the window's program directory; empty: the default
    CommandOptions command;
};

// `arguments` without the program name.
Arguments parseArguments(const QStringList& arguments);
