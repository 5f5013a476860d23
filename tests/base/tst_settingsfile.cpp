// weblog.ini reading and writing: the Windows profile-file rules, keeping the
// rest of the file byte for byte, and surviving damaged files.

#include "base/IniFile.h"
#include "base/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace Qt::StringLiterals;

class TestSettingsFile : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString path;

    void write(const QByteArray& bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray contents()
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
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
        path = dir.filePath(u"weblog.ini"_s);
        QFile::remove(path);
    }

    void lookupRules_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray ini =
            "[General]\r\nConfig=2\r\n[ 1 ]\r\n  Website  =  http://a.example/x.html  \r\n"
            "quoted=\"  spaced  \"\r\nsingle='x'\r\nlonely\"=\"q\r\nmixed=\"q'\r\n"
            "eq=a=b=c\r\nempty=\r\nnoequals\r\n[2]\r\nwebsite=two\r\n";
        const auto row = [&](const char* name, const QString& section, const QString& key,
                             const QString& value, const QByteArray& file = {}) {
            QTest::newRow(name) << (file.isNull() ? ini : file) << section << key << value;
        };
        row("plain", u"General"_s, u"Config"_s, u"2"_s);
        row("section case", u"general"_s, u"CONFIG"_s, u"2"_s);
        row("blank around section asked", u" 1"_s, u"website"_s, u"http://a.example/x.html"_s);
        row("blanks in file around names", u"1"_s, u"WEBSITE"_s, u"http://a.example/x.html"_s);
        row("one pair of double quotes dropped", u"1"_s, u"quoted"_s, u"  spaced  "_s);
        row("single quotes dropped", u"1"_s, u"single"_s, u"x"_s);
        row("unmatched quotes kept", u"1"_s, u"mixed"_s, u"\"q'"_s);
        row("value is all after first =", u"1"_s, u"eq"_s, u"a=b=c"_s);
        row("empty value", u"1"_s, u"empty"_s, QString());
        row("line without = is no key", u"1"_s, u"noequals"_s, QString());
        row("key of another section not seen", u"2"_s, u"quoted"_s, QString());
        row("second section", u"2"_s, u"website"_s, u"two"_s);
        row("missing section", u"3"_s, u"website"_s, QString());
        row("missing key", u"General"_s, u"Other"_s, QString());
        row("bare LF line ends", u"1"_s, u"key"_s, u"v"_s, "[1]\nkey=v\n");
        row("no final line end", u"1"_s, u"key"_s, u"last"_s, "[1]\r\nkey=last");
        row("first of two equal sections wins", u"1"_s, u"k"_s, u"a"_s,
            "[1]\r\nk=a\r\n[1]\r\nk=b\r\n");
        row("long values cut to 254", u"1"_s, u"sig"_s, QString(254, u'x'),
            "[1]\r\nsig=" + QByteArray(300, 'x') + "\r\n");
        row("empty file", u"General"_s, u"Config"_s, QString(), ""_ba);
        static const char junk[] =
            "\x00\xff\xfe[junk\x00\r\n\x01\x02=\x03\r\n[General]\r\nConfig=4\r\n";
        row("binary junk around a good section", u"General"_s, u"Config"_s, u"4"_s,
            QByteArray(junk, sizeof junk - 1));
    }
    void lookupRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        write(file);
        QCOMPARE(read(section, key), expected);
    }

    void missingFilesAndFolders()
    {
        QCOMPARE(read(u"General"_s, u"Config"_s), QString());
        QVERIFY(QDir(dir.path()).mkdir(u"dir.ini"_s));
        QCOMPARE(readSetting(dir.filePath(u"dir.ini"_s), u"1"_s, u"x"_s), QString());
    }

    // The parsed file is kept between reads; whoever changes the file, in
    // place or by replacing it, at once or a while later, is read back.
    void changesToTheFileAreSeen()
    {
        const QString one = u"1"_s, key = u"k"_s;
        write("[1]\r\nk=aaaa\r\n");
        QCOMPARE(read(one, key), u"aaaa"_s);
        write("[1]\r\nk=bbbb\r\n"); // same size, same inode, same clock tick
        QCOMPARE(read(one, key), u"bbbb"_s);
        QVERIFY(set(one, key, u"cccc"_s));
        QCOMPARE(read(one, key), u"cccc"_s);
        // Settled files are the ones kept: a change after that is seen too.
        QTest::qWait(1100);
        QCOMPARE(read(one, key), u"cccc"_s);
        QCOMPARE(read(one, key), u"cccc"_s);
        write("[1]\r\nk=dddd\r\n");
        QCOMPARE(read(one, key), u"dddd"_s);
        const QString other = dir.filePath(u"other.ini"_s);
        QFile::remove(other);
        QVERIFY(writeSetting(one, key, u"eeee"_s, other));
        QVERIFY(QFile::remove(path) && QFile::rename(other, path));
        QCOMPARE(read(one, key), u"eeee"_s);
        QVERIFY(QFile::remove(path));
        QCOMPARE(read(one, key), QString());
    }

    void windows1252FileIsReadAndKeptInItsCodePage()
    {
        // "défaut" and the euro sign in Windows-1252 (E9, 80).
        write("[1]\r\ndefaultsig=d\xe9"
              "faut \x80\r\nother=1\r\n");
        const QString sig = u"défaut €"_s;
        QCOMPARE(read(u"1"_s, u"defaultsig"_s), sig);
        QVERIFY(set(u"1"_s, u"other"_s, u"2"_s));
        QCOMPARE(contents(), "[1]\r\ndefaultsig=d\xe9"
                             "faut \x80\r\nother=2\r\n"_ba);
        // A value the code page cannot hold turns the file into UTF-8 without
        // changing what any key reads.
        QVERIFY(set(u"1"_s, u"other"_s, u"α"_s));
        QCOMPARE(read(u"1"_s, u"defaultsig"_s), sig);
        QCOMPARE(read(u"1"_s, u"other"_s), u"α"_s);
    }

    void writingKeepsTheRestOfTheFile()
    {
        const QByteArray head = "; my settings\r\n[General]\r\nConfig=1\r\n\r\n[1]\r\n";
        write(head + "Website=old\r\n; keep me\r\nftpsite=host\r\n\r\n[2]\r\nwebsite=two\r\n");
        QVERIFY(set(u" 1"_s, u"website"_s, u"new"_s));
        QCOMPARE(contents(),
                 head + "website=new\r\n; keep me\r\nftpsite=host\r\n\r\n[2]\r\nwebsite=two\r\n");
        // A new key goes to the end of its section, before the blank line.
        QVERIFY(set(u"1"_s, u"Fail"_s, u"True"_s));
        QCOMPARE(contents(), head + "website=new\r\n; keep me\r\nftpsite=host\r\nFail=True\r\n"
                                    "\r\n[2]\r\nwebsite=two\r\n");
        // A new section goes to the end.
        QVERIFY(set(u"3"_s, u"website"_s, u"three"_s));
        QVERIFY(contents().endsWith("[2]\r\nwebsite=two\r\n[3]\r\nwebsite=three\r\n"));
        QCOMPARE(read(u"2"_s, u"website"_s), u"two"_s);
    }

    void writingCreatesFileAndKeepsLfFiles()
    {
        QVERIFY(set(u"General"_s, u"Config"_s, u"1"_s));
        QCOMPARE(contents(), "[General]\r\nConfig=1\r\n"_ba);
        write("[1]\nkey=a\n");
        QVERIFY(set(u"1"_s, u"key"_s, u"b"_s));
        QVERIFY(set(u"1"_s, u"more"_s, u"c"_s));
        QCOMPARE(contents(), "[1]\nkey=b\nmore=c\n"_ba);
        write("[1]\r\nkey=a"); // no final line end
        QVERIFY(set(u"1"_s, u"next"_s, u"b"_s));
        QCOMPARE(read(u"1"_s, u"key"_s), u"a"_s);
        QCOMPARE(read(u"1"_s, u"next"_s), u"b"_s);
    }

    void awkwardValues()
    {
        // Line breaks in a value cannot create keys or sections.
        write("[1]\r\nwebsite=a\r\nFail=False\r\n");
        QVERIFY(set(u"1"_s, u"defaultsig"_s, u"me\r\nFail=True\n[General]\rConfig=9"_s));
        QCOMPARE(read(u"1"_s, u"Fail"_s), u"False"_s);
        QCOMPARE(read(u"General"_s, u"Config"_s), QString());
        QCOMPARE(read(u"1"_s, u"defaultsig"_s), u"me  Fail=True [General] Config=9"_s);
        for (const QString& v :
             {u"a=b"_s, u"; not a comment"_s, u"[not a section]"_s, u"😀 emoji"_s, u"tab\there"_s}) {
            QVERIFY(set(u"1"_s, u"value"_s, v));
            QCOMPARE(read(u"1"_s, u"value"_s), v);
        }
    }

    // Each Boolean, number and choice key means one thing wherever it is read.
    void typedKeys_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("meaning");
        const auto row = [](const char* name, const QString& key, const QString& value, int m) {
            QTest::newRow(name) << key << value << m;
        };
        row("autoftp any case", u"autoftp"_s, u"tRUE"_s, 1);
        row("autoftp 1", u"autoftp"_s, u"1"_s, 1);
        row("autoftp 0", u"autoftp"_s, u"0"_s, 0);
        row("autoftp word", u"autoftp"_s, u"yes"_s, 0);
        row("autoftp empty", u"autoftp"_s, QString(), 0);
        row("archive true", u"archive"_s, u"true"_s, 1);
        row("archive True is off", u"archive"_s, u"True"_s, 0);
        row("backend True", u"backendenabled"_s, u"True"_s, 1);
        row("backend true is off", u"backendenabled"_s, u"true"_s, 0);
        row("image true", u"imagebackendenabled"_s, u"true"_s, 1);
        row("image True is off", u"imagebackendenabled"_s, u"True"_s, 0);
        row("autodelete TRUE", u"autodelete"_s, u"TRUE"_s, 1);
        row("autodelete junk", u"autodelete"_s, u"on"_s, 0);
        row("Fail True", u"Fail"_s, u"True"_s, 1);
        row("Fail true", u"Fail"_s, u"true"_s, 0);
        row("connection direct", u"connection"_s, u"direct"_s, 0);
        row("connection modem", u"connection"_s, u"modem"_s, 1);
        row("timeout 45.7", u"timeout"_s, u" 45.7s"_s, 45);
        row("timeout text", u"timeout"_s, u"abc"_s, 0);
        row("keep 5", u"deleteamount"_s, u" 5 "_s, 6);
        row("keep 0", u"deleteamount"_s, u"0"_s, -1);
        row("keep 2.5", u"deleteamount"_s, u"2.5"_s, -1);
        row("keep 32767", u"deleteamount"_s, u"32767"_s, -1);
        row("mode ftp", u"retreivemode"_s, u"ftp"_s, int(Settings::RetrieveMode::Ftp));
        row("mode none", u"retreivemode"_s, u"none"_s, int(Settings::RetrieveMode::None));
        row("mode FTP", u"retreivemode"_s, u"FTP"_s, int(Settings::RetrieveMode::Auto));
    }
    void typedKeys()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, meaning);
        Settings s;
        const std::pair<const char*, std::pair<QString*, std::function<int()>>> keys[] = {
            {"autoftp", {&s.autoftp, [&] { return int(s.autoFtp()); }}},
            {"archive", {&s.archive, [&] { return int(s.archiveEnabled()); }}},
            {"backendenabled", {&s.backendenabled, [&] { return int(s.rssEnabled()); }}},
            {"imagebackendenabled",
             {&s.imagebackendenabled, [&] { return int(s.rssImageEnabled()); }}},
            {"autodelete", {&s.autodelete, [&] { return int(s.autoDeleteEnabled()); }}},
            {"Fail", {&s.Fail, [&] { return int(s.lastUploadFailed()); }}},
            {"connection", {&s.connection, [&] { return int(s.dialUp()); }}},
            {"timeout", {&s.timeout, [&] { return s.timeoutSeconds(); }}},
            {"deleteamount", {&s.deleteamount, [&] { return s.autoDeleteKeepCount(); }}},
            {"retreivemode", {&s.retreivemode, [&] { return int(s.retrieveMode()); }}},
        };
        for (const auto& [name, field] : keys) {
            if (key != QLatin1String(name))
                continue;
            *field.first = value;
            QCOMPARE(field.second(), meaning);
            return;
        }
        QFAIL("unknown key");
    }

    void unwritablePlaceIsReported()
    {
        QVERIFY(!writeSetting(u"1"_s, u"key"_s, u"b"_s, dir.filePath(u"missing/weblog.ini"_s)));
        // A directory standing where the file should be is not replaced.
        QVERIFY(QDir(dir.path()).mkpath(u"taken.ini"_s));
        QVERIFY(!writeSetting(u"1"_s, u"key"_s, u"b"_s, dir.filePath(u"taken.ini"_s)));
        QVERIFY(QFileInfo(dir.filePath(u"taken.ini"_s)).isDir());
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
