// weblog.ini reading and writing: the Windows profile-file rules, keeping the
// rest of the file byte for byte, and surviving damaged files.

#include "PublishFixture.h"
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
        path = dir.filePath(u"weblog.ini"_s);
        QFile::remove(path);
    }

    void lookupRules()
    {
        const QByteArray ini =
            "[General]\r\nConfig=2\r\n[ 1 ]\r\n  Website  =  http://a.example/x.html  \r\n"
            "quoted=\"  spaced  \"\r\nsingle='x'\r\nlonely\"=\"q\r\nmixed=\"q'\r\n"
            "eq=a=b=c\r\nempty=\r\nnoequals\r\n[2]\r\nwebsite=two\r\n";
        const auto row = [&](const char* name, const QString& section, const QString& key,
                             const QString& value, const QByteArray& file = {}) {
            write(file.isNull() ? ini : file);
            QCOMPARE(QString::fromLatin1(name) + u'=' + read(section, key),
                     QString::fromLatin1(name) + u'=' + value);
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

    // New files with CR LF and LF files kept LF are checked byte for byte by the Apply tests.
    void writingAfterALastLineWithoutLineEnd()
    {
        write("[1]\r\nkey=a");
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
              {{u"tRUE"_s, 1}, {u"1"_s, 1}, {u"0"_s, 0}, {u"yes"_s, 0}, {QString(), 0}});
        check(s.archive, [&] { return s.archiveEnabled(); }, {{u"true"_s, 1}, {u"True"_s, 0}});
        check(s.backendenabled, [&] { return s.rssEnabled(); }, {{u"True"_s, 1}, {u"true"_s, 0}});
        check(s.imagebackendenabled, [&] { return s.rssImageEnabled(); },
              {{u"true"_s, 1}, {u"True"_s, 0}});
        check(s.autodelete, [&] { return s.autoDeleteEnabled(); }, {{u"TRUE"_s, 1}, {u"on"_s, 0}});
        check(s.Fail, [&] { return s.lastUploadFailed(); }, {{u"True"_s, 1}, {u"true"_s, 0}});
        check(s.connection, [&] { return s.dialUp(); }, {{u"direct"_s, 0}, {u"modem"_s, 1}});
        check(s.timeout, [&] { return s.timeoutSeconds(); }, {{u" 45.7s"_s, 45}, {u"abc"_s, 0}});
        check(s.deleteamount, [&] { return s.autoDeleteKeepCount(); },
              {{u" 5 "_s, 6}, {u"0"_s, -1}, {u"2.5"_s, -1}, {u"32767"_s, -1}});
        using Mode = Settings::RetrieveMode;
        check(s.retreivemode, [&] { return int(s.retrieveMode()); },
              {{u"ftp"_s, int(Mode::Ftp)},
               {u"none"_s, int(Mode::None)},
               {u"FTP"_s, int(Mode::Auto)}});
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
