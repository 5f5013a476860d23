#include "gui/Icons.h"

QIcon Icons::application()
{
    return QIcon(QStringLiteral(":/icons/pagewick.svg"));
}

QIcon Icons::themed(const char* themeName, const char* fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(themeName),
                            QIcon(QStringLiteral(":/icons/toolbar/") +
                                  QString::fromLatin1(fallback) + QStringLiteral(".svg")));
}
