#include "core/picture/Picture.h"

#include <QBuffer>
#include <QColorSpace>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

namespace Picture {

namespace {

struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(Picture)
};

const QList<QByteArray> kFormats = {"png", "jpeg", "gif", "webp", "svg"};

quint32 readUint(QByteArrayView b, qsizetype at, int bytes, bool bigEndian)
{
    quint32 v = 0;
    for (int i = 0; i < bytes; ++i) {
        const auto byte = static_cast<quint8>(b[at + (bigEndian ? i : bytes - 1 - i)]);
        v = (v << 8) | byte;
    }
    return v;
}

// A TIFF structure (the body of an EXIF block): whether its first IFD holds
// the pointer to a GPS IFD with at least one entry.
bool tiffHasGps(QByteArrayView tiff)
{
    if (tiff.startsWith("Exif\0\0"))
        tiff = tiff.sliced(6);
    if (tiff.size() < 8 || !(tiff.startsWith("II") || tiff.startsWith("MM")))
        return false;
    const bool be = tiff[0] == 'M';
    const quint32 ifd = readUint(tiff, 4, 4, be);
    if (ifd + 2 > quint32(tiff.size()))
        return false;
    const quint32 count = readUint(tiff, ifd, 2, be);
    for (quint32 i = 0; i < count; ++i) {
        const qsizetype entry = ifd + 2 + i * 12;
        if (entry + 12 > tiff.size())
            return false;
        if (readUint(tiff, entry, 2, be) != 0x8825)
            continue;
        const quint32 gps = readUint(tiff, entry + 8, 4, be);
        return gps + 2 <= quint32(tiff.size()) && readUint(tiff, gps, 2, be) > 0;
    }
    return false;
}

bool jpegHasGps(QByteArrayView b)
{
    qsizetype at = 2;
    while (at + 4 <= b.size() && static_cast<quint8>(b[at]) == 0xFF) {
        const auto marker = static_cast<quint8>(b[at + 1]);
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            break;
        const qsizetype length = readUint(b, at + 2, 2, true);
        if (length < 2 || at + 2 + length > b.size())
            break;
        if (marker == 0xE1 && tiffHasGps(b.sliced(at + 4, length - 2)))
            return true;
        at += 2 + length;
    }
    return false;
}

// The chunk `type` of a PNG (big-endian lengths after the signature) or a
// WebP (little-endian lengths after "RIFF....WEBP", padded to even).
bool chunkHasGps(QByteArrayView b, qsizetype at, bool png, const char* type)
{
    while (at + 8 <= b.size()) {
        const qsizetype length = readUint(b, at + (png ? 0 : 4), 4, png);
        const QByteArrayView name = b.sliced(at + (png ? 4 : 0), 4);
        if (length > b.size() - at - 8)
            break;
        if (name == QByteArrayView(type) && tiffHasGps(b.sliced(at + 8, length)))
            return true;
        at += 8 + length + (png ? 4 : length % 2);
    }
    return false;
}

QString fileLabel(const QString& path)
{
    return QFileInfo(path).fileName();
}

// The image's pixels alone: no text keys (PNG text, comments) to write back.
QImage withoutMetadata(const QImage& image)
{
    QImage clean(image.constBits(), image.width(), image.height(), image.bytesPerLine(),
                 image.format());
    clean.setColorTable(image.colorTable());
    clean.setColorSpace(image.colorSpace());
    return clean.copy();
}

// The name with the extension the format is served under.
QString withExtension(const QString& name, const QByteArray& format)
{
    const QString suffix = QFileInfo(name).suffix();
    const QStringList known = format == "jpeg"
                                  ? QStringList{QStringLiteral("jpg"), QStringLiteral("jpeg")}
                                  : QStringList{QString::fromLatin1(format)};
    if (known.contains(suffix))
        return name;
    const QString stem = suffix.isEmpty() ? name : name.chopped(suffix.size() + 1);
    return stem + QLatin1Char('.') + known.first();
}

} // namespace

std::optional<Header> inspect(const QString& path, QString* error)
{
    const QFileInfo info(path);
    const QString name = fileLabel(path);
    const auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return std::nullopt;
    };
    if (!info.isFile() || !info.isReadable())
        return fail(Texts::tr("The picture %1 cannot be read.").arg(path));
    if (info.size() == 0)
        return fail(Texts::tr("The file %1 is empty.").arg(name));
    if (info.size() > kMaxFileBytes)
        return fail(Texts::tr("The picture %1 is larger than 50 MB.").arg(name));
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QByteArray format = reader.format();
    if (!kFormats.contains(format))
        return fail(Texts::tr("The file %1 is not a picture Pagewick can use (PNG, JPEG, GIF, "
                              "WebP or SVG).")
                        .arg(name));
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return fail(Texts::tr("The picture %1 is damaged: its size cannot be read.").arg(name));
    if (size.width() > kMaxSide || size.height() > kMaxSide)
        return fail(Texts::tr("The picture %1 is %2 x %3 pixels; pictures larger than 20,000 "
                              "pixels on a side are not used.")
                        .arg(name)
                        .arg(size.width())
                        .arg(size.height()));
    return Header{format, size};
}

std::optional<Prepared> prepare(const QString& path, int maxWidth, QString* error)
{
    const std::optional<Header> header = inspect(path, error);
    if (!header)
        return std::nullopt;
    const QString label = fileLabel(path);
    const auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return std::nullopt;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(Texts::tr("The picture %1 cannot be read.").arg(path));
    Prepared p;
    p.bytes = file.readAll();
    if (p.bytes.isEmpty())
        return fail(Texts::tr("The file %1 is empty.").arg(label));
    p.name = safeName(label);
    if (p.name.isEmpty())
        return fail(Texts::tr("The name of the picture %1 has no letters or digits Pagewick can "
                              "use on a web server.  Please rename the file.")
                        .arg(label));

    if (header->format == "svg") {
        // Drawn by the browser at any size: the file goes as it is, the tag
        // gives the width.
        p.originalSize = header->size;
        p.size = p.originalSize;
        if (maxWidth > 0 && p.size.width() > maxWidth)
            p.size = QSize(maxWidth,
                           qMax(1, qRound(double(p.size.height()) * maxWidth / p.size.width())));
        p.name = withExtension(p.name, header->format);
        return p;
    }

    QBuffer buffer(&p.bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, header->format);
    reader.setAutoTransform(true);
    // The size as shown: a quarter turn swaps the sides.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    p.originalSize = turned ? header->size.transposed() : header->size;
    p.scaled = maxWidth > 0 && p.originalSize.width() > maxWidth;
    const QSize target(maxWidth, qMax(1, qRound(double(p.originalSize.height()) * maxWidth /
                                                p.originalSize.width())));
    // A JPEG is decoded at the size it goes out with: a large photo never
    // needs its full size in memory.
    if (p.scaled && reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(turned ? target.transposed() : target);
    // Room for the largest picture taken (20,000 pixels a side, 4 bytes each).
    QImageReader::setAllocationLimit(qMax(QImageReader::allocationLimit(), 1600));
    QImage image = reader.read();
    if (image.isNull())
        return fail(
            Texts::tr("The picture %1 cannot be read: %2").arg(label, reader.errorString()));
    p.gpsRemoved = hasLocation(p.bytes);
    if (p.scaled && image.size() != target)
        image = image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    p.size = image.size();
    if (!p.scaled && !p.gpsRemoved) {
        p.name = withExtension(p.name, header->format);
        return p;
    }

    const QByteArray format = header->format == "gif" ? QByteArray("png") : header->format;
    QByteArray encoded;
    QBuffer out(&encoded);
    out.open(QIODevice::WriteOnly);
    QImageWriter writer(&out, format);
    if (format == "jpeg" || format == "webp")
        writer.setQuality(kJpegQuality);
    if (!writer.write(withoutMetadata(image)))
        return fail(
            Texts::tr("The picture %1 could not be prepared: %2").arg(label, writer.errorString()));
    p.bytes = encoded;
    p.name = withExtension(p.name, format);
    return p;
}

bool hasLocation(QByteArrayView b)
{
    if (b.contains("GPSLatitude"))
        return true; // an XMP packet with a position
    if (b.startsWith("\xFF\xD8"))
        return jpegHasGps(b);
    if (b.startsWith("\x89PNG\r\n\x1A\n"))
        return chunkHasGps(b, 8, true, "eXIf");
    if (b.size() >= 12 && b.startsWith("RIFF") && b.sliced(8, 4) == QByteArrayView("WEBP"))
        return chunkHasGps(b, 12, false, "EXIF");
    return false;
}

QString safeName(const QString& fileName)
{
    // Lower-case letters and digits; a run of anything else is one dash, and
    // there is none at either end of the stem.
    const auto clean = [](const QString& text, bool dashes) {
        QString out;
        for (const QChar c : text.normalized(QString::NormalizationForm_KD).toLower()) {
            const char16_t u = c.unicode();
            if ((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9'))
                out += c;
            else if (dashes && c.category() != QChar::Mark_NonSpacing && !out.isEmpty() &&
                     !out.endsWith(QLatin1Char('-')))
                out += QLatin1Char('-');
        }
        if (out.endsWith(QLatin1Char('-')))
            out.chop(1);
        return out;
    };
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = clean(dot < 0 ? name : name.left(dot), true);
    const QString suffix = dot < 0 ? QString() : clean(name.mid(dot + 1), false);
    if (stem.isEmpty())
        return {};
    return suffix.isEmpty() ? stem : stem + QLatin1Char('.') + suffix;
}

QString numberedName(const QString& name, int number)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype at = dot < 0 ? name.size() : dot;
    return name.left(at) + QLatin1Char('-') + QString::number(number) + name.mid(at);
}

QString imageTag(const QString& src, const QString& alt, QSize size)
{
    QString text = alt.simplified().toHtmlEscaped();
    return QStringLiteral("<img src=\"") + src.toHtmlEscaped() + QStringLiteral("\" alt=\"") +
           text + QStringLiteral("\" width=\"") + QString::number(size.width()) +
           QStringLiteral("\" height=\"") + QString::number(size.height()) + QStringLiteral("\">");
}

NameChoice chooseName(const QString& name, const QSet<QString>& taken,
                      const std::function<bool(const QString&)>& sameContent)
{
    for (int n = 1;; ++n) {
        const QString candidate = n == 1 ? name : numberedName(name, n);
        if (!taken.contains(candidate))
            return {candidate, true};
        if (sameContent(candidate))
            return {candidate, false};
    }
}

} // namespace Picture
