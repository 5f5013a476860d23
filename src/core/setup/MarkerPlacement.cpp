#include "core/setup/MarkerPlacement.h"

#include "base/ProgramDir.h"
#include "base/TextCodec.h"

namespace Setup {

namespace {

using PageText::Encoding;

const QString kCrLf = QStringLiteral("\r\n");

// Bytes in a UTF-8 sequence, from its lead byte (the page is valid UTF-8).
int sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    return 2;
}

const char kFontFace[] = "<font face=\"Verdana, Arial, Helvetica, sans-serif\" size=\"";

QByteArray font(const char* size)
{
    return QByteArray(kFontFace) + size + "\" color=\"#000000\">";
}

} // namespace

QString markerText(MarkerKind kind)
{
    return kind == MarkerKind::Main
               ? QStringLiteral("<!--pagewick-->") + kCrLf + QStringLiteral("<!--**END**-->")
               : QStringLiteral("<!--PagewickArchiveStart-->") + kCrLf;
}

QString previewMarker(MarkerKind kind)
{
    return kind == MarkerKind::Main ? QStringLiteral("<!--pagewick-->")
                                    : QStringLiteral("<!--PagewickArchiveStart-->");
}

PageSource::PageSource(QByteArray page)
    : m_bytes(std::move(page)), m_encoding(PageText::pageEncoding(m_bytes))
{
    const qsizetype n = m_bytes.size();
    m_text.reserve(n);
    m_offsets.reserve(n + 1);
    const QString cp1252 =
        m_encoding == Encoding::Windows1252 ? TextCodec::fromCp1252(m_bytes) : QString();
    qsizetype i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(m_bytes[i]);
        if (b == '\r' || b == '\n') {
            m_text += QLatin1Char('\n');
            m_offsets << i;
            i += (b == '\r' && i + 1 < n && m_bytes[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        if (m_encoding == Encoding::Windows1252) {
            m_text += cp1252[i];
            m_offsets << i;
            ++i;
            continue;
        }
        const qsizetype length = qMin<qsizetype>(sequenceLength(b), n - i);
        const QString character = QString::fromUtf8(m_bytes.constData() + i, length);
        for (qsizetype k = 0; k < character.size(); ++k) {
            m_text += character[k];
            m_offsets << i;
        }
        i += length;
    }
    m_offsets << n;
}

qsizetype PageSource::byteOffset(qsizetype position) const
{
    if (position <= 0)
        return 0;
    if (position >= m_offsets.size())
        return m_bytes.size();
    return m_offsets[position];
}

MarkedPage placeMarkers(const PageSource& source, qsizetype selectionStart, qsizetype selectionEnd,
                        MarkerKind kind)
{
    if (selectionEnd < selectionStart)
        std::swap(selectionStart, selectionEnd);
    const qsizetype from = source.byteOffset(selectionStart);
    const qsizetype to = source.byteOffset(selectionEnd);
    const QString text = markerText(kind);
    const QByteArray marker = PageText::encodeText(text, source.encoding());
    const QByteArray& bytes = source.bytes();

    MarkedPage out;
    out.page.reserve(bytes.size() + marker.size());
    out.page.append(bytes.constData(), from);
    out.page += marker;
    out.page.append(bytes.constData() + to, bytes.size() - to);
    out.markerEnd = from + PageText::encodeText(previewMarker(kind), source.encoding()).size();
    // The text box shows the CR LF inside the markers as one line end.
    out.textCaret = qMin(selectionStart, source.text().size()) +
                    QString(text).replace(kCrLf, QStringLiteral("\n")).size();
    return out;
}

QByteArray sampleEntry(const QString& text, const QString& time)
{
    QByteArray e = "<center><table width=\"80%\" border=\"0\" cellspacing=\"1\" "
                   "cellpadding=\"2\"bgcolor=\"005F91\"><tr><td>";
    e += font("2") + "<Font Color=#BFBFBF>";
    e += text.toUtf8() + "<br>";
    e += "<div align=\"right\">" + font("1") + "URL: <a href=\"" + makerSite().toUtf8() +
         "/pagewick/\">Pagewick</a><br><a href=\"mailto:sample@example.com\">A. Sample</a> @ " +
         time.toUtf8() + "</font></div>";
    e += font("1") + "</div></font></tr></table></center></Font></font>";
    return e;
}

QByteArray previewBlock(MarkerKind kind)
{
    const QString example =
        kind == MarkerKind::Main
            ? QStringLiteral("This is an example of one of the many templates that exist for "
                             "pagewick users.  You may format you entries any place you wish.  "
                             "This is just an example to test the positioning of your pagewick "
                             "entries. ")
            : QStringLiteral("This is an example of how pagewick will move old entries to an "
                             "archive page for you.  This is just an example to test the "
                             "positioning of your archived pagewick entries. ");
    const QString welcome = QStringLiteral("Welcome to the world of pagewick.  Older posts are "
                                           "moved down the page as you add new entries. ");
    return sampleEntry(example, QStringLiteral("08:32 AM")) + PageText::kCrLf.toByteArray() +
           sampleEntry(welcome, QStringLiteral("08:12 AM"));
}

QByteArray previewFile(const MarkedPage& marked, MarkerKind kind)
{
    QByteArray out = marked.page.left(marked.markerEnd);
    out += PageText::kCrLf;
    out += previewBlock(kind);
    out += marked.page.mid(marked.markerEnd);
    out += PageText::kCrLf;
    return out;
}

QByteArray markedFile(const MarkedPage& marked)
{
    return marked.page + PageText::kCrLf.toByteArray();
}

QString positionQuestion(MarkerKind kind)
{
    return QStringLiteral("Please wait for the web page to load.") + kCrLf + kCrLf +
           (kind == MarkerKind::Main
                ? QStringLiteral("  Is the position of the pagewick entry correct?")
                : QStringLiteral("  Is the position of the pagewick archives correct?")) +
           kCrLf + QStringLiteral("(Note:  Images are not seen within pagewick previews)");
}

} // namespace Setup
