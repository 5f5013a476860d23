#pragma once

#include <QWidget>

class QLabel;

// The splash shown while the main window starts.
class frmSplash final : public QWidget
{
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);
    QLabel* Label1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
