// The command line for scripts, `pagewick post|restore|delete-last`, run as
// the real program in a process of its own, each run with a program
// directory of its own, against the local FTP and HTTP test servers: exit
// status, what reached the server, what the settings file records, and the
// form of the messages on standard error.

#include "PublishFixture.h"
#include "TestServers.h"

#include "base/IniFile.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace PublishFixture;

namespace {

struct Run
{
    bool finished = false;
    int exitCode = -1;
    QString out, err;
    QStringList errLines;

    QString describe() const
    {
        return u"exit %1%2\nstdout:\n%3\nstderr:\n%4"_s.arg(exitCode).arg(
            finished ? QString() : u" (did not finish)"_s, out, err);
    }
    // Every message is one line "Title: text".
    bool messagesAreLines() const
    {
        static const QRegularExpression form(u"^[^:\r]+: \\S.*$"_s);
        for (const QString& line : errLines)
            if (!form.match(line).hasMatch())
                return false;
        return true;
    }
};

// The program and a program directory of its own; nothing comes from
// standard input and nothing lands in the user's folders.
class Program
{
public:
    QTemporaryDir home; // XDG_DATA_HOME
    QTemporaryDir dir;
    bool offline = false; // PAGEWICK_OFFLINE=1: the machine acts as offline

    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray file(const QString& name) const { return readFile(dir.filePath(name)); }
    QString ini(const QString& key, const QString& section = u"1"_s) const
    {
        return readSetting(path(u"weblog.ini"_s), section, key);
    }

    // Runs `command --dir DIR args`.
    Run run(const QString& command, const QStringList& args = {}) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"PAGEWICK_NOW"_s, u"2000-12-05T17:44:36"_s);
        env.insert(u"LC_ALL"_s, u"en_US.UTF-8"_s);
        env.insert(u"LANG"_s, u"en_US.UTF-8"_s);
        env.insert(u"XDG_DATA_HOME"_s, home.path());
        env.remove(u"PAGEWICK_OFFLINE"_s);
        if (offline)
            env.insert(u"PAGEWICK_OFFLINE"_s, u"1"_s);
        env.remove(u"PAGEWICK_SITE"_s);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(PAGEWICK_BINARY),
                      QStringList{command, u"--dir"_s, dir.path()} + args);
        process.closeWriteChannel();
        Run r;
        r.finished = process.waitForFinished(90000);
        if (!r.finished) {
            process.kill();
            process.waitForFinished(5000);
        }
        r.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(process.readAllStandardError());
        r.errLines = r.err.split(u'\n', Qt::SkipEmptyParts);
        return r;
    }
    // `post` of an entry titled `title` with the body "B".
    Run post(const QString& title, const QStringList& args = {u"--yes"_s}) const
    {
        return run(u"post"_s, QStringList{u"--title"_s, title, u"--body"_s, u"B"_s} + args);
    }
};

// The run ended by itself with `status`, every message on a line of its own.
#define EXITED(r, status)                                                                          \
    QVERIFY2((r).finished && (r).exitCode == (status) && (r).messagesAreLines(),                   \
             qPrintable((r).describe()))
#define SAYS(r, text) QVERIFY2((r).err.contains(text), qPrintable((r).describe()))

// Publishing `remote` on `ftp` by FTP, without archive and RSS file.
Keys cliKeys(const FtpTestServer& ftp, const QString& remote = u"www/index.html"_s)
{
    Keys keys = ftpKeys(ftp, remote);
    keys.insert({{u"archive"_s, u"false"_s},
                 {u"backendenabled"_s, u"False"_s},
                 {u"defaultsig"_s, u"Ann"_s}});
    return keys;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void postPublishesAndPreviews()
    {
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QVERIFY(ftp.writeFile(u"www/index.html"_s, page(2)));
        QVERIFY(ftp.writeFile(u"two/index.html"_s, page(1)));
        Program pagewick;
        QVERIFY(writeIni(pagewick.dir.path(),
                         {{1, cliKeys(ftp)}, {2, cliKeys(ftp, u"two/index.html"_s)}}));

        // --config: another configuration than the active one, which stays active.
        Run r = pagewick.post(u"For site two"_s, {u"--config"_s, u"2"_s, u"--yes"_s});
        EXITED(r, 0);
        QVERIFY(ftp.readFile(u"two/index.html"_s).contains("></a>For site two"));
        QCOMPARE(ftp.readFile(u"two/index.html"_s), pagewick.file(u"webbie2.html"_s));
        QCOMPARE(ftp.readFile(u"www/index.html"_s), page(2));
        QVERIFY(!QFileInfo::exists(pagewick.path(u"webbie1.html"_s)));
        QCOMPARE(pagewick.ini(u"Config"_s, u"General"_s), u"1"_s);
        QCOMPARE(pagewick.ini(u"Fail"_s, u"2"_s), u"False"_s);
        QCOMPARE(pagewick.ini(u"Fail"_s), QString());

        // The active configuration.
        r = pagewick.run(u"post"_s, {u"--title"_s, u"Scripted hello"_s, u"--body"_s,
                                     u"Line one\nLine two"_s, u"--yes"_s});
        EXITED(r, 0);
        const QByteArray live = ftp.readFile(u"www/index.html"_s);
        QCOMPARE(live, pagewick.file(u"webbie1.html"_s));
        for (const char* part :
             {"></a>Scripted hello", "Line one\r\nLine two", "By: Ann", "Old post 2<!--Title-->"})
            QVERIFY2(live.contains(part), part);
        QCOMPARE(pagewick.ini(u"Fail"_s), u"False"_s);
        QCOMPARE(pagewick.ini(u"Date"_s), u"12/5/2000"_s);
        QVERIFY2(r.out.contains(u"Open: "_s + kWebsite), qPrintable(r.describe()));

        // --preview: the edited page only; the server is not touched.
        ftp.clearLog();
        QVERIFY(writeFile(pagewick.path(u"body.txt"_s), "From a file"));
        r = pagewick.run(u"post"_s, {u"--title"_s, u"Just a look"_s, u"--body-file"_s,
                                     pagewick.path(u"body.txt"_s), u"--preview"_s});
        EXITED(r, 0);
        const QByteArray webbie = pagewick.file(u"webbie1.html"_s);
        for (const char* part : {"></a>Just a look", "From a file", "></a>Scripted hello"})
            QVERIFY2(webbie.contains(part), part); // built on the published page
        QCOMPARE(ftp.readFile(u"www/index.html"_s), live);
        QCOMPARE(ftp.commands().filter(QRegularExpression(
                     u"^(STOR|APPE)"_s, QRegularExpression::CaseInsensitiveOption)),
                 QStringList());
        QCOMPARE(pagewick.ini(u"Fail"_s), u"False"_s);
    }

    void manualPublishing()
    {
        HttpTestServer http;
        REQUIRE_RUNNING(http);
        QVERIFY(http.writeFile(u"index.html"_s, page(2)));
        Program pagewick;
        Keys keys = httpKeys(http.url(u"/index.html"_s));
        keys[u"autoftp"_s] = u"False"_s;
        QVERIFY(writeIni(pagewick.dir.path(), {{1, keys}}));

        const QString saved = pagewick.path(u"upload-me.html"_s);
        Run r = pagewick.post(u"By hand"_s, {u"--save"_s, saved});
        EXITED(r, 0);
        QVERIFY(readFile(saved).contains("></a>By hand"));
        QCOMPARE(readFile(saved), pagewick.file(u"webbie1.html"_s));
        QVERIFY2(r.errLines.contains(u"Pagewick: "_s + saved +
                                     u" ready!  Please exit and manually upload."_s),
                 qPrintable(r.describe()));
        QCOMPARE(pagewick.ini(u"Date"_s), u"12/5/2000"_s);

        // Without --save there is nobody to answer the save dialog: status 1,
        // and nothing is recorded as published.
        QVERIFY(writeSetting(u"1"_s, u"Date"_s, u"1/1/1999"_s, pagewick.path(u"weblog.ini"_s)));
        r = pagewick.post(u"Nowhere"_s);
        EXITED(r, 1);
        QVERIFY(!r.err.contains(u"ready!"_s));
        QCOMPARE(pagewick.ini(u"Date"_s), u"1/1/1999"_s);
        QCOMPARE(pagewick.ini(u"Fail"_s), QString());
    }

    // A command that fails ends with status 1 and says why once: a retrieval
    // that failed is not tried again within the command; nothing is built,
    // nothing reaches the server, nothing is recorded as published.
    void failuresEndWithStatusOne_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("preview");
        QTest::addColumn<QString>("message"); // the start of one line of standard error
        QTest::newRow("no backup in no-retrieve mode")
            << u"none"_s << false << u"Pagewick: Normally in no-retrieve mode pagewick assumes"_s;
        QTest::newRow("page missing on the web server")
            << u"404"_s << true << u"File Not Found: http://127.0.0.1:"_s;
        QTest::newRow("web server closes without an answer")
            << u"close"_s << false
            << u"Download Error: The server returned the following unexpected response:"_s;
        QTest::newRow("page missing on the FTP server")
            << u"ftp missing"_s << false << u"Pagewick: Error attempting to FTP download."_s;
        QTest::newRow("offline without a copy of the last page, preview")
            << u"offline"_s << true
            << u"Pagewick: Unable to use OffLine Mode.  Please connect to the internet."_s;
        QTest::newRow("offline without a copy of the last page")
            << u"offline"_s << false
            << u"Pagewick: Unable to use OffLine Mode.  Please connect to the internet."_s;
        QTest::newRow("password refused")
            << u"password"_s << false
            << u"Error Response Received: Error Code 530 Authentication failed."_s;
    }

    void failuresEndWithStatusOne()
    {
        QFETCH(QString, fault);
        QFETCH(bool, preview);
        QFETCH(QString, message);
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        HttpTestServer http;
        REQUIRE_RUNNING(http);
        QVERIFY(ftp.writeFile(u"www/index.html"_s, page(2)));
        Program pagewick;
        Keys keys = cliKeys(ftp);
        if (fault == u"none" || fault == u"password") {
            keys[u"retreivemode"_s] = u"none"_s;
            if (fault == u"password") {
                QVERIFY(writeFile(pagewick.path(u"backup1.html"_s), page(2)));
                keys[u"password"_s] = u"wrong"_s;
            }
        } else if (fault == u"ftp missing") {
            keys[u"ftpremote"_s] = u"www/missing.html"_s;
        } else {
            keys[u"retreivemode"_s] = u"auto"_s;
            keys[u"website"_s] = http.url(u"/index.html"_s);
            keys[u"timeout"_s] = u"2"_s;
            if (fault == u"close")
                http.setBehaviour(u"/index.html"_s, httpBehaviour(u"close"_s));
            pagewick.offline = fault == u"offline";
            if (pagewick.offline)
                keys[u"connection"_s] = u"modem"_s;
        }
        QVERIFY(writeIni(pagewick.dir.path(), {{1, keys}}));
        if (fault != u"404")
            QVERIFY(http.writeFile(u"index.html"_s, page(2)));

        const Run r = pagewick.post(u"T"_s, preview ? QStringList{u"--yes"_s, u"--preview"_s}
                                                    : QStringList{u"--yes"_s});
        EXITED(r, 1);
        QVERIFY2(r.errLines.filter(QRegularExpression(u"^"_s + QRegularExpression::escape(message)))
                         .size() == 1,
                 qPrintable(r.describe()));
        // The page asked for once at most.
        QVERIFY2(http.requests().size() <= 1, qPrintable(http.requests().join(u" | "_s)));
        QVERIFY2(ftp.commands().filter(QRegularExpression(u"^RETR"_s)).size() <= 1,
                 qPrintable(ftp.commands().join(u" | "_s)));
        QCOMPARE(QFileInfo::exists(pagewick.path(u"webbie1.html"_s)), fault == u"password");
        QCOMPARE(ftp.readFile(u"www/index.html"_s), page(2));
        QCOMPARE(pagewick.ini(u"Fail"_s), fault == u"password" ? u"True"_s : QString());
        QVERIFY(!r.out.contains(u"Open: "_s + kWebsite));
    }

    // A body file must be UTF-8: anything else is refused naming the file
    // and the offset of the first bad byte, and nothing is sent.
    void bodyFileMustBeUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("badOffset"); // -1: accepted
        QTest::newRow("UTF-8") << QByteArray("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80") << -1;
        QTest::newRow("Windows-1252") << QByteArray("Caf\xE9 \x80 ok") << 3;
        QTest::newRow("cut short at the end") << QByteArray("ab\xE2\x82") << 2;
        QTest::newRow("overlong") << QByteArray("x\xC0\xAFy") << 1;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << 0;
    }

    void bodyFileMustBeUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, badOffset);
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QVERIFY(ftp.writeFile(u"www/index.html"_s, page(2)));
        Program pagewick;
        QVERIFY(writeIni(pagewick.dir.path(), {{1, cliKeys(ftp)}}));
        const QString body = pagewick.path(u"body.txt"_s);
        QVERIFY(writeFile(body, bytes));
        const Run r = pagewick.run(
            u"post"_s, {u"--title"_s, u"T"_s, u"--body-file"_s, body, u"--yes"_s, u"--preview"_s});
        if (badOffset < 0) {
            EXITED(r, 0);
            QVERIFY(pagewick.file(u"webbie1.html"_s).contains(bytes));
            return;
        }
        EXITED(r, 1);
        SAYS(r, u"pagewick: %1 is not UTF-8 text: byte %2 "_s.arg(body).arg(badOffset));
        QCOMPARE(ftp.logLines(), QStringList());
        QVERIFY(!QFileInfo::exists(pagewick.path(u"webbie1.html"_s)));
    }

    // restore and delete-last publish what they made; a failed upload leaves
    // the live page and Date as they were and Fail = "True", and once the
    // server recovers `resend` publishes the same entry.
    void restoreDeleteLastAndResend()
    {
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QVERIFY(ftp.writeFile(u"www/index.html"_s, page(2)));
        Program pagewick;
        QVERIFY(writeIni(pagewick.dir.path(), {{1, cliKeys(ftp)}}));
        Run r = pagewick.run(u"resend"_s);
        EXITED(r, 1);
        SAYS(r, u"pagewick: nothing to resend"_s);
        r = pagewick.post(u"Newest"_s);
        EXITED(r, 0);
        const QByteArray published = ftp.readFile(u"www/index.html"_s);
        QVERIFY(published.contains("></a>Newest"));

        // Someone spoiled the live page; restore without --yes declines.
        QVERIFY(ftp.writeFile(u"www/index.html"_s, "spoiled"));
        r = pagewick.run(u"restore"_s);
        EXITED(r, 1);
        SAYS(r, u"Restore Web Site?: Please view the preview."_s);
        QCOMPARE(ftp.readFile(u"www/index.html"_s), QByteArray("spoiled"));
        r = pagewick.run(u"restore"_s, {u"--yes"_s});
        EXITED(r, 0);
        QCOMPARE(ftp.readFile(u"www/index.html"_s), published);

        // Delete Last Entry takes the newest entry off the page on the server.
        r = pagewick.run(u"delete-last"_s, {u"--yes"_s});
        EXITED(r, 0);
        SAYS(r, u"Deletion of PageWick Entry: "_s);
        const QByteArray after = ftp.readFile(u"www/index.html"_s);
        QVERIFY(!after.contains("Newest"));
        QVERIFY(after.contains("Old post 1<!--Title-->") &&
                after.contains("Old post 2<!--Title-->"));
        QCOMPARE(after, pagewick.file(u"webbie1.html"_s));
        QCOMPARE(pagewick.ini(u"Fail"_s), u"False"_s);

        QVERIFY(writeSetting(u"1"_s, u"Date"_s, u"1/1/1999"_s, pagewick.path(u"weblog.ini"_s)));
        ftp.failUploadsOf(u"index.html"_s);
        r = pagewick.post(u"Held back"_s);
        EXITED(r, 1);
        QCOMPARE(ftp.readFile(u"www/index.html"_s), after);
        QCOMPARE(pagewick.ini(u"Fail"_s), u"True"_s);
        QCOMPARE(pagewick.ini(u"Date"_s), u"1/1/1999"_s);
        const QByteArray edited = pagewick.file(u"webbie1.html"_s);
        QVERIFY(edited.contains("></a>Held back"));
        ftp.resetBehaviour();
        r = pagewick.run(u"resend"_s);
        EXITED(r, 0);
        QCOMPARE(ftp.readFile(u"www/index.html"_s), edited);
        QCOMPARE(pagewick.ini(u"Fail"_s), u"False"_s);
        QCOMPARE(QDir(ftp.rootPath(u"www"_s)).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u"index.html"_s});
    }

    void usageErrors()
    {
        Program pagewick;
        for (const QString& line :
             {u"post --body B"_s, u"post --title T"_s, u"post --title T --body B --body-file f"_s,
              u"post --title T --body B --config 12"_s, u"post --title T --body B --use both"_s,
              u"post --title T --body B --bogus"_s, u"post --title"_s, u"restore --title T"_s,
              u"delete-last --preview"_s}) {
            const QStringList args = line.split(u' ');
            const Run r = pagewick.run(args.first(), args.mid(1));
            QVERIFY2(r.finished && r.exitCode == 2, qPrintable(line + u"\n"_s + r.describe()));
            QVERIFY2(r.err.contains(u"Usage:"_s), qPrintable(line));
        }
        // Nothing was set up in the program directory.
        QCOMPARE(QDir(pagewick.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
