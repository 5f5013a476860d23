// weblog.ini reading and writing: the Windows profile-file rules, keeping the
// rest of the file byte for byte, and surviving damaged files.

#include "base/IniFile.h"
#include "base/Settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

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

private slots:
    void init()
    {
        path = dir.filePath(QStringLiteral("weblog.ini"));
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
        QTest::newRow("plain") << ini << "General"
                               << "Config"
                               << "2";
        QTest::newRow("section case") << ini << "general"
                                      << "CONFIG"
                                      << "2";
        QTest::newRow("blank around section asked") << ini << " 1"
                                                    << "website"
                                                    << "http://a.example/x.html";
        QTest::newRow("blanks in file around names and value") << ini << "1"
                                                               << "WEBSITE"
                                                               << "http://a.example/x.html";
        QTest::newRow("one pair of double quotes dropped, inner blanks kept") << ini << "1"
                                                                              << "quoted"
                                                                              << "  spaced  ";
        QTest::newRow("single quotes dropped") << ini << "1"
                                               << "single"
                                               << "x";
        QTest::newRow("unmatched quotes kept") << ini << "1"
                                               << "mixed"
                                               << "\"q'";
        QTest::newRow("value is all after first =") << ini << "1"
                                                    << "eq"
                                                    << "a=b=c";
        QTest::newRow("empty value") << ini << "1"
                                     << "empty"
                                     << "";
        QTest::newRow("line without = is no key") << ini << "1"
                                                  << "noequals"
                                                  << "";
        QTest::newRow("key of another section not seen") << ini << "2"
                                                         << "quoted"
                                                         << "";
        QTest::newRow("second section") << ini << "2"
                                        << "website"
                                        << "two";
        QTest::newRow("missing section") << ini << "3"
                                         << "website"
                                         << "";
        QTest::newRow("missing key") << ini << "General"
                                     << "Other"
                                     << "";
        QTest::newRow("bare LF line ends") << QByteArray("[1]\nkey=v\n") << "1"
                                           << "key"
                                           << "v";
        QTest::newRow("no final line end") << QByteArray("[1]\r\nkey=last") << "1"
                                           << "key"
                                           << "last";
        QTest::newRow("first of two equal sections wins")
            << QByteArray("[1]\r\nk=a\r\n[1]\r\nk=b\r\n") << "1"
            << "k"
            << "a";
    }
    void lookupRules()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        write(file);
        QCOMPARE(readSetting(path, section, key), expected);
    }

    // The parsed file is kept between reads; whoever changes the file, in
    // place or by replacing it, at once or a while later, is read back.
    void changesToTheFileAreSeen()
    {
        const QString one = QStringLiteral("1"), key = QStringLiteral("k");
        write("[1]\r\nk=aaaa\r\n");
        QCOMPARE(readSetting(path, one, key), QStringLiteral("aaaa"));
        write("[1]\r\nk=bbbb\r\n"); // same size, same inode, same clock tick
        QCOMPARE(readSetting(path, one, key), QStringLiteral("bbbb"));
        QVERIFY(writeSetting(one, key, QStringLiteral("cccc"), path));
        QCOMPARE(readSetting(path, one, key), QStringLiteral("cccc"));
        // Settled files are the ones kept: a change after that is seen too.
        QTest::qWait(1100);
        QCOMPARE(readSetting(path, one, key), QStringLiteral("cccc"));
        QCOMPARE(readSetting(path, one, key), QStringLiteral("cccc"));
        write("[1]\r\nk=dddd\r\n");
        QCOMPARE(readSetting(path, one, key), QStringLiteral("dddd"));
        const QString other = dir.filePath(QStringLiteral("other.ini"));
        QFile::remove(other);
        QVERIFY(writeSetting(one, key, QStringLiteral("eeee"), other));
        QVERIFY(QFile::remove(path) && QFile::rename(other, path));
        QCOMPARE(readSetting(path, one, key), QStringLiteral("eeee"));
        QVERIFY(QFile::remove(path));
        QCOMPARE(readSetting(path, one, key), QString());
    }

    void longValuesAreCutTo254()
    {
        const QByteArray value(300, 'x');
        write("[1]\r\nsig=" + value + "\r\n");
        QCOMPARE(readSetting(path, QStringLiteral("1"), QStringLiteral("sig")),
                 QString(254, QLatin1Char('x')));
    }

    void damagedFilesReadAsFarAsTheyMakeSense()
    {
        // Missing file.
        QCOMPARE(readSetting(path, QStringLiteral("General"), QStringLiteral("Config")), QString());
        // Empty file.
        write("");
        QCOMPARE(readSetting(path, QStringLiteral("General"), QStringLiteral("Config")), QString());
        // Binary junk with NUL bytes around a good section.
        static const char junk[] =
            "\x00\xff\xfe[junk\x00\r\n\x01\x02=\x03\r\n[General]\r\nConfig=4\r\n";
        write(QByteArray(junk, sizeof junk - 1));
        QCOMPARE(readSetting(path, QStringLiteral("General"), QStringLiteral("Config")),
                 QStringLiteral("4"));
        // A directory in place of the file.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dir.ini")));
        QCOMPARE(readSetting(dir.filePath(QStringLiteral("dir.ini")), QStringLiteral("1"),
                             QStringLiteral("x")),
                 QString());
    }

    void windows1252FileIsReadAndKeptInItsCodePage()
    {
        // "défaut" and the euro sign in Windows-1252 (E9, 80).
        const QByteArray original = "[1]\r\ndefaultsig=d\xe9"
                                    "faut \x80\r\nother=1\r\n";
        write(original);
        QCOMPARE(readSetting(path, QStringLiteral("1"), QStringLiteral("defaultsig")),
                 QString::fromUtf8("d\xc3\xa9"
                                   "faut \xe2\x82\xac"));
        QVERIFY(
            writeSetting(QStringLiteral("1"), QStringLiteral("other"), QStringLiteral("2"), path));
        QCOMPARE(contents(), QByteArray("[1]\r\ndefaultsig=d\xe9"
                                        "faut \x80\r\nother=2\r\n"));
        // A value the code page cannot hold turns the file into UTF-8 without
        // changing what any key reads.
        QVERIFY(writeSetting(QStringLiteral("1"), QStringLiteral("other"),
                             QString::fromUtf8("\xce\xb1"), path));
        QCOMPARE(readSetting(path, QStringLiteral("1"), QStringLiteral("defaultsig")),
                 QString::fromUtf8("d\xc3\xa9"
                                   "faut \xe2\x82\xac"));
        QCOMPARE(readSetting(path, QStringLiteral("1"), QStringLiteral("other")),
                 QString::fromUtf8("\xce\xb1"));
    }

    void writingKeepsTheRestOfTheFile()
    {
        const QByteArray original =
            "; my settings\r\n[General]\r\nConfig=1\r\n\r\n[1]\r\nWebsite=old\r\n"
            "; keep me\r\nftpsite=host\r\n\r\n[2]\r\nwebsite=two\r\n";
        write(original);
        QVERIFY(writeSetting(QStringLiteral(" 1"), QStringLiteral("website"), QStringLiteral("new"),
                             path));
        QCOMPARE(contents(),
                 QByteArray("; my settings\r\n[General]\r\nConfig=1\r\n\r\n[1]\r\nwebsite=new\r\n"
                            "; keep me\r\nftpsite=host\r\n\r\n[2]\r\nwebsite=two\r\n"));
        // A new key goes to the end of its section, before the blank line.
        QVERIFY(writeSetting(QStringLiteral("1"), QStringLiteral("Fail"), QStringLiteral("True"),
                             path));
        QCOMPARE(
            contents(),
            QByteArray("; my settings\r\n[General]\r\nConfig=1\r\n\r\n[1]\r\nwebsite=new\r\n"
                       "; keep me\r\nftpsite=host\r\nFail=True\r\n\r\n[2]\r\nwebsite=two\r\n"));
        // A new section goes to the end.
        QVERIFY(writeSetting(QStringLiteral("3"), QStringLiteral("website"),
                             QStringLiteral("three"), path));
        QVERIFY(contents().endsWith("[2]\r\nwebsite=two\r\n[3]\r\nwebsite=three\r\n"));
        QCOMPARE(readSetting(path, QStringLiteral("2"), QStringLiteral("website")),
                 QStringLiteral("two"));
    }

    void writingCreatesFileAndKeepsLfFiles()
    {
        QVERIFY(writeSetting(QStringLiteral("General"), QStringLiteral("Config"),
                             QStringLiteral("1"), path));
        QCOMPARE(contents(), QByteArray("[General]\r\nConfig=1\r\n"));
        write("[1]\nkey=a\n");
        QVERIFY(
            writeSetting(QStringLiteral("1"), QStringLiteral("key"), QStringLiteral("b"), path));
        QVERIFY(
            writeSetting(QStringLiteral("1"), QStringLiteral("more"), QStringLiteral("c"), path));
        QCOMPARE(contents(), QByteArray("[1]\nkey=b\nmore=c\n"));
        write("[1]\r\nkey=a"); // no final line end
        QVERIFY(
            writeSetting(QStringLiteral("1"), QStringLiteral("next"), QStringLiteral("b"), path));
        QCOMPARE(readSetting(path, QStringLiteral("1"), QStringLiteral("key")),
                 QStringLiteral("a"));
        QCOMPARE(readSetting(path, QStringLiteral("1"), QStringLiteral("next")),
                 QStringLiteral("b"));
    }

    void lineBreaksInValuesCannotCreateKeys()
    {
        write("[1]\r\nwebsite=a\r\nFail=False\r\n");
        QVERIFY(writeSetting(QStringLiteral("1"), QStringLiteral("defaultsig"),
                             QStringLiteral("me\r\nFail=True\n[General]\rConfig=9"), path));
        QCOMPARE(readSetting(path, QStringLiteral("1"), QStringLiteral("Fail")),
                 QStringLiteral("False"));
        QCOMPARE(readSetting(path, QStringLiteral("General"), QStringLiteral("Config")), QString());
        QCOMPARE(readSetting(path, QStringLiteral("1"), QStringLiteral("defaultsig")),
                 QStringLiteral("me  Fail=True [General] Config=9"));
    }

    void roundTripOfAwkwardValues()
    {
        const QStringList values = {QStringLiteral("a=b"), QStringLiteral("; not a comment"),
                                    QStringLiteral("[not a section]"),
                                    QString::fromUtf8("\xf0\x9f\x98\x80 emoji"),
                                    QStringLiteral("tab\there")};
        for (const QString& v : values) {
            QVERIFY(writeSetting(QStringLiteral("1"), QStringLiteral("value"), v, path));
            QCOMPARE(readSetting(path, QStringLiteral("1"), QStringLiteral("value")), v);
        }
    }

    // Each Boolean, number and choice key means one thing wherever it is read.
    void typedKeys_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("meaning");
        QTest::newRow("autoftp True") << "autoftp"
                                      << "True" << 1;
        QTest::newRow("autoftp any case") << "autoftp"
                                          << "tRUE" << 1;
        QTest::newRow("autoftp 1") << "autoftp"
                                   << "1" << 1;
        QTest::newRow("autoftp 0") << "autoftp"
                                   << "0" << 0;
        QTest::newRow("autoftp word") << "autoftp"
                                      << "yes" << 0;
        QTest::newRow("autoftp empty") << "autoftp"
                                       << "" << 0;
        QTest::newRow("archive true") << "archive"
                                      << "true" << 1;
        QTest::newRow("archive True is off") << "archive"
                                             << "True" << 0;
        QTest::newRow("backend True") << "backendenabled"
                                      << "True" << 1;
        QTest::newRow("backend true is off") << "backendenabled"
                                             << "true" << 0;
        QTest::newRow("image true") << "imagebackendenabled"
                                    << "true" << 1;
        QTest::newRow("image True is off") << "imagebackendenabled"
                                           << "True" << 0;
        QTest::newRow("autodelete TRUE") << "autodelete"
                                         << "TRUE" << 1;
        QTest::newRow("autodelete junk") << "autodelete"
                                         << "on" << 0;
        QTest::newRow("Fail True") << "Fail"
                                   << "True" << 1;
        QTest::newRow("Fail true") << "Fail"
                                   << "true" << 0;
        QTest::newRow("connection direct") << "connection"
                                           << "direct" << 0;
        QTest::newRow("connection modem") << "connection"
                                          << "modem" << 1;
        QTest::newRow("timeout 45.7") << "timeout"
                                      << " 45.7s" << 45;
        QTest::newRow("timeout text") << "timeout"
                                      << "abc" << 0;
        QTest::newRow("keep 5") << "deleteamount"
                                << " 5 " << 6;
        QTest::newRow("keep 0") << "deleteamount"
                                << "0" << -1;
        QTest::newRow("keep 2.5") << "deleteamount"
                                  << "2.5" << -1;
        QTest::newRow("keep 32767") << "deleteamount"
                                    << "32767" << -1;
        QTest::newRow("mode ftp") << "retreivemode"
                                  << "ftp" << int(Settings::RetrieveMode::Ftp);
        QTest::newRow("mode none") << "retreivemode"
                                   << "none" << int(Settings::RetrieveMode::None);
        QTest::newRow("mode FTP") << "retreivemode"
                                  << "FTP" << int(Settings::RetrieveMode::Auto);
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
        QVERIFY(!writeSetting(QStringLiteral("1"), QStringLiteral("key"), QStringLiteral("b"),
                              dir.filePath(QStringLiteral("missing/weblog.ini"))));
        // A directory standing where the file should be is not replaced.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("taken.ini")));
        QVERIFY(!writeSetting(QStringLiteral("1"), QStringLiteral("key"), QStringLiteral("b"),
                              dir.filePath(QStringLiteral("taken.ini"))));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("taken.ini"))).isDir());
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
