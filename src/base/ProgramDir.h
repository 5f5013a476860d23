#pragma once

#include <QString>

// The program directory holds weblog.ini, the template, the help file and
// every working file. It defaults to $XDG_DATA_HOME/pagewick (usually
// ~/.local/share/pagewick); `--dir DIR` chooses another.

QString defaultProgramDir();
// Creates the folder when missing (for the user alone), places the default
// template and help file there when absent (as an installer would) and makes
// it the working directory. Returns its absolute path (for a Workspace), or
// empty text (with a reason) when it cannot be used.
QString prepareProgramDir(const QString& dir, QString* error = nullptr);

// "0.8.4"
QString versionText();

// The maker's web site (home page "/pagewick/", news file
// "/pagewick/version.txt"); the environment variable PAGEWICK_SITE replaces it.
QString makerSite();
