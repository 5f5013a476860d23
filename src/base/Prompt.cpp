#include "base/Prompt.h"

#include <cstdio>

namespace {

class QuietPrompt final : public Prompt
{
public:
    Answer ask(const Message& m) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(m.title), qPrintable(m.text));
        switch (m.buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::OkCancel:
        case Buttons::YesNoCancel:
            return Answer::Cancel;
        case Buttons::YesNo:
            return Answer::No;
        }
        return Answer::Cancel;
    }
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

QuietPrompt quietPrompt;
Prompt* current = &quietPrompt;

} // namespace

Prompt& prompt()
{
    return *current;
}

void setPrompt(Prompt* p)
{
    current = p ? p : &quietPrompt;
}
