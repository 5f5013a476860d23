#pragma once

#include "base/Prompt.h"

class QWidget;

// The prompt of the window build: Qt message boxes and common dialogs.
class QtPrompt final : public Prompt
{
public:
    Answer ask(const Message& message) override;
    std::optional<QString> input(const QString& text, const QString& title,
                                 const QString& defaultText) override;
    std::optional<QString> chooseFile(const FileRequest& request) override;
    std::optional<quint32> chooseColor(quint32 initial) override;
    std::optional<QString> chooseFont() override;
    void openDocument(const QString& pathOrUrl) override;
    void beep() override;

    // "desc|pattern|desc|pattern" as a Qt name filter list.
    static QStringList nameFilters(const QString& filter);
};
