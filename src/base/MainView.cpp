#include "base/MainView.h"

#include "base/StringHelpers.h"

QString appendStatusLine(const QString& current, QString& message)
{
    static const QString crlf = QStringLiteral("\r\n");
    if (message.isEmpty() || message == crlf)
        return current;
    const qsizetype at = message.indexOf(crlf);
    if (at >= 0)
        message.remove(at, 2);
    return trimBlanks(current) + crlf + trimBlanks(message);
}
