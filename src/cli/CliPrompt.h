#pragma once

// The prompt and main view of the command line. Messages go to standard
// error as one line "Title: text" (line breaks as blanks); status lines go to
// standard output. Questions are answered Yes/OK with --yes, otherwise
// No/Cancel; the save dialog of manual publishing is answered by --save. A
// dialog that cannot be answered (a file to open, or a save without --save)
// stops the command: the window would ask again until answered.

#include "base/MainView.h"
#include "base/Prompt.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <stdexcept>

// Thrown when the command cannot go on without an answer it cannot give.
class CommandStopped : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class CliPrompt final : public Prompt
{
public:
    bool yes = false;
    QString saveFile;      // answer to a save dialog; empty: stop
    QString localOrServer; // "Local" or "Server" for the update choice
    QStringList opened;    // documents the window would have opened

    explicit CliPrompt(FILE* err = stderr, FILE* out = stdout) : m_err(err), m_out(out) {}

    Answer ask(const Message& message) override;
    std::optional<QString> input(const QString& text, const QString& title,
                                 const QString& defaultText) override;
    std::optional<QString> chooseFile(const FileRequest& request) override;
    std::optional<quint32> chooseColor(quint32) override { return std::nullopt; }
    std::optional<QString> chooseFont() override { return std::nullopt; }
    void openDocument(const QString& pathOrUrl) override;
    void beep() override {}

    // "Title: text" with every line break turned into a blank.
    static QString oneLine(const Message& message);

private:
    FILE* m_err;
    FILE* m_out;
};

class CliView final : public MainView
{
public:
    EntryFields entry;
    bool finishEnabled = false, previewEnabled = false, resendEnabled = false,
         resendVisible = false;
    int progress = 0;

    // Status lines go to `out`; nowhere when it is null.
    explicit CliView(FILE* out = stdout) : m_out(out) {}

    void appendStatus(const QString& message) override;
    void setPublishingEnabled(bool enable) override;
    void setFinishEnabled(bool enabled) override { finishEnabled = enabled; }
    void setResendEnabled(bool enabled) override { resendEnabled = enabled; }
    void setResendVisible(bool visible) override { resendVisible = visible; }
    void setPreferencesEnabled(bool) override {}
    void setBusy(bool) override {}
    void showProgress(int, int, int value) override { progress = value; }
    void hideProgress() override {}
    int progressValue() const override { return progress; }
    EntryFields fields() const override { return entry; }
    // Options given on the command line win over the configuration's defaults.
    void setSignature(const QString& sig, const QString& email) override;

    bool sigGiven = false, emailGiven = false;

private:
    FILE* m_out;
};
