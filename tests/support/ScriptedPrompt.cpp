#include "ScriptedPrompt.h"

ScriptedPrompt::ScriptedPrompt()
{
    setPrompt(this);
}

ScriptedPrompt::~ScriptedPrompt()
{
    if (&prompt() == this)
        setPrompt(nullptr);
}

QStringList ScriptedPrompt::texts() const
{
    QStringList out;
    for (const Message& m : messages)
        out << m.text;
    return out;
}

void ScriptedPrompt::clear()
{
    answers.clear();
    inputs.clear();
    files.clear();
    colors.clear();
    fonts.clear();
    messages.clear();
    fileRequests.clear();
    inputTexts.clear();
    colorStarts.clear();
    opened.clear();
    beeps = 0;
    unscripted = 0;
}

Answer ScriptedPrompt::ask(const Message& message)
{
    messages << message;
    if (message.buttons == Buttons::Ok)
        return Answer::Ok; // an OK box needs no script and takes no scripted answer
    if (!answers.isEmpty())
        return answers.takeFirst();
    ++unscripted;
    return message.buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
}

std::optional<QString> ScriptedPrompt::input(const QString& text, const QString&, const QString&)
{
    inputTexts << text;
    if (inputs.isEmpty()) {
        ++unscripted;
        return std::nullopt;
    }
    return inputs.takeFirst();
}

std::optional<QString> ScriptedPrompt::chooseFile(const FileRequest& request)
{
    fileRequests << request;
    if (files.isEmpty()) {
        ++unscripted;
        return std::nullopt;
    }
    return files.takeFirst();
}

std::optional<quint32> ScriptedPrompt::chooseColor(quint32 initial)
{
    colorStarts << initial;
    if (colors.isEmpty()) {
        ++unscripted;
        return std::nullopt;
    }
    return colors.takeFirst();
}

std::optional<QString> ScriptedPrompt::chooseFont()
{
    if (fonts.isEmpty()) {
        ++unscripted;
        return std::nullopt;
    }
    return fonts.takeFirst();
}

void ScriptedPrompt::openDocument(const QString& pathOrUrl)
{
    opened << pathOrUrl;
}

void ScriptedPrompt::beep()
{
    ++beeps;
}
