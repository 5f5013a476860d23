#pragma once

#include "base/Settings.h"

#include <QString>

class Prompt;

// What one window, or one run of a command, works on: the program directory
// (weblog.ini, the template and every working file), the active
// configuration read from weblog.ini, the state of this run, and the prompt
// that talks to the user. One is made at the top (the program's main, a
// command, a test) and handed to whatever needs it; nothing reaches it
// through a global.
class Workspace
{
public:
    // `dir` as prepareProgramDir() gave it; `prompt` must outlive this.
    Workspace(QString dir, Prompt& prompt) : m_dir(std::move(dir)), m_prompt(&prompt) {}
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    const QString& dir() const { return m_dir; }
    // A file of the program directory by bare name.
    QString file(const QString& name) const { return m_dir + QLatin1Char('/') + name; }
    // A working file: stem + active section + extension, e.g. "webbie1.html".
    QString workFileName(const QString& stem,
                         const QString& extension = QStringLiteral(".html")) const
    {
        return m_settings.workFileName(stem, extension);
    }
    QString workFile(const QString& stem, const QString& extension = QStringLiteral(".html")) const
    {
        return file(workFileName(stem, extension));
    }

    // The active configuration, as weblog.ini holds it.
    Settings& settings() { return m_settings; }
    const Settings& settings() const { return m_settings; }
    // What this run has done so far; a configuration loaded anew keeps it.
    RunState& run() { return m_run; }
    const RunState& run() const { return m_run; }

    Prompt& prompt() const { return *m_prompt; }

private:
    QString m_dir;
    Prompt* m_prompt;
    Settings m_settings;
    RunState m_run;
};
