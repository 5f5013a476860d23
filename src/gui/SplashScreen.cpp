#include "gui/SplashScreen.h"

#include "base/ProgramDir.h"

#include <QLabel>
#include <QVBoxLayout>

SplashScreen::SplashScreen(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setStyleSheet(QStringLiteral("#frmSplash { background: #1f3b5c; border: 2px solid #0d1f33; }"
                                 "QLabel { color: white; }"));
    auto* product = new QLabel(QStringLiteral("Pagewick"), this);
    product->setObjectName(QStringLiteral("lblProduct"));
    QFont big(QStringLiteral("Arial"), 32, QFont::Bold);
    product->setFont(big);
    product->setAlignment(Qt::AlignCenter);
    auto* tagline = new QLabel(tr("Your weblog, one entry at a time"), this);
    tagline->setAlignment(Qt::AlignCenter);
    auto* version = new QLabel(tr("Beta:  ") + versionText(), this);
    version->setObjectName(QStringLiteral("Label1"));
    version->setAlignment(Qt::AlignRight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 16);
    layout->addStretch();
    layout->addWidget(product);
    layout->addWidget(tagline);
    layout->addStretch();
    layout->addWidget(version);
    setFixedSize(420, 240);
    setFocusPolicy(Qt::StrongFocus);
}

void SplashScreen::keyPressEvent(QKeyEvent*)
{
    // A key press ends the wait; start-up then shows the main window.
    close();
}
