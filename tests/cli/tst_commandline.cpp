// `pagewick post|restore|delete-last|resend` run as the real program against
// the local test servers: arguments, exit status, what reached the server,
// what weblog.ini records, and the messages on standard error.

#include "PublishFixture.h"

#include <QElapsedTimer>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <csignal>

using namespace Qt::StringLiterals;
using namespace PublishFixture;

namespace {

// The program and a program directory of its own.
struct Program
{
    QTemporaryDir home, dir; // XDG_DATA_HOME, the program directory

    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray file(const QString& name) const { return readFile(dir.filePath(name)); }
    QStringList ini(const QStringList& keys, const QString& section = u"1"_s) const
    {
        QStringList values;
        for (const QString& key : keys)
            values << readSetting(path("weblog.ini"), section, key);
        return values;
    }
    bool setDate(const QString& date) const
    {
        return writeSetting("1", "Date", date, path("weblog.ini"));
    }
    ProgramRun run(const QString& command, const QStringList& args = {}) const
    {
        return runProgram(QStringList{command, "--dir", dir.path()} + args, home.path());
    }
    // `post` of an entry titled `title` with the body "B".
    ProgramRun post(const QString& title, const QStringList& args = {"--yes"}) const
    {
        return run("post", QStringList{"--title", title, "--body", "B"} + args);
    }
};

// Ended by itself with `status`, every message one line "Title: text".
bool exited(const ProgramRun& r, int status)
{
    static const QRegularExpression form(u"^[^:\r]+: \\S.*$"_s);
    const QStringList lines = r.err.split(u'\n', Qt::SkipEmptyParts);
    return r.finished && r.exitCode == status &&
           std::all_of(lines.begin(), lines.end(),
                       [](const QString& line) { return form.match(line).hasMatch(); });
}

// Publishing `remote` on `ftp` by FTP, without archive and RSS file.
Keys cliKeys(const FtpTestServer& ftp, const QString& remote = u"www/index.html"_s)
{
    Keys keys = ftpKeys(ftp, remote);
    keys.insert({{"archive", "false"}, {"backendenabled", "False"}, {"defaultsig", "Ann"}});
    return keys;
}

} // namespace

#define EXITED(r, status) QVERIFY2(exited(r, status), qPrintable((r).describe()))
#define SAYS(r, text) QVERIFY2((r).err.contains(text), qPrintable((r).describe()))

class TestCommandLine : public QObject, public Servers
{
    Q_OBJECT

private slots:
    void init() { SERVERS_START(); }

    void postPublishesAndPreviews()
    {
        QVERIFY(ftp().writeFile("two/index.html", page(1)));
        Program pagewick;
        QVERIFY(writeIni(pagewick.dir.path(),
                         {{1, cliKeys(ftp())}, {2, cliKeys(ftp(), "two/index.html")}}));

        // --config: another configuration than the active one, which stays active.
        ProgramRun r = pagewick.post("For site two", {"--config", "2", "--yes"});
        EXITED(r, 0);
        QVERIFY(ftp().readFile("two/index.html").contains("></a>For site two"));
        QCOMPARE(QByteArrayList({ftp().readFile("two/index.html"), ftp().readFile("www/index.html"),
                                 pagewick.file("webbie1.html")}),
                 QByteArrayList({pagewick.file("webbie2.html"), page(2), "<missing>"}));
        QCOMPARE(pagewick.ini({"Config"}, "General") + pagewick.ini({"Fail"}, "2") +
                     pagewick.ini({"Fail"}),
                 QStringList({"1", "False", ""}));

        // The active configuration; line ends of the body become CR LF, the
        // signature is the default one.
        r = pagewick.run("post",
                         {"--title", "Scripted hello", "--body", "Line one\nLine two", "--yes"});
        EXITED(r, 0);
        const QByteArray live = ftp().readFile("www/index.html");
        QCOMPARE(live, pagewick.file("webbie1.html"));
        for (const char* part :
             {"></a>Scripted hello", "Line one\r\nLine two", "By: Ann", "Old post 2<!--Title-->"})
            QVERIFY2(live.contains(part), part);
        QCOMPARE(pagewick.ini({"Fail", "Date"}), QStringList({"False", "12/5/2000"}));
        QVERIFY2(r.out.contains("Open: " + kWebsite), qPrintable(r.describe()));

        // --preview: the edited page only, built on the published page; the
        // server is not touched.
        QVERIFY(writeFile(pagewick.path("body.txt"), "From a file"));
        // Values joined to their options, --dir before the command.
        r = runProgram({"--dir", pagewick.dir.path(), "post", "--title=Just a look",
                        "--body-file=" + pagewick.path("body.txt"), "--preview"},
                       pagewick.home.path());
        EXITED(r, 0);
        const QByteArray webbie = pagewick.file("webbie1.html");
        for (const char* part : {"></a>Just a look", "From a file", "></a>Scripted hello"})
            QVERIFY2(webbie.contains(part), part);
        QCOMPARE(ftp().readFile("www/index.html"), live);
        QCOMPARE(pagewick.ini({"Fail"}), QStringList{"False"});

        // The marker taken off the page on the server since: no entry can be
        // placed, so nothing is sent, and the edited page of before stays here.
        const QByteArray unmarked = QByteArray(live).replace("<!--pagewick-->", "");
        QVERIFY(ftp().writeFile("www/index.html", unmarked));
        r = pagewick.post("No place for it");
        EXITED(r, 1);
        SAYS(r, "Neither insert symbols were found");
        QCOMPARE(ftp().readFile("www/index.html"), unmarked);
        QCOMPARE(pagewick.ini({"Fail"}), QStringList{"False"});
        QVERIFY(!r.out.contains("Open: " + kWebsite));
    }

    // Ctrl+C or SIGTERM while the page goes up to a slow server: the command
    // ends at once with status 1, the staged copy goes, the live page stays
    // and the failure is recorded, so that resend is offered.
    void interruptedPost_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl+C") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }

    void interruptedPost()
    {
        QFETCH(int, signal);
        const QByteArray live = page(3, 400000);
        QVERIFY(ftp().writeFile("www/index.html", live));
        Program pagewick;
        QVERIFY(writeIni(pagewick.dir.path(), {{1, cliKeys(ftp())}}));
        ftp().setSlow(20, 16384); // the download too: about a second each way
        QElapsedTimer stopping;
        const ProgramRun r = runProgram(
            {"post", "--dir", pagewick.dir.path(), "--title", "Never out", "--body", "B", "--yes"},
            pagewick.home.path(), [&](QProcess& process) {
                QTRY_VERIFY_WITH_TIMEOUT(ftp().fileExists("www/index.html.pagewick-upload"), 60000);
                stopping.start();
                ::kill(pid_t(process.processId()), signal);
                process.waitForFinished(10000);
            });
        QVERIFY2(stopping.elapsed() < 3000, qPrintable(QString::number(stopping.elapsed())));
        EXITED(r, 1);
        SAYS(r, "pagewick: stopped: interrupted");
        QCOMPARE(ftp().readFile("www/index.html"), live);
        QTRY_COMPARE_WITH_TIMEOUT(ftp().fileExists("www/index.html.pagewick-upload"), false, 5000);
        QCOMPARE(pagewick.ini({"Fail"}), QStringList{"True"});
        QVERIFY(pagewick.run("resend").exitCode == 0);
        QVERIFY(ftp().readFile("www/index.html").contains("></a>Never out"));
    }

    void manualPublishing()
    {
        Program pagewick;
        Keys keys = httpKeys(http().url("/index.html"));
        keys["autoftp"] = "False";
        QVERIFY(writeIni(pagewick.dir.path(), {{1, keys}}));
        const QString saved = pagewick.path("upload-me.html");
        ProgramRun r = pagewick.post("By hand", {"--save", saved});
        EXITED(r, 0);
        QVERIFY(readFile(saved).contains("></a>By hand"));
        QCOMPARE(readFile(saved), pagewick.file("webbie1.html"));
        QVERIFY2(r.err.split(u'\n').contains("Pagewick: " + saved +
                                             " ready!  Please exit and manually upload."),
                 qPrintable(r.describe()));
        QCOMPARE(pagewick.ini({"Date"}), QStringList{"12/5/2000"});

        // Without --save there is nobody to answer the save dialog: status 1,
        // and nothing is recorded as published.
        QVERIFY(pagewick.setDate("1/1/1999"));
        r = pagewick.post("Nowhere");
        EXITED(r, 1);
        QVERIFY(!r.err.contains("ready!"));
        QCOMPARE(pagewick.ini({"Date", "Fail"}), QStringList({"1/1/1999", ""}));
    }

    // A command that fails ends with status 1 and says why once: a retrieval
    // that failed is not tried again within the command; nothing is built,
    // nothing reaches the server, nothing is recorded as published.
    void failuresEndWithStatusOne_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message"); // the start of one line of standard error
        QTest::newRow("no backup in no-retrieve mode")
            << "none"
            << "Pagewick: Normally in no-retrieve mode pagewick assumes";
        QTest::newRow("page missing on the FTP server")
            << "ftp missing"
            << "Pagewick: Error attempting to FTP download.";
        QTest::newRow("password refused")
            << "password"
            << "Error Response Received: Error Code 530 Authentication failed.";
    }

    void failuresEndWithStatusOne()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        Program pagewick;
        Keys keys = cliKeys(ftp());
        const bool password = fault == u"password";
        if (password)
            keys["password"] = "wrong";
        if (fault == u"ftp missing")
            keys["ftpremote"] = "www/missing.html";
        else
            keys["retreivemode"] = "none";
        QVERIFY(writeIni(pagewick.dir.path(), {{1, keys}}));
        QVERIFY(!password || writeFile(pagewick.path("backup1.html"), page(2)));

        const ProgramRun r = pagewick.post("T");
        EXITED(r, 1);
        const QRegularExpression once(u'^' + QRegularExpression::escape(message));
        QVERIFY2(r.err.split(u'\n').filter(once).size() == 1, qPrintable(r.describe()));
        // The page asked for once at most.
        QVERIFY2(ftp().commands().filter(QRegularExpression(u"^RETR"_s)).size() <= 1,
                 qPrintable(ftp().commands().join(u" | "_s)));
        QCOMPARE(QFileInfo::exists(pagewick.path("webbie1.html")), password);
        QCOMPARE(ftp().readFile("www/index.html"), page(2));
        QCOMPARE(pagewick.ini({"Fail"}), QStringList{password ? u"True"_s : QString()});
        QVERIFY(!r.out.contains("Open: " + kWebsite));
    }

    // In the mode "none" a page edited by hand on the server since the last
    // publish stops post, with nothing sent, unless --merge puts the entry
    // into the server's version or --overwrite publishes over it.
    void handEditSurvives()
    {
        Program pagewick;
        Keys keys = cliKeys(ftp());
        keys["retreivemode"] = "none";
        QVERIFY(writeIni(pagewick.dir.path(), {{1, keys}}));
        QVERIFY(writeFile(pagewick.path("backup1.html"), page(2)));
        EXITED(pagewick.post("First"), 0);
        const QByteArray edited =
            ftp().readFile("www/index.html").replace("</body>", "<p>By hand</p>\r\n</body>");
        QVERIFY(ftp().writeFile("www/index.html", edited));

        ProgramRun r = pagewick.post("Second");
        EXITED(r, 1);
        SAYS(r, "Changed on the Server: The page www/index.html on the server was changed on ");
        SAYS(r, "Nothing was sent: give --merge to put the entry into the server's version, or "
                "--overwrite to publish over it.");
        QCOMPARE(ftp().readFile("www/index.html"), edited);
        QCOMPARE(filesIn(ftp().rootPath("www")), QStringList({"archive.html", "index.html"}));

        r = pagewick.post("Second", {"--merge"});
        EXITED(r, 0);
        QByteArray live = ftp().readFile("www/index.html");
        for (const char* part : {"By hand", "></a>Second", "></a>First"})
            QVERIFY2(live.contains(part), part);

        QVERIFY(ftp().writeFile("www/index.html", live.replace("By hand", "Again by hand")));
        EXITED(pagewick.post("Third", {"--overwrite"}), 0);
        live = ftp().readFile("www/index.html");
        QVERIFY(!live.contains("Again by hand") && live.contains("></a>Third"));
        QCOMPARE(live, pagewick.file("webbie1.html"));
    }

    // A body file must be UTF-8: anything else is refused naming the file
    // and the offset of the first bad byte, and nothing is sent.
    void bodyFileMustBeUtf8()
    {
        Program pagewick;
        QVERIFY(writeIni(pagewick.dir.path(), {{1, cliKeys(ftp())}}));
        const QString body = pagewick.path("body.txt");
        const std::pair<QByteArray, int> cases[] = {
            {"Caf\xE9 \x80 ok", 3},                             // Windows-1252
            {"ab\xE2\x82", 2},                                  // cut short at the end
            {"x\xC0\xAFy", 1},                                  // overlong
            {"\xED\xA0\x80", 0},                                // surrogate
            {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", -1}}; // UTF-8: taken
        for (const auto& [bytes, bad] : cases) {
            QVERIFY(writeFile(body, bytes));
            const ProgramRun r =
                pagewick.run("post", {"--title", "T", "--body-file", body, "--yes", "--preview"});
            EXITED(r, bad < 0 ? 0 : 1);
            if (bad >= 0)
                SAYS(r, u"pagewick: %1 is not UTF-8 text: byte %2 "_s.arg(body).arg(bad));
            QVERIFY(bad < 0 ? pagewick.file("webbie1.html").contains(bytes)
                            : !QFileInfo::exists(pagewick.path("webbie1.html")) &&
                                  ftp().logLines().isEmpty());
        }
    }

    // --picture FILE --alt TEXT: each picture's tag at the end of the body,
    // its copy scaled into the pictures folder. A picture without its text,
    // or one that is no picture, stops the command before anything is sent.
    void postWithPictures()
    {
        Program pagewick;
        QVERIFY(writeIni(pagewick.dir.path(), {{1, cliKeys(ftp())}}));
        QImage wide(2400, 1200, QImage::Format_RGB32);
        wide.fill(Qt::darkCyan);
        const QString holiday = pagewick.home.filePath("holiday.png");
        QVERIFY(wide.save(holiday) && writeFile(pagewick.home.filePath("notes.png"), "text"));

        for (const QStringList& bad :
             {QStringList{"--picture", holiday, "--alt", "Beach", "--picture", holiday},
              QStringList{"--picture", holiday, "--alt", "Beach",
                          "--picture=" + pagewick.home.filePath("notes.png"), "--alt=N"}}) {
            const ProgramRun r = runProgram(QStringList{"post", "--dir", pagewick.dir.path(),
                                                        "--title", "T", "--body", "B", "--yes"} +
                                                bad,
                                            pagewick.home.path());
            EXITED(r, 1);
            SAYS(r, bad.last() == holiday
                        ? "pagewick: the picture " + holiday + " has no --alt text"
                        : "Picture: The file notes.png is not a picture");
            QVERIFY(!QFileInfo::exists(pagewick.path("webbie1.html")));
            QVERIFY(!QFileInfo::exists(pagewick.path("images")));
            QCOMPARE(ftp().readFile("www/index.html"), page(2));
        }

        // A relative name is taken from where the command is given.
        const QString here = QDir::currentPath();
        QDir::setCurrent(pagewick.home.path());
        const ProgramRun r =
            runProgram({"post", "--dir", pagewick.dir.path(), "--title", "T", "--body", "B",
                        "--picture=holiday.png", "--alt", "The beach at dawn", "--picture", holiday,
                        "--alt=", "--preview"},
                       pagewick.home.path());
        QDir::setCurrent(here);
        EXITED(r, 0);
        QVERIFY(pagewick.file("webbie1.html")
                    .contains("B\r\n<img src=\"images/holiday.png\" alt=\"The beach at dawn\" "
                              "width=\"1200\" height=\"600\">\r\n<img src=\"images/holiday.png\" "
                              "alt=\"\" width=\"1200\" height=\"600\">"));
        QCOMPARE(QImage(pagewick.path("images/holiday.png")).size(), QSize(1200, 600));
        QVERIFY(r.out.contains("holiday.png was scaled down from 2400 x 1200 to 1200 x 600"));
    }

    // restore and delete-last publish what they made; after a failed upload
    // `resend` publishes the same entry once the server recovers.
    void restoreDeleteLastAndResend()
    {
        Program pagewick;
        QVERIFY(writeIni(pagewick.dir.path(), {{1, cliKeys(ftp())}}));
        ProgramRun r = pagewick.run("resend");
        EXITED(r, 1);
        SAYS(r, "pagewick: nothing to resend");
        r = pagewick.post("Newest");
        EXITED(r, 0);
        const QByteArray published = ftp().readFile("www/index.html");
        QVERIFY(published.contains("></a>Newest"));

        // Someone spoiled the live page; restore without --yes declines.
        QVERIFY(ftp().writeFile("www/index.html", "spoiled"));
        r = pagewick.run("restore");
        EXITED(r, 1);
        SAYS(r, "Restore Web Site?: Please view the preview.");
        QCOMPARE(ftp().readFile("www/index.html"), QByteArray("spoiled"));
        // The change is the server's: only --overwrite publishes over it.
        r = pagewick.run("restore", {"--yes"});
        EXITED(r, 1);
        SAYS(r, "Changed on the Server: The page www/index.html on the server was changed on ");
        QCOMPARE(ftp().readFile("www/index.html"), QByteArray("spoiled"));
        r = pagewick.run("restore", {"--yes", "--overwrite"});
        EXITED(r, 0);
        QCOMPARE(ftp().readFile("www/index.html"), published);

        r = pagewick.run("delete-last", {"--yes"});
        EXITED(r, 0);
        SAYS(r, "Deletion of PageWick Entry: ");
        const QByteArray after = ftp().readFile("www/index.html");
        QVERIFY(!after.contains("Newest") && after.contains("Old post 1<!--Title-->") &&
                after.contains("Old post 2<!--Title-->"));
        QCOMPARE(after, pagewick.file("webbie1.html"));
        QCOMPARE(pagewick.ini({"Fail"}), QStringList{"False"});

        // A failed upload: status 1, the live page and Date as they were.
        QVERIFY(pagewick.setDate("1/1/1999"));
        ftp().failUploadsOf("index.html");
        r = pagewick.post("Held back");
        EXITED(r, 1);
        QCOMPARE(ftp().readFile("www/index.html"), after);
        QCOMPARE(pagewick.ini({"Fail", "Date"}), QStringList({"True", "1/1/1999"}));
        const QByteArray edited = pagewick.file("webbie1.html");
        QVERIFY(edited.contains("></a>Held back"));
        ftp().resetBehaviour();
        r = pagewick.run("resend");
        EXITED(r, 0);
        QCOMPARE(ftp().readFile("www/index.html"), edited);
        QCOMPARE(pagewick.ini({"Fail"}), QStringList{"False"});
        QCOMPARE(filesIn(ftp().rootPath("www")), QStringList({"archive.html", "index.html"}));
    }

    // entries lists the page; edit and delete change one entry of a page with
    // hand-made text between the entries and publish it: every other byte
    // reaches the server as it was, the RSS file follows, the archive page
    // goes up unchanged. Bad input, a declined question or a failed upload
    // leave the live page as it was.
    void editAndDeleteOneEntry()
    {
        Program pagewick;
        QVERIFY(writeIni(pagewick.dir.path(), {{1, publishKeys(ftp())}}) &&
                pagewick.setDate("1/1/1999"));
        const QByteArray e1 = "<!--|12/4/2000|9:00:01 AM|--><a name=\"e1\"></a>Old post 1"
                              "<!--Title--><br>\r\nText of post 1\r\n",
                         byHand = "<!--|12/3/2000|noon|--><p>Made by <b>hand</b></p>\r\n",
                         e2Text = "<a name=\"e2\"></a>Old post 2<!--Title--><br>\r\nText of post 2"
                                  "\r\n<p>loose \xC3\xA9</p>"; // up to the next marker
        QByteArray live = page(3);
        live.replace("<!--|12/3/2000", byHand + "<!--|12/3/2000");
        live.replace("<!--|12/2/2000", "<p>loose \xC3\xA9</p>\r\n<!--|12/2/2000");
        QVERIFY(ftp().writeFile("www/index.html", live));

        ProgramRun r = pagewick.run("entries");
        EXITED(r, 0);
        QCOMPARE(r.out,
                 u"e1 12/4/2000 9:00:01 AM Old post 1\n- 12/3/2000 noon Made by hand\n"
                 "e2 12/3/2000 9:00:02 AM Old post 2\ne3 12/2/2000 9:00:03 AM Old post 3\n"_s);
        r = pagewick.run("entries", {"--archive"});
        QCOMPARE(r.out, u"a1 11/1/2000 8:00:00 AM Archived\n"_s);

        const QString html = pagewick.path("new.html");
        const auto edit = [&](const QByteArray& text, const QStringList& more = {"--yes"}) {
            return writeFile(html, text)
                       ? pagewick.run("edit",
                                      QStringList{"--entry", "e2", "--html-file", html} + more)
                       : ProgramRun();
        };
        // Refused before anything is written or sent.
        const std::pair<QByteArray, const char*> refused[] = {
            {"x<!--|1/1/2001|1:00 AM|-->y<!--Title-->", "either of which would split the page"},
            {"x<!--**End**--><!--Title-->", "either of which would split the page"},
            {"<a name=\"e2\"></a>no title", "lacks the title marker <!--Title-->"}};
        for (const auto& [text, says] : refused) {
            r = edit(text);
            EXITED(r, 1);
            SAYS(r, says);
        }
        r = pagewick.run("delete", {"--entry", "E 2", "--yes"});
        EXITED(r, 1);
        SAYS(r, "Pagewick: No entry of the page has the anchor \"E 2\".  The nearest anchors: "
                "e2, e1, e3.  Nothing was changed.");
        QVERIFY(!QFileInfo::exists(pagewick.path("webbie1.html")));

        // A failed upload: Fail=True, the live page as it was, the edit kept
        // for Resend, which sends it.
        const QByteArray newText =
            "<a name=\"e2\"></a>Better post 2<!--Title--><br>\nNew \xC3\xA9\n";
        QByteArray expected = live;
        expected.replace(e2Text, QByteArray(newText).replace("\n", "\r\n").chopped(2));
        ftp().failUploadsOf("index.html");
        r = edit(newText);
        EXITED(r, 1);
        QCOMPARE(ftp().readFile("www/index.html"), live);
        QCOMPARE(pagewick.ini({"Fail"}), QStringList{"True"});
        QCOMPARE(pagewick.file("webbie1.html"), expected);
        ftp().resetBehaviour();
        EXITED(pagewick.run("resend"), 0);
        QCOMPARE(ftp().readFile("www/index.html"), expected);
        QVERIFY(ftp().readFile("www/backend.rss").contains("<title>Better post 2</title>"));

        // delete: declined without --yes; then the entry's bytes go, the
        // hand-made ones stay.
        r = pagewick.run("delete", {"--entry", "e1"});
        EXITED(r, 1);
        SAYS(r, "Deletion of PageWick Entry: Please view the preview.");
        QCOMPARE(ftp().readFile("www/index.html"), expected);
        EXITED(pagewick.run("delete", {"--entry", "e1", "--yes"}), 0);
        QCOMPARE(ftp().readFile("www/index.html"), QByteArray(expected).replace(e1, ""));
        QVERIFY(!ftp().readFile("www/backend.rss").contains("Old post 1"));
        QCOMPARE(ftp().readFile("www/archive.html"), archivePage());
        QCOMPARE(pagewick.ini({"Fail", "Date"}), QStringList({"False", "1/1/1999"}));

        // A Windows-1252 page stays one: the new text is written in its code
        // page, the other bytes as they were.
        live = page(2).replace("Old post 1", "Caf\xE9 1");
        QVERIFY(ftp().writeFile("www/index.html", live));
        EXITED(edit("<a name=\"e2\"></a>Th\xC3\xA9 \xE2\x82\xAC \xE2\x86\x92<!--Title-->"), 0);
        QCOMPARE(ftp().readFile("www/index.html"),
                 live.replace("Old post 2<!--Title--><br>\r\nText of post 2",
                              "Th\xE9 \x80 &#8594;<!--Title-->"));

        // An anchor on two entries, an entry without an end: nothing changes.
        live = page(2).replace("e2", "e1");
        for (const QByteArray& bad : {live, page(2).replace("<!--**END**-->", "")}) {
            QVERIFY(ftp().writeFile("www/index.html", bad));
            r = pagewick.run("delete", {"--entry", bad == live ? "e1" : "e2", "--yes"});
            EXITED(r, 1);
            SAYS(r, bad == live ? "The anchor \"e1\" is on 2 entries of the page"
                                : "This program looks for <!--**END**-->");
            QCOMPARE(ftp().readFile("www/index.html"), bad);
        }
    }

    // Help and usage errors are answered from the arguments alone: status 0
    // and the text on standard output, or 2 and the problem with the usage on
    // standard error; no window opened, nothing written, no connection made.
    void answeredFromTheArguments_data()
    {
        QTest::addColumn<QString>("line"); // DIR: the program directory
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("notSays");
        const auto row = [](const char* line, int status, const char* says,
                            const char* notSays = "") {
            QTest::newRow(line) << QString::fromLatin1(line) << status << says << notSays;
        };
        row("--help", 0, "\n       pagewick delete-last [--dir DIR]");
        row("post --dir DIR --help", 0, "\n  --body-file FILE  read the body", "restore");
        row("--dir DIR resend -h", 0, "Usage: pagewick resend [--dir DIR]", "--preview");
        row("post --dir DIR --body B", 2, "pagewick: post needs --title\n");
        row("post --dir DIR --title T", 2, ": post needs either --body or --body-file\n");
        row("post --dir DIR --title T --body B --body-file f", 2, ": post needs either --body");
        row("post --dir DIR --title T --body B --config 12", 2,
            ": --config takes a configuration number from 1 to 9\n");
        row("post --dir=DIR --title=T --body=B --use=both", 2, ": --use takes 'local' or 'server'");
        row("post --dir DIR --title T --body B --bogus", 2, ": unknown option --bogus\n");
        row("post --dir DIR --title T --body B --yes=1", 2, ": --yes takes no value\n");
        row("post --dir DIR --title T --body B stray", 2, ": unexpected argument stray\n");
        row("post --dir DIR --body B --title", 2, ": --title needs a value\n");
        row("restore --dir DIR --title T", 2, ": unknown option --title\n");
        row("delete-last --dir DIR --preview", 2, ": unknown option --preview\n");
        row("resend --dir DIR --config", 2, ": --config needs a value\n");
        row("post --dir DIR --title T --body B --alt Sea", 2,
            ": --alt Sea follows no --picture of its own\n");
        row("--dir DIR --bogus", 2, ": unknown option --bogus\n");
        row("--dir", 2, ": --dir needs a value\n");
        row("--dir DIR publish", 2, ": unknown command publish\n");
        row("edit --dir DIR --entry e1", 2, ": edit needs --html-file\n");
        row("delete --dir DIR --yes", 2, ": delete needs --entry\n");
        row("entries --dir DIR --yes", 2, ": unknown option --yes\n");
        row("post --dir DIR --title T --body B --merge --overwrite", 2,
            ": --merge and --overwrite cannot be given together\n");
        row("resend --dir DIR --merge", 2, ": unknown option --merge\n");
        row("entries --dir DIR --help", 0, "Usage: pagewick entries [--dir DIR]", "--entry");
    }

    void answeredFromTheArguments()
    {
        QFETCH(QString, line);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(QString, notSays);
        Program pagewick;
        QVERIFY(writeIni(pagewick.dir.path(), {{1, cliKeys(ftp())}}));
        const QByteArray ini = pagewick.file("weblog.ini");
        // No display to open: a window would end the program at once.
        const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
        qputenv("QT_QPA_PLATFORM", "none-such");
        const ProgramRun r =
            runProgram(line.replace("DIR", pagewick.dir.path()).split(u' '), pagewick.home.path());
        qputenv("QT_QPA_PLATFORM", platform);
        const QString& text = status == 0 ? r.out : r.err;
        QVERIFY2(r.finished && r.exitCode == status && text.contains(says) &&
                     (notSays.isEmpty() || !text.contains(notSays)) &&
                     (status == 0 ? r.err.isEmpty()
                                  : r.out.isEmpty() && r.err.contains("\n\nUsage: pagewick")),
                 qPrintable(r.describe()));
        QCOMPARE(QDir(pagewick.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"weblog.ini"});
        QCOMPARE(pagewick.file("weblog.ini"), ini);
        QVERIFY(QDir(pagewick.home.path()).isEmpty());
        QCOMPARE(ftp().logLines(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
