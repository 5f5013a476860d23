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

using namespace Qt::StringLiterals;

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
        s.settingsPath = programFile(u"weblog.ini"_s);
        s.activeSection = u"1"_s;
        QFile::remove(s.settingsPath);
    }

    // The record's keys that a load fills, joined for one comparison.
    QString loaded() const
    {
        return QStringList{s.autoftp,    s.retreivemode,   s.connection, s.timeout,    s.dateformat,
                           s.timeformat, s.backendenabled, s.archive,    s.autodelete, s.website}
            .join(u'|');
    }

    void emptyFileGivesTheDefaults()
    {
        ScriptedPrompt p;
        RecordingView v;
        const ConfigLoadResult r = loadConfiguration(1, s, p, v);
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(loaded(), u"False|auto|modem|60|medium date|medium time|False|false|False|"_s);
        QCOMPARE(r.dateIndex, 1);
        QCOMPARE(r.timeIndex, 1);
        QVERIFY(!r.failFound);
        QVERIFY(!v.resendEnabled);
    }

    void valuesAndDerivedSiteParts()
    {
        ini("[1]\r\nwebsite=http://www.example.com/blog/index.html\r\nftpsite=ftp.example.com\r\n"
            "connection=direct\r\ntimeout=45\r\nautoftp=True\r\ndefaultsig=Ann\r\n"
            "defaultemail=ann@example.com\r\narchive=true\r\nretreivemode=ftp\r\n"
            "dateformat=long date\r\ntimeformat=short time\r\nbackendenabled=True\r\n"
            "autodelete=True\r\n");
        ScriptedPrompt p;
        RecordingView v;
        const ConfigLoadResult r = loadConfiguration(1, s, p, v);
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(loaded(), u"True|ftp|direct|45|long date|short time|True|true|True|"
                           "http://www.example.com/blog/index.html"_s);
        QCOMPARE(s.siteHost + u'|' + s.sitePath, u"www.example.com|/blog/index.html"_s);
        QCOMPARE(r.dateIndex, 0);
        QCOMPARE(r.timeIndex, 2);
        QCOMPARE(v.sig + u'|' + v.email, u"Ann|ann@example.com"_s);
    }

    void timeoutBecomesItsNumericValue()
    {
        const std::pair<QByteArray, QString> storedAndLoaded[] = {
            {QByteArray(), u"60"_s}, {"0", u"60"_s},      {"soon", u"60"_s},
            {"45 secs", u"45"_s},    {"30.5", u"30.5"_s}, {"29", u"29"_s}};
        for (const auto& [stored, expected] : storedAndLoaded) {
            ini("[1]\r\ntimeout=" + stored + "\r\n");
            ScriptedPrompt p;
            RecordingView v;
            loadConfiguration(1, s, p, v);
            QCOMPARE(s.timeout, expected);
        }
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
                 u"DateFormat Error"_s, u"TimeFormat Error"_s,
                 QStringLiteral("The Auto Archive Ability can not be used if the auto FTP is not "
                                "enabled.  The auto archive ability has been disabled.")}));
        for (const Message& m : p.messages) {
            QCOMPARE(m.title, u"Pagewick"_s);
            QCOMPARE(m.buttons, Buttons::Ok);
        }
        QCOMPARE(s.retreivemode, u"auto"_s);
        QCOMPARE(s.archive, u"false"_s);
        QCOMPARE(r.dateIndex, -1);
        QCOMPARE(r.timeIndex, -1);
        // Stored values stay until the next Apply.
        QCOMPARE(readSetting(s.settingsPath, u"1"_s, u"retreivemode"_s), u"ftp"_s);
    }

    void archiveWithCapitalTIsNotTrue()
    {
        ini("[1]\r\nautoftp=False\r\narchive=True\r\n");
        ScriptedPrompt p;
        RecordingView v;
        loadConfiguration(1, s, p, v);
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(s.archive, u"True"_s);
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
        QCOMPARE(s.archiveftp, u"two/archive.html"_s);
        loadConfiguration(1, s, p, v);
        QCOMPARE(s.website, u"http://one.example/"_s);
        QCOMPARE(s.archiveftp, QString());
        QCOMPARE(s.archive, u"false"_s);
        QCOMPARE(s.dateformat, u"medium date"_s);
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
        QCOMPARE(v.status, QStringList({u"RESEND Config 1?"_s}));
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
        ini("[1]\r\ntitlefontname=Arial\r\ntitlefontbold=1\r\nsigfontcolor=255\r\n"
            "urlunderline=1\r\nbodyfontsize=+2\r\n[2]\r\ntitlefontname=Times\r\n");
        loadStyles(s);
        QCOMPARE(
            QStringList({s.style(StyleField::Title).fontname, s.style(StyleField::Title).fontbold,
                         s.style(StyleField::Sig).fontcolor, s.style(StyleField::Url).underline,
                         s.style(StyleField::Body).fontsize, s.style(StyleField::Date).fontname,
                         s.style(StyleField::Time).strikethru}),
            QStringList({u"Arial"_s, u"1"_s, u"255"_s, u"1"_s, u"+2"_s, {}, {}}));
    }

    void templateLoading()
    {
        ScriptedPrompt p;
        // The installed template.
        TemplateLoad t = loadTemplate(s, p);
        QVERIFY(t.found);
        QCOMPARE(t.fileName, u"template.txt"_s);
        QCOMPARE(s.templateText, u"%title\r\nBy: %sig -- %date @ %time\r\n%body\r\n%url\r\n"_s);
        // Blank lines dropped, blanks around the whole text trimmed, other
        // line ends accepted.
        writeFile(programFile(u"mine.txt"_s),
                  "  <p>%title</p>\n\n\r\n<div>%body</div>  \r\r%url  ");
        ini("[1]\r\ntemplatefilename=mine.txt\r\n");
        t = loadTemplate(s, p);
        QCOMPARE(t.editorText, u"  <p>%title</p>\r\n<div>%body</div>  \r\n%url  \r\n"_s);
        QCOMPARE(s.templateText, u"<p>%title</p>\r\n<div>%body</div>  \r\n%url  \r\n"_s);
        QCOMPARE(p.messages.size(), 0);
        // A missing file: the message and the default template.
        ini("[1]\r\ntemplatefilename=gone.txt\r\n");
        t = loadTemplate(s, p);
        QVERIFY(!t.found);
        QCOMPARE(p.texts(), QStringList({u"Template File Not Found"_s}));
        QCOMPARE(s.templateText, defaultTemplate());
        QCOMPARE(defaultTemplate(), u"%title\r\nBy: %sig -- %date @ %time\r\n%body\r\n%url"_s);
    }

    // Blanks, "=" and quotes survive the trip through weblog.ini.
    void passwordScrambling()
    {
        ScriptedPrompt p;
        const QString plain = u"s3cr=t \"pw\"~"_s;
        QCOMPARE(TextEncrypt(QString(), true, p), QString());
        QVERIFY(writeSetting(u"1"_s, u"password"_s, TextEncrypt(plain, true, p), s.settingsPath));
        RecordingView v;
        loadConfiguration(1, s, p, v);
        QCOMPARE(s.password, plain);
        QCOMPARE(p.messages.size(), 0);
    }

    void passwordScramblingFailures()
    {
        ScriptedPrompt p;
        // A letter too high to scramble: the message names it, nothing else.
        const QString high = u"ab"_s + QChar(0xFE) + u"cd"_s;
        QCOMPARE(TextEncrypt(high, true, p), QString());
        QCOMPARE(p.texts(), QStringList({u"Error encrypting/decrypting password on letter: "_s +
                                         QChar(0xFE)}));
        // A hand-typed value too low to unscramble loads an empty password.
        p.clear();
        ini("[1]\r\npassword=\x01"
            "abc\r\n");
        RecordingView v;
        loadConfiguration(1, s, p, v);
        QCOMPARE(s.password, QString());
        QCOMPARE(p.texts(), QStringList({u"Error encrypting/decrypting password on letter: "_s +
                                         QChar(0x01)}));
        // A character outside the code page cannot be stored either.
        p.clear();
        QCOMPARE(TextEncrypt(QString::fromUtf8("pass\xce\xb1"), true, p), QString());
        QCOMPARE(p.messages.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestConfigLoader)
#include "tst_configloader.moc"
