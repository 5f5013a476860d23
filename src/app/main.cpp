// Pagewick: chooses between the window and the command line.

#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Workspace.h"
#include "cli/CommandLine.h"
#include "gui/Icons.h"
#include "gui/MainWindow.h"
#include "gui/QtPrompt.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char** argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    // Help, the version and usage errors are answered here, before any window.
    const Arguments arguments = parseArguments(args);
    if (arguments.exitStatus >= 0)
        return arguments.exitStatus;
    if (arguments.isCommand) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Pagewick"));
        return runCommand(arguments.command);
    }
    const QString& dir = arguments.dir;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagewick"));
    QApplication::setApplicationVersion(versionText());
    // The desktop matches the window to its launcher (and icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(PAGEWICK_APP_ID));
    QApplication::setWindowIcon(Icons::application());
    QString error;
    const QString programDir = prepareProgramDir(dir.isEmpty() ? defaultProgramDir() : dir, &error);
    if (programDir.isEmpty()) {
        std::fprintf(stderr, "pagewick: %s\n", qPrintable(error));
        return 1;
    }
    QtPrompt qtPrompt;
    Workspace ws(programDir, qtPrompt);
    MainWindow window(ws);
    window.start();
    return app.exec();
}
