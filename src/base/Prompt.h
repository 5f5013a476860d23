#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Every message box, question, input box and file, colour or font dialog of the
// program goes through one Prompt. The window build shows Qt dialogs; tests
// answer from a script and record what was asked; the command line answers
// from its options and prints the messages.

enum class Buttons
{
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel
};
enum class Icon
{
    None,
    Information,
    Question,
    Exclamation,
    Critical
};
enum class Answer
{
    Ok,
    Cancel,
    Yes,
    No
};

struct Message
{
    QString text;
    QString title; // never empty: boxes without a title of their own carry "Pagewick"
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    // Texts of the buttons in their order (Yes, No, Cancel) where the usual
    // words would not say what each does; empty: the usual words.
    QStringList buttonTexts = {};
};

struct FileRequest
{
    enum Kind
    {
        Open,
        Save
    };
    Kind kind = Open;
    QString initialDir;
    // Filter in pairs "description|pattern|description|pattern..."
    QString filter;
    int filterIndex = 1; // 1-based entry preselected
    QString defaultExt;
};

class Prompt
{
public:
    static inline const QString AppTitle = QStringLiteral("Pagewick");

    virtual ~Prompt() = default;

    Answer message(const QString& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None,
                   const QString& title = {})
    {
        return ask(Message{text, title.isEmpty() ? AppTitle : title, buttons, icon});
    }

    virtual Answer ask(const Message& message) = 0;
    // An input box: nullopt when cancelled.
    virtual std::optional<QString> input(const QString& text, const QString& title,
                                         const QString& defaultText = {}) = 0;
    // A file dialog: the chosen path, nullopt when cancelled.
    virtual std::optional<QString> chooseFile(const FileRequest& request) = 0;
    // A colour dialog starting from `initial`; colours are numbers with red in
    // the low byte, then green, then blue. nullopt when cancelled.
    virtual std::optional<quint32> chooseColor(quint32 initial) = 0;
    // The font picker: a face name, nullopt when cancelled.
    virtual std::optional<QString> chooseFont() = 0;
    // Opens a file or address with the desktop's default handler (the browser).
    virtual void openDocument(const QString& pathOrUrl) = 0;
    virtual void beep() = 0;
};

// A prompt that answers every question with its safe default (Cancel/No),
// prints messages to standard error and opens nothing.
class QuietPrompt final : public Prompt
{
public:
    Answer ask(const Message& m) override;
    std::optional<QString> input(const QString&, const QString&, const QString&) override
    {
        return std::nullopt;
    }
    std::optional<QString> chooseFile(const FileRequest&) override { return std::nullopt; }
    std::optional<quint32> chooseColor(quint32) override { return std::nullopt; }
    std::optional<QString> chooseFont() override { return std::nullopt; }
    void openDocument(const QString&) override {}
    void beep() override {}
};
