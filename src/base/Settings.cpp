#include "base/Settings.h"

#include "base/StringHelpers.h"

#include <QFileInfo>

#include <cmath>

QString stylePrefix(StyleField field)
{
    static const char* const names[] = {"title", "body", "date", "time", "sig", "url"};
    return QString::fromLatin1(names[static_cast<int>(field)]);
}

QString& styleValue(FieldStyle& s, int suffixIndex)
{
    QString* const members[] = {&s.fontname,   &s.fontsize,   &s.fontcolor, &s.fontbold,
                                &s.fontitalic, &s.strikethru, &s.underline};
    return *members[suffixIndex];
}

QString Settings::folder() const
{
    return QFileInfo(settingsPath).absolutePath();
}

QString Settings::workFile(const QString& stem, const QString& extension) const
{
    return folder() + QLatin1Char('/') + workFileName(stem, extension);
}

QString deriveSiteHost(const QString& website)
{
    return textBefore(textAfter(textAfter(website, QStringLiteral("/")), QStringLiteral("/")),
                      QStringLiteral("/"));
}

QString deriveSitePath(const QString& website)
{
    qsizetype at = -1;
    for (int i = 0; i < 3; ++i) {
        at = website.indexOf(QLatin1Char('/'), at + 1);
        if (at < 0)
            return QStringLiteral("/");
    }
    return QLatin1Char('/') + website.mid(at + 1);
}

double numericValue(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    QString number;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        number += text[i++];
    bool digits = false, point = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.isDigit() && c.unicode() < 0x80) {
            number += c;
            digits = true;
        } else if (c == QLatin1Char('.') && !point) {
            number += c;
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        QString exponent = QStringLiteral("e");
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            exponent += text[j++];
        const qsizetype start = j;
        while (j < n && text[j].isDigit() && text[j].unicode() < 0x80)
            exponent += text[j++];
        if (j > start)
            number += exponent;
    }
    bool ok = false;
    const double v = number.toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

bool readBoolean(const QString& text, bool* ok)
{
    const QString t = text.trimmed();
    *ok = true;
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double v = t.toDouble(&isNumber);
    if (isNumber)
        return v != 0;
    *ok = false;
    return false;
}

int autoDeleteKeepCount(const QString& deleteamount)
{
    const QString text = deleteamount.trimmed();
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    bool ok = false;
    const int amount = text.toInt(&ok);
    // The keep count is a 16-bit number in the page routine.
    return ok && amount >= 1 && amount <= 32766 ? amount + 1 : -1;
}

bool Settings::autoFtp() const
{
    bool isBoolean = false;
    const bool on = readBoolean(autoftp, &isBoolean);
    return isBoolean && on;
}

bool Settings::dialUp() const
{
    return connection != QLatin1String("direct");
}

Settings::RetrieveMode Settings::retrieveMode() const
{
    if (retreivemode == QLatin1String("ftp"))
        return RetrieveMode::Ftp;
    if (retreivemode == QLatin1String("none"))
        return RetrieveMode::None;
    return RetrieveMode::Auto;
}

int Settings::timeoutSeconds() const
{
    return static_cast<int>(numericValue(timeout));
}

bool Settings::rssEnabled() const
{
    return backendenabled == QLatin1String("True");
}

bool Settings::rssImageEnabled() const
{
    return imagebackendenabled == QLatin1String("true");
}

bool Settings::archiveEnabled() const
{
    return archive == QLatin1String("true");
}

bool Settings::autoDeleteEnabled() const
{
    bool isBoolean = false;
    const bool on = readBoolean(autodelete, &isBoolean);
    return isBoolean && on;
}

int Settings::autoDeleteKeepCount() const
{
    return ::autoDeleteKeepCount(deleteamount);
}

bool Settings::lastUploadFailed() const
{
    return Fail == QLatin1String("True");
}
