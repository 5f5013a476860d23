#include "WindowShots.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

QString saveWindowShot(QWidget* window, const QString& name)
{
    const QString dir = QStringLiteral(PAGEWICK_TEST_OUTPUT_DIR "/windows");
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    window->ensurePolished();
    if (!window->isVisible())
        window->adjustSize();
    window->grab().save(path);
    return path;
}
