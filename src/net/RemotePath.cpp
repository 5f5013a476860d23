#include "net/RemotePath.h"

#include <QStringList>
#include <QUrl>

namespace RemotePath {

// `path` taken from directory `base` (both absolute, '/' separated), with
// ".", ".." and empty segments resolved; ".." at the root stays there.
QString resolve(const QString& base, const QString& path)
{
    const QString full = path.startsWith(u'/') ? path : base + u'/' + path;
    QStringList parts;
    for (const QString& segment : full.split(u'/', Qt::SkipEmptyParts)) {
        if (segment == u".")
            continue;
        if (segment == u"..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts << segment;
    }
    return u'/' + parts.join(u'/');
}

QByteArray encodeSegments(const QString& absolutePath)
{
    QByteArrayList encoded;
    for (const QString& segment : absolutePath.split(u'/', Qt::SkipEmptyParts))
        encoded << QUrl::toPercentEncoding(segment);
    return encoded.join('/');
}

// FTP URLs name paths relative to the log-in directory; a leading "%2F"
// makes them absolute. With the no-CWD method libcurl then sends the whole
// decoded path in one command (RETR /a b/c.html).
QByteArray ftpFile(const QString& absolutePath)
{
    return "/%2F" + encodeSegments(absolutePath);
}

QByteArray ftpDirectory(const QString& absolutePath)
{
    const QByteArray segments = encodeSegments(absolutePath);
    return segments.isEmpty() ? QByteArray("/%2F/") : "/%2F" + segments + '/';
}

// An upload first goes to this name in the target's own folder and is renamed
// over the target once it is complete, so the target is always either the old
// file or the new one.
QString uploadTemp(const QString& absolutePath)
{
    return absolutePath + QStringLiteral(".pagewick-upload");
}

QByteArray sftpFile(const QString& absolutePath)
{
    return '/' + encodeSegments(absolutePath);
}

QByteArray sftpDirectory(const QString& absolutePath)
{
    const QByteArray segments = encodeSegments(absolutePath);
    return segments.isEmpty() ? QByteArray("/") : '/' + segments + '/';
}

// The directory of a PWD reply text: `"/a ""b"" c" is current directory`.
std::optional<QString> parsePwdReply(const QByteArray& text)
{
    const qsizetype open = text.indexOf('"');
    if (open < 0)
        return std::nullopt;
    QByteArray path;
    for (qsizetype i = open + 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
                path += '"';
                ++i;
                continue;
            }
            return QString::fromUtf8(path);
        }
        path += text[i];
    }
    return std::nullopt;
}

QString asideTemp(const QString& absolutePath)
{
    return absolutePath + QStringLiteral(".pagewick-old");
}

} // namespace RemotePath
