#pragma once

#include <QWidget>

// The splash shown while the main window starts.
class SplashScreen final : public QWidget
{
    Q_OBJECT
public:
    explicit SplashScreen(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};
