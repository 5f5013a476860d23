// Preferences Apply without the dialog: the checks in their order, what a
// stop has already written, weblog.ini byte for byte, the refusals before
// anything is written, the time-out and the scrambled password.

#include "RecordingView.h"
#include "ScriptedPrompt.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/config/ConfigLoader.h"
#include "core/config/PasswordScrambler.h"
#include "core/config/PreferencesApply.h"
#include "core/config/StyleEditing.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct RecordingTarget final : ApplyTarget
{
    QStringList statusTexts;
    int entryCleared = 0;
    void replaceStatus(const QString& text) override { statusTexts << text; }
    void clearEntry() override { ++entryCleared; }
};

// A form as the dialog shows it after loading configuration 1 of a fresh
// installation, with a web site typed in.
PreferencesForm freshForm()
{
    PreferencesForm f;
    f.configNumber = QStringLiteral("1");
    f.loadedConfig = 1;
    f.website = QStringLiteral("http://www.example.com/index.html");
    f.timeout = QStringLiteral("60");
    f.archiveUrl = QStringLiteral("http://");
    f.imageUrl = QStringLiteral("http://");
    f.sig = QStringLiteral("Ann");
    f.email = QStringLiteral("ann@example.com");
    f.dateIndex = 1;
    f.timeIndex = 1;
    return f;
}

// The same with every feature switched on and filled in.
PreferencesForm fullForm()
{
    PreferencesForm f = freshForm();
    f.direct = true;
    f.autoFtp = true;
    f.ftpSite = QStringLiteral("ftp://127.0.0.1:2121");
    f.userName = QStringLiteral("tester");
    f.password = QStringLiteral("secret");
    f.ftpRemote = QStringLiteral("www/index.html");
    f.timeout = QStringLiteral("45");
    f.autoDelete = true;
    f.deleteAmount = QStringLiteral("10");
    f.archiveUrl = QStringLiteral("http://www.example.com/archive.html");
    f.archiveFtp = QStringLiteral("www/archive.html");
    f.dateIndex = 0;
    f.timeIndex = 2;
    f.backend = true;
    f.backendTitle = QStringLiteral("News");
    f.backendDescription = QStringLiteral("What is new");
    f.image = true;
    f.imageUrl = QStringLiteral("http://www.example.com/logo.gif");
    f.imageDescription = QStringLiteral("Logo");
    f.imageAlt = QStringLiteral("Our logo");
    f.mode = RetrieveChoice::Ftp;
    return f;
}

QByteArray keyLines(const QStringList& keys, const QMap<QString, QString>& values)
{
    QByteArray out;
    for (const QString& k : keys)
        out += (k + QLatin1Char('=') + values.value(k) + QStringLiteral("\r\n")).toUtf8();
    return out;
}

const QStringList kFirstGroup = {QStringLiteral("dateformat"), QStringLiteral("timeformat"),
                                 QStringLiteral("autodelete"), QStringLiteral("deleteamount"),
                                 QStringLiteral("defaultsig"), QStringLiteral("defaultemail")};
const QStringList kSecondGroup = {QStringLiteral("retreivemode"),
                                  QStringLiteral("backendenabled"),
                                  QStringLiteral("imagebackendenabled"),
                                  QStringLiteral("backendtitle"),
                                  QStringLiteral("backenddescript"),
                                  QStringLiteral("backendimagealt"),
                                  QStringLiteral("backendimagedescript"),
                                  QStringLiteral("backendimageurl"),
                                  QStringLiteral("archive"),
                                  QStringLiteral("archiveurl"),
                                  QStringLiteral("archiveftp")};
const QStringList kThirdGroup = {QStringLiteral("website"), QStringLiteral("ftpsite"),
                                 QStringLiteral("username"), QStringLiteral("ftpremote"),
                                 QStringLiteral("password")};

} // namespace

class TestPreferencesApply : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    Settings s;
    RecordingView view;
    RecordingTarget target;

    QByteArray iniBytes() const
    {
        QFile f(s.settingsPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeIni(const QByteArray& bytes)
    {
        QFile f(s.settingsPath);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QString key(const char* name, const QString& section = QStringLiteral("1")) const
    {
        return readSetting(s.settingsPath, section, QString::fromLatin1(name));
    }
    // Keys present in section 1, in file order.
    QStringList keysWritten() const
    {
        QStringList keys;
        bool inOne = false;
        for (const QByteArray& line : iniBytes().split('\n')) {
            const QString t = QString::fromUtf8(line).trimmed();
            if (t.startsWith(QLatin1Char('[')))
                inOne = t == QLatin1String("[1]");
            else if (inOne && t.contains(QLatin1Char('=')))
                keys << t.left(t.indexOf(QLatin1Char('=')));
        }
        return keys;
    }
    ApplyOutcome apply(const PreferencesForm& f, ScriptedPrompt& p)
    {
        return applyPreferences(f, s, p, view, target);
    }

private slots:
    void initTestCase() { QVERIFY(setProgramDir(dir.path())); }
    void init()
    {
        s = Settings();
        s.settingsPath = programFile(QStringLiteral("weblog.ini"));
        s.activeSection = QStringLiteral("1");
        QFile::remove(s.settingsPath);
        view = RecordingView();
        target = RecordingTarget();
        ScriptedPrompt p;
        loadConfiguration(1, s, p, view);
        QCOMPARE(p.texts(), QStringList());
    }

    void freshInstallWritesEveryKeyInOrder()
    {
        ScriptedPrompt p;
        const ApplyOutcome out = apply(freshForm(), p);
        QVERIFY(out.completed);
        QCOMPARE(p.texts(), QStringList());
        const QByteArray expected =
            "[1]\r\n"
            "dateformat=medium date\r\ntimeformat=medium time\r\nautodelete=False\r\n"
            "deleteamount=\r\ndefaultsig=Ann\r\ndefaultemail=ann@example.com\r\n"
            "retreivemode=auto\r\nbackendenabled=False\r\nimagebackendenabled=\r\n"
            "backendtitle=\r\nbackenddescript=\r\nbackendimagealt=\r\nbackendimagedescript=\r\n"
            "backendimageurl=http://\r\narchive=false\r\narchiveurl=http://\r\narchiveftp=\r\n"
            "website=http://www.example.com/index.html\r\nftpsite=\r\nusername=\r\nftpremote=\r\n"
            "password=\r\ntimeout=60\r\nautoftp=False\r\nconnection=modem\r\n"
            "[General]\r\nConfig=1\r\n";
        QCOMPARE(iniBytes(), expected);
        // The main window: status replaced, entry discarded, defaults shown.
        QCOMPARE(target.statusTexts, QStringList({QStringLiteral("Config 1 Loaded")}));
        QCOMPARE(target.entryCleared, 1);
        QCOMPARE(view.sig, QStringLiteral("Ann"));
        QCOMPARE(view.email, QStringLiteral("ann@example.com"));
        QVERIFY(!view.finishEnabled);
        QCOMPARE(s.siteHost, QStringLiteral("www.example.com"));
        QCOMPARE(s.sitePath, QStringLiteral("/index.html"));
        QVERIFY(!s.templateText.isEmpty());
    }

    // Apply into an existing file: keys replaced in place, every other line,
    // comment, section and the LF line ends kept.
    void fullApplyKeepsTheRestOfTheFile()
    {
        writeIni("; my sites\n[General]\nConfig=2\nLanguage=en\n\n[1]\nwebsite=http://old/\n"
                 "titlefontname=Arial\n; keep me\n\n[2]\nwebsite=http://two/\n");
        ScriptedPrompt p;
        loadConfiguration(1, s, p, view);
        const ApplyOutcome out = apply(fullForm(), p);
        QVERIFY(out.completed);
        QCOMPARE(p.texts(), QStringList());
        QMap<QString, QString> v = {
            {QStringLiteral("dateformat"), QStringLiteral("long date")},
            {QStringLiteral("timeformat"), QStringLiteral("short time")},
            {QStringLiteral("autodelete"), QStringLiteral("True")},
            {QStringLiteral("deleteamount"), QStringLiteral("10")},
            {QStringLiteral("defaultsig"), QStringLiteral("Ann")},
            {QStringLiteral("defaultemail"), QStringLiteral("ann@example.com")},
            {QStringLiteral("retreivemode"), QStringLiteral("ftp")},
            {QStringLiteral("backendenabled"), QStringLiteral("True")},
            {QStringLiteral("imagebackendenabled"), QStringLiteral("true")},
            {QStringLiteral("backendtitle"), QStringLiteral("News")},
            {QStringLiteral("backenddescript"), QStringLiteral("What is new")},
            {QStringLiteral("backendimagealt"), QStringLiteral("Our logo")},
            {QStringLiteral("backendimagedescript"), QStringLiteral("Logo")},
            {QStringLiteral("backendimageurl"), QStringLiteral("http://www.example.com/logo.gif")},
            {QStringLiteral("archive"), QStringLiteral("false")},
            {QStringLiteral("archiveurl"), QStringLiteral("http://www.example.com/archive.html")},
            {QStringLiteral("archiveftp"), QStringLiteral("www/archive.html")},
            {QStringLiteral("ftpsite"), QStringLiteral("ftp://127.0.0.1:2121")},
            {QStringLiteral("username"), QStringLiteral("tester")},
            {QStringLiteral("ftpremote"), QStringLiteral("www/index.html")},
            {QStringLiteral("password"), TextEncrypt(QStringLiteral("secret"), true, p)},
            {QStringLiteral("timeout"), QStringLiteral("45")},
            {QStringLiteral("autoftp"), QStringLiteral("True")},
            {QStringLiteral("connection"), QStringLiteral("direct")}};
        QByteArray expected = "; my sites\n[General]\nConfig=1\nLanguage=en\n\n[1]\n"
                              "website=http://www.example.com/index.html\n"
                              "titlefontname=Arial\n; keep me\n";
        QStringList added = kFirstGroup + kSecondGroup + kThirdGroup;
        added.removeAll(QStringLiteral("website"));
        added << QStringLiteral("timeout") << QStringLiteral("autoftp")
              << QStringLiteral("connection");
        expected += keyLines(added, v).replace("\r\n", "\n");
        expected += "\n[2]\nwebsite=http://two/\n";
        QCOMPARE(iniBytes(), expected);
        // What the rest of the program reads back.
        Settings back;
        back.settingsPath = s.settingsPath;
        loadConfiguration(1, back, p, view);
        QCOMPARE(back.password, QStringLiteral("secret"));
        QCOMPARE(back.retreivemode, QStringLiteral("ftp"));
        QCOMPARE(s.styles[0].fontname, QStringLiteral("Arial")); // styles reloaded
    }

    // A stop ends Apply at once; what earlier steps wrote stays written.
    void stopsAndWhatTheyLeaveBehind_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<QList<Answer>>("answers");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("groupsWritten");
        QTest::addColumn<bool>("statusReplaced");

        const QString archiveText =
            QStringLiteral("Please insert the the URL to your ARCHIVE page.  Please format the "
                           "website entry like this:   http://www.yoursite.com/weblog/index.html");
        QTest::newRow("archive address without scheme")
            << 1 << QList<Answer>() << archiveText << 3 << 0 << false;
        QTest::newRow("archive address only http://")
            << 2 << QList<Answer>() << archiveText << 3 << 0 << false;
        QTest::newRow("archive FTP location without dot, No")
            << 3 << QList<Answer>{Answer::No} << ftpLocationProblemText() << 0 << 0 << false;
        QTest::newRow("backend without title")
            << 4 << QList<Answer>() << QStringLiteral("You must input a title for your backend.")
            << 6 << 1 << false;
        QTest::newRow("backend without description")
            << 5 << QList<Answer>()
            << QStringLiteral("You must input a description for your backend.") << 6 << 1 << false;
        QTest::newRow("image without address")
            << 6 << QList<Answer>()
            << QStringLiteral("You must input the location of your image file.") << 7 << 1 << false;
        QTest::newRow("image without description")
            << 7 << QList<Answer>() << QStringLiteral("You must insert a description.") << 7 << 1
            << false;
        QTest::newRow("image without ALT text")
            << 8 << QList<Answer>() << QStringLiteral("You must input ALT text for your image.")
            << 7 << 1 << false;
        QTest::newRow("web site only http://")
            << 9 << QList<Answer>() << QStringLiteral("You must insert a name for the webSite.")
            << 0 << 2 << true;
        QTest::newRow("web site without scheme")
            << 10 << QList<Answer>()
            << QStringLiteral("Please format the website entry like this:   "
                              "http://www.yoursite.com/weblog/index.html")
            << 0 << 2 << true;
        QTest::newRow("FTP site ftp.")
            << 11 << QList<Answer>()
            << QStringLiteral("You must insert the name of your FTP server.") << 0 << 2 << true;
        QTest::newRow("FTP site of another scheme")
            << 12 << QList<Answer>()
            << QStringLiteral("The FTP site must be a server name (such as ftp.example.com) or an "
                              "address that begins with ftp://, ftps://, sftp:// or file://.")
            << 2 << 2 << true;
        QTest::newRow("no user name")
            << 13 << QList<Answer>() << QStringLiteral("You must insert your FTP username.") << 0
            << 2 << true;
        QTest::newRow("no password")
            << 14 << QList<Answer>() << QStringLiteral("You must insert your FTP password.") << 0
            << 2 << true;
        QTest::newRow("no remote location")
            << 15 << QList<Answer>()
            << QStringLiteral("You must insert the location of your html files on the ftp server.")
            << 0 << 2 << true;
        QTest::newRow("remote location without dot, No")
            << 16 << QList<Answer>{Answer::No} << ftpLocationProblemText() << 0 << 2 << true;
    }
    void stopsAndWhatTheyLeaveBehind()
    {
        QFETCH(int, change);
        QFETCH(QList<Answer>, answers);
        QFETCH(QString, text);
        QFETCH(int, tab);
        QFETCH(int, groupsWritten);
        QFETCH(bool, statusReplaced);

        PreferencesForm f = fullForm();
        s.archive = QStringLiteral("true"); // as the ticked archive box left it
        switch (change) {
        case 1:
            f.archiveUrl = QStringLiteral("www.example.com/archive.html");
            break;
        case 2:
            f.archiveUrl = QStringLiteral("http://");
            break;
        case 3:
            f.archiveFtp = QStringLiteral("www/archive");
            break;
        case 4:
            f.backendTitle.clear();
            break;
        case 5:
            f.backendDescription.clear();
            break;
        case 6:
            f.imageUrl.clear();
            break;
        case 7:
            f.imageDescription.clear();
            break;
        case 8:
            f.imageAlt.clear();
            break;
        case 9:
            f.website = QStringLiteral("http://");
            break;
        case 10:
            f.website = QStringLiteral("www.example.com/index.html");
            break;
        case 11:
            f.ftpSite = QStringLiteral("ftp.");
            break;
        case 12:
            f.ftpSite = QStringLiteral("http://ftp.example.com");
            break;
        case 13:
            f.userName.clear();
            break;
        case 14:
            f.password.clear();
            break;
        case 15:
            f.ftpRemote.clear();
            break;
        case 16:
            f.ftpRemote = QStringLiteral("public_html");
            break;
        }
        ScriptedPrompt p;
        p.answers = answers;
        const ApplyOutcome out = apply(f, p);
        QVERIFY(!out.completed);
        QCOMPARE(p.texts(), QStringList({text}));
        QCOMPARE(p.unscripted, 0);
        QCOMPARE(static_cast<int>(out.showTab), tab);

        QStringList expected;
        if (groupsWritten >= 1)
            expected += kFirstGroup;
        if (groupsWritten >= 2)
            expected += kSecondGroup;
        QCOMPARE(keysWritten(), expected);
        QCOMPARE(key("Config", QStringLiteral("General")), QString());
        QCOMPARE(out.applyDisabled, groupsWritten >= 1);
        QCOMPARE(target.statusTexts.size(), statusReplaced ? 1 : 0);
        QCOMPARE(target.entryCleared, 0);
        if (groupsWritten >= 2) {
            QCOMPARE(key("retreivemode"), QStringLiteral("ftp"));
            QCOMPARE(key("archive"), QStringLiteral("true"));
        }
    }

    void questionAnsweredYesGoesOn()
    {
        PreferencesForm f = fullForm();
        s.archive = QStringLiteral("true");
        f.archiveFtp = QStringLiteral("archive");
        f.ftpRemote = QStringLiteral("public_html");
        ScriptedPrompt p;
        p.answers = {Answer::Yes, Answer::Yes};
        const ApplyOutcome out = apply(f, p);
        QVERIFY(out.completed);
        QCOMPARE(p.texts(), QStringList({ftpLocationProblemText(), ftpLocationProblemText()}));
        QCOMPARE(p.messages[0].title, QStringLiteral("FTP Location Problem"));
        QCOMPARE(p.messages[0].buttons, Buttons::YesNo);
        QCOMPARE(key("ftpremote"), QStringLiteral("public_html"));
        QCOMPARE(key("archive"), QStringLiteral("true"));
    }

    // FTP off: the account boxes are not read; the account in memory is
    // written back as it was.
    void ftpOffKeepsTheAccountInMemory()
    {
        s.ftpsite = QStringLiteral("ftp.old.example.com");
        s.username = QStringLiteral("old");
        PreferencesForm f = fullForm();
        f.autoFtp = false;
        f.ftpSite = QStringLiteral("ftp.");
        f.userName.clear();
        ScriptedPrompt p;
        QVERIFY(apply(f, p).completed);
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(key("ftpsite"), QStringLiteral("ftp.old.example.com"));
        QCOMPARE(key("username"), QStringLiteral("old"));
        QCOMPARE(key("autoftp"), QStringLiteral("False"));
        QCOMPARE(key("password"), TextEncrypt(QStringLiteral("secret"), true, p));
    }

    void autoDeleteOffUnticksTheArchive()
    {
        s.archive = QStringLiteral("true");
        PreferencesForm f = fullForm();
        f.autoDelete = false;
        f.archiveUrl.clear(); // not checked: the archive went with auto-delete
        ScriptedPrompt p;
        const ApplyOutcome out = apply(f, p);
        QVERIFY(out.completed);
        QVERIFY(out.archiveUnticked);
        QCOMPARE(key("archive"), QStringLiteral("false"));
        QCOMPARE(key("autodelete"), QStringLiteral("False"));
    }

    void timeout_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("message");
        QTest::newRow("29") << QStringLiteral("29") << QStringLiteral("60") << true;
        QTest::newRow("30") << QStringLiteral("30") << QStringLiteral("30") << false;
        QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("60") << true;
        QTest::newRow("empty") << QString() << QStringLiteral("60") << true;
        QTest::newRow("-45") << QStringLiteral("-45") << QStringLiteral("60") << true;
        QTest::newRow("45 seconds")
            << QStringLiteral("45 seconds") << QStringLiteral("45") << false;
        QTest::newRow("90.7") << QStringLiteral("90.7") << QStringLiteral("90") << false;
        QTest::newRow("huge") << QStringLiteral("1e30") << QStringLiteral("2147483647") << false;
    }
    void timeout()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(bool, message);
        PreferencesForm f = freshForm();
        f.timeout = typed;
        ScriptedPrompt p;
        QVERIFY(apply(f, p).completed);
        QCOMPARE(key("timeout"), stored);
        QCOMPARE(s.timeout, stored);
        if (message) {
            QCOMPARE(p.texts(), QStringList({QStringLiteral(
                                    "FTP timeout cannot be less than 30 secs.  It has been "
                                    "adjusted back to its default value")}));
            QCOMPARE(p.messages[0].title, QStringLiteral("FTP Timeout"));
            QCOMPARE(p.messages[0].icon, Icon::Exclamation);
        } else {
            QCOMPARE(p.texts(), QStringList());
        }
    }

    void deleteAmount_data()
    {
        QTest::addColumn<bool>("autoDelete");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("1") << true << QStringLiteral("1") << true;
        QTest::newRow("32766") << true << QStringLiteral("32766") << true;
        QTest::newRow("0") << true << QStringLiteral("0") << false;
        QTest::newRow("empty") << true << QString() << false;
        QTest::newRow("word") << true << QStringLiteral("ten") << false;
        QTest::newRow("fraction") << true << QStringLiteral("2.5") << false;
        QTest::newRow("negative") << true << QStringLiteral("-3") << false;
        QTest::newRow("too many") << true << QStringLiteral("32767") << false;
        QTest::newRow("off, 0") << false << QStringLiteral("0") << true;
    }
    void deleteAmount()
    {
        QFETCH(bool, autoDelete);
        QFETCH(QString, amount);
        QFETCH(bool, accepted);
        PreferencesForm f = freshForm();
        f.autoDelete = autoDelete;
        f.deleteAmount = amount;
        ScriptedPrompt p;
        const ApplyOutcome out = apply(f, p);
        QCOMPARE(out.completed, accepted);
        if (accepted) {
            QCOMPARE(key("deleteamount"), amount);
        } else {
            QCOMPARE(p.texts(), QStringList({QStringLiteral(
                                    "Please type how many entries should be left on the page: a "
                                    "whole number from 1 to 32766.")}));
            QCOMPARE(out.showTab, PrefsTab::Maintain);
            QVERIFY(!QFile::exists(s.settingsPath));
        }
    }

    // Refusals before anything is written: the file stays as it was and
    // memory keeps the loaded configuration.
    void refusals_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("startOfText");
        QTest::addColumn<int>("tab");
        QTest::newRow("number changed without Load")
            << 1
            << QStringLiteral("The fields show configuration 1, but the configuration number "
                              "reads 3.  Press Load")
            << 1;
        QTest::newRow("number out of range")
            << 2 << QStringLiteral("Please choose a configuration number from 1 to 9.") << 1;
        QTest::newRow("number is a word")
            << 3 << QStringLiteral("Please choose a configuration number from 1 to 9.") << 1;
        QTest::newRow("line feed in the signature")
            << 4 << QStringLiteral("The entry \"Default Signature\" holds a line break.") << 4;
        QTest::newRow("carriage return in the web site")
            << 5 << QStringLiteral("The entry \"WebSite\" holds a line break.") << 1;
        QTest::newRow("line break in the password")
            << 6 << QStringLiteral("The entry \"PassWord\" holds a line break.") << 2;
        QTest::newRow("255 characters in the remote location")
            << 7
            << QStringLiteral("The entry \"Location of File on FTP server\" is 255 characters "
                              "long.  weblog.ini keeps at most 254")
            << 2;
        QTest::newRow("300 characters in the image description")
            << 8 << QStringLiteral("The entry \"Image Description\" is 300 characters long.") << 7;
    }
    void refusals()
    {
        QFETCH(int, change);
        QFETCH(QString, startOfText);
        QFETCH(int, tab);
        writeIni("[1]\r\nwebsite=http://old.example.com/\r\n");
        const QByteArray before = iniBytes();
        PreferencesForm f = fullForm();
        switch (change) {
        case 1:
            f.configNumber = QStringLiteral("3");
            break;
        case 2:
            f.configNumber = QStringLiteral("10");
            break;
        case 3:
            f.configNumber = QStringLiteral("two");
            break;
        case 4:
            f.sig = QStringLiteral("Ann\nftpsite=evil.example.com");
            break;
        case 5:
            f.website += QLatin1Char('\r');
            break;
        case 6:
            f.password = QStringLiteral("se\r\ncret");
            break;
        case 7:
            f.ftpRemote = QString(251, QLatin1Char('a')) + QStringLiteral(".htm");
            break;
        case 8:
            f.imageDescription = QString(300, QLatin1Char('d'));
            break;
        }
        ScriptedPrompt p;
        const Settings memory = s;
        const ApplyOutcome out = apply(f, p);
        QVERIFY(!out.completed);
        QCOMPARE(p.messages.size(), 1);
        QVERIFY2(p.messages[0].text.startsWith(startOfText), qPrintable(p.messages[0].text));
        QCOMPARE(static_cast<int>(out.showTab), tab);
        QCOMPARE(iniBytes(), before);
        QCOMPARE(s.website, memory.website);
        QCOMPARE(s.activeSection, memory.activeSection);
        QVERIFY(target.statusTexts.isEmpty());
    }

    // 254 characters come back whole; a line break in a box whose value is
    // not stored (FTP off) does not stop Apply.
    void limitsThatPass()
    {
        PreferencesForm f = fullForm();
        f.ftpRemote = QString(250, QLatin1Char('a')) + QStringLiteral(".htm");
        ScriptedPrompt p;
        QVERIFY(apply(f, p).completed);
        QCOMPARE(key("ftpremote"), f.ftpRemote);

        f = freshForm();
        f.ftpSite = QStringLiteral("ftp.example.com\nusername=x");
        QVERIFY(apply(f, p).completed);
        QCOMPARE(p.texts(), QStringList());
    }

    void passwordScrambling()
    {
        ScriptedPrompt p;
        PreferencesForm f = fullForm();
        f.password = QStringLiteral("pa ss~");
        QVERIFY(apply(f, p).completed);
        const QString stored = key("password");
        QCOMPARE(stored.size(), 6);
        QVERIFY(stored != f.password);
        Settings back;
        back.settingsPath = s.settingsPath;
        loadConfiguration(1, back, p, view);
        QCOMPARE(back.password, f.password);
        QCOMPARE(p.texts(), QStringList());

        // A character the scrambling cannot shift: the message, an empty key,
        // and the typed password still in memory.
        f.password = QStringLiteral("ab") + QChar(0xFF) + QStringLiteral("c");
        QVERIFY(apply(f, p).completed);
        QCOMPARE(p.texts(),
                 QStringList({QStringLiteral("Error encrypting/decrypting password on letter: ") +
                              QChar(0xFF)}));
        QCOMPARE(key("password"), QString());
        QCOMPARE(s.password, f.password);
    }

    void addressForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("web");
        QTest::addColumn<bool>("ftp");
        QTest::newRow("http") << QStringLiteral("http://www.example.com/") << true << false;
        QTest::newRow("HTTP upper case")
            << QStringLiteral("HTTP://WWW.EXAMPLE.COM/") << true << false;
        QTest::newRow("https") << QStringLiteral("https://example.com/a.html") << true << false;
        QTest::newRow("file") << QStringLiteral("file:///home/ann/site/index.html") << true << true;
        QTest::newRow("bare scheme") << QStringLiteral("https://") << false << false;
        QTest::newRow("host without scheme") << QStringLiteral("www.example.com") << false << true;
        QTest::newRow("host word beginning with h")
            << QStringLiteral("home.example.com") << false << true;
        QTest::newRow("host with port") << QStringLiteral("ftp.example.com:2121") << false << true;
        QTest::newRow("ftp url") << QStringLiteral("ftp://127.0.0.1:2121") << false << true;
        QTest::newRow("ftps url") << QStringLiteral("FTPS://ftp.example.com") << false << true;
        QTest::newRow("sftp url") << QStringLiteral("sftp://host/dir") << false << true;
        QTest::newRow("bare ftp scheme") << QStringLiteral("ftp://") << false << false;
        QTest::newRow("host with path") << QStringLiteral("ftp.example.com/www") << false << false;
        QTest::newRow("blank inside") << QStringLiteral("ftp example.com") << false << false;
        QTest::newRow("other scheme") << QStringLiteral("gopher://x") << false << false;
    }
    void addressForms()
    {
        QFETCH(QString, text);
        QFETCH(bool, web);
        QFETCH(bool, ftp);
        QCOMPARE(isWebAddress(text), web);
        QCOMPARE(isFtpSiteForm(text), ftp);
    }

    void unwritableFileStopsWithAMessage()
    {
        s.settingsPath = dir.path() + QStringLiteral("/missing/folder/weblog.ini");
        ScriptedPrompt p;
        const ApplyOutcome out = apply(freshForm(), p);
        QVERIFY(!out.completed);
        QCOMPARE(p.messages.size(), 1);
        QVERIFY(p.messages[0].text.startsWith(QStringLiteral("The settings could not be saved")));
        QVERIFY(p.messages[0].text.contains(QStringLiteral("\"dateformat\"")));
        QVERIFY(target.statusTexts.isEmpty());
    }

    // Applying with another configuration loaded makes it the active one.
    void applyToAnotherConfiguration()
    {
        writeIni("[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://one/\r\n[3]\r\nwebsite=http://"
                 "three/\r\n");
        ScriptedPrompt p;
        loadConfiguration(3, s, p, view);
        PreferencesForm f = freshForm();
        f.configNumber = QStringLiteral(" 3 ");
        f.loadedConfig = 3;
        QVERIFY(apply(f, p).completed);
        QCOMPARE(s.activeSection, QStringLiteral("3"));
        QCOMPARE(key("Config", QStringLiteral("General")), QStringLiteral("3"));
        QCOMPARE(key("website", QStringLiteral("3")), f.website);
        QCOMPARE(key("website", QStringLiteral("1")), QStringLiteral("http://one/"));
        QCOMPARE(target.statusTexts, QStringList({QStringLiteral("Config 3 Loaded")}));
    }

    void restoreKeepsTheRunTimeState()
    {
        Settings saved = s;
        saved.website = QStringLiteral("http://saved/");
        saved.activeSection = QStringLiteral("1");
        s.website = QStringLiteral("http://loaded/");
        s.activeSection = QStringLiteral("3");
        s.pageRetrieved = true;
        s.templateText = QStringLiteral("%title");
        s.styles[1].fontname = QStringLiteral("Arial");
        restoreConfiguration(s, saved);
        QCOMPARE(s.website, QStringLiteral("http://saved/"));
        QCOMPARE(s.activeSection, QStringLiteral("1"));
        QVERIFY(s.pageRetrieved);
        QCOMPARE(s.templateText, QStringLiteral("%title"));
        QCOMPARE(s.styles[1].fontname, QStringLiteral("Arial"));
    }

    // The style editor's storage rules and write order.
    void styleValues()
    {
        QCOMPARE(storeStyleValue(s, QStringLiteral("Sig"), QStringLiteral("fontname"),
                                 QStringLiteral("DEFAULT")),
                 std::optional<QString>(QString()));
        QCOMPARE(storeStyleValue(s, QStringLiteral("sig"), QStringLiteral("fontname"),
                                 QStringLiteral("Arial")),
                 std::nullopt);
        QCOMPARE(storeStyleValue(s, QStringLiteral("Sig"), QStringLiteral("strikethru"),
                                 QStringLiteral("1")),
                 std::nullopt);
        QVERIFY(storeStyleValue(s, QStringLiteral("URL"), QStringLiteral("fontstrikethru"),
                                QStringLiteral("1")));
        QCOMPARE(s.style(StyleField::Url).strikethru, QStringLiteral("1"));
        QCOMPARE(sizeStepText(-2), QStringLiteral("-2"));
        QCOMPARE(sizeStepText(0), QStringLiteral("Default"));
        QCOMPARE(sizeStepText(2), QStringLiteral("+2"));
        QCOMPARE(sizeScrollPosition(QString()), 3);
        QCOMPARE(sizeScrollPosition(QStringLiteral("+2")), 5);
        QCOMPARE(sizeScrollPosition(QStringLiteral("-3")), 0);
        QCOMPARE(sizeScrollPosition(QStringLiteral("+12")), 12);
        QCOMPARE(sizeScrollPosition(QStringLiteral("-7")), 0);
    }

    void styleWriteOrder()
    {
        ScriptedPrompt p;
        s.style(StyleField::Sig).fontbold = QStringLiteral("1");
        s.style(StyleField::Title).fontcolor = QStringLiteral("255");
        QVERIFY(writeAllStyles(s, p));
        QByteArray expected = "[1]\r\n";
        for (const char* field : {"title", "body", "sig", "time", "date", "url"})
            for (const char* suffix : {"fontname", "fontbold", "fontcolor", "fontitalic",
                                       "fontsize", "strikethru", "underline"}) {
                QByteArray value;
                if (QByteArray(field) == "sig" && QByteArray(suffix) == "fontbold")
                    value = "1";
                if (QByteArray(field) == "title" && QByteArray(suffix) == "fontcolor")
                    value = "255";
                expected += QByteArray(field) + suffix + "=" + value + "\r\n";
            }
        QCOMPARE(iniBytes(), expected);
    }
};

QTEST_GUILESS_MAIN(TestPreferencesApply)
#include "tst_preferencesapply.moc"
