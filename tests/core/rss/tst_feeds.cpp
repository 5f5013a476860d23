// The RSS 2.0 and Atom feeds as a real feed parser (python3-feedparser)
// reads them: from a hostile page (bytes that are not UTF-8, control
// characters, entries whose parts are missing), and from three entries
// published to the FTP test server, through Delete Last Entry and a failed
// upload.

#include "PublishFixture.h"

#include "core/rss/FeedWriter.h"
#include "core/rss/RssWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QXmlStreamReader>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace PublishFixture;

namespace {

// What feedparser reads: the version, whether it complained, the self link
// and per entry id, link, title, published (UTC), author name and e-mail.
QJsonObject feedparser(const QByteArray& xml)
{
    static const char* const script = R"(import sys, json, time, feedparser
d = feedparser.parse(sys.stdin.buffer.read())
def when(t): return time.strftime('%Y-%m-%dT%H:%M:%S', t) if t else ''
print(json.dumps({'version': d.version, 'bozo': int(d.bozo),
  'error': str(d.get('bozo_exception', '')), 'language': d.feed.get('language', ''),
  'self': [l.href for l in d.feed.get('links', []) if l.get('rel') == 'self'],
  'entries': [[e.get('id', ''), e.get('link', ''), e.get('title', ''),
               when(e.get('published_parsed')), e.get('author_detail', {}).get('name', ''),
               e.get('author_detail', {}).get('email', '')] for e in d.entries]}))
)";
    QProcess p;
    p.start(u"/usr/bin/python3"_s, {u"-c"_s, QString::fromLatin1(script)});
    p.write(xml);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000))
        return {{u"error"_s, u"feedparser did not finish"_s}};
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    return o.isEmpty() ? QJsonObject{{u"error"_s, QString::fromUtf8(p.readAllStandardError())}} : o;
}

// The texts of every element named `name` (the entries' HTML), or the XML
// error.
QStringList texts(const QByteArray& xml, const QString& name)
{
    QXmlStreamReader r(xml);
    QStringList out;
    while (!r.atEnd()) {
        if (r.readNext() == QXmlStreamReader::StartElement && r.name() == name)
            out << r.readElementText();
    }
    return r.hasError() ? QStringList{u"XML error: "_s + r.errorString()} : out;
}

QStringList column(const QJsonObject& feed, int i)
{
    QStringList out;
    for (const QJsonValue& e : feed[u"entries"_s].toArray())
        out << e.toArray()[i].toString();
    return out;
}

// Both feeds of working files or of the server, as [rss, atom].
QList<QByteArray> feedsOn(FtpTestServer& ftp)
{
    return {ftp.readFile("www/rss.xml"), ftp.readFile("www/atom.xml")};
}

const QString kLink = kWebsite + u'#';

} // namespace

class TestFeeds : public QObject, public Servers
{
    Q_OBJECT

    // Both feeds read well by feedparser as RSS 2.0 and Atom 1.0, with the
    // same entries: [ids, titles, published, authors].
    void check(const QList<QByteArray>& feeds, const QList<QStringList>& want)
    {
        for (int i = 0; i < 2; ++i) {
            const QJsonObject f = feedparser(feeds[i]);
            QVERIFY2(f[u"bozo"_s].toInt() == 0 && f[u"error"_s].toString().isEmpty(),
                     qPrintable(f[u"error"_s].toString() + u'\n' + QString::fromUtf8(feeds[i])));
            QCOMPARE(f[u"version"_s].toString(), i == 0 ? u"rss20"_s : u"atom10"_s);
            QCOMPARE(f[u"self"_s].toArray().first().toString(),
                     i == 0 ? u"http://www.example.com/weblog/rss.xml"_s
                            : u"http://www.example.com/weblog/atom.xml"_s);
            QCOMPARE(f[u"language"_s].toString().toLower(), u"en-us"_s);
            QCOMPARE(column(f, 0), want[0]);
            QCOMPARE(column(f, 1), want[0]); // the id is the link
            QCOMPARE(column(f, 2), want[1]);
            QCOMPARE(column(f, 3), want[2]);
            QCOMPARE(column(f, 4), want[3]);
        }
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "Europe/Berlin");
        pinClockAndLocale();
    }

    void hostilePage()
    {
        // Not UTF-8 (read as Windows-1252), control characters, a "]]>",
        // relative addresses; a title marker, time, anchor quote missing;
        // an entry after the end marker.
        const QByteArray page =
            "<html><head><title>T</title>"
            "<link rel=\"alternate\" type=\"application/atom+xml\" href=\"atom.xml\">"
            "</head><body>\r\n<!--pagewick-->\r\n"
            "<!--|7/14/2001|9:05:00 AM|--><a name=\"e4\"></a><B>Caf\xe9 &amp; <i>bar</i>\x01"
            "</B><!--Title--><br>\r\nSee <a href=\"more.html?a=1&amp;b=2\">more</a>, "
            "<img src='/pics/a.jpg'>, <a href=http://other.org/x>that</a> ]]>\x0b\r\n"
            "By: <a href=\"mailto:ann@example.com\"><I>Ann</I></a>\r\n"
            "<!--|12/5/2000|5:44:36 PM|--><a name=\"e3\"></a>No title marker\r\n"
            "<!--|12/5/2000|25:44:36 PM|--><a name=\"e2\"></a>Bad time<!--Title-->x\r\n"
            "<!--|12/4/2000|5:00:00 AM|--><a name=e1></a>Unquoted<!--Title-->x\r\n"
            "<!--|12/3/2000|5:00:00 AM|--><a name=\"e0\"></a>Oldest<!--Title-->old"
            "<!--**end**-->\r\n"
            "<!--|12/2/2000|5:00:00 AM|--><a name=\"gone\"></a>Gone<!--Title-->\r\n"
            "</body></html>\r\n";
        Settings s;
        s.website = kWebsite;
        s.backendtitle = u"Ann & Bob's <log>"_s;
        s.feeds = u" RSS2 , atom"_s;
        const QList<FeedEntry> entries = feedEntries(page, kWebsite, 20);
        const QDateTime built(QDate(2001, 7, 15), QTime(12, 0));
        check({feedText(FeedKind::Rss2, s, entries, built),
               feedText(FeedKind::Atom, s, entries, built)},
              {{kLink + u"e4"_s, kLink + u"e0"_s},
               {u"Café & bar"_s, u"Oldest"_s},
               {u"2001-07-14T07:05:00"_s, u"2000-12-03T04:00:00"_s}, // summer and winter time
               {u"Ann"_s, u""_s}});
        QCOMPARE(rfc822Date(entries[0].when), u"Sat, 14 Jul 2001 09:05:00 +0200"_s);
        QCOMPARE(rfc3339Date(entries[1].when), u"2000-12-03T05:00:00+01:00"_s);
        const QString html =
            texts(feedText(FeedKind::Atom, s, entries, built), u"content"_s).value(0);
        QCOMPARE(html.section(u"<br>\n"_s, 1).section(u"\nBy:"_s, 0, 0),
                 u"See <a href=\"http://www.example.com/weblog/more.html?a=1&amp;b=2\">more</a>, "
                 "<img src=\"http://www.example.com/pics/a.jpg\">, "
                 "<a href=\"http://other.org/x\">that</a> ]]>"_s);
        QCOMPARE(texts(feedText(FeedKind::Rss2, s, entries, built), u"description"_s).value(2),
                 u"<a name=\"e0\"></a>Oldest<!--Title-->old"_s);

        // The page announces the Atom feed only: the line for the other.
        QCOMPARE(
            missingAnnouncements(page, s),
            QStringList{u"The page does not announce the RSS 2.0 feed to feed readers.  To "
                        "announce it, add this line to the <head> of the page: <link "
                        "rel=\"alternate\" type=\"application/rss+xml\" title=\"Ann &amp; "
                        "Bob's &lt;log&gt;\" href=\"http://www.example.com/weblog/rss.xml\">"_s});
        QCOMPARE(feedItemCount(u""_s) * 10 + feedItemCount(u"7"_s), 207);
        QCOMPARE(feedItemCount(u"0"_s) + feedItemCount(u"101"_s) + feedItemCount(u"2x"_s), -3);
    }

    void publishing()
    {
        SERVERS_START();
        Keys keys = publishKeys(ftp());
        keys.insert({{"feeds", "rss2,atom"}, {"feeditems", "3"}});
        Session s;
        QVERIFY(s.start(keys));
        s.view.entry = {
            u""_s,        u"Read <a href=\"notes.html\">notes</a> <img src=\"p/x.jpg\">"_s,
            u"Ann"_s,     u"ann@example.com"_s,
            u"http://"_s, u""_s};
        const QStringList times = {"17:44:36", "17:50:00", "18:00:00", "18:10:00"};
        const QStringList anchors = {kLink + u"125200054436PM"_s, kLink + u"125200055000PM"_s,
                                     kLink + u"125200060000PM"_s, kLink + u"125200061000PM"_s};
        const QStringList utc = {"2000-12-05T16:44:36", "2000-12-05T16:50:00",
                                 "2000-12-05T17:00:00", "2000-12-05T17:10:00"};
        auto post = [&](int i) {
            qputenv("PAGEWICK_NOW", "2000-12-05T" + times[i].toLatin1());
            s.view.entry.head = u"Post %1"_s.arg(i + 1);
            s.again();
            return s.preview() && s.finish() &&
                   s.publisher->lastOutcome() == Publisher::Outcome::Published;
        };
        QVERIFY2(post(0), qPrintable(describe(s.prompt.messages) + s.view.status.join(u'|')));
        // The two old entries of the page follow the new one; the missing
        // announcement is said once.
        check(feedsOn(ftp()), {{anchors[0], kLink + u"e1"_s, kLink + u"e2"_s},
                               {u"Post 1"_s, u"Old post 1"_s, u"Old post 2"_s},
                               {utc[0], u"2000-12-04T08:00:01"_s, u"2000-12-03T08:00:02"_s},
                               {u"Ann"_s, u""_s, u""_s}});
        QCOMPARE(s.view.status.filter(u"does not announce"_s).size(), 2);
        QVERIFY(post(1) && post(2));
        QVERIFY(s.view.status.filter(u"does not announce"_s).isEmpty());
        const QList<QByteArray> three = feedsOn(ftp());
        // Three newest first; the ids of posts 1 and 2 as before.
        check(three, {{anchors[2], anchors[1], anchors[0]},
                      {u"Post 3"_s, u"Post 2"_s, u"Post 1"_s},
                      {utc[2], utc[1], utc[0]},
                      {u"Ann"_s, u"Ann"_s, u"Ann"_s}});
        QVERIFY2(texts(three[0], u"description"_s)
                     .value(1)
                     .contains(u"Read <a href=\"http://www.example.com/weblog/notes.html\">notes"
                               "</a> <img src=\"http://www.example.com/weblog/p/x.jpg\">"_s),
                 three[0].constData());
        QCOMPARE(texts(three[1], u"content"_s), texts(three[0], u"description"_s).mid(1));
        // The classic file as its own writer makes it.
        QCOMPARE(ftp().readFile("www/backend.rss"),
                 rssText(settings(), ftp().readFile("www/index.html")));

        // A feed that cannot be written locally: nothing is sent. An upload
        // that fails leaves the old page with the old feeds; a feed that
        // cannot be put in place is named as the old one.
        const QByteArray live = ftp().readFile("www/index.html");
        QVERIFY(QFile::remove(workFile(u"atom"_s, u".xml"_s)) &&
                QDir().mkpath(workFile(u"atom"_s, u".xml"_s) + u"/x"_s));
        QVERIFY(!post(3));
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Stopped);
        SHOWN(s.prompt, {u"Feeds: The feed atom1.xml could not be written."_s});
        QVERIFY(QDir(workFile(u"atom"_s, u".xml"_s)).removeRecursively());
        ftp().failUploadsOf("atom.xml");
        s.again();
        QVERIFY(s.finish());
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Failed);
        QCOMPARE(feedsOn(ftp()), three);
        QCOMPARE(ftp().readFile("www/index.html"), live);
        ftp().resetBehaviour();
        ftp().failRenamesOf("atom.xml");
        s.again();
        QVERIFY(s.resend());
        SAID(s, {u"The entry was not completely published: on the server the archive page, the "
                 "page, the RSS file and the RSS 2.0 feed are new, the Atom feed is still the old "
                 "one.  Press Resend to try again."_s});
        QCOMPARE(feedsOn(ftp())[1], three[1]);
        ftp().resetBehaviour();
        s.again();
        QVERIFY(s.resend());
        check(feedsOn(ftp()), {{anchors[3], anchors[2], anchors[1]},
                               {u"Post 4"_s, u"Post 3"_s, u"Post 2"_s},
                               {utc[3], utc[2], utc[1]},
                               {u"Ann"_s, u"Ann"_s, u"Ann"_s}});

        // Delete Last Entry takes it out of both feeds.
        s.again();
        s.prompt.answers << Answer::Ok;
        s.flows->deleteNewestEntry();
        QVERIFY(s.settle());
        QCOMPARE(s.publisher->lastOutcome(), Publisher::Outcome::Published);
        check(feedsOn(ftp()), {{anchors[2], anchors[1], anchors[0]},
                               {u"Post 3"_s, u"Post 2"_s, u"Post 1"_s},
                               {utc[2], utc[1], utc[0]},
                               {u"Ann"_s, u"Ann"_s, u"Ann"_s}});
    }
};

QTEST_GUILESS_MAIN(TestFeeds)
#include "tst_feeds.moc"
