#include "core/entry/EntryDraft.h"

#include "base/AtomicFile.h"

#include <QFile>

#include <array>
#include <utility>

namespace EntryDraft {

namespace {

const QByteArray kHeader = "PAGEWICK-DRAFT 1\n";
const QByteArray kEnd = "END\n";
// Larger than anything typed by hand; a length beyond it means damage.
constexpr qsizetype kMaxField = qsizetype(64) * 1024 * 1024;

using Member = QString EntryFields::*;
const std::array<std::pair<const char*, Member>, 6> kFields = {{
    {"head", &EntryFields::head},
    {"main", &EntryFields::main},
    {"sig", &EntryFields::sig},
    {"email", &EntryFields::email},
    {"url", &EntryFields::url},
    {"urltitle", &EntryFields::urlTitle},
}};

} // namespace

QString fileName()
{
    return QStringLiteral("entrydraft.txt");
}

QByteArray format(const EntryFields& fields)
{
    QByteArray out = kHeader;
    for (const auto& [name, member] : kFields) {
        const QByteArray value = (fields.*member).toUtf8();
        out += name;
        out += ' ';
        out += QByteArray::number(value.size());
        out += '\n';
        out += value;
        out += '\n';
    }
    out += kEnd;
    return out;
}

std::optional<EntryFields> parse(const QByteArray& bytes, QString* error)
{
    auto fail = [error](const QString& why) -> std::optional<EntryFields> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    if (!bytes.startsWith(kHeader))
        return fail(bytes.startsWith("PAGEWICK-DRAFT ") ? QStringLiteral("unknown version")
                                                        : QStringLiteral("not a draft"));
    qsizetype pos = kHeader.size();
    EntryFields fields;
    for (const auto& [name, member] : kFields) {
        const qsizetype lineEnd = bytes.indexOf('\n', pos);
        if (lineEnd < 0)
            return fail(QStringLiteral("cut short"));
        const QByteArray line = bytes.mid(pos, lineEnd - pos);
        const QByteArray prefix = QByteArray(name) + ' ';
        if (!line.startsWith(prefix))
            return fail(QStringLiteral("field %1 missing").arg(QLatin1String(name)));
        const QByteArray digits = line.mid(prefix.size());
        bool ok = false;
        const qlonglong length = digits.toLongLong(&ok);
        if (!ok || length < 0 || length > kMaxField || digits.startsWith('+'))
            return fail(QStringLiteral("bad length of field %1").arg(QLatin1String(name)));
        pos = lineEnd + 1;
        if (bytes.size() - pos < length + 1)
            return fail(QStringLiteral("cut short"));
        if (bytes.at(pos + length) != '\n')
            return fail(QStringLiteral("field %1 has the wrong length").arg(QLatin1String(name)));
        fields.*member = QString::fromUtf8(bytes.mid(pos, length));
        pos += length + 1;
    }
    if (bytes.mid(pos) != kEnd)
        return fail(bytes.size() - pos < kEnd.size() ? QStringLiteral("cut short")
                                                     : QStringLiteral("unexpected end"));
    return fields;
}

bool isBlank(const EntryFields& f)
{
    return f.head.isEmpty() && f.main.isEmpty() && f.urlTitle.isEmpty() &&
           (f.url.isEmpty() || f.url == QLatin1String("http://"));
}

bool save(const QString& path, const EntryFields& fields, QString* error)
{
    // Unpublished text is the user's alone (where the file system can say so).
    return AtomicFile::save(path, {format(fields)}, FileAccess::Private, error);
}

Loaded load(const QString& path)
{
    Loaded loaded;
    QFile file(path);
    if (!file.exists())
        return loaded;
    loaded.status = Loaded::Damaged;
    if (!file.open(QIODevice::ReadOnly)) {
        loaded.error = file.errorString();
        return loaded;
    }
    const QByteArray bytes = file.read(kMaxField * 2);
    if (file.error() != QFileDevice::NoError) {
        loaded.error = file.errorString();
        return loaded;
    }
    if (std::optional<EntryFields> fields = parse(bytes, &loaded.error)) {
        loaded.fields = std::move(*fields);
        loaded.status = Loaded::Found;
    }
    return loaded;
}

bool remove(const QString& path)
{
    QFile file(path);
    return !file.exists() || file.remove();
}

} // namespace EntryDraft
