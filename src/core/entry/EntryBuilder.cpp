#include "core/entry/EntryBuilder.h"

#include "base/StringHelpers.h"

#include <QRegularExpression>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Locale data sometimes puts a no-break or narrow no-break space before
// AM/PM: only plain blanks go out in the date and time texts.
QString plainBlanks(QString text)
{
    text.replace(QChar(0x202F), QLatin1Char(' '));
    text.replace(QChar(0x00A0), QLatin1Char(' '));
    return text;
}

bool isEnUs(const QLocale& locale)
{
    return locale.language() == QLocale::English && locale.territory() == QLocale::UnitedStates;
}

// A locale's date or time format with every run of `letter` (outside quoted
// text) passed to `fix`; `fix` returns the replacement run.
template <typename Fix> QString rewriteRuns(const QString& format, QChar letter, Fix fix)
{
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        if (!quoted && c == letter) {
            qsizetype j = i;
            while (j < format.size() && format[j] == letter)
                ++j;
            out += fix(j - i);
            i = j;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

QString shortDateFormat(const QLocale& locale)
{
    if (isEnUs(locale))
        return QStringLiteral("M/d/yyyy");
    return rewriteRuns(locale.dateFormat(QLocale::ShortFormat), QLatin1Char('y'),
                       [](qsizetype) { return QStringLiteral("yyyy"); });
}

QString longTimeFormat(const QLocale& locale)
{
    if (isEnUs(locale))
        return QStringLiteral("h:mm:ss AP");
    // The long time form is the one with seconds; its time-zone part goes.
    QString f = rewriteRuns(locale.timeFormat(QLocale::LongFormat), QLatin1Char('t'),
                            [](qsizetype) { return QString(); });
    return plainBlanks(f).simplified();
}

QLocale formatLocale(const QLocale& locale)
{
    // en_US AM/PM texts come from a fixed locale so that no other locale data
    // can slip in a different blank or letter case.
    return isEnUs(locale) ? QLocale(QLocale::English, QLocale::UnitedStates) : locale;
}

// Case-insensitive search of an ASCII placeholder ("%title") in the text.
qsizetype findPlaceholder(const QString& text, const QString& placeholder)
{
    return text.indexOf(placeholder, 0, Qt::CaseInsensitive);
}

// The working text with `placeholder` (first occurrence) replaced by the
// text `make` returns; `make` runs only when the placeholder is present.
template <typename Make>
void fillPlaceholder(QString& working, const QString& placeholder, Make make)
{
    const qsizetype at = findPlaceholder(working, placeholder);
    if (at < 0)
        return;
    const QString replacement = make();
    working = working.left(at) + replacement + working.mid(at + placeholder.size());
}

} // namespace

bool holdsPlaceholder(const QString& templateText)
{
    for (const char* name : {"%title", "%body", "%sig", "%date", "%time", "%url", "%newurl"})
        if (findPlaceholder(templateText, QLatin1String(name)) >= 0)
            return true;
    return false;
}

QString colorToHex(qint64 colour)
{
    const quint32 n = static_cast<quint32>(colour) & 0xFFFFFFu;
    auto two = [](quint32 component) {
        QString s = QString::number(component, 16).toUpper();
        return s.size() < 2 ? QLatin1Char('0') + s : s;
    };
    return QLatin1Char('#') + two(n % 256) + two((n / 256) % 256) + two((n / 65536) % 256);
}

bool isUsableFontFace(const QString& face)
{
    return !face.contains(QLatin1Char('"')) && !face.contains(QLatin1Char('<')) &&
           !face.contains(QLatin1Char('>'));
}

namespace {

// Empty text and the word "default" (any case) mean no tag.
bool isNoValue(const QString& value)
{
    return value.isEmpty() || value.compare(QLatin1String("default"), Qt::CaseInsensitive) == 0;
}

} // namespace

bool isUsableFontSize(const QString& size)
{
    if (isNoValue(size))
        return true;
    static const QRegularExpression step(QStringLiteral("^[+-]?[0-9]$"));
    if (!step.match(size).hasMatch())
        return false;
    const int value = size.toInt();
    return value >= -3 && value <= 9 && value != 0;
}

bool isUsableFontColor(const QString& color)
{
    if (isNoValue(color))
        return true;
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,8}$"));
    return digits.match(color).hasMatch() && color.toLong() <= 0xFFFFFF;
}

QList<UnusableStyle> unusableStyles(const Settings& record)
{
    QList<UnusableStyle> found;
    for (StyleField f : kStyleFields) {
        const FieldStyle& style = record.style(f);
        if (!isNoValue(style.fontname) && !isUsableFontFace(style.fontname))
            found.append({f, QStringLiteral("fontname"), style.fontname});
        if (!isUsableFontSize(style.fontsize))
            found.append({f, QStringLiteral("fontsize"), style.fontsize});
        if (!isUsableFontColor(style.fontcolor))
            found.append({f, QStringLiteral("fontcolor"), style.fontcolor});
    }
    return found;
}

QString styleField(Settings& record, const QString& fieldName, const QString& text)
{
    for (StyleField f : kStyleFields) {
        QString& face = record.style(f).fontname;
        if (face.toLower() == QLatin1String("default"))
            face.clear();
    }

    const QString name = fieldName.toLower();
    const FieldStyle* style = nullptr;
    for (StyleField f : kStyleFields)
        if (stylePrefix(f) == name)
            style = &record.style(f);
    if (!style)
        return text;

    QString open, close;
    if (!style->fontname.isEmpty() && isUsableFontFace(style->fontname)) {
        open = QStringLiteral("<Font Face =") + style->fontname + QLatin1Char('>');
        close = QStringLiteral("</Font>");
    }
    if (!isNoValue(style->fontsize) && isUsableFontSize(style->fontsize)) {
        open += QStringLiteral("<Font Size=") + style->fontsize + QLatin1Char('>');
        close.prepend(QStringLiteral("</Font>"));
    }
    if (!isNoValue(style->fontcolor) && isUsableFontColor(style->fontcolor)) {
        open += QStringLiteral("<Font Color=") + colorToHex(style->fontcolor.toLongLong()) +
                QLatin1Char('>');
        close.prepend(QStringLiteral("</Font>"));
    }
    const std::pair<const QString*, const char*> effects[] = {{&style->fontbold, "B"},
                                                              {&style->fontitalic, "I"},
                                                              {&style->strikethru, "S"},
                                                              {&style->underline, "U"}};
    for (const auto& [value, tag] : effects) {
        if (*value == QLatin1String("1")) {
            open += QStringLiteral("<%1>").arg(QLatin1String(tag));
            close.prepend(QStringLiteral("</%1>").arg(QLatin1String(tag)));
        }
    }
    return open + text + close;
}

QDateTime entryNow()
{
    const QString fixed = qEnvironmentVariable("PAGEWICK_NOW");
    if (!fixed.isEmpty()) {
        QDateTime t = QDateTime::fromString(fixed.trimmed(), Qt::ISODate);
        if (t.isValid())
            return t.toLocalTime();
    }
    return QDateTime::currentDateTime();
}

QString entryDateText(const QDateTime& now, const QLocale& locale)
{
    return plainBlanks(formatLocale(locale).toString(now.date(), shortDateFormat(locale)));
}

QString entryTimeText(const QDateTime& now, const QLocale& locale)
{
    return plainBlanks(formatLocale(locale).toString(now.time(), longTimeFormat(locale)));
}

QString namedDate(const QDateTime& now, const QString& format, const QLocale& locale)
{
    if (format == QLatin1String("long date"))
        return plainBlanks(formatLocale(locale).toString(now.date(), QLocale::LongFormat));
    if (format == QLatin1String("short date"))
        return entryDateText(now, locale);
    return plainBlanks(formatLocale(locale).toString(now.date(), QStringLiteral("dd-MMM-yy")));
}

QString namedTime(const QDateTime& now, const QString& format, const QLocale& locale)
{
    if (format == QLatin1String("long time"))
        return entryTimeText(now, locale);
    if (format == QLatin1String("short time"))
        return formatLocale(locale).toString(now.time(), QStringLiteral("HH:mm"));
    return plainBlanks(formatLocale(locale).toString(now.time(), QStringLiteral("hh:mm AP")));
}

QString entryAnchor(const QString& date, const QString& time)
{
    const QString slash = QStringLiteral("/"), colon = QStringLiteral(":");
    QString anchor =
        removeFirst(removeFirst(date, slash), slash) + removeFirst(removeFirst(time, colon), colon);
    // A link to an anchor cannot hold a blank ("7 Dec 2026" in some locales'
    // short dates): every one goes, not only the one before AM/PM.
    anchor.removeIf([](QChar c) { return c.isSpace(); });
    return anchor;
}

QString defuseMarkers(const QString& text)
{
    if (!text.contains(QLatin1String("<!--")) && !text.contains(QLatin1String("|-->")))
        return text;
    static const QRegularExpression opening(
        QStringLiteral("<!--(?=\\||\\*\\*END\\*\\*-->|\u00D1-->|pagewick-->|"
                       "PagewickArchiveStart-->)"),
        QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    out.replace(opening, QStringLiteral("<!-- "));
    out.replace(QLatin1String("|-->"), QLatin1String("| -->"));
    return out;
}

QString crlfLineEnds(const QString& text)
{
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            out += kCrLf;
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            out += kCrLf;
        } else {
            out += c;
        }
    }
    return out;
}

EntryBuild buildEntry(const EntryFields& input, Settings& record, const QDateTime& now,
                      const QString& endMarker, const QLocale& locale)
{
    EntryBuild build;
    build.fields = input;
    if (input.head.isEmpty()) {
        build.failure = QStringLiteral("The title section cannot be left blank.");
        return build;
    }
    if (input.main.isEmpty()) {
        build.failure = QStringLiteral("The main section cannot be left blank.");
        return build;
    }

    EntryFields& f = build.fields;
    if (f.sig.isEmpty())
        f.sig = QStringLiteral("Unknown");
    build.date = entryDateText(now, locale);
    build.time = entryTimeText(now, locale);
    if (f.urlTitle.isEmpty())
        f.urlTitle = f.url;

    // What the user typed goes in with any marker look-alikes defused.
    const QString head = defuseMarkers(f.head), body = defuseMarkers(f.main),
                  sig = defuseMarkers(f.sig), email = defuseMarkers(f.email),
                  url = defuseMarkers(f.url), urlTitle = defuseMarkers(f.urlTitle);
    const QChar quote = QLatin1Char('"');

    const QString titleValue = head + kCrLf;
    const QString bodyValue = body;
    QString linkValue;
    if (!url.isEmpty() && url != QLatin1String("http://"))
        linkValue = QStringLiteral("<a href =") + quote + url + quote + QLatin1Char('>') +
                    urlTitle + QStringLiteral("</a>");
    const QString sigValue = email.isEmpty() ? sig
                                             : QStringLiteral("<a href=") + quote +
                                                   QStringLiteral("mailto:") + email + quote +
                                                   QLatin1Char('>') + sig + QStringLiteral("</a>");

    QString working = record.templateText;
    fillPlaceholder(working, QStringLiteral("%title"), [&] {
        build.anchor = entryAnchor(build.date, build.time);
        return QStringLiteral("<a name=") + quote + build.anchor + quote + QStringLiteral("></a>") +
               styleField(record, QStringLiteral("title"), titleValue) + kTitleMarker;
    });
    fillPlaceholder(working, QStringLiteral("%body"),
                    [&] { return styleField(record, QStringLiteral("body"), bodyValue); });
    fillPlaceholder(working, QStringLiteral("%sig"),
                    [&] { return styleField(record, QStringLiteral("sig"), sigValue); });
    fillPlaceholder(working, QStringLiteral("%date"), [&] {
        return styleField(record, QStringLiteral("date"),
                          namedDate(now, record.dateformat, locale));
    });
    fillPlaceholder(working, QStringLiteral("%time"), [&] {
        return styleField(record, QStringLiteral("time"),
                          namedTime(now, record.timeformat, locale));
    });
    fillPlaceholder(working, QStringLiteral("%url"),
                    [&] { return styleField(record, QStringLiteral("url"), linkValue); });
    fillPlaceholder(working, QStringLiteral("%newurl"), [&] {
        if (linkValue.isEmpty())
            return styleField(record, QStringLiteral("url"), QString());
        const QString gt = QStringLiteral(">");
        const QString newWindow = textBefore(linkValue, gt) + QStringLiteral(" target = ") + quote +
                                  QStringLiteral("new") + quote + gt + textAfter(linkValue, gt);
        return styleField(record, QStringLiteral("url"), newWindow);
    });

    build.core = crlfLineEnds(QStringLiteral("<!--|") + build.date + QLatin1Char('|') + build.time +
                              QStringLiteral("|-->") + working);
    build.html = build.core + crlfLineEnds(endMarker) + kCrLf;
    return build;
}
