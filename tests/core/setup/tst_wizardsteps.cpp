// The set-up wizard's steps without windows: the FTP listing, the paths, the markers and the
// account checks (the summary and the downloaded page are checked with the wizard window).

#include "core/setup/WizardSteps.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace Setup;

class TestWizardSteps : public QObject
{
    Q_OBJECT
private slots:
    void listing()
    {
        const std::pair<QByteArray, QStringList> listingAndItems[] = {
            {"index.html\r\nwww/\r\nold pages/\r\n", {"old pages/", "www/", "index.html"}},
            // Folders, then files, each alphabetically whatever the case.
            {"b.html\r\nZ/\r\na.html\r\nB.html\r\ny/\r\nA.html\r\n",
             {"y/", "Z/", "A.html", "a.html", "B.html", "b.html"}},
            // Text after the last line end is no line.
            {"a.html\r\nb.ht", {"a.html"}},
            // Slash inside, bare CR or LF, dots and empty lines are not offered.
            {"a/b.html\r\nx\ry.html\r\nx\ny.html\r\n.\r\n..\r\n../\r\n\r\n/\r\nok.html\r\n",
             {"ok.html"}},
            // Names stay as sent: blanks, UTF-8 and Windows-1252 letters.
            {" lead.html\r\nt\xC3\xA4gebuch.html\r\n", {" lead.html", u"tägebuch.html"_s}},
            {"t\xE4g.html\r\n", {u"täg.html"_s}}};
        for (const auto& [listing, items] : listingAndItems)
            QCOMPARE(listingItems(listing), items);
    }

    void paths()
    {
        QCOMPARE(itemKind(u"blog/"_s), ItemKind::Folder);
        QCOMPARE(itemKind(u".."_s), ItemKind::Parent);
        QCOMPARE(itemKind(u"my page.html"_s), ItemKind::File);
        QCOMPARE(
            QStringList({folderTarget(u"/www"_s, u"blog/"_s), folderTarget(u"/"_s, u"www/"_s),
                         folderTarget(u"/www"_s, u".."_s), remotePath(u"/www"_s, u"my page.html"_s),
                         remotePath(u"/"_s, u"index.html"_s)}),
            QStringList({"/www/blog/", "/www/", "..", "/www/my page.html", "/index.html"}));
    }

    // The insertion marker only as the entries are placed after it: "pagewick" in lower
    // case, Ñ in either encoding. Written in another case it is found and mended, every
    // one of it. The archive start counts in any case; the end marker alone is not enough.
    void markers()
    {
        // The page, whether it is marked, has the archive start, the marker in another
        // case, and the page mended.
        const std::tuple<QByteArray, bool, bool, QByteArray, QByteArray> rows[] = {
            {"<p><!--pagewick--></p>", true, false, "", "<p><!--pagewick--></p>"},
            {"<!--\xD1-->", true, false, "", "<!--\xD1-->"},
            {"<!--\xC3\x91-->", true, false, "", "<!--\xC3\x91-->"},
            {"<!--PageWick--> <!--pagewick--> <!--PAGEWICK-->", true, false, "<!--PageWick-->",
             "<!--pagewick--> <!--pagewick--> <!--pagewick-->"},
            {"a<!--pagewick--><!--PageWick-->", true, false, "<!--PageWick-->",
             "a<!--pagewick--><!--pagewick-->"},
            {"<!--Pagewick-->", false, false, "<!--Pagewick-->", "<!--pagewick-->"},
            {"x<!--\xC3\xB1-->y<!--\xF1-->", false, false, "<!--\xC3\xB1-->",
             "x<!--\xC3\x91-->y<!--\xD1-->"},
            {"<!--pagewickarchivestart-->", false, true, "", "<!--pagewickarchivestart-->"},
            {"<!--**END**--><!-- pagewick -->", false, false, "",
             "<!--**END**--><!-- pagewick -->"}};
        for (const auto& [page, insertion, archive, other, mended] : rows) {
            QCOMPARE(std::pair(hasInsertionMarker(page), hasArchiveMarker(page)),
                     std::pair(insertion, archive));
            QCOMPARE(insertionMarkerInOtherCase(page), other);
            QCOMPARE(withInsertionMarkersMended(page), mended);
        }
    }

    void archiveAddress()
    {
        const std::tuple<QString, QString, QString> pageArchiveProposed[] = {
            {u"http://www.example.com/~me/index.html"_s, u"/www/old/archive.html"_s,
             u"http://www.example.com/~me/archive.html"_s},
            {u"http://www.example.com/blog/"_s, u"arch.html"_s,
             u"http://www.example.com/blog/arch.html"_s},
            {u"http://www.example.com"_s, u"/a.html"_s, u"http://www.example.com/a.html"_s}};
        for (const auto& [page, archive, proposed] : pageArchiveProposed)
            QCOMPARE(proposedArchiveAddress(page, archive), proposed);
        QCOMPARE(
            QStringList({archiveAddressProblem(u"HTTP://x/a.html"_s),
                         archiveAddressProblem(u"www.x/a.html"_s).left(26),
                         archiveAddressProblem({}).left(26)}),
            QStringList({{}, u"Please enter the web addre"_s, u"Please enter the web addre"_s}));
    }

    void accountChecks()
    {
        const std::pair<QStringList, QString> fieldsAndProblem[] = {
            {{"", "u", "p", "http://x"}, u"You must enter the name of the FTP site."_s},
            {{"s", "", "p", "http://x"}, u"You must enter your FTP username."_s},
            {{"s", "u", "", "http://x"}, u"You must enter your FTP password."_s},
            {{"s", "u", "p", ""}, u"You must enter the URL to your pagewick page."_s},
            {{"s", "u", "p", "www.example.com/index.html"},
             u"Please format the website entry like this:   "
             "http://www.example.com/~myname/index.html"_s},
            {{"s", "u", "p", "HTTP://x/i.html"}, QString()}};
        for (const auto& [f, problem] : fieldsAndProblem)
            QCOMPARE(accountProblem({f[0], f[1], f[2], f[3]}), problem);
    }
};

QTEST_GUILESS_MAIN(TestWizardSteps)
#include "tst_wizardsteps.moc"
