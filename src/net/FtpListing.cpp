#include "net/FtpListing.h"

#include <QByteArrayList>
#include <QRegularExpression>
#include <QString>

namespace FtpListing {

static QByteArrayList listingLines(const QByteArray& raw)
{
    QByteArrayList lines;
    for (QByteArray line : raw.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

// MLSD: "type=dir;size=4096;modify=...; name"
QList<Entry> parseMlsd(const QByteArray& raw)
{
    QList<Entry> entries;
    for (const QByteArray& line : listingLines(raw)) {
        const qsizetype blank = line.indexOf(' ');
        if (blank < 0)
            continue;
        QByteArray type;
        for (const QByteArray& fact : line.left(blank).split(';')) {
            if (fact.toLower().startsWith("type="))
                type = fact.mid(5).toLower();
        }
        if (type == "cdir" || type == "pdir")
            continue;
        entries.append({line.mid(blank + 1), type == "dir"});
    }
    return entries;
}

static bool isMonth(const QByteArray& word)
{
    static const QByteArrayList months{"jan", "feb", "mar", "apr", "may", "jun",
                                       "jul", "aug", "sep", "oct", "nov", "dec"};
    return word.size() == 3 && months.contains(word.toLower());
}

bool isDigits(const QByteArray& word, qsizetype minimum, qsizetype maximum)
{
    if (word.size() < minimum || word.size() > maximum)
        return false;
    for (const char c : word) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

static bool isTimeOrYear(const QByteArray& word)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2}:\\d{2}|\\d{4})$"));
    return pattern.match(QString::fromLatin1(word)).hasMatch();
}

// One line of a LIST answer: Unix "ls -l" style or the DOS style of IIS;
// anything else is taken as a bare name.
std::optional<Entry> parseListLine(const QByteArray& line)
{
    if (line.startsWith("total "))
        return std::nullopt;

    struct Word
    {
        qsizetype begin;
        qsizetype end;
    };
    QList<Word> words;
    for (qsizetype i = 0; i < line.size();) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        if (i >= line.size())
            break;
        const qsizetype begin = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        words.append({begin, i});
    }
    auto word = [&](qsizetype i) {
        return line.mid(words[i].begin, words[i].end - words[i].begin);
    };
    auto nameAfter = [&](qsizetype i) {
        qsizetype start = words[i].end;
        while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
            ++start;
        return line.mid(start);
    };

    const char kind = line.isEmpty() ? ' ' : line[0];
    if (QByteArray("-dlbcps").contains(kind) && words.size() >= 6) {
        std::optional<qsizetype> last;
        for (qsizetype i = 2; i + 2 < words.size(); ++i) {
            if (isMonth(word(i)) && isDigits(word(i + 1), 1, 2) && isTimeOrYear(word(i + 2))) {
                last = i + 2;
                break;
            }
        }
        if (!last && words.size() >= 9)
            last = 7;
        if (last) {
            QByteArray name = nameAfter(*last);
            if (kind == 'l') {
                const qsizetype arrow = name.indexOf(" -> ");
                if (arrow >= 0)
                    name.truncate(arrow);
            }
            if (name.isEmpty())
                return std::nullopt;
            return Entry{name, kind == 'd'};
        }
    }

    static const QRegularExpression dos(
        QStringLiteral("^\\d{1,2}-\\d{1,2}-\\d{2,4}\\s+\\d{1,2}:\\d{2}\\s*(?:[AaPp][Mm])?\\s+(<DIR>"
                       "|\\d+)\\s+(.+)$"));
    const QRegularExpressionMatch match = dos.match(QString::fromLatin1(line));
    if (match.hasMatch())
        return Entry{match.captured(2).toLatin1(), match.captured(1) == u"<DIR>"};

    return Entry{line, false};
}

QList<Entry> parseList(const QByteArray& raw)
{
    QList<Entry> entries;
    for (const QByteArray& line : listingLines(raw)) {
        if (const auto entry = parseListLine(line))
            entries.append(*entry);
    }
    return entries;
}

QByteArray format(const QList<Entry>& entries)
{
    QByteArray text;
    for (const Entry& entry : entries) {
        if (entry.name.isEmpty() || entry.name == "." || entry.name == "..")
            continue;
        text += entry.name;
        if (entry.directory)
            text += '/';
        text += "\r\n";
    }
    return text;
}

} // namespace FtpListing
