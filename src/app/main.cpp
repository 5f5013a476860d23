// Pagewick: chooses between the window and the command line.

#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "cli/CommandLine.h"
#include "gui/Icons.h"
#include "gui/MainWindow.h"
#include "gui/QtPrompt.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

namespace {

const char* const kUsageHead = "Usage: pagewick [--dir DIR]\n"
                               "       pagewick --version | --help\n";
const char* const kWindowUsage =
    "\nWindow options:\n"
    "  --dir DIR    use DIR as the program directory (weblog.ini, template,\n"
    "               working files); default $XDG_DATA_HOME/pagewick\n"
    "  --version    print the version and exit\n"
    "  --help       print this help and exit\n";

} // namespace

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    if (isCommand(args)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Pagewick"));
        return runCommand(args);
    }

    QString dir;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--version")) {
            std::printf("%s\n", qPrintable(versionText()));
            return 0;
        }
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsageHead, stdout);
            std::fputs(kCommandUsage, stdout);
            std::fputs(kWindowUsage, stdout);
            return 0;
        }
        if (a == QLatin1String("--dir") && i + 1 < args.size()) {
            dir = args[++i];
        } else if (a.startsWith(QLatin1String("--dir="))) {
            dir = a.mid(6);
        } else {
            std::fprintf(stderr, "pagewick: unknown option %s\n\n%s%s%s", qPrintable(a), kUsageHead,
                         kCommandUsage, kWindowUsage);
            return 2;
        }
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagewick"));
    QApplication::setApplicationVersion(versionText());
    // The desktop matches the window to its launcher (and icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(PAGEWICK_APP_ID));
    QApplication::setWindowIcon(Icons::application());
    QString error;
    if (!setProgramDir(dir.isEmpty() ? defaultProgramDir() : dir, &error)) {
        std::fprintf(stderr, "pagewick: %s\n", qPrintable(error));
        return 1;
    }
    QtPrompt qtPrompt;
    setPrompt(&qtPrompt);
    MainWindow window;
    window.start();
    const int rc = app.exec();
    setPrompt(nullptr);
    return rc;
}
