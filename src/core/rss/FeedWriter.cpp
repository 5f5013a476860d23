#include "core/rss/FeedWriter.h"

#include "base/MainView.h"
#include "base/ProgramDir.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "base/TextCodec.h"
#include "core/entry/EntryBuilder.h"
#include "core/entry/WorkFiles.h"
#include "core/rss/RssWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

namespace {

constexpr int kDefaultItems = 20;
constexpr int kMaxItems = 100;

bool xmlAllowed(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Text as XML character data or attribute value, taken literally: the
// characters XML cannot carry are dropped.
QString escaped(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (char32_t c : text.toUcs4()) {
        if (!xmlAllowed(c))
            continue;
        switch (c) {
        case U'&':
            out += QStringLiteral("&amp;");
            break;
        case U'<':
            out += QStringLiteral("&lt;");
            break;
        case U'>':
            out += QStringLiteral("&gt;");
            break;
        case U'"':
            out += QStringLiteral("&quot;");
            break;
        default:
            out += QString::fromUcs4(&c, 1);
        }
    }
    return out;
}

// Text written in HTML (character references decoded), made safe for XML.
QString plain(const QString& html)
{
    QString text = xmlText(html).simplified(); // decodes references, escapes & < >
    return text.replace(QLatin1Char('"'), QStringLiteral("&quot;"));
}

const QString kEnUsDate = QStringLiteral("M/d/yyyy");
const QString kEnUsTime = QStringLiteral("h:mm:ss AP");

// The formats the entry builder writes outside en_US: the short date with a
// four-digit year, the long time without its zone.
QString localDateFormat(const QLocale& locale)
{
    static const QRegularExpression years(QStringLiteral("y+"));
    return locale.dateFormat(QLocale::ShortFormat).replace(years, QStringLiteral("yyyy"));
}

QString localTimeFormat(const QLocale& locale)
{
    static const QRegularExpression zone(QStringLiteral("t+"));
    QString f = locale.timeFormat(QLocale::LongFormat).remove(zone);
    f.replace(QChar(0x202F), QLatin1Char(' ')).replace(QChar(0x00A0), QLatin1Char(' '));
    return f.simplified();
}

// "en-US": the language and territory of the locale.
QString languageTag(const QLocale& locale)
{
    const QString name = locale.name();
    return name == QLatin1String("C") ? QStringLiteral("en") : escaped(name).replace(u'_', u'-');
}

QString offsetText(const QDateTime& when, bool colon)
{
    const int minutes = when.offsetFromUtc() / 60;
    const int whole = qAbs(minutes);
    return (minutes < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
           QStringLiteral("%1").arg(whole / 60, 2, 10, QLatin1Char('0')) +
           (colon ? QStringLiteral(":") : QString()) +
           QStringLiteral("%1").arg(whole % 60, 2, 10, QLatin1Char('0'));
}

// The anchor name of an entry head "<a name="NAME">": between the first and
// the last double quote of the tag.
QString anchorName(const QString& head)
{
    const qsizetype close = head.indexOf(QLatin1Char('>'));
    const QString tag = close < 0 ? head : head.left(close + 1);
    const qsizetype q1 = tag.indexOf(QLatin1Char('"'));
    const qsizetype q2 = tag.lastIndexOf(QLatin1Char('"'));
    if (q1 < 0 || q2 <= q1)
        return {};
    const QString name = tag.mid(q1 + 1, q2 - q1 - 1).trimmed();
    static const QRegularExpression bad(QStringLiteral("[\\s\"'<>#]"));
    return name.contains(bad) ? QString() : name;
}

// Fills `e` from the text of one entry after its time/date marker.
bool readEntry(const QString& text, FeedEntry& e)
{
    const qsizetype a = text.indexOf(QStringLiteral("<a name="));
    const qsizetype t = a < 0 ? -1 : text.indexOf(kTitleMarker, a);
    if (t < 0)
        return false;
    QString head = text.mid(a, t - a);
    e.anchor = anchorName(head);
    e.title = stripTags(head).simplified();
    if (e.anchor.isEmpty() || e.title.isEmpty())
        return false;
    // The signature is the last mail link the entry builder wrote.
    const QString mail = QStringLiteral("<a href=\"mailto:");
    const qsizetype m = text.lastIndexOf(mail);
    if (m >= 0) {
        const qsizetype from = m + mail.size();
        const qsizetype quote = text.indexOf(QLatin1Char('"'), from);
        const qsizetype end = text.indexOf(QStringLiteral("</a>"), from, Qt::CaseInsensitive);
        const qsizetype gt = text.indexOf(QLatin1Char('>'), from);
        if (quote > from && gt > quote && end > gt) {
            e.email = text.mid(from, quote - from).trimmed();
            QString name = text.mid(gt + 1, end - gt - 1);
            e.author = stripTags(name).simplified();
        }
    }
    // A parser would turn CR LF into LF anyway.
    e.html = text.trimmed().replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return true;
}

QString fileStem(FeedKind kind)
{
    return kind == FeedKind::Rss2 ? QStringLiteral("rss") : QStringLiteral("atom");
}

QString mimeType(FeedKind kind)
{
    return kind == FeedKind::Rss2 ? QStringLiteral("application/rss+xml")
                                  : QStringLiteral("application/atom+xml");
}

QString channelTitle(const Settings& s)
{
    return s.backendtitle.trimmed().isEmpty() ? s.website.trimmed() : s.backendtitle;
}

QString rss2Text(const Settings& s, const QList<FeedEntry>& entries, const QDateTime& built,
                 const QLocale& locale)
{
    const QString site = s.website.trimmed();
    QString out;
    auto add = [&out](const QString& line) { out += line + QLatin1Char('\n'); };
    add(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    add(QStringLiteral("<rss version=\"2.0\" xmlns:atom=\"http://www.w3.org/2005/Atom\">"));
    add(QStringLiteral("<channel>"));
    add(QStringLiteral("<title>") + plain(channelTitle(s)) + QStringLiteral("</title>"));
    add(QStringLiteral("<link>") + escaped(site) + QStringLiteral("</link>"));
    const QString description = s.backenddescript.isEmpty() ? channelTitle(s) : s.backenddescript;
    add(QStringLiteral("<description>") + plain(description) + QStringLiteral("</description>"));
    add(QStringLiteral("<language>") + languageTag(locale).toLower() +
        QStringLiteral("</language>"));
    add(QStringLiteral("<generator>Pagewick ") + versionText() + QStringLiteral("</generator>"));
    add(QStringLiteral("<lastBuildDate>") + rfc822Date(built) + QStringLiteral("</lastBuildDate>"));
    add(QStringLiteral("<atom:link href=\"") + escaped(feedAddress(FeedKind::Rss2, site)) +
        QStringLiteral("\" rel=\"self\" type=\"application/rss+xml\"/>"));
    for (const FeedEntry& e : entries) {
        const QString link = escaped(site + QLatin1Char('#') + e.anchor);
        add(QStringLiteral("<item>"));
        add(QStringLiteral("<title>") + plain(e.title) + QStringLiteral("</title>"));
        add(QStringLiteral("<link>") + link + QStringLiteral("</link>"));
        add(QStringLiteral("<guid isPermaLink=\"true\">") + link + QStringLiteral("</guid>"));
        add(QStringLiteral("<pubDate>") + rfc822Date(e.when) + QStringLiteral("</pubDate>"));
        if (!e.email.isEmpty())
            add(QStringLiteral("<author>") + plain(e.email) + QStringLiteral(" (") +
                plain(e.author) + QStringLiteral(")</author>"));
        add(QStringLiteral("<description>") + escaped(e.html) + QStringLiteral("</description>"));
        add(QStringLiteral("</item>"));
    }
    add(QStringLiteral("</channel>"));
    add(QStringLiteral("</rss>"));
    return out;
}

QString atomText(const Settings& s, const QList<FeedEntry>& entries, const QDateTime& built,
                 const QLocale& locale)
{
    const QString site = s.website.trimmed();
    const QString self = escaped(feedAddress(FeedKind::Atom, site));
    QString out;
    auto add = [&out](const QString& line) { out += line + QLatin1Char('\n'); };
    add(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    add(QStringLiteral("<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:lang=\"") +
        languageTag(locale) + QStringLiteral("\">"));
    add(QStringLiteral("<title>") + plain(channelTitle(s)) + QStringLiteral("</title>"));
    if (!s.backenddescript.isEmpty())
        add(QStringLiteral("<subtitle>") + plain(s.backenddescript) +
            QStringLiteral("</subtitle>"));
    add(QStringLiteral("<link rel=\"alternate\" type=\"text/html\" href=\"") + escaped(site) +
        QStringLiteral("\"/>"));
    add(QStringLiteral("<link rel=\"self\" type=\"application/atom+xml\" href=\"") + self +
        QStringLiteral("\"/>"));
    add(QStringLiteral("<id>") + self + QStringLiteral("</id>"));
    add(QStringLiteral("<updated>") + rfc3339Date(built) + QStringLiteral("</updated>"));
    // Atom wants an author for every entry: the feed's stands in for those
    // without a signature link.
    const QString owner = s.defaultsig.trimmed().isEmpty() ? channelTitle(s) : s.defaultsig;
    add(QStringLiteral("<author><name>") + plain(owner) + QStringLiteral("</name></author>"));
    add(QStringLiteral("<generator version=\"") + versionText() +
        QStringLiteral("\">Pagewick</generator>"));
    for (const FeedEntry& e : entries) {
        const QString link = escaped(site + QLatin1Char('#') + e.anchor);
        const QString date = rfc3339Date(e.when);
        add(QStringLiteral("<entry>"));
        add(QStringLiteral("<title type=\"text\">") + plain(e.title) + QStringLiteral("</title>"));
        add(QStringLiteral("<link rel=\"alternate\" type=\"text/html\" href=\"") + link +
            QStringLiteral("\"/>"));
        add(QStringLiteral("<id>") + link + QStringLiteral("</id>"));
        add(QStringLiteral("<published>") + date + QStringLiteral("</published>"));
        add(QStringLiteral("<updated>") + date + QStringLiteral("</updated>"));
        if (!e.email.isEmpty())
            add(QStringLiteral("<author><name>") + plain(e.author) +
                QStringLiteral("</name><email>") + plain(e.email) +
                QStringLiteral("</email></author>"));
        add(QStringLiteral("<content type=\"html\">") + escaped(e.html) +
            QStringLiteral("</content>"));
        add(QStringLiteral("</entry>"));
    }
    add(QStringLiteral("</feed>"));
    return out;
}

} // namespace

bool feedChosen(const QString& feeds, const char* kind)
{
    for (const QString& word : feeds.split(QLatin1Char(',')))
        if (word.trimmed().compare(QLatin1String(kind), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString feedsValue(bool rss2, bool atom)
{
    QStringList kinds;
    if (rss2)
        kinds << QStringLiteral("rss2");
    if (atom)
        kinds << QStringLiteral("atom");
    return kinds.join(QLatin1Char(','));
}

int feedItemCount(const QString& feeditems)
{
    const QString text = feeditems.trimmed();
    if (text.isEmpty())
        return kDefaultItems;
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok && n >= 1 && n <= kMaxItems ? n : -1;
}

QDateTime markerDateTime(const QString& date, const QString& time, const QLocale& locale)
{
    const QLocale enUs(QLocale::English, QLocale::UnitedStates);
    const struct
    {
        QLocale locale;
        QString date, time;
    } forms[] = {{locale, localDateFormat(locale), localTimeFormat(locale)},
                 {enUs, kEnUsDate, kEnUsTime}};
    for (const auto& form : forms) {
        const QDate d = form.locale.toDate(date, form.date);
        const QTime t = form.locale.toTime(time, form.time);
        if (!d.isValid() || !t.isValid())
            continue;
        const QDateTime when(d, t);
        // Only what the entry builder writes for that moment counts: a
        // reading that would write other texts is a guess.
        if (when.isValid() && entryDateText(when, form.locale) == date &&
            entryTimeText(when, form.locale) == time)
            return when;
    }
    return {};
}

QString rfc822Date(const QDateTime& when)
{
    return QLocale::c().toString(when, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) +
           offsetText(when, false);
}

QString rfc3339Date(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + offsetText(when, true);
}

QString absoluteLinks(const QString& html, const QString& base)
{
    static const QRegularExpression tag(QStringLiteral("<[A-Za-z][^<>]*>"));
    static const QRegularExpression attribute(
        QStringLiteral("(\\s(?:href|src)\\s*=\\s*)(?:\"([^\"]*)\"|'([^']*)'|([^\\s>\"']+))"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
    const QUrl baseUrl(base.trimmed());
    auto rewrite = [&](const QString& text) {
        QString out;
        qsizetype done = 0;
        for (auto it = attribute.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            QString value = m.captured(2) + m.captured(3) + m.captured(4);
            const QString trimmed = value.trimmed();
            if (!trimmed.isEmpty() && !trimmed.contains(scheme)) {
                const QString decoded =
                    QString(trimmed).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
                value =
                    baseUrl.resolved(QUrl(decoded, QUrl::TolerantMode)).toString().toHtmlEscaped();
            }
            out += text.mid(done, m.capturedStart() - done) + m.captured(1) + QLatin1Char('"') +
                   value.replace(QLatin1Char('"'), QStringLiteral("&quot;")) + QLatin1Char('"');
            done = m.capturedEnd();
        }
        return out + text.mid(done);
    };
    QString out;
    qsizetype done = 0;
    for (auto it = tag.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += html.mid(done, m.capturedStart() - done) + rewrite(m.captured());
        done = m.capturedEnd();
    }
    return out + html.mid(done);
}

QList<FeedEntry> feedEntries(const QByteArray& bytes, const QString& pageAddress, int limit,
                             const QLocale& locale)
{
    static const QRegularExpression marker(
        QStringLiteral("<!--\\|([^|\\r\\n<>]*)\\|([^|\\r\\n<>]*)\\|-->"));
    const QString page = TextCodec::decode(bytes);
    QList<FeedEntry> entries;
    QRegularExpressionMatch m = marker.match(page);
    while (m.hasMatch() && entries.size() < limit) {
        const qsizetype from = m.capturedEnd();
        const QRegularExpressionMatch next = marker.match(page, from);
        const qsizetype endMarker = page.indexOf(kEndMarker, from, Qt::CaseInsensitive);
        const qsizetype nextStart = next.hasMatch() ? next.capturedStart() : -1;
        const bool last = endMarker >= 0 && (nextStart < 0 || endMarker < nextStart);
        const qsizetype to = last ? endMarker : nextStart;
        if (to < 0)
            break; // no end: the entry is not read at all
        FeedEntry e;
        e.when = markerDateTime(m.captured(1), m.captured(2), locale);
        if (e.when.isValid() && readEntry(page.mid(from, to - from), e)) {
            e.html = absoluteLinks(e.html, pageAddress);
            entries << e;
        }
        if (last)
            break;
        m = next;
    }
    return entries;
}

QByteArray feedText(FeedKind kind, const Settings& s, const QList<FeedEntry>& entries,
                    const QDateTime& built, const QLocale& locale)
{
    return (kind == FeedKind::Rss2 ? rss2Text(s, entries, built, locale)
                                   : atomText(s, entries, built, locale))
        .toUtf8();
}

QString feedAddress(FeedKind kind, const QString& website)
{
    return QUrl(website.trimmed())
        .resolved(QUrl(fileStem(kind) + QStringLiteral(".xml")))
        .toString();
}

QStringList feedFileNames()
{
    return {QCoreApplication::translate("FeedWriter", "the RSS 2.0 feed"),
            QCoreApplication::translate("FeedWriter", "the Atom feed")};
}

QList<FeedFile> feedFiles(const Settings& s)
{
    QList<FeedFile> files;
    const qsizetype slash = s.ftpremote.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QString() : s.ftpremote.left(slash + 1);
    const QStringList names = feedFileNames();
    for (const FeedKind kind : {FeedKind::Rss2, FeedKind::Atom}) {
        const bool rss = kind == FeedKind::Rss2;
        if (!feedChosen(s.feeds, rss ? "rss2" : "atom"))
            continue;
        const QString stem = fileStem(kind);
        files.append({kind, s.workFileName(stem, QStringLiteral(".xml")),
                      folder + stem + QStringLiteral(".xml"), names[rss ? 0 : 1]});
    }
    return files;
}

QStringList missingAnnouncements(const QByteArray& bytes, const Settings& s)
{
    static const QRegularExpression headEnd(QStringLiteral("</head\\s*>|<body[\\s>]"),
                                            QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression link(QStringLiteral("<link\\s[^>]*>"),
                                         QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression alternate(
        QStringLiteral("\\srel\\s*=\\s*[\"']?alternate[\"'\\s/>]"),
        QRegularExpression::CaseInsensitiveOption);
    const QString page = TextCodec::decode(bytes);
    const QRegularExpressionMatch end = headEnd.match(page);
    const QString head = end.hasMatch() ? page.left(end.capturedStart()) : page;
    QStringList lines;
    for (const FeedFile& file : feedFiles(s)) {
        const QString type = mimeType(file.kind);
        bool announced = false;
        for (auto it = link.globalMatch(head); it.hasNext() && !announced;) {
            const QString tag = it.next().captured();
            announced = tag.contains(alternate) && tag.contains(type, Qt::CaseInsensitive);
        }
        if (announced)
            continue;
        const QString line = QStringLiteral("<link rel=\"alternate\" type=\"") + type +
                             QStringLiteral("\" title=\"") + plain(channelTitle(s)) +
                             QStringLiteral("\" href=\"") +
                             escaped(feedAddress(file.kind, s.website)) + QStringLiteral("\">");
        lines << QCoreApplication::translate(
                     "FeedWriter",
                     "The page does not announce %1 to feed readers.  To announce it, add this "
                     "line to the <head> of the page: %2")
                     .arg(file.name, line);
    }
    return lines;
}

bool writeFeedFiles(const Settings& s, MainView& view, Prompt& prompt)
{
    const QList<FeedFile> files = feedFiles(s);
    if (files.isEmpty())
        return true;
    view.appendStatus(QCoreApplication::translate("FeedWriter", "Updating the feeds..."));
    const QString pageName = s.workFileName(QStringLiteral("webbie"));
    const std::optional<QByteArray> page = WorkFiles::read(s.workFile(QStringLiteral("webbie")));
    const QString title = QCoreApplication::translate("FeedWriter", "Feeds");
    if (!page) {
        prompt.message(
            QCoreApplication::translate(
                "FeedWriter", "The feeds could not be made: the page %1 could not be read.")
                .arg(pageName),
            Buttons::Ok, Icon::Critical, title);
        return false;
    }
    const int count = feedItemCount(s.feeditems);
    const QList<FeedEntry> entries =
        feedEntries(*page, s.website, count < 0 ? kDefaultItems : count);
    const QDateTime built = entryNow();
    for (const FeedFile& file : files) {
        if (!WorkFiles::write(QDir(s.folder()).filePath(file.local),
                              feedText(file.kind, s, entries, built))) {
            prompt.message(
                QCoreApplication::translate("FeedWriter", "The feed %1 could not be written.")
                    .arg(file.local),
                Buttons::Ok, Icon::Critical, title);
            return false;
        }
    }
    // Once per run and configuration: the user decides about the page.
    static QSet<QString> told;
    for (const QString& line : missingAnnouncements(*page, s)) {
        if (!told.contains(s.settingsPath + s.activeSection + line)) {
            told.insert(s.settingsPath + s.activeSection + line);
            view.appendStatus(line);
        }
    }
    return true;
}
