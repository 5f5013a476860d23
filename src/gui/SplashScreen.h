#pragma once

#include <QWidget>

class QLabel;

// The splash shown while the main window starts.
class SplashScreen final : public QWidget
{
    Q_OBJECT
public:
    explicit SplashScreen(QWidget* parent = nullptr);
    QLabel* Label1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
