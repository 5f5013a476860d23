// Loading a configuration: defaults, the corrections with their messages, the
// resend offer, styles, the template, and the password scrambling.

#include "RecordingView.h"
#include "ScriptedPrompt.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/config/ConfigLoader.h"
#include "core/config/PasswordScrambler.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestConfigLoader : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    Settings s;

    void ini(const QByteArray& text)
    {
        QFile f(s.settingsPath);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }
    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

private slots:
    void initTestCase() { QVERIFY(setProgramDir(dir.path())); }
    void init()
    {
        s = Settings();
        s.settingsPath = programFile(QStringLiteral("weblog.ini"));
        s.activeSection = QStringLiteral("1");
        QFile::remove(s.settingsPath);
    }

    void emptyFileGivesTheDefaults()
    {
        ScriptedPrompt p;
        RecordingView v;
        const ConfigLoadResult r = loadConfiguration(1, s, p, v);
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(s.autoftp, QStringLiteral("False"));
        QCOMPARE(s.retreivemode, QStringLiteral("auto"));
        QCOMPARE(s.connection, QStringLiteral("modem"));
        QCOMPARE(s.timeout, QStringLiteral("60"));
        QCOMPARE(s.dateformat, QStringLiteral("medium date"));
        QCOMPARE(s.timeformat, QStringLiteral("medium time"));
        QCOMPARE(s.backendenabled, QStringLiteral("False"));
        QCOMPARE(s.archive, QStringLiteral("false"));
        QCOMPARE(s.autodelete, QStringLiteral("False"));
        QCOMPARE(s.website, QString());
        QCOMPARE(r.dateIndex, 1);
        QCOMPARE(r.timeIndex, 1);
        QVERIFY(!r.failFound);
        QVERIFY(!v.resendEnabled);
    }

    void valuesAndDerivedSiteParts()
    {
        ini("[1]\r\nwebsite=http://www.example.com/blog/index.html\r\nftpsite=ftp.example.com\r\n"
            "connection=direct\r\ntimeout=45\r\nautoftp=True\r\ndefaultsig=Ann\r\ndefaultemail=ann@"
            "example.com\r\n"
            "archive=true\r\nretreivemode=ftp\r\ndateformat=long date\r\ntimeformat=short "
            "time\r\n");
        ScriptedPrompt p;
        RecordingView v;
        const ConfigLoadResult r = loadConfiguration(1, s, p, v);
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(s.siteHost, QStringLiteral("www.example.com"));
        QCOMPARE(s.sitePath, QStringLiteral("/blog/index.html"));
        QCOMPARE(s.connection, QStringLiteral("direct"));
        QCOMPARE(s.timeout, QStringLiteral("45"));
        QCOMPARE(s.retreivemode, QStringLiteral("ftp"));
        QCOMPARE(s.archive, QStringLiteral("true"));
        QCOMPARE(r.dateIndex, 0);
        QCOMPARE(r.timeIndex, 2);
        QCOMPARE(v.sig, QStringLiteral("Ann"));
        QCOMPARE(v.email, QStringLiteral("ann@example.com"));
    }

    void timeoutBecomesItsNumericValue_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("loaded");
        QTest::newRow("missing") << QByteArray() << "60";
        QTest::newRow("zero") << QByteArray("0") << "60";
        QTest::newRow("word") << QByteArray("soon") << "60";
        QTest::newRow("number with trailing text") << QByteArray("45 secs") << "45";
        QTest::newRow("fraction") << QByteArray("30.5") << "30.5";
        QTest::newRow("below thirty kept on load") << QByteArray("29") << "29";
    }
    void timeoutBecomesItsNumericValue()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, loaded);
        ini("[1]\r\ntimeout=" + stored + "\r\n");
        ScriptedPrompt p;
        RecordingView v;
        loadConfiguration(1, s, p, v);
        QCOMPARE(s.timeout, loaded);
    }

    void correctionsWithTheirMessages()
    {
        ini("[1]\r\nautoftp=False\r\nretreivemode=ftp\r\narchive=true\r\ndateformat="
            "fancy\r\ntimeformat=Medium Time\r\n");
        ScriptedPrompt p;
        RecordingView v;
        const ConfigLoadResult r = loadConfiguration(1, s, p, v);
        QCOMPARE(
            p.texts(),
            QStringList(
                {QStringLiteral(
                     "You can not use FTP-mode if you do not have Pagewick setup to update "
                     "to FTP automatically.  You will be switched back into the default "
                     "automatic mode."),
                 QStringLiteral("DateFormat Error"), QStringLiteral("TimeFormat Error"),
                 QStringLiteral("The Auto Archive Ability can not be used if the auto FTP is not "
                                "enabled.  The auto archive ability has been disabled.")}));
        for (const Message& m : p.messages) {
            QCOMPARE(m.title, QStringLiteral("Pagewick"));
            QCOMPARE(m.buttons, Buttons::Ok);
        }
        QCOMPARE(s.retreivemode, QStringLiteral("auto"));
        QCOMPARE(s.archive, QStringLiteral("false"));
        QCOMPARE(r.dateIndex, -1);
        QCOMPARE(r.timeIndex, -1);
        // Stored values stay until the next Apply.
        QCOMPARE(readSetting(s.settingsPath, QStringLiteral("1"), QStringLiteral("retreivemode")),
                 QStringLiteral("ftp"));
    }

    void archiveWithCapitalTIsNotTrue()
    {
        ini("[1]\r\nautoftp=False\r\narchive=True\r\n");
        ScriptedPrompt p;
        RecordingView v;
        loadConfiguration(1, s, p, v);
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(s.archive, QStringLiteral("True"));
    }

    void strayAutoftpValueDoesNotStopLoading()
    {
        // Configuration 2 loaded first, then 1 with an autoftp that is no
        // Boolean word: nothing of configuration 2 may linger.
        ini("[1]\r\nautoftp=maybe\r\nwebsite=http://one.example/\r\n"
            "[2]\r\nautoftp=True\r\narchive=true\r\narchiveftp=two/"
            "archive.html\r\ndateformat=short date\r\n");
        ScriptedPrompt p;
        RecordingView v;
        loadConfiguration(2, s, p, v);
        QCOMPARE(s.archiveftp, QStringLiteral("two/archive.html"));
        loadConfiguration(1, s, p, v);
        QCOMPARE(s.website, QStringLiteral("http://one.example/"));
        QCOMPARE(s.archiveftp, QString());
        QCOMPARE(s.archive, QStringLiteral("false"));
        QCOMPARE(s.dateformat, QStringLiteral("medium date"));
    }

    void failedUploadOffersResend()
    {
        ini("[1]\r\nFail=True\r\n[2]\r\nFail=true\r\n");
        ScriptedPrompt p;
        RecordingView v;
        QVERIFY(loadConfiguration(1, s, p, v).failFound);
        QCOMPARE(
            p.texts(),
            QStringList({QStringLiteral(
                "It has been detected that the last FTP did not succeed.  Pressing RESEND will "
                "retry to FTP the old weblog entry.  Proceeding normally will erase this old "
                "weblog entry. A preview of the old entry will now load.")}));
        QCOMPARE(v.status, QStringList({QStringLiteral("RESEND Config 1?")}));
        QVERIFY(v.resendEnabled);
        // Only the exact word "True" counts.
        ScriptedPrompt p2;
        RecordingView v2;
        QVERIFY(!loadConfiguration(2, s, p2, v2).failFound);
        QCOMPARE(p2.messages.size(), 0);
        QVERIFY(!v2.resendEnabled);
    }

    void stylesLoadWithoutDefaults()
    {
        ini("[1]\r\ntitlefontname=Arial\r\ntitlefontbold=1\r\nsigfontcolor=255\r\nurlunderline="
            "1\r\nbodyfontsize=+2\r\n"
            "[2]\r\ntitlefontname=Times\r\n");
        loadStyles(s);
        QCOMPARE(s.style(StyleField::Title).fontname, QStringLiteral("Arial"));
        QCOMPARE(s.style(StyleField::Title).fontbold, QStringLiteral("1"));
        QCOMPARE(s.style(StyleField::Sig).fontcolor, QStringLiteral("255"));
        QCOMPARE(s.style(StyleField::Url).underline, QStringLiteral("1"));
        QCOMPARE(s.style(StyleField::Body).fontsize, QStringLiteral("+2"));
        QCOMPARE(s.style(StyleField::Date).fontname, QString());
        QCOMPARE(s.style(StyleField::Time).strikethru, QString());
    }

    void templateLoading()
    {
        ScriptedPrompt p;
        // The installed template.
        TemplateLoad t = loadTemplate(s, p);
        QVERIFY(t.found);
        QCOMPARE(t.fileName, QStringLiteral("template.txt"));
        QCOMPARE(s.templateText,
                 QStringLiteral("%title\r\nBy: %sig -- %date @ %time\r\n%body\r\n%url\r\n"));
        // Blank lines dropped, blanks around the whole text trimmed, other
        // line ends accepted.
        writeFile(programFile(QStringLiteral("mine.txt")),
                  "  <p>%title</p>\n\n\r\n<div>%body</div>  \r\r%url  ");
        ini("[1]\r\ntemplatefilename=mine.txt\r\n");
        t = loadTemplate(s, p);
        QCOMPARE(t.editorText,
                 QStringLiteral("  <p>%title</p>\r\n<div>%body</div>  \r\n%url  \r\n"));
        QCOMPARE(s.templateText,
                 QStringLiteral("<p>%title</p>\r\n<div>%body</div>  \r\n%url  \r\n"));
        QCOMPARE(p.messages.size(), 0);
        // A missing file: the message and the default template.
        ini("[1]\r\ntemplatefilename=gone.txt\r\n");
        t = loadTemplate(s, p);
        QVERIFY(!t.found);
        QCOMPARE(p.texts(), QStringList({QStringLiteral("Template File Not Found")}));
        QCOMPARE(s.templateText, defaultTemplate());
        QCOMPARE(defaultTemplate(),
                 QStringLiteral("%title\r\nBy: %sig -- %date @ %time\r\n%body\r\n%url"));
    }

    void passwordScrambling()
    {
        ScriptedPrompt p;
        const QString plain = QStringLiteral("s3cr=t \"pw\"~");
        const QString scrambled = TextEncrypt(plain, true, p);
        QCOMPARE(scrambled.size(), plain.size());
        QVERIFY(scrambled != plain);
        QCOMPARE(TextEncrypt(scrambled, false, p), plain);
        QCOMPARE(TextEncrypt(QString(), true, p), QString());
        QCOMPARE(p.messages.size(), 0);
        // Stored scrambled through weblog.ini and loaded back.
        QVERIFY(writeSetting(QStringLiteral("1"), QStringLiteral("password"), scrambled,
                             s.settingsPath));
        RecordingView v;
        loadConfiguration(1, s, p, v);
        QCOMPARE(s.password, plain);
        QCOMPARE(p.messages.size(), 0);
    }

    void passwordScramblingFailures()
    {
        ScriptedPrompt p;
        // A letter too high to scramble: the message names it, nothing else.
        const QString high = QStringLiteral("ab") + QChar(0xFE) + QStringLiteral("cd");
        QCOMPARE(TextEncrypt(high, true, p), QString());
        QCOMPARE(p.texts(),
                 QStringList({QStringLiteral("Error encrypting/decrypting password on letter: ") +
                              QChar(0xFE)}));
        // A hand-typed value too low to unscramble loads an empty password.
        p.clear();
        ini("[1]\r\npassword=\x01"
            "abc\r\n");
        RecordingView v;
        loadConfiguration(1, s, p, v);
        QCOMPARE(s.password, QString());
        QCOMPARE(p.texts(),
                 QStringList({QStringLiteral("Error encrypting/decrypting password on letter: ") +
                              QChar(0x01)}));
        // A character outside the code page cannot be stored either.
        p.clear();
        QCOMPARE(TextEncrypt(QString::fromUtf8("pass\xce\xb1"), true, p), QString());
        QCOMPARE(p.messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestConfigLoader)
#include "tst_configloader.moc"
