#include "base/IniFile.h"

#include "base/AtomicFile.h"
#include "base/TextCodec.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <functional>
#include <mutex>

#include <sys/stat.h>
#include <time.h>

namespace {

constexpr qsizetype kMaxValueLength = 254;

using Lines = IniText::Lines;

Lines parse(const QByteArray& bytes)
{
    Lines ini;
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

// What identifies one version of a file on disk: a replaced file has another
// inode, a file changed in place another modification time or size.
struct Stamp
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static Stamp of(const QString& fileName)
    {
        Stamp s;
        struct stat info
        {
        };
        if (::stat(QFile::encodeName(fileName).constData(), &info) != 0)
            return s;
        s.exists = true;
        s.device = info.st_dev;
        s.inode = info.st_ino;
        s.size = info.st_size;
        s.modified = info.st_mtim;
        s.changed = info.st_ctim;
        return s;
    }
    bool operator==(const Stamp& o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

// The settings are read key by key, dozens of times while the dialogs load:
// the file is parsed once and kept with the stamp it had, and read again
// only when the stamp on disk differs (written by us or by anyone else).
struct Cache
{
    std::mutex mutex;
    QString fileName;
    Stamp stamp;
    Lines ini;
};

Cache& cache()
{
    static Cache c;
    return c;
}

// File times move in steps of the kernel's clock tick, so a file changed
// twice within one tick can keep its time and size. A parse is kept only
// for a file last changed well before now; a file just written is read
// again until it has settled.
bool settled(const Stamp& stamp)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const double age = double(now.tv_sec - stamp.changed.tv_sec) +
                       double(now.tv_nsec - stamp.changed.tv_nsec) / 1e9;
    return age > 1.0;
}

Lines load(const QString& fileName)
{
    Cache& c = cache();
    const Stamp now = Stamp::of(fileName);
    std::lock_guard lock(c.mutex);
    if (c.fileName == fileName && c.stamp == now && now.exists)
        return c.ini;
    Lines ini;
    if (!now.exists)
        return ini;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return ini;
    ini = parse(file.readAll());
    // A file changed while it was read is not kept: the next read looks again.
    if (settled(now) && Stamp::of(fileName) == now) {
        c.fileName = fileName;
        c.stamp = now;
        c.ini = ini;
    } else {
        c.fileName.clear();
    }
    return ini;
}

std::function<void(const QString&)>& settingsNotice()
{
    static std::function<void(const QString&)> n;
    return n;
}

// A "password" key with a value, in any section.
bool holdsPassword(const Lines& ini)
{
    for (const QString& line : ini.lines) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed().compare(u"password", Qt::CaseInsensitive) == 0 &&
            !line.mid(eq + 1).trimmed().isEmpty())
            return true;
    }
    return false;
}

// A new file is the user's alone (it may come to hold the password); an old
// one keeps its permissions, unless others could read the password it holds.
bool replaceFile(const QString& fileName, const QByteArray& bytes, bool holdsPassword)
{
    bool tightened = false;
    if (!AtomicFile::save(fileName, {bytes},
                          holdsPassword ? FileAccess::Tightened : FileAccess::PrivateNew, nullptr,
                          &tightened))
        return false;
    if (tightened && settingsNotice())
        settingsNotice()(QCoreApplication::translate(
                             "IniFile", "%1 holds a password: it is now readable by you alone.")
                             .arg(QFileInfo(fileName).fileName()));
    return true;
}

void forget()
{
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    c.fileName.clear();
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

Span findSection(const Lines& ini, const QString& section)
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

qsizetype findKey(const Lines& ini, Span span, const QString& key)
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

QString valueIn(const Lines& ini, const QString& section, const QString& key)
{
    const Span span = findSection(ini, section.trimmed());
    if (span.header < 0)
        return {};
    const qsizetype line = findKey(ini, span, key.trimmed());
    if (line < 0)
        return {};
    return valueOf(ini.lines[line]).left(kMaxValueLength);
}

} // namespace

QString readSetting(const QString& fileName, const QString& section, const QString& key)
{
    return valueIn(load(fileName), section, key);
}

void setSettingsNotice(std::function<void(const QString& message)> notice)
{
    settingsNotice() = std::move(notice);
}

bool writeSetting(const QString& section, const QString& key, const QString& value,
                  const QString& fileName)
{
    IniText ini(fileName);
    ini.set(section, key, value);
    return ini.commit();
}

IniText::IniText(const QString& fileName) : m_fileName(fileName), m_ini(load(fileName)) {}

void IniText::set(const QString& section, const QString& key, const QString& value)
{
    Lines& ini = m_ini;
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
}

QString IniText::value(const QString& section, const QString& key) const
{
    return valueIn(m_ini, section, key);
}

bool IniText::commit()
{
    const Lines& ini = m_ini;
    QString text = ini.lines.join(ini.lineEnd);
    if (ini.endsWithLineEnd)
        text += ini.lineEnd;
    QByteArray bytes;
    if (!ini.utf8 && TextCodec::fitsCp1252(text))
        bytes = TextCodec::toCp1252(text);
    else
        bytes = text.toUtf8(); // a value the old code page cannot hold turns the file into UTF-8

    if (!replaceFile(m_fileName, bytes, holdsPassword(ini)))
        return false;
    forget(); // the next read parses what was written
    return true;
}
