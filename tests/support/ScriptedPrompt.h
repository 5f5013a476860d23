#pragma once

// A Prompt for tests; it is the test workspace's prompt while it lives. Script the answers
// before the code runs: `answers` for message boxes with buttons (an OK box
// needs none), `inputs`, `files`, `colors`, `fonts` for the dialogs
// (nullopt: cancelled). Everything shown is recorded in order: `messages`,
// `fileRequests`, `inputTexts`, `colorStarts` (where each colour dialog
// started), `opened` (documents opened in the browser), `beeps`. Unscripted
// questions answer Cancel (No for Yes/No), unscripted dialogs are cancelled,
// and `unscripted` counts them. `whenAsked` runs as each message box is shown.

#include "TestWorkspace.h"

#include <QList>
#include <QStringList>

#include <functional>

struct PromptScript
{
    QList<Answer> answers;
    QList<std::optional<QString>> inputs, files, fonts;
    QList<std::optional<quint32>> colors;
    QList<Message> messages;
    QList<FileRequest> fileRequests;
    QStringList inputTexts, opened;
    QList<quint32> colorStarts;
    int beeps = 0, unscripted = 0;
};

class ScriptedPrompt final : public Prompt, public PromptScript
{
public:
    ScriptedPrompt() { usePrompt(this); }
    ~ScriptedPrompt() override
    {
        if (TestWorkspace::inUse == this)
            usePrompt(nullptr);
    }
    QStringList texts() const // of the messages shown, in order
    {
        QStringList out;
        for (const Message& m : messages)
            out << m.text;
        return out;
    }
    void clear() { static_cast<PromptScript&>(*this) = PromptScript(); }

    std::function<void()> whenAsked;

    Answer ask(const Message& message) override
    {
        messages << message;
        if (whenAsked)
            whenAsked();
        if (message.buttons == Buttons::Ok)
            return Answer::Ok; // needs no script, takes no scripted answer
        if (!answers.isEmpty())
            return answers.takeFirst();
        ++unscripted;
        return message.buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    std::optional<QString> input(const QString& text, const QString&, const QString&) override
    {
        inputTexts << text;
        return next(inputs);
    }
    std::optional<QString> chooseFile(const FileRequest& request) override
    {
        fileRequests << request;
        return next(files);
    }
    std::optional<quint32> chooseColor(quint32 initial) override
    {
        colorStarts << initial;
        return next(colors);
    }
    std::optional<QString> chooseFont() override { return next(fonts); }
    void openDocument(const QString& pathOrUrl) override { opened << pathOrUrl; }
    void beep() override { ++beeps; }

private:
    template <typename T> std::optional<T> next(QList<std::optional<T>>& script)
    {
        if (!script.isEmpty())
            return script.takeFirst();
        ++unscripted;
        return std::nullopt;
    }
};
