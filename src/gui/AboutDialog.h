#pragma once

#include <QDialog>

// The About box.
class Prompt;
class AboutDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(Prompt& prompt, QWidget* parent = nullptr);

    void showSystemInfo();

    // System information programs tried in this order (first found on PATH).
    static QStringList sysInfoPrograms();
    // Starts the first one found; false when none could be started.
    static bool startSystemInfo();
    Prompt& m_prompt;
};
