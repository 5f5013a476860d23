#include "core/rss/RssWriter.h"

#include "base/MainView.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "base/StringHelpers.h"
#include "base/TextCodec.h"
#include "core/entry/WorkFiles.h"

#include <QFile>
#include <QHash>

namespace {

const QString kAnchor = QStringLiteral("<a name=");
const QString kTitleMarker = QStringLiteral("<!--Title-->");

QString decodeReferences(const QString& text)
{
    static const QHash<QString, char32_t> named = {
        {QStringLiteral("amp"), U'&'},      {QStringLiteral("lt"), U'<'},
        {QStringLiteral("gt"), U'>'},       {QStringLiteral("quot"), U'"'},
        {QStringLiteral("apos"), U'\''},    {QStringLiteral("nbsp"), 0xA0},
        {QStringLiteral("copy"), 0xA9},     {QStringLiteral("reg"), 0xAE},
        {QStringLiteral("hellip"), 0x2026}, {QStringLiteral("mdash"), 0x2014},
        {QStringLiteral("ndash"), 0x2013},  {QStringLiteral("lsquo"), 0x2018},
        {QStringLiteral("rsquo"), 0x2019},  {QStringLiteral("ldquo"), 0x201C},
        {QStringLiteral("rdquo"), 0x201D},  {QStringLiteral("euro"), 0x20AC},
        {QStringLiteral("eacute"), 0xE9},   {QStringLiteral("egrave"), 0xE8},
        {QStringLiteral("auml"), 0xE4},     {QStringLiteral("ouml"), 0xF6},
        {QStringLiteral("uuml"), 0xFC},     {QStringLiteral("szlig"), 0xDF}};
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != QLatin1Char('&')) {
            out += text[i++];
            continue;
        }
        const qsizetype semi = text.indexOf(QLatin1Char(';'), i + 1);
        if (semi > i + 1 && semi - i <= 12) {
            const QString name = text.mid(i + 1, semi - i - 1);
            char32_t code = 0;
            bool ok = false;
            if (name.startsWith(QLatin1String("#x")) || name.startsWith(QLatin1String("#X")))
                code = name.mid(2).toUInt(&ok, 16);
            else if (name.startsWith(QLatin1Char('#')))
                code = name.mid(1).toUInt(&ok, 10);
            else if (named.contains(name)) {
                code = named.value(name);
                ok = true;
            }
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                out += QString::fromUcs4(&code, 1);
                i = semi + 1;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

bool xmlAllowed(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace

QString xmlText(const QString& text)
{
    const QString decoded = decodeReferences(text);
    QString out;
    out.reserve(decoded.size());
    for (char32_t c : decoded.toUcs4()) {
        if (!xmlAllowed(c))
            continue;
        if (c == U'&')
            out += QStringLiteral("&amp;");
        else if (c == U'<')
            out += QStringLiteral("&lt;");
        else if (c == U'>')
            out += QStringLiteral("&gt;");
        else
            out += QString::fromUcs4(&c, 1);
    }
    return out;
}

QString stripTags(QString& head)
{
    head.replace(QStringLiteral("<!--"), QStringLiteral(" "));
    head.replace(QStringLiteral("-->"), QStringLiteral(" "));
    for (;;) {
        const qsizetype a = head.indexOf(QLatin1Char('<'));
        const qsizetype b = head.indexOf(QLatin1Char('>'));
        if (a < 0 || b < 0 || b < a)
            break;
        head.replace(head.mid(a, b - a + 1), QStringLiteral(" "));
    }
    return trimBlanks(head);
}

QList<Headline> extractHeadlines(const QByteArray& page)
{
    QList<Headline> rows;
    // Only the heads are needed: decode piece by piece so a long page is not
    // converted as a whole.
    const bool utf8 = TextCodec::isUtf8(page);
    auto decode = [utf8](QByteArrayView bytes) {
        return utf8 ? QString::fromUtf8(bytes) : TextCodec::fromCp1252(bytes);
    };
    const QByteArray anchor = kAnchor.toLatin1();
    const QByteArray title = kTitleMarker.toLatin1();
    qsizetype pos = 0;
    while (rows.size() < kMaxHeadlines) {
        const qsizetype a = page.indexOf(anchor, pos);
        if (a < 0)
            break;
        const qsizetype t = page.indexOf(title, a);
        if (t < 0)
            break;
        QString head = decode(QByteArrayView(page).sliced(a, t - a));
        const qsizetype close = head.indexOf(QLatin1Char('>'));
        const QString tag = close < 0 ? head : head.left(close + 1);
        const qsizetype q1 = tag.indexOf(QLatin1Char('"'));
        const qsizetype q2 = tag.lastIndexOf(QLatin1Char('"'));
        Headline row;
        if (q1 >= 0 && q2 > q1)
            row.anchor = tag.mid(q1 + 1, q2 - q1 - 1);
        row.text = stripTags(head);
        rows << row;
        pos = t;
    }
    return rows;
}

QByteArray rssText(const Settings& s, const QByteArray& page)
{
    QString out;
    auto add = [&out](const QString& line) { out += line + QStringLiteral("\r\n"); };
    add(QStringLiteral("<?xml version =\"1.0\"?>"));
    add(QStringLiteral("<!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\""));
    add(QStringLiteral("\"http://my.netscape.com/publish/formats/rss-0.91.dtd\">"));
    add(QStringLiteral("<rss version=\"0.91\">"));
    add(QStringLiteral("<channel>"));
    add(QStringLiteral("<title>") + xmlText(s.backendtitle) + QStringLiteral("</title>"));
    add(QStringLiteral("<link>") + xmlText(s.website) + QStringLiteral("</link>"));
    add(QStringLiteral("<description>") + xmlText(s.backenddescript) +
        QStringLiteral("</description>"));
    add(QStringLiteral("<language>en-us</language>"));
    add(QStringLiteral("<rating>(PICS-1.1 \"http://www.rsac.org/ratingsv01.html\""));
    add(QStringLiteral("l gen true comment \"RSACi North America Server\""));
    add(QStringLiteral("for \"http://www.rsac.org\" on 1996.04.16T08:15-0500"));
    add(QStringLiteral("r (n 0 s 0 v 0 l 0))</rating>"));
    if (s.rssImageEnabled()) {
        add(QStringLiteral("<image>"));
        add(QStringLiteral("<title>") + xmlText(s.backendimagealt) + QStringLiteral("</title>"));
        add(QStringLiteral("<url>") + xmlText(s.backendimageurl) + QStringLiteral("</url>"));
        add(QStringLiteral("<link>") + xmlText(s.website) + QStringLiteral("</link>"));
        add(QStringLiteral("<description>") + xmlText(s.backendimagedescript) +
            QStringLiteral("</description>"));
        add(QStringLiteral("</image>"));
    }
    for (const Headline& h : extractHeadlines(page)) {
        if (h.anchor.isEmpty() || h.text.isEmpty())
            break;
        add(QStringLiteral("<item>"));
        add(QStringLiteral("<title>") + trimBlanks(xmlText(h.text)) + QStringLiteral("</title>"));
        add(QStringLiteral("<link>") + trimBlanks(xmlText(s.website)) + QLatin1Char('#') +
            trimBlanks(xmlText(h.anchor)) + QStringLiteral("</link>"));
        add(QStringLiteral("</item>"));
    }
    add(QStringLiteral("</channel>"));
    add(QStringLiteral("</rss>"));
    out += QStringLiteral("\r\n");
    return out.toUtf8();
}

bool writeRssFile(const Settings& s, MainView& view, Prompt& prompt)
{
    view.appendStatus(QStringLiteral("Updating backend..."));
    view.appendStatus(QStringLiteral("Extracting Headlines"));
    const QString pageName = s.workFileName(QStringLiteral("webbie"));
    const std::optional<QByteArray> page = WorkFiles::read(s.workFile(QStringLiteral("webbie")));
    if (!page) {
        prompt.message(QStringLiteral("The RSS file could not be made: the page ") + pageName +
                           QStringLiteral(" could not be read."),
                       Buttons::Ok, Icon::Critical, QStringLiteral("RSS Backend"));
        return false;
    }
    const QByteArray text = rssText(s, *page);
    const QString outName = s.workFileName(QStringLiteral("backend"), QStringLiteral(".rss"));
    if (!WorkFiles::write(s.workFile(QStringLiteral("backend"), QStringLiteral(".rss")), text)) {
        prompt.message(QStringLiteral("The RSS file ") + outName +
                           QStringLiteral(" could not be written."),
                       Buttons::Ok, Icon::Critical, QStringLiteral("RSS Backend"));
        return false;
    }
    return true;
}
