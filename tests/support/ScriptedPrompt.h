#pragma once

// A Prompt for tests. Install it with `ScriptedPrompt p; setPrompt(&p);`
// (the destructor uninstalls it). Script the answers before the code runs:
//
//   p.answers << Answer::Yes;              // next message boxes with buttons
//   p.inputs << QString("link.html");      // next input boxes (nullopt = cancel)
//   p.files << QString("/tmp/page.html");  // next file dialogs (nullopt = cancel)
//   p.colors << 0x0000FFu;  p.fonts << QString("Arial");
//
// Everything shown is recorded in order: `messages` (text, title, buttons,
// icon), `fileRequests`, `opened` (documents opened in the browser), `beeps`.
// A message box with only OK needs no script. Unscripted questions answer
// Cancel (or No for Yes/No), unscripted dialogs are cancelled; `unscripted`
// counts them so a test can assert none happened.

#include "base/Prompt.h"

#include <QList>
#include <QStringList>

class ScriptedPrompt final : public Prompt
{
public:
    ScriptedPrompt();
    ~ScriptedPrompt() override;

    QList<Answer> answers;
    QList<std::optional<QString>> inputs;
    QList<std::optional<QString>> files;
    QList<std::optional<quint32>> colors;
    QList<std::optional<QString>> fonts;

    QList<Message> messages;
    QList<FileRequest> fileRequests;
    QStringList inputTexts;
    QList<quint32> colorStarts; // the colour each colour dialog started from
    QStringList opened;
    int beeps = 0;
    int unscripted = 0;

    // The texts of the messages shown, in order.
    QStringList texts() const;
    void clear();

    Answer ask(const Message& message) override;
    std::optional<QString> input(const QString& text, const QString& title,
                                 const QString& defaultText) override;
    std::optional<QString> chooseFile(const FileRequest& request) override;
    std::optional<quint32> chooseColor(quint32 initial) override;
    std::optional<QString> chooseFont() override;
    void openDocument(const QString& pathOrUrl) override;
    void beep() override;
};
