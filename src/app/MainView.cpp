#include "app/MainView.h"

QString appendStatusLine(const QString& current, QString& message)
{
    static const QString crlf = QStringLiteral("\r\n");
    if (message.isEmpty() || message == crlf)
        return current;
    const qsizetype at = message.indexOf(crlf);
    if (at >= 0)
        message.remove(at, 2);
    auto trimBlanks = [](const QString& s) {
        qsizetype b = 0, e = s.size();
        while (b < e && s[b] == QLatin1Char(' '))
            ++b;
        while (e > b && s[e - 1] == QLatin1Char(' '))
            --e;
        return s.mid(b, e - b);
    };
    return trimBlanks(current) + crlf + trimBlanks(message);
}
