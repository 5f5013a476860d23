// The RSS headline file: its fixed lines, the headlines taken from a real
// page, the 15-item limit, escaping, and well-formed XML checked by a parser.

#include "PublishFixture.h"
#include "RecordingView.h"
#include "ScriptedPrompt.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/rss/RssWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray entry(const QByteArray& anchor, const QByteArray& title)
{
    return "<!--|12/5/2000|5:44:36 PM|-->\r\n<a name=\"" + anchor + "\"></a><B>" + title +
           "</B><!--Title--><br>\r\nBody text &amp; more<BR>\r\n";
}

QByteArray page(int entries)
{
    QByteArray p = "<html><body>\r\n<!--pagewick-->\r\n";
    for (int i = entries; i >= 1; --i)
        p += entry("e" + QByteArray::number(i), "Entry " + QByteArray::number(i));
    return p + "<!--**END**-->\r\n</body></html>\r\n";
}

// The item titles and links, the channel title and image, and the parser's error.
struct Parsed
{
    QStringList titles, links;
    QString channelTitle, error;
    bool image = false;
};

Parsed parse(const QByteArray& xml)
{
    QXmlStreamReader r(xml);
    QStringList path;
    QHash<QString, QStringList> texts; // by element path
    while (r.readNext() != QXmlStreamReader::Invalid && !r.atEnd()) {
        if (r.isStartElement())
            path << r.name().toString();
        else if (r.isEndElement())
            path.removeLast();
        else if (r.isCharacters() && !r.isWhitespace())
            texts[path.join(u'/')] << r.text().toString();
    }
    return {texts.value(u"rss/channel/item/title"_s), texts.value(u"rss/channel/item/link"_s),
            texts.value(u"rss/channel/title"_s).join(QString()), r.errorString(),
            xml.contains("<image>")};
}

} // namespace

class TestBackEnd : public QObject
{
    Q_OBJECT

    Settings s;

private slots:
    void init()
    {
        s = Settings();
        s.website = u" http://www.example.com/blog.html "_s;
        s.backendtitle = u"My Log"_s;
        s.backenddescript = u"Notes"_s;
    }

    void fixedLinesAndItems()
    {
        const QByteArray text = rssText(s, page(2));
        QByteArray items;
        for (const QByteArray n : {"2", "1"})
            items += "<item>\r\n<title>Entry " + n +
                     "</title>\r\n<link>http://www.example.com/blog.html#e" + n +
                     "</link>\r\n</item>\r\n";
        QCOMPARE(text, "<?xml version =\"1.0\"?>\r\n<!DOCTYPE rss PUBLIC \"-//Netscape "
                       "Communications//DTD RSS 0.91//EN\"\r\n"
                       "\"http://my.netscape.com/publish/formats/rss-0.91.dtd\">\r\n"
                       "<rss version=\"0.91\">\r\n<channel>\r\n<title>My Log</title>\r\n"
                       "<link> http://www.example.com/blog.html </link>\r\n"
                       "<description>Notes</description>\r\n<language>en-us</language>\r\n"
                       "<rating>(PICS-1.1 \"http://www.rsac.org/ratingsv01.html\"\r\n"
                       "l gen true comment \"RSACi North America Server\"\r\n"
                       "for \"http://www.rsac.org\" on 1996.04.16T08:15-0500\r\n"
                       "r (n 0 s 0 v 0 l 0))</rating>\r\n" +
                           items + "</channel>\r\n</rss>\r\n\r\n");
        QCOMPARE(parse(text).error, QString());
    }

    void atMostFifteenItemsNewestFirst()
    {
        const Parsed p = parse(rssText(s, page(20)));
        QCOMPARE(p.error + QString::number(p.titles.size()) + p.titles.first() + u'|' +
                     p.titles.last() + u'|' + p.links.first(),
                 u"15Entry 20|Entry 6|http://www.example.com/blog.html#e20"_s);
    }

    // Tags and comments become blanks; the argument is left holding the same text.
    void headlineStripping()
    {
        const std::array<QString, 3> headHeadlineAfter[] = {
            {u"<a name=\"e1\"></a><font face=\"Arial\"><B>Bold</B> word <!--x-->  two</font>"_s,
             u"Bold  word  x   two"_s, u"    Bold  word  x   two "_s},
            // "<" after ">" is no tag.
            {u"  plain > text < here "_s, u"plain > text < here"_s, u"  plain > text < here "_s},
            // Only blanks are trimmed: line breaks and tabs at the ends stay.
            {u"<a name=\"e1\"></a>Hello world\r\n"_s, u"Hello world\r\n"_s, u"  Hello world\r\n"_s},
            {u"\t<B>x</B> "_s, u"\t x"_s, u"\t x  "_s}};
        for (auto [head, headline, after] : headHeadlineAfter) {
            QCOMPARE(stripTags(head), headline);
            QCOMPARE(head, after);
        }
    }

    void itemTitleTrimsBlanksOnly()
    {
        const QByteArray text =
            rssText(s, "<html><!--pagewick-->\r\n<a name=\"e1\"></a>  Hello world\r\n<!--Title-->"
                       "\r\n<!--**END**--></html>");
        QVERIFY2(text.contains("<item>\r\n<title>Hello world\r\n</title>\r\n"), text.constData());
    }

    // The items end at an entry whose anchor is not quoted; a page without
    // entries gives an empty channel.
    void itemsStopAtAnEntryWithoutQuotedAnchor()
    {
        QByteArray p = page(3);
        p.replace("<a name=\"e2\">", "<a name=e2>");
        QCOMPARE(parse(rssText(s, p)).titles, QStringList{u"Entry 3"_s});
        const Parsed empty = parse(rssText(s, "<html><body><!--pagewick--></body></html>"));
        QVERIFY(empty.error.isEmpty() && empty.titles.isEmpty());
    }

    void escapingKeepsTheFileWellFormed()
    {
        s.backendtitle = u"Tom & Jerry's <b>log</b> &amp; more"_s;
        s.imagebackendenabled = u"true"_s;
        s.backendimagealt = u"a < b"_s;
        s.backendimageurl = u"http://www.example.com/i.png?a=1&b=2"_s;
        QByteArray p = page(1);
        p.replace("Entry 1", "Fish &amp; Chips &lt;3 &#8364;5 &nbsp;\xc3\xa9t\xc3\xa9 "
                             "\xf0\x9f\x98\x80 &bogus; \x01");
        const QByteArray text = rssText(s, p);
        const Parsed parsed = parse(text);
        QVERIFY(parsed.error.isEmpty() && parsed.image);
        QCOMPARE(parsed.channelTitle, u"Tom & Jerry's <b>log</b> & more"_s);
        QCOMPARE(parsed.titles, QStringList({QString::fromUtf8("Fish & Chips <3 \xe2\x82\xac"
                                                               "5 \xc2\xa0\xc3\xa9t\xc3\xa9 "
                                                               "\xf0\x9f\x98\x80 &bogus;")}));
        QVERIFY(text.contains("<url>http://www.example.com/i.png?a=1&amp;b=2</url>"));
        // A Windows-1252 page gives UTF-8 all the same.
        p = page(1);
        p.replace("Entry 1", "Caf\xe9 \x80");
        QCOMPARE(parse(rssText(s, p)).titles, QStringList{u"Café €"_s});
        // The image block needs the exact word "true".
        s.imagebackendenabled = u"True"_s;
        QVERIFY(!parse(rssText(s, p)).image);
    }

    void writesTheFileBesideThePage()
    {
        QTemporaryDir dir;
        QVERIFY(useProgramDir(dir.path()));
        s.activeSection = u"3"_s;
        s.settingsPath = programFile(u"weblog.ini"_s);
        ScriptedPrompt prompt;
        RecordingView view;
        // Missing page: reported, nothing written.
        QVERIFY(!writeRssFile(s, view, prompt) && prompt.texts().size() == 1 &&
                prompt.texts()[0].contains(u"webbie3.html"_s) &&
                !QFile::exists(programFile(u"backend3.rss"_s)));

        QVERIFY(PublishFixture::writeFile(programFile(u"webbie3.html"_s), page(2)));
        QVERIFY(writeRssFile(s, view, prompt));
        QCOMPARE(PublishFixture::readFile(programFile(u"backend3.rss"_s)), rssText(s, page(2)));
        QCOMPARE(view.status.mid(view.status.size() - 2),
                 QStringList({u"Updating backend..."_s, u"Extracting Headlines"_s}));
    }
};

QTEST_GUILESS_MAIN(TestBackEnd)
#include "tst_rsswriter.moc"
