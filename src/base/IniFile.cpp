#include "base/IniFile.h"

#include "base/TextCodec.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace {

constexpr qsizetype kMaxValueLength = 254;

struct IniText
{
    QStringList lines; // without their line ends
    QString lineEnd = QStringLiteral("\r\n");
    bool endsWithLineEnd = true;
    bool utf8 = true;
};

IniText load(const QString& fileName)
{
    IniText ini;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return ini;
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return ini;
    ini.utf8 = TextCodec::isUtf8(bytes);
    const QString text = ini.utf8 ? QString::fromUtf8(bytes) : TextCodec::fromCp1252(bytes);
    const qsizetype firstLf = text.indexOf(QLatin1Char('\n'));
    if (firstLf >= 0 && (firstLf == 0 || text[firstLf - 1] != QLatin1Char('\r')))
        ini.lineEnd = QStringLiteral("\n");
    ini.endsWithLineEnd = text.endsWith(QLatin1Char('\n'));
    ini.lines = text.split(QLatin1Char('\n'));
    if (ini.endsWithLineEnd)
        ini.lines.removeLast();
    for (QString& line : ini.lines)
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    return ini;
}

// The section name of a "[name]" line, or a null string for other lines.
QString sectionName(const QString& line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return {};
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    return (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a section's lines are: [first, end) after its header; -1 when absent.
struct Span
{
    qsizetype header = -1;
    qsizetype end = -1;
};

Span findSection(const IniText& ini, const QString& section)
{
    Span span;
    for (qsizetype i = 0; i < ini.lines.size(); ++i) {
        const QString name = sectionName(ini.lines[i]);
        if (name.isNull())
            continue;
        if (span.header >= 0) {
            span.end = i;
            return span;
        }
        if (sameName(name, section))
            span.header = i;
    }
    if (span.header >= 0)
        span.end = ini.lines.size();
    return span;
}

qsizetype findKey(const IniText& ini, Span span, const QString& key)
{
    for (qsizetype i = span.header + 1; i < span.end; ++i) {
        const QString& line = ini.lines[i];
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && sameName(line.left(eq).trimmed(), key))
            return i;
    }
    return -1;
}

QString valueOf(const QString& line)
{
    QString v = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (v.size() >= 2 && (v.front() == QLatin1Char('"') || v.front() == QLatin1Char('\'')) &&
        v.back() == v.front())
        v = v.mid(1, v.size() - 2);
    return v;
}

} // namespace

QString readSetting(const QString& fileName, const QString& section, const QString& key)
{
    const IniText ini = load(fileName);
    const Span span = findSection(ini, section.trimmed());
    if (span.header < 0)
        return {};
    const qsizetype line = findKey(ini, span, key.trimmed());
    if (line < 0)
        return {};
    return valueOf(ini.lines[line]).left(kMaxValueLength);
}

bool writeSetting(const QString& section, const QString& key, const QString& value,
                  const QString& fileName)
{
    IniText ini = load(fileName);
    const QString sec = section.trimmed();
    const QString name = key.trimmed();
    QString clean = value;
    clean.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString entry = name + QLatin1Char('=') + clean;

    Span span = findSection(ini, sec);
    if (span.header < 0) {
        ini.lines << (QLatin1Char('[') + sec + QLatin1Char(']')) << entry;
        ini.endsWithLineEnd = true;
    } else if (const qsizetype at = findKey(ini, span, name); at >= 0) {
        ini.lines[at] = entry;
    } else {
        // After the section's last non-blank line, so blank separators stay
        // between sections.
        qsizetype pos = span.end;
        while (pos > span.header + 1 && ini.lines[pos - 1].trimmed().isEmpty())
            --pos;
        ini.lines.insert(pos, entry);
        if (pos == ini.lines.size() - 1)
            ini.endsWithLineEnd = true;
    }

    QString text = ini.lines.join(ini.lineEnd);
    if (ini.endsWithLineEnd)
        text += ini.lineEnd;
    QByteArray bytes;
    if (!ini.utf8 && TextCodec::fitsCp1252(text))
        bytes = TextCodec::toCp1252(text);
    else
        bytes = text.toUtf8(); // a value the old code page cannot hold turns the file into UTF-8

    QSaveFile out(fileName);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(bytes);
    return out.commit();
}
