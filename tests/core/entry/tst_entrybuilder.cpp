// Building an entry: field styles, colours, dates and anchor, and the
// template filling with its order and first-occurrence rules.

#include "base/Settings.h"
#include "core/entry/EntryBuilder.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QDateTime kNow(QDate(2000, 12, 5), QTime(17, 44, 36));
const QString kMarker = u"<!--|12/5/2000|5:44:36 PM|-->"_s;
const QString kAnchor = u"<a name=\"125200054436PM\"></a>"_s;

Settings record(const QString& templ)
{
    Settings s;
    s.templateText = templ;
    s.dateformat = u"medium date"_s;
    s.timeformat = u"medium time"_s;
    return s;
}

EntryFields fields(const QString& head, const QString& body)
{
    return {head, body, u"Ann"_s, QString(), u"http://"_s, QString()};
}

QString html(const QString& templ, const QString& head, const QString& body)
{
    Settings s = record(templ);
    return buildEntry(fields(head, body), s, kNow, {}, kUs).html;
}

} // namespace

class TestEntryBuilder : public QObject
{
    Q_OBJECT
private slots:
    void templatesWithoutPlaceholders()
    {
        QList<bool> held;
        for (const QString& t : {u"<b>%TITLE</b>"_s, u"<a href=%newurl>link</a>"_s, u"on %date"_s,
                                 u"<p>Entry</p>\r\n% title %ur"_s, QString()})
            held << holdsPlaceholder(t);
        QCOMPARE(held, QList<bool>({true, true, true, false, false}));
    }

    void colours()
    {
        // The byte order is reversed; only 24 bits count.
        QCOMPARE(QStringList({colorToHex(255), colorToHex(5 + 200 * 65536), colorToHex(10 * 256),
                              colorToHex(0x1000001)}),
                 QStringList({"#FF0000", "#0500C8", "#000A00", "#010000"}));
    }

    void styles()
    {
        Settings s;
        QCOMPARE(styleField(s, u"title"_s, u"x"_s), u"x"_s);
        FieldStyle& t = s.style(StyleField::Title);
        t.fontbold = t.underline = u"1"_s;
        t.fontitalic = u"0"_s;
        QCOMPARE(styleField(s, u"Title"_s, u"x"_s), u"<B><U>x</U></B>"_s);
        QCOMPARE(styleField(s, u"headline"_s, u"x"_s), u"x"_s);

        s.style(StyleField::Body).fontsize = u"+1"_s;
        s.style(StyleField::Body).fontcolor = u"0"_s;
        QCOMPARE(styleField(s, u"BODY"_s, u"x"_s),
                 u"<Font Size=+1><Font Color=#000000>x</Font></Font>"_s);
        s.style(StyleField::Url) = {u"Arial"_s, u"2"_s, u"255"_s, u"1"_s, u"1"_s, u"1"_s, u"1"_s};
        QCOMPARE(styleField(s, u"url"_s, u"x"_s),
                 u"<Font Face =Arial><Font Size=2><Font Color=#FF0000><B><I><S><U>x</U></S></I></B>"
                 "</Font></Font></Font>"_s);
        // An effect is on for "1" only.
        s.style(StyleField::Date).fontcolor = u"256"_s;
        s.style(StyleField::Date).fontbold = u"True"_s;
        QCOMPARE(styleField(s, u"date"_s, u"x"_s), u"<Font Color=#000100>x</Font>"_s);

        // "default" in any case means no face, and is emptied in memory for all.
        s.style(StyleField::Time).fontname = u"DEFAULT"_s;
        s.style(StyleField::Sig).fontname = u"Default"_s;
        QCOMPARE(styleField(s, u"time"_s, u"x"_s), u"x"_s);
        QCOMPARE(s.style(StyleField::Sig).fontname, QString());
        QCOMPARE(s.style(StyleField::Url).fontname, u"Arial"_s);
    }

    // A face, size or colour no tag can carry (a hand-edited weblog.ini) is left
    // out; the field keeps its other tags and the rest of the entry is as without it.
    void unusableStyleValuesAreLeftOut()
    {
        const QString sizeTag = u"<Font Size=%1>"_s, faceTag = u"<Font Face =%1>"_s;
        const std::tuple<QString FieldStyle::*, QString, QString> rows[] = {
            {&FieldStyle::fontsize, u"+9"_s, sizeTag},
            {&FieldStyle::fontsize, u"-3"_s, sizeTag},
            {&FieldStyle::fontsize, u"2"_s, sizeTag},
            {&FieldStyle::fontsize, u"+10"_s, {}},
            {&FieldStyle::fontsize, u"-4"_s, {}},
            {&FieldStyle::fontsize, u"0"_s, {}},
            {&FieldStyle::fontsize, u"abc"_s, {}},
            {&FieldStyle::fontsize, u"+2\"><script>"_s, {}},
            {&FieldStyle::fontname, u"Arial Black"_s, faceTag},
            {&FieldStyle::fontname, u"Ari\"al"_s, {}},
            {&FieldStyle::fontname, u"x><script>"_s, {}},
            {&FieldStyle::fontcolor, u"16777215"_s, u"<Font Color=#FFFFFF>"_s},
            {&FieldStyle::fontcolor, u"0"_s, u"<Font Color=#000000>"_s},
            {&FieldStyle::fontcolor, u"16777216"_s, {}},
            {&FieldStyle::fontcolor, u"-1"_s, {}},
            {&FieldStyle::fontcolor, u"255.6"_s, {}},
            {&FieldStyle::fontcolor, u"#FF0000"_s, {}},
            {&FieldStyle::fontcolor, u"255><script>"_s, {}}};
        const QString templ = u"%title %body"_s;
        for (const auto& [attribute, value, tag] : rows) {
            Settings s = record(templ);
            s.style(StyleField::Title).fontbold = u"1"_s;
            const QString plain = buildEntry(fields(u"T"_s, u"B"_s), s, kNow, {}, kUs).html;
            s.style(StyleField::Title).*attribute = value;
            const QString open = tag.arg(value);
            QVERIFY2(styleField(s, u"title"_s, u"x"_s) ==
                         open + u"<B>x</B>"_s + (tag.isEmpty() ? u""_s : u"</Font>"_s),
                     qPrintable(value));
            const QList<UnusableStyle> found = unusableStyles(s);
            QCOMPARE(found.size(), tag.isEmpty() ? 1 : 0);
            if (tag.isEmpty()) {
                QCOMPARE(std::tuple(found[0].field, found[0].value),
                         std::tuple(StyleField::Title, value));
                QCOMPARE(buildEntry(fields(u"T"_s, u"B"_s), s, kNow, {}, kUs).html, plain);
            }
        }
    }

    void datesTimesAndAnchor()
    {
        const QDateTime morning(QDate(2001, 1, 9), QTime(9, 5, 7));
        QCOMPARE(entryDateText(morning, kUs) + u' ' + entryTimeText(morning, kUs),
                 u"1/9/2001 9:05:07 AM"_s);

        QCOMPARE(namedDate(kNow, u"long date"_s, kUs), u"Tuesday, December 5, 2000"_s);
        QCOMPARE(namedTime(kNow, u"long time"_s, kUs), u"5:44:36 PM"_s);
        // Words the loader refuses fall back to the defaults.
        QCOMPARE(namedDate(kNow, u"Long Date"_s, kUs), u"05-Dec-00"_s);
        QCOMPARE(namedTime(kNow, QString(), kUs), u"05:44 PM"_s);
    }

    // A link to an anchor cannot hold a blank, wherever the locale puts one.
    void anchors()
    {
        const std::array<QString, 3> dateTimeAnchor[] = {
            {u"12/5/2000"_s, u"5:44:36 PM"_s, u"125200054436PM"_s},
            {u"7 Dec 2026"_s, u"09:30:00"_s, u"7Dec2026093000"_s},
            {u"Mon, 7 Dec 2026"_s, u"9:30:00 AM"_s, u"Mon,7Dec202693000AM"_s},
            // The third slash and colon stay.
            {u"1/2/3/4"_s, u"1:2:3:4 PM"_s, u"123/4123:4PM"_s}};
        for (const auto& [date, time, anchor] : dateTimeAnchor)
            QCOMPARE(entryAnchor(date, time), anchor);
    }

    void otherLocalesAndClock()
    {
        const auto both = [](const QLocale& l) {
            return entryDateText(kNow, l) + u' ' + entryTimeText(kNow, l);
        };
        QCOMPARE(both(QLocale(QLocale::German, QLocale::Germany)), u"05.12.2000 17:44:36"_s);
        QCOMPARE(both(QLocale(QLocale::English, QLocale::UnitedKingdom)), u"05/12/2000 17:44:36"_s);
        // Four-digit year, seconds, no time zone, no no-break blanks.
        const QString t = both(QLocale(QLocale::Chinese, QLocale::China));
        QVERIFY2(t.contains(u"2000"_s) && t.contains(u"44:36"_s), qPrintable(t));
        QVERIFY2(!t.contains(QChar(0x202F)) && !t.contains(u"UTC"_s) && !t.contains(u"GMT"_s),
                 qPrintable(t));

        qputenv("PAGEWICK_NOW", "2000-12-05T17:44:36");
        QCOMPARE(entryNow(), kNow);
        qputenv("PAGEWICK_NOW", "not a date");
        QVERIFY(qAbs(entryNow().secsTo(QDateTime::currentDateTime())) < 60);
        qunsetenv("PAGEWICK_NOW");
    }

    void linksMailAndStyles()
    {
        Settings s = record(u"%TITLE|%sig|%Date|%time|%url|%newurl"_s);
        s.dateformat = u"short date"_s;
        s.timeformat = u"short time"_s;
        s.style(StyleField::Title).fontbold = u"1"_s;
        s.style(StyleField::Url).fontname = u"Arial"_s;
        EntryFields f = {
            u"News"_s,   u"Body"_s, u"Ann"_s, u"ann@example.org"_s, u"http://example.org/a?b=1"_s,
            u"Example"_s};
        QCOMPARE(
            buildEntry(f, s, kNow, {}, kUs).html,
            kMarker + kAnchor +
                u"<B>News\r\n</B><!--Title-->|<a href=\"mailto:ann@example.org\">Ann</a>|"
                "12/5/2000|17:44|<Font Face =Arial><a href =\"http://example.org/a?b=1\">Example"
                "</a></Font>|<Font Face =Arial><a href =\"http://example.org/a?b=1\" target = "
                "\"new\">Example</a></Font>\r\n"_s);
        // A link left at "http://" is no link: the url style around nothing.
        f.url = u"http://"_s;
        QVERIFY(
            buildEntry(f, s, kNow, {}, kUs)
                .html.endsWith(u"17:44|<Font Face =Arial></Font>|<Font Face =Arial></Font>\r\n"_s));
    }

    void blankFields()
    {
        Settings s = record(u"%sig %url"_s);
        EntryFields f = {QString(), u"Body"_s, QString(), QString(), u"http://x.org/"_s, QString()};
        QCOMPARE(buildEntry(f, s, kNow, {}, kUs).failure,
                 u"The title section cannot be left blank."_s);
        f.head = u"Title"_s;
        f.main.clear();
        const EntryBuild none = buildEntry(f, s, kNow, {}, kUs);
        QCOMPARE(none.failure, u"The main section cannot be left blank."_s);
        // Nothing built, the signature not touched yet, no stamp.
        QCOMPARE(none.html + u'|' + none.fields.sig + u'|' + none.date, u"||"_s);

        f.main = u"Body"_s;
        const EntryBuild b = buildEntry(f, s, kNow, {}, kUs);
        QCOMPARE(b.fields.sig + u'|' + b.fields.urlTitle, u"Unknown|http://x.org/"_s);
        QCOMPARE(b.html, kMarker + u"Unknown <a href =\"http://x.org/\">http://x.org/</a>\r\n"_s);
    }

    void placeholderRules()
    {
        // Twice each: only the first of each is filled, the second stays as typed.
        QCOMPARE(html(u"%title %title %body %BODY %sig %sig %date %date %time %time %url %url "
                      "%newurl %newurl"_s,
                      u"T"_s, u"B"_s),
                 kMarker + kAnchor +
                     u"T\r\n<!--Title--> %title B %BODY Ann %sig 05-Dec-00 %date 05:44 PM %time  "
                     "%url  %newurl\r\n"_s);
        // No placeholder: the template as it is, stamped, without an anchor.
        Settings none = record(u"<p>static</p>"_s);
        const EntryBuild plain = buildEntry(fields(u"T"_s, u"B"_s), none, kNow, kEndMarker, kUs);
        QCOMPARE(plain.html, kMarker + u"<p>static</p><!--**END**-->\r\n"_s);
        QCOMPARE(QStringList({plain.date, plain.time, plain.anchor}),
                 QStringList({u"12/5/2000"_s, u"5:44:36 PM"_s, QString()}));
        // A placeholder word typed into the title is found before the template's.
        QCOMPARE(html(u"%title<hr>%body"_s, u"About %body"_s, u"Text"_s),
                 kMarker + kAnchor + u"About Text\r\n<!--Title--><hr>%body\r\n"_s);
    }

    void typedMarkersScriptsAndLineEnds()
    {
        // Marker look-alikes typed into the boxes are defused; other comments and
        // HTML stay as typed.
        const QString defused = html(u"%title|%body"_s, u"Markers <!--|a|b|--> here"_s,
                                     u"<!--**end**--> <!--\u00D1--> <!--pagewick--> "
                                     "<!--pagewickarchivestart--> <!-- ok --> <b>bold</b>"_s);
        QCOMPARE(defused, kMarker + kAnchor +
                              u"Markers <!-- |a|b| --> here\r\n<!--Title-->|<!-- **end**--> "
                              "<!-- \u00D1--> <!-- pagewick--> <!-- pagewickarchivestart--> "
                              "<!-- ok --> <b>bold</b>\r\n"_s);

        // Every line end becomes CR LF; other scripts and emoji stay.
        QCOMPARE(html(u"%title\n%body\r%sig"_s, u"Ελληνικά 😀"_s, u"1\n2\r\n3\r4"_s),
                 kMarker + kAnchor +
                     u"Ελληνικά 😀\r\n<!--Title-->\r\n1\r\n2\r\n3\r\n4\r\nAnn\r\n"_s);
    }
};

QTEST_GUILESS_MAIN(TestEntryBuilder)
#include "tst_entrybuilder.moc"
