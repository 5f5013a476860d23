#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box.
class AboutDialog final : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

    void showSystemInfo();

    // System information programs tried in this order (first found on PATH).
    static QStringList sysInfoPrograms();
    // Starts the first one found; false when none could be started.
    static bool startSystemInfo();
};
