// weblog.ini reading and writing: the Windows profile-file rules, keeping the
// rest of the file byte for byte, surviving damaged files, and keeping the
// private files of the program directory private.

#include "PublishFixture.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/entry/EntryDraft.h"
#include "core/entry/WorkFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <functional>

class TestSettingsFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path;

    void write(const QByteArray& bytes) { QVERIFY(PublishFixture::writeFile(path, bytes)); }
    QByteArray contents() const { return PublishFixture::readFile(path); }
    QString read(const QString& section, const QString& key) const
    {
        return readSetting(path, section, key);
    }
    bool set(const QString& section, const QString& key, const QString& value) const
    {
        return writeSetting(section, key, value, path);
    }

private slots:
    void init()
    {
        path = dir.filePath("weblog.ini");
        QFile::remove(path);
    }

    void lookupRules()
    {
        const QByteArray ini =
            "[General]\r\nConfig=2\r\n[ 1 ]\r\n  Website  =  http://a.example/x.html  \r\n"
            "quoted=\"  spaced  \"\r\nsingle='x'\r\nlonely\"=\"q\r\nmixed=\"q'\r\n"
            "eq=a=b=c\r\nempty=\r\nnoequals\r\n[2]\r\nwebsite=two\r\n";
        const auto row = [&](const QString& name, const QString& section, const QString& key,
                             const QString& value, const QByteArray& file = {}) {
            write(file.isNull() ? ini : file);
            QCOMPARE(name + u'=' + read(section, key), name + u'=' + value);
        };
        const QString url = "http://a.example/x.html";
        row("plain", "General", "Config", "2");
        row("section case", "general", "CONFIG", "2");
        row("blank around section asked", " 1", "website", url);
        row("blanks in file around names", "1", "WEBSITE", url);
        row("one pair of double quotes dropped", "1", "quoted", "  spaced  ");
        row("single quotes dropped", "1", "single", "x");
        row("unmatched quotes kept", "1", "mixed", "\"q'");
        row("value is all after first =", "1", "eq", "a=b=c");
        row("empty value", "1", "empty", {});
        row("line without = is no key", "1", "noequals", {});
        row("key of another section not seen", "2", "quoted", {});
        row("second section", "2", "website", "two");
        row("missing section", "3", "website", {});
        row("missing key", "General", "Other", {});
        row("bare LF line ends", "1", "key", "v", "[1]\nkey=v\n");
        row("no final line end", "1", "key", "last", "[1]\r\nkey=last");
        row("first of two equal sections wins", "1", "k", "a", "[1]\r\nk=a\r\n[1]\r\nk=b\r\n");
        row("long values cut to 254", "1", "sig", QString(254, u'x'),
            "[1]\r\nsig=" + QByteArray(300, 'x') + "\r\n");
        row("empty file", "General", "Config", {}, "");
        static const char junk[] =
            "\x00\xff\xfe[junk\x00\r\n\x01\x02=\x03\r\n[General]\r\nConfig=4\r\n";
        row("binary junk around a good section", "General", "Config", "4",
            QByteArray(junk, sizeof junk - 1));
        // No file, or a folder in its place.
        QVERIFY(QFile::remove(path) && QDir(dir.path()).mkdir("dir.ini"));
        QCOMPARE(read("General", "Config") + readSetting(dir.filePath("dir.ini"), "1", "x"),
                 QString());
    }

    // The parsed file is kept between reads; whoever changes the file, in
    // place or by replacing it, at once or a while later, is read back.
    void changesToTheFileAreSeen()
    {
        QStringList got;
        write("[1]\r\nk=aaaa\r\n");
        got << read("1", "k");
        write("[1]\r\nk=bbbb\r\n"); // same size, same inode, same clock tick
        got << read("1", "k");
        QVERIFY(set("1", "k", "cccc"));
        got << read("1", "k");
        // Settled files are the ones kept: a change after that is seen too.
        QTest::qWait(1100);
        got << read("1", "k") << read("1", "k");
        write("[1]\r\nk=dddd\r\n");
        got << read("1", "k");
        const QString other = dir.filePath("other.ini");
        QFile::remove(other);
        QVERIFY(writeSetting("1", "k", "eeee", other));
        QVERIFY(QFile::remove(path) && QFile::rename(other, path));
        got << read("1", "k");
        QVERIFY(QFile::remove(path));
        got << read("1", "k");
        QCOMPARE(got, QStringList({"aaaa", "bbbb", "cccc", "cccc", "cccc", "dddd", "eeee", ""}));
    }

    void windows1252FileIsReadAndKeptInItsCodePage()
    {
        // "défaut" and the euro sign in Windows-1252 (E9, 80).
        const QByteArray sig1252 = "[1]\r\ndefaultsig=d\xe9"
                                   "faut \x80\r\n";
        write(sig1252 + "other=1\r\n");
        const QString sig = "défaut €";
        QCOMPARE(read("1", "defaultsig"), sig);
        QVERIFY(set("1", "other", "2"));
        QCOMPARE(contents(), sig1252 + "other=2\r\n");
        // A value the code page cannot hold turns the file into UTF-8 without
        // changing what any key reads.
        QVERIFY(set("1", "other", "α"));
        QCOMPARE(read("1", "defaultsig") + read("1", "other"), sig + "α");
    }

    void writingKeepsTheRestOfTheFile()
    {
        const QByteArray head = "; my settings\r\n[General]\r\nConfig=1\r\n\r\n[1]\r\n",
                         rest = "; keep me\r\nftpsite=host\r\n";
        write(head + "Website=old\r\n" + rest + "\r\n[2]\r\nwebsite=two\r\n");
        QVERIFY(set(" 1", "website", "new"));
        QCOMPARE(contents(), head + "website=new\r\n" + rest + "\r\n[2]\r\nwebsite=two\r\n");
        // A new key goes to the end of its section, before the blank line;
        // a new section to the end of the file.
        QVERIFY(set("1", "Fail", "True") && set("3", "website", "three"));
        QCOMPARE(contents(), head + "website=new\r\n" + rest +
                                 "Fail=True\r\n\r\n[2]\r\nwebsite=two\r\n[3]\r\nwebsite=three\r\n");
        // After a last line without line end.
        write("[1]\r\nkey=a");
        QVERIFY(set("1", "next", "b"));
        QCOMPARE(read("1", "key") + read("1", "next"), QString("ab"));
    }

    void awkwardValues()
    {
        // Line breaks in a value cannot create keys or sections.
        write("[1]\r\nwebsite=a\r\nFail=False\r\n");
        QVERIFY(set("1", "defaultsig", "me\r\nFail=True\n[General]\rConfig=9"));
        QCOMPARE(
            QStringList({read("1", "Fail"), read("General", "Config"), read("1", "defaultsig")}),
            QStringList({"False", "", "me  Fail=True [General] Config=9"}));
        for (const char* v :
             {"a=b", "; not a comment", "[not a section]", "😀 emoji", "tab\there"}) {
            QVERIFY(set("1", "value", v));
            QCOMPARE(read("1", "value"), QString(v));
        }
    }

    // Each Boolean, number and choice key means one thing wherever it is read.
    void typedKeys()
    {
        Settings s;
        using Cases = std::initializer_list<std::pair<QString, int>>;
        const auto check = [](QString& key, const std::function<int()>& meaning, Cases cases) {
            for (const auto& [value, expected] : cases) {
                key = value;
                QCOMPARE(value + u'=' + QString::number(meaning()),
                         value + u'=' + QString::number(expected));
            }
        };
        check(s.autoftp, [&] { return s.autoFtp(); },
              {{"tRUE", 1}, {"1", 1}, {"0", 0}, {"yes", 0}, {"", 0}});
        check(s.archive, [&] { return s.archiveEnabled(); }, {{"true", 1}, {"True", 0}});
        check(s.backendenabled, [&] { return s.rssEnabled(); }, {{"True", 1}, {"true", 0}});
        check(s.imagebackendenabled, [&] { return s.rssImageEnabled(); },
              {{"true", 1}, {"True", 0}});
        check(s.autodelete, [&] { return s.autoDeleteEnabled(); }, {{"TRUE", 1}, {"on", 0}});
        check(s.Fail, [&] { return s.lastUploadFailed(); }, {{"True", 1}, {"true", 0}});
        check(s.connection, [&] { return s.dialUp(); }, {{"direct", 0}, {"modem", 1}});
        check(s.timeout, [&] { return s.timeoutSeconds(); }, {{" 45.7s", 45}, {"abc", 0}});
        check(s.deleteamount, [&] { return s.autoDeleteKeepCount(); },
              {{" 5 ", 6}, {"0", -1}, {"2.5", -1}, {"32767", -1}});
        using Mode = Settings::RetrieveMode;
        check(s.retreivemode, [&] { return int(s.retrieveMode()); },
              {{"ftp", int(Mode::Ftp)}, {"none", int(Mode::None)}, {"FTP", int(Mode::Auto)}});
    }

    void unwritablePlaceIsReported()
    {
        QVERIFY(!writeSetting("1", "key", "b", dir.filePath("missing/weblog.ini")));
        // A directory standing where the file should be is not replaced.
        QVERIFY(QDir(dir.path()).mkpath("taken.ini"));
        QVERIFY(!writeSetting("1", "key", "b", dir.filePath("taken.ini")));
        QVERIFY(QFileInfo(dir.filePath("taken.ini")).isDir());
        // A failed save leaves no half-made file beside.
        QCOMPARE(QDir(dir.path()).entryList({"taken.ini*"}), QStringList{"taken.ini"});
    }

    // weblog.ini may hold the password and the draft unpublished text: both,
    // and a new program folder, are the user's alone. An existing weblog.ini
    // keeps its permissions until it holds a password; folders the user made,
    // the template and the page's working files keep theirs.
    void privateFilesStayPrivate()
    {
        using P = QFile::Permissions;
        const P own = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        const P shared = own | QFile::ReadGroup | QFile::ReadOther;
        QStringList notices;
        setSettingsNotice([&](const QString& m) { notices << m; });
        auto permissionsAfterWrite = [&](const QByteArray& before, P start) {
            if (!before.isNull()) {
                write(before);
                QFile::setPermissions(path, start);
            }
            const bool written = set("1", "key", "value");
            return written ? QFileInfo(path).permissions() : P();
        };
        QCOMPARE(permissionsAfterWrite(QByteArray(), P()), own); // a new file
        QCOMPARE(permissionsAfterWrite("[1]\npassword=\n", shared), shared);
        QCOMPARE(permissionsAfterWrite("[1]\npassword=abc\n", own), own);
        QVERIFY(notices.isEmpty());
        QCOMPARE(permissionsAfterWrite("[2]\nPassWord = abc\n", shared), own);
        QCOMPARE(notices,
                 QStringList{"weblog.ini holds a password: it is now readable by you alone."});
        QCOMPARE(read("2", "password"), "abc");
        setSettingsNotice({});

        const QString fresh = dir.filePath("new/pagewick");
        const QString made = dir.filePath("made");
        QVERIFY(QDir().mkdir(made, shared | QFile::ExeOwner | QFile::ExeUser | QFile::ExeGroup |
                                       QFile::ExeOther));
        const P before = QFileInfo(made).permissions();
        QVERIFY(useProgramDir(fresh) && useProgramDir(made));
        QCOMPARE(QFileInfo(fresh).permissions(), own | QFile::ExeOwner | QFile::ExeUser);
        QCOMPARE(QFileInfo(made).permissions(), before);
        QCOMPARE(QFileInfo(programFile("template.txt")).permissions(), shared);
        QVERIFY(EntryDraft::save(programFile(EntryDraft::fileName()),
                                 {"Title", "Body", "", "", "", ""}));
        QCOMPARE(QFileInfo(programFile(EntryDraft::fileName())).permissions(), own);
        QFile::setPermissions(programFile(EntryDraft::fileName()), shared);
        QVERIFY(EntryDraft::save(programFile(EntryDraft::fileName()),
                                 {"Title", "Body 2", "", "", "", ""}));
        QCOMPARE(QFileInfo(programFile(EntryDraft::fileName())).permissions(), own);
        // Working files are ordinary files: readable by all when new, as they were when replaced.
        const QString work = programFile("index.html");
        QVERIFY(WorkFiles::write(work, "<p>") && QFileInfo(work).permissions() == shared);
        QFile::setPermissions(work, own);
        QVERIFY(WorkFiles::copy(path, work) && QFileInfo(work).permissions() == own);
        QCOMPARE(PublishFixture::readFile(work), PublishFixture::readFile(path));
        // ... as the user's umask allows, like any program's new files.
        const mode_t umaskBefore = ::umask(077);
        const bool written = WorkFiles::write(programFile("other.html"), "<p>");
        ::umask(umaskBefore);
        QVERIFY(written && QFileInfo(programFile("other.html")).permissions() == own);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
