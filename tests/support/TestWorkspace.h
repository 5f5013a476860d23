#pragma once

// The workspace of a test program. The code under test gets it by reference,
// as the window and the command line pass theirs; the test reaches it through
// workspace() and the shorthands below. Its prompt hands everything on to the
// prompt in use (the ScriptedPrompt made last and still alive, or a window
// test's QtPrompt), and without one answers as QuietPrompt does.

#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Workspace.h"

#include <QDir>

#include <memory>
#include <vector>

namespace TestWorkspace {

inline Prompt* inUse = nullptr;

class Forwarding final : public Prompt
{
public:
    Answer ask(const Message& m) override { return target().ask(m); }
    std::optional<QString> input(const QString& text, const QString& title,
                                 const QString& defaultText) override
    {
        return target().input(text, title, defaultText);
    }
    std::optional<QString> chooseFile(const FileRequest& r) override
    {
        return target().chooseFile(r);
    }
    std::optional<quint32> chooseColor(quint32 initial) override
    {
        return target().chooseColor(initial);
    }
    std::optional<QString> chooseFont() override { return target().chooseFont(); }
    void openDocument(const QString& pathOrUrl) override { target().openDocument(pathOrUrl); }
    void beep() override { target().beep(); }

private:
    Prompt& target()
    {
        static QuietPrompt quiet;
        return inUse ? *inUse : quiet;
    }
};

inline Forwarding forwarding;
// Every workspace made stays until the end: what still holds an earlier one
// (a second session, say) keeps working on it.
inline std::vector<std::unique_ptr<Workspace>> made;

} // namespace TestWorkspace

// Makes `prompt` the one in use (nullptr: none).
inline void usePrompt(Prompt* prompt)
{
    TestWorkspace::inUse = prompt;
}

// Prepares `dir` as the program does at start and makes a new workspace on
// it, with an empty configuration, the current one.
inline bool useProgramDir(const QString& dir)
{
    const QString path = prepareProgramDir(dir);
    if (path.isEmpty())
        return false;
    TestWorkspace::made.push_back(std::make_unique<Workspace>(path, TestWorkspace::forwarding));
    return true;
}

// The workspace of the last useProgramDir(); one on the working directory
// until then.
inline Workspace& workspace()
{
    if (TestWorkspace::made.empty())
        TestWorkspace::made.push_back(
            std::make_unique<Workspace>(QDir::currentPath(), TestWorkspace::forwarding));
    return *TestWorkspace::made.back();
}
inline Settings& settings()
{
    return workspace().settings();
}
inline RunState& runState()
{
    return workspace().run();
}
inline QString programFile(const QString& name)
{
    return workspace().file(name);
}
inline QString workFile(const QString& stem, const QString& extension = QStringLiteral(".html"))
{
    return workspace().workFile(stem, extension);
}
