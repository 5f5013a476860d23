// The command line for scripts, `pagewick post|restore|delete-last`, run as
// the real program in a process of its own, each run with a program
// directory of its own, against the local FTP and HTTP test servers: exit
// status, what reached the server, what the settings file records, and the
// form of the messages on standard error.

#include "PublishFixture.h"
#include "TestServers.h"

#include "app/IniFile.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace PublishFixture;

#define REQUIRE_RUNNING(server) QVERIFY2((server).isRunning(), qPrintable((server).errorString()))

namespace {

const QString kWebsite = u"http://www.example.com/weblog/index.html"_s;

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

class Program
{
public:
    QTemporaryDir home; // XDG_DATA_HOME: nothing lands in the user's folders

    Run run(const QStringList& args) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"PAGEWICK_NOW"_s, u"2000-12-05T17:44:36"_s);
        env.insert(u"LC_ALL"_s, u"en_US.UTF-8"_s);
        env.insert(u"LANG"_s, u"en_US.UTF-8"_s);
        env.insert(u"XDG_DATA_HOME"_s, home.path());
        env.remove(u"PAGEWICK_OFFLINE"_s);
        env.remove(u"PAGEWICK_SITE"_s);
        process.setProcessEnvironment(env);
        process.setProgram(QStringLiteral(PAGEWICK_BINARY));
        process.setArguments(args);
        process.start();
        process.closeWriteChannel(); // no answers come from standard input
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
};

Keys ftpKeys(const FtpTestServer& ftp, const QString& remote = u"www/index.html"_s)
{
    return {{u"website"_s, kWebsite},
            {u"ftpsite"_s, ftp.url()},
            {u"username"_s, FtpTestServer::User},
            {u"password"_s, FtpTestServer::Password},
            {u"ftpremote"_s, remote},
            {u"timeout"_s, u"30"_s},
            {u"autoftp"_s, u"True"_s},
            {u"connection"_s, u"direct"_s},
            {u"retreivemode"_s, u"ftp"_s},
            {u"archive"_s, u"false"_s},
            {u"backendenabled"_s, u"False"_s},
            {u"defaultsig"_s, u"Ann"_s}};
}

QString ini(const QString& dir, const QString& section, const QString& key)
{
    return ReadSetting(dir + u"/weblog.ini"_s, section, key);
}

QStringList uploads(const FtpTestServer& ftp)
{
    QStringList stores;
    for (const QString& c : ftp.commands())
        if (c.startsWith(u"STOR"_s, Qt::CaseInsensitive) ||
            c.startsWith(u"APPE"_s, Qt::CaseInsensitive))
            stores << c;
    return stores;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void postPublishesAndPreviews();
    void postWithAnotherConfiguration();
    void manualPublishing();
    void failuresEndWithStatusOne();
    void restoreAndDeleteLast();
    void usageErrors();
};

void TestCommandLine::postPublishesAndPreviews()
{
    FtpTestServer ftp;
    REQUIRE_RUNNING(ftp);
    const QByteArray served = page(2);
    QVERIFY(ftp.writeFile(u"www/index.html"_s, served));
    Program pagewick;
    QTemporaryDir dir;
    QVERIFY(writeIni(dir.path(), {{1, ftpKeys(ftp)}}));

    Run r = pagewick.run({u"post"_s, u"--dir"_s, dir.path(), u"--title"_s, u"Scripted hello"_s,
                          u"--body"_s, u"Line one\nLine two"_s, u"--yes"_s});
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.describe()));
    QVERIFY2(r.messagesAreLines(), qPrintable(r.describe()));
    const QByteArray live = ftp.readFile(u"www/index.html"_s);
    QCOMPARE(live, readFile(dir.filePath(u"webbie1.html"_s)));
    QVERIFY(live.contains("></a>Scripted hello"));
    QVERIFY(live.contains("Line one\r\nLine two"));
    QVERIFY(live.contains("By: Ann"));
    QVERIFY(live.contains("Old post 2<!--Title-->"));
    QCOMPARE(ini(dir.path(), u"1"_s, u"Fail"_s), u"False"_s);
    QCOMPARE(ini(dir.path(), u"1"_s, u"Date"_s), u"12/5/2000"_s);
    QVERIFY2(r.out.contains(u"Open: "_s + kWebsite), qPrintable(r.describe()));

    // --preview: the edited page only; the server is not touched.
    ftp.clearLog();
    const QString body = dir.filePath(u"body.txt"_s);
    QVERIFY(writeFile(body, "From a file"));
    r = pagewick.run({u"post"_s, u"--dir"_s, dir.path(), u"--title"_s, u"Just a look"_s,
                      u"--body-file"_s, body, u"--preview"_s});
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.describe()));
    QVERIFY2(r.messagesAreLines(), qPrintable(r.describe()));
    const QByteArray webbie = readFile(dir.filePath(u"webbie1.html"_s));
    QVERIFY(webbie.contains("></a>Just a look"));
    QVERIFY(webbie.contains("From a file"));
    QVERIFY(webbie.contains("></a>Scripted hello")); // built on the published page
    QCOMPARE(ftp.readFile(u"www/index.html"_s), live);
    QCOMPARE(uploads(ftp), QStringList());
    QCOMPARE(ini(dir.path(), u"1"_s, u"Fail"_s), u"False"_s);
}

void TestCommandLine::postWithAnotherConfiguration()
{
    FtpTestServer ftp;
    REQUIRE_RUNNING(ftp);
    QVERIFY(ftp.writeFile(u"one/index.html"_s, page(1)));
    QVERIFY(ftp.writeFile(u"two/index.html"_s, page(2)));
    Program pagewick;
    QTemporaryDir dir;
    QVERIFY(writeIni(dir.path(), {{1, ftpKeys(ftp, u"one/index.html"_s)},
                                  {2, ftpKeys(ftp, u"two/index.html"_s)}}));

    const Run r = pagewick.run({u"post"_s, u"--dir"_s, dir.path(), u"--config"_s, u"2"_s,
                                u"--title"_s, u"For site two"_s, u"--body"_s, u"B"_s, u"--yes"_s});
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.describe()));
    QVERIFY2(r.messagesAreLines(), qPrintable(r.describe()));
    QVERIFY(ftp.readFile(u"two/index.html"_s).contains("></a>For site two"));
    QCOMPARE(ftp.readFile(u"one/index.html"_s), page(1));
    QCOMPARE(ftp.readFile(u"two/index.html"_s), readFile(dir.filePath(u"webbie2.html"_s)));
    QVERIFY(!QFileInfo::exists(dir.filePath(u"webbie1.html"_s)));
    QCOMPARE(ini(dir.path(), u"General"_s, u"Config"_s), u"1"_s); // still the active one
    QCOMPARE(ini(dir.path(), u"2"_s, u"Fail"_s), u"False"_s);
    QCOMPARE(ini(dir.path(), u"1"_s, u"Fail"_s), QString());
}

void TestCommandLine::manualPublishing()
{
    HttpTestServer http;
    REQUIRE_RUNNING(http);
    QVERIFY(http.writeFile(u"index.html"_s, page(2)));
    Program pagewick;
    QTemporaryDir dir;
    const Keys keys{{u"website"_s, http.url(u"/index.html"_s)},
                    {u"ftpsite"_s, u"ftp://127.0.0.1:%1"_s.arg(closedPort())},
                    {u"timeout"_s, u"30"_s},
                    {u"autoftp"_s, u"False"_s},
                    {u"connection"_s, u"direct"_s},
                    {u"retreivemode"_s, u"auto"_s}};
    QVERIFY(writeIni(dir.path(), {{1, keys}}));

    const QString saved = dir.filePath(u"upload-me.html"_s);
    Run r = pagewick.run({u"post"_s, u"--dir"_s, dir.path(), u"--title"_s, u"By hand"_s,
                          u"--body"_s, u"B"_s, u"--save"_s, saved});
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.describe()));
    QVERIFY2(r.messagesAreLines(), qPrintable(r.describe()));
    QVERIFY(readFile(saved).contains("></a>By hand"));
    QCOMPARE(readFile(saved), readFile(dir.filePath(u"webbie1.html"_s)));
    QVERIFY2(r.errLines.contains(u"Pagewick: "_s + saved +
                                 u" ready!  Please exit and manually upload."_s),
             qPrintable(r.describe()));
    QCOMPARE(ini(dir.path(), u"1"_s, u"Date"_s), u"12/5/2000"_s);
    QCOMPARE(ini(dir.path(), u"1"_s, u"Fail"_s), QString());

    // Without --save there is nobody to answer the save dialog: status 1.
    const QString before = ini(dir.path(), u"1"_s, u"Date"_s);
    r = pagewick.run({u"post"_s, u"--dir"_s, dir.path(), u"--title"_s, u"Nowhere"_s, u"--body"_s,
                      u"B"_s, u"--yes"_s});
    QVERIFY2(r.finished && r.exitCode == 1, qPrintable(r.describe()));
    QVERIFY2(r.messagesAreLines(), qPrintable(r.describe()));
    QVERIFY(!r.err.contains(u"ready!"_s));
    QCOMPARE(ini(dir.path(), u"1"_s, u"Fail"_s), QString());
    QCOMPARE(ini(dir.path(), u"1"_s, u"Date"_s), before);
}

void TestCommandLine::failuresEndWithStatusOne()
{
    FtpTestServer ftp;
    REQUIRE_RUNNING(ftp);
    QVERIFY(ftp.writeFile(u"www/index.html"_s, page(2)));
    Program pagewick;

    // No-retrieve mode without a backup: the window would ask for a file
    // until one is chosen; the command stops.
    QTemporaryDir none;
    Keys keys = ftpKeys(ftp);
    keys[u"retreivemode"_s] = u"none"_s;
    QVERIFY(writeIni(none.path(), {{1, keys}}));
    Run r = pagewick.run({u"post"_s, u"--dir"_s, none.path(), u"--title"_s, u"T"_s, u"--body"_s,
                          u"B"_s, u"--yes"_s});
    QVERIFY2(r.finished && r.exitCode == 1, qPrintable(r.describe()));
    QVERIFY2(r.messagesAreLines(), qPrintable(r.describe()));
    QVERIFY2(r.err.startsWith(u"Pagewick: Normally in no-retrieve mode pagewick assumes"_s),
             qPrintable(r.describe()));
    QVERIFY(!QFileInfo::exists(none.filePath(u"webbie1.html"_s)));

    // A failed upload (the server refuses the password): status 1, Fail.
    QVERIFY(writeFile(none.filePath(u"backup1.html"_s), page(2)));
    keys[u"password"_s] = u"wrong"_s;
    QVERIFY(writeIni(none.path(), {{1, keys}}));
    ftp.clearLog();
    r = pagewick.run({u"post"_s, u"--dir"_s, none.path(), u"--title"_s, u"T"_s, u"--body"_s, u"B"_s,
                      u"--yes"_s});
    QVERIFY2(r.finished && r.exitCode == 1, qPrintable(r.describe()));
    QVERIFY2(r.messagesAreLines(), qPrintable(r.describe()));
    QVERIFY2(
        r.errLines.contains(u"Error Response Received: Error Code 530 Authentication failed."_s),
        qPrintable(r.describe()));
    QCOMPARE(ini(none.path(), u"1"_s, u"Fail"_s), u"True"_s);
    QCOMPARE(ftp.readFile(u"www/index.html"_s), page(2));
    QVERIFY(!r.out.contains(u"Open: "_s + kWebsite));
}

void TestCommandLine::restoreAndDeleteLast()
{
    FtpTestServer ftp;
    REQUIRE_RUNNING(ftp);
    QVERIFY(ftp.writeFile(u"www/index.html"_s, page(2)));
    Program pagewick;
    QTemporaryDir dir;
    QVERIFY(writeIni(dir.path(), {{1, ftpKeys(ftp)}}));
    Run r = pagewick.run({u"post"_s, u"--dir"_s, dir.path(), u"--title"_s, u"Newest"_s, u"--body"_s,
                          u"B"_s, u"--yes"_s});
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.describe()));
    const QByteArray published = ftp.readFile(u"www/index.html"_s);
    QVERIFY(published.contains("></a>Newest"));

    // Someone spoiled the live page; restore without --yes declines.
    QVERIFY(ftp.writeFile(u"www/index.html"_s, "spoiled"));
    r = pagewick.run({u"restore"_s, u"--dir"_s, dir.path()});
    QVERIFY2(r.finished && r.exitCode == 1, qPrintable(r.describe()));
    QVERIFY2(r.messagesAreLines(), qPrintable(r.describe()));
    QVERIFY2(r.err.contains(u"Restore Web Site?: Please view the preview."_s),
             qPrintable(r.describe()));
    QCOMPARE(ftp.readFile(u"www/index.html"_s), QByteArray("spoiled"));

    r = pagewick.run({u"restore"_s, u"--dir"_s, dir.path(), u"--yes"_s});
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.describe()));
    QVERIFY2(r.messagesAreLines(), qPrintable(r.describe()));
    QCOMPARE(ftp.readFile(u"www/index.html"_s), published);

    // Delete Last Entry takes the newest entry off the page on the server.
    r = pagewick.run({u"delete-last"_s, u"--dir"_s, dir.path(), u"--yes"_s});
    QVERIFY2(r.finished && r.exitCode == 0, qPrintable(r.describe()));
    QVERIFY2(r.messagesAreLines(), qPrintable(r.describe()));
    QVERIFY2(r.err.contains(u"Deletion of PageWick Entry: "_s), qPrintable(r.describe()));
    const QByteArray after = ftp.readFile(u"www/index.html"_s);
    QVERIFY(!after.contains("Newest"));
    QVERIFY(after.contains("Old post 1<!--Title-->") && after.contains("Old post 2<!--Title-->"));
    QCOMPARE(after, readFile(dir.filePath(u"webbie1.html"_s)));
    QCOMPARE(ini(dir.path(), u"1"_s, u"Fail"_s), u"False"_s);
}

void TestCommandLine::usageErrors()
{
    Program pagewick;
    QTemporaryDir dir;
    const QString d = dir.path();
    const QList<QStringList> cases = {
        {u"post"_s, u"--dir"_s, d, u"--body"_s, u"B"_s},
        {u"post"_s, u"--dir"_s, d, u"--title"_s, u"T"_s},
        {u"post"_s, u"--dir"_s, d, u"--title"_s, u"T"_s, u"--body"_s, u"B"_s, u"--body-file"_s,
         u"f"_s},
        {u"post"_s, u"--dir"_s, d, u"--title"_s, u"T"_s, u"--body"_s, u"B"_s, u"--config"_s,
         u"12"_s},
        {u"post"_s, u"--dir"_s, d, u"--title"_s, u"T"_s, u"--body"_s, u"B"_s, u"--use"_s,
         u"both"_s},
        {u"post"_s, u"--dir"_s, d, u"--title"_s, u"T"_s, u"--body"_s, u"B"_s, u"--bogus"_s},
        {u"post"_s, u"--dir"_s, d, u"--title"_s},
        {u"restore"_s, u"--dir"_s, d, u"--title"_s, u"T"_s},
        {u"delete-last"_s, u"--dir"_s, d, u"--preview"_s},
    };
    for (const QStringList& args : cases) {
        const Run r = pagewick.run(args);
        QVERIFY2(r.finished && r.exitCode == 2,
                 qPrintable(args.join(u' ') + u"\n"_s + r.describe()));
        QVERIFY2(r.err.contains(u"Usage:"_s), qPrintable(args.join(u' ')));
    }
    // Nothing was set up in the program directory.
    QCOMPARE(QDir(d).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
