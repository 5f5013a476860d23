// Loading a configuration: defaults, corrections with their messages, the resend offer, styles,
// the template, and the password scrambling.

#include "PublishFixture.h"
#include "RecordingView.h"
#include "ScriptedPrompt.h"
#include "Waiting.h"
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
    std::unique_ptr<ScriptedPrompt> p;
    std::unique_ptr<RecordingView> v;

    void ini(const QByteArray& text) { QVERIFY(PublishFixture::writeFile(s.settingsPath, text)); }
    // Loads configuration `n` with a fresh prompt and view.
    ConfigLoadResult load(int n = 1)
    {
        p = std::make_unique<ScriptedPrompt>();
        v = std::make_unique<RecordingView>();
        return loadConfiguration(n, s, *p, *v);
    }
    // The record's keys that a load fills, joined for one comparison.
    QString loaded() const
    {
        return QStringList{s.autoftp,    s.retreivemode,   s.connection, s.timeout,    s.dateformat,
                           s.timeformat, s.backendenabled, s.archive,    s.autodelete, s.website}
            .join(u'|');
    }

private slots:
    void initTestCase() { QVERIFY(useProgramDir(dir.path())); }
    void init()
    {
        s = Settings();
        s.settingsPath = programFile(u"weblog.ini"_s);
        s.activeSection = u"1"_s;
        QFile::remove(s.settingsPath);
    }

    // The defaults of an empty file are checked with the preferences dialog.
    void valuesAndDerivedSiteParts()
    {
        ini("[1]\r\nwebsite=http://www.example.com/blog/index.html\r\nftpsite=ftp.example.com\r\n"
            "connection=direct\r\ntimeout=45\r\nautoftp=True\r\ndefaultsig=Ann\r\n"
            "defaultemail=ann@example.com\r\narchive=true\r\nretreivemode=ftp\r\n"
            "dateformat=long date\r\ntimeformat=short time\r\nbackendenabled=True\r\n"
            "autodelete=True\r\n");
        const ConfigLoadResult r = load();
        QVERIFY(p->texts().isEmpty() && r.dateIndex == 0 && r.timeIndex == 2);
        QCOMPARE(QStringList({loaded(), s.siteHost, s.sitePath, v->sig, v->email}),
                 QStringList({u"True|ftp|direct|45|long date|short time|True|true|True|"
                              "http://www.example.com/blog/index.html"_s,
                              u"www.example.com"_s, u"/blog/index.html"_s, u"Ann"_s,
                              u"ann@example.com"_s}));
    }

    void timeoutBecomesItsNumericValue()
    {
        const std::pair<QByteArray, QString> storedAndLoaded[] = {
            {QByteArray(), u"60"_s}, {"0", u"60"_s},      {"soon", u"60"_s},
            {"45 secs", u"45"_s},    {"30.5", u"30.5"_s}, {"29", u"29"_s}};
        for (const auto& [stored, expected] : storedAndLoaded) {
            ini("[1]\r\ntimeout=" + stored + "\r\n");
            load();
            QCOMPARE(s.timeout, expected);
        }
    }

    void correctionsWithTheirMessages()
    {
        ini("[1]\r\nautoftp=False\r\nretreivemode=ftp\r\narchive=true\r\ndateformat="
            "fancy\r\ntimeformat=Medium Time\r\n");
        const ConfigLoadResult r = load();
        QCOMPARE(p->texts(),
                 QStringList({u"You can not use FTP-mode if you do not have Pagewick setup to "
                              "update to FTP automatically.  You will be switched back into the "
                              "default automatic mode."_s,
                              u"DateFormat Error"_s, u"TimeFormat Error"_s,
                              u"The Auto Archive Ability can not be used if the auto FTP is not "
                              "enabled.  The auto archive ability has been disabled."_s}));
        for (const Message& m : p->messages)
            QCOMPARE(std::pair(m.title, m.buttons), std::pair(u"Pagewick"_s, Buttons::Ok));
        // Stored values stay until the next Apply.
        QCOMPARE(s.retreivemode + s.archive +
                     readSetting(s.settingsPath, u"1"_s, u"retreivemode"_s),
                 u"autofalseftp"_s);
        QCOMPARE(std::pair(r.dateIndex, r.timeIndex), std::pair(-1, -1));

        // "True" is no archive word: nothing to correct.
        ini("[1]\r\nautoftp=False\r\narchive=True\r\n");
        load();
        QVERIFY(p->texts().isEmpty() && s.archive == u"True"_s);
    }

    void strayAutoftpValueDoesNotStopLoading()
    {
        // Configuration 2 loaded first, then 1 with an autoftp that is no Boolean word:
        // nothing of configuration 2 may linger.
        ini("[1]\r\nautoftp=maybe\r\nwebsite=http://one.example/\r\n"
            "[2]\r\nautoftp=True\r\narchive=true\r\narchiveftp=two/"
            "archive.html\r\ndateformat=short date\r\n");
        load(2);
        QCOMPARE(s.archiveftp, u"two/archive.html"_s);
        load(1);
        QCOMPARE(QStringList({s.website, s.archiveftp, s.archive, s.dateformat}),
                 QStringList({u"http://one.example/"_s, QString(), u"false"_s, u"medium date"_s}));
    }

    // The offer's texts are checked with the main window; only the exact word "True" counts,
    // and only with the automatic upload that Resend needs.
    void failedUploadOffersResend()
    {
        ini("[1]\r\nFail=True\r\nautoftp=True\r\n[2]\r\nFail=true\r\nautoftp=True\r\n"
            "[3]\r\nFail=True\r\nautoftp=False\r\n");
        QVERIFY(load(1).failFound && p->messages.size() == 1);
        QVERIFY(v->resendEnabled && v->resendVisible);
        for (int config : {2, 3}) {
            QVERIFY(!load(config).failFound && p->messages.isEmpty());
            QVERIFY(!v->resendEnabled && !v->resendVisible);
        }
    }

    void stylesLoadWithoutDefaults()
    {
        ini("[1]\r\ntitlefontname=Arial\r\ntitlefontbold=1\r\nsigfontcolor=255\r\n"
            "urlunderline=1\r\nbodyfontsize=+2\r\n[2]\r\ntitlefontname=Times\r\n"
            "[3]\r\ntitlefontsize=+2\"><script>\r\ndatefontname=A<b\r\ntimefontcolor=1e3\r\n"
            "sigfontsize=Default\r\n");
        QCOMPARE(loadStyles(s), QStringList());
        QCOMPARE(
            QStringList({s.style(StyleField::Title).fontname, s.style(StyleField::Title).fontbold,
                         s.style(StyleField::Sig).fontcolor, s.style(StyleField::Url).underline,
                         s.style(StyleField::Body).fontsize, s.style(StyleField::Date).fontname,
                         s.style(StyleField::Time).strikethru}),
            QStringList({u"Arial"_s, u"1"_s, u"255"_s, u"1"_s, u"+2"_s, {}, {}}));
        // Hand-edited values no tag can carry: a status line each, kept in memory as read.
        s.activeSection = u"3"_s;
        QCOMPARE(
            loadStyles(s),
            QStringList({u"The font size \"+2\"><script>\" (titlefontsize in weblog.ini) is not "
                         "a size from -3 to +9: entries are built without it."_s,
                         u"The font face \"A<b\" (datefontname in weblog.ini) holds a quote "
                         "or an angle bracket: entries are built without it."_s,
                         u"The colour \"1e3\" (timefontcolor in weblog.ini) is not a colour "
                         "number from 0 to 16777215: entries are built without it."_s}));
        QCOMPARE(s.style(StyleField::Title).fontsize, u"+2\"><script>"_s);
    }

    void templateLoading()
    {
        ScriptedPrompt prompt;
        // The installed template.
        TemplateLoad t = loadTemplate(s, prompt);
        QVERIFY(t.found && t.fileName == u"template.txt"_s);
        QCOMPARE(s.templateText, u"%title\r\nBy: %sig -- %date @ %time\r\n%body\r\n%url\r\n"_s);
        // Blank lines dropped, blanks around the whole text trimmed, other line ends accepted.
        QVERIFY(PublishFixture::writeFile(programFile(u"mine.txt"_s),
                                          "  <p>%title</p>\n\n\r\n<div>%body</div>  \r\r%url  "));
        ini("[1]\r\ntemplatefilename=mine.txt\r\n");
        t = loadTemplate(s, prompt);
        QCOMPARE(t.editorText, u"  <p>%title</p>\r\n<div>%body</div>  \r\n%url  \r\n"_s);
        QCOMPARE(s.templateText, u"<p>%title</p>\r\n<div>%body</div>  \r\n%url  \r\n"_s);
        QVERIFY(prompt.messages.isEmpty());
        // What a missing file falls back to (the fallback is checked with the template editor).
        QCOMPARE(defaultTemplate(), u"%title\r\nBy: %sig -- %date @ %time\r\n%body\r\n%url"_s);
    }

    // Blanks, "=" and quotes survive the trip through weblog.ini; a letter too high to
    // scramble or too low to unscramble is named, and nothing is stored or loaded.
    void passwordScrambling()
    {
        ScriptedPrompt prompt;
        const QString plain = u"s3cr=t \"pw\"~"_s;
        QCOMPARE(TextEncrypt(QString(), true, prompt), QString());
        QVERIFY(
            writeSetting(u"1"_s, u"password"_s, TextEncrypt(plain, true, prompt), s.settingsPath));
        load();
        QVERIFY(s.password == plain && p->messages.isEmpty() && prompt.messages.isEmpty());

        const QString letter = u"Error encrypting/decrypting password on letter: "_s;
        QCOMPARE(TextEncrypt(u"ab\u00FEcd"_s, true, prompt), QString());
        QCOMPARE(prompt.texts(), QStringList({letter + QChar(0xFE)}));
        ini("[1]\r\npassword=\x01"
            "abc\r\n");
        load();
        QCOMPARE(s.password, QString());
        QCOMPARE(p->texts(), QStringList({letter + QChar(0x01)}));
        // A character outside the code page cannot be stored either.
        prompt.clear();
        QVERIFY(TextEncrypt(u"pass\u03B1"_s, true, prompt).isEmpty() &&
                prompt.messages.size() == 1);
    }
};

QTEST_GUILESS_MAIN(TestConfigLoader)
#include "tst_configloader.moc"
