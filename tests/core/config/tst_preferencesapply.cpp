// Preferences Apply without the dialog: the checks in their order, weblog.ini byte for byte and
// written once, a stop at any check writing nothing, the time-out.

#include "PublishFixture.h"
#include "RecordingView.h"
#include "ScriptedPrompt.h"
#include "Waiting.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/config/ConfigLoader.h"
#include "core/config/PasswordScrambler.h"
#include "core/config/PreferencesApply.h"
#include "core/config/StyleEditing.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/inotify.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct RecordingTarget final : ApplyTarget
{
    QStringList statusTexts;
    int commandsDisabled = 0;
    void replaceStatus(const QString& text) override { statusTexts << text; }
    void disableEntryCommands() override { ++commandsDisabled; }
};

using F = PreferencesForm;
using Field = QString PreferencesForm::*;

// Configuration 1 of a fresh installation, with a web site typed in.
PreferencesForm freshForm()
{
    PreferencesForm f;
    f.loadedConfig = f.dateIndex = f.timeIndex = 1;
    const std::pair<Field, QString> texts[] = {
        {&F::configNumber, u"1"_s},       {&F::website, u"http://www.example.com/index.html"_s},
        {&F::timeout, u"60"_s},           {&F::archiveUrl, u"http://"_s},
        {&F::imageUrl, u"http://"_s},     {&F::sig, u"Ann"_s},
        {&F::email, u"ann@example.com"_s}};
    for (const auto& [field, value] : texts)
        f.*field = value;
    return f;
}

// Every feature switched on and filled in.
PreferencesForm fullForm()
{
    PreferencesForm f = freshForm();
    f.direct = f.autoFtp = f.autoDelete = f.backend = f.image = true;
    f.dateIndex = 0;
    f.timeIndex = 2;
    f.mode = RetrieveChoice::Ftp;
    const std::pair<Field, QString> texts[] = {
        {&F::ftpSite, u"ftp://127.0.0.1:2121"_s},
        {&F::userName, u"tester"_s},
        {&F::password, u"secret"_s},
        {&F::ftpRemote, u"www/index.html"_s},
        {&F::timeout, u"45"_s},
        {&F::deleteAmount, u"10"_s},
        {&F::archiveUrl, u"http://www.example.com/archive.html"_s},
        {&F::archiveFtp, u"www/archive.html"_s},
        {&F::backendTitle, u"News"_s},
        {&F::backendDescription, u"What is new"_s},
        {&F::imageUrl, u"http://www.example.com/logo.gif"_s},
        {&F::imageDescription, u"Logo"_s},
        {&F::imageAlt, u"Our logo"_s}};
    for (const auto& [field, value] : texts)
        f.*field = value;
    return f;
}

// Counts how often a file is written (closed after writing, or renamed over), from its
// construction on, through the kernel's notices on the file's folder.
class WriteCounter
{
public:
    explicit WriteCounter(const QString& path)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), m_name(QFileInfo(path).fileName())
    {
        inotify_add_watch(m_fd, QFile::encodeName(QFileInfo(path).path()).constData(),
                          IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~WriteCounter() { ::close(m_fd); }
    int writes()
    {
        alignas(inotify_event) char buffer[65536];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0)
            for (char* at = buffer; at < buffer + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                m_writes += event->len > 0 && m_name == QFile::decodeName(event->name);
                at += sizeof(inotify_event) + event->len;
            }
        return m_writes;
    }

private:
    int m_fd;
    QString m_name;
    int m_writes = 0;
};

// A check that stops Apply, in the order Apply checks: the field changed in fullForm(), the
// message (a Yes/No question answered No when `question`; the whole text when `whole`, else
// its start) and the tab shown. The Load refusal, the image address and the web site's form
// are checked with the dialog.
struct Stop
{
    const char* name;
    Field field;
    QString value, text;
    int tab;
    bool whole, question = false;
};
const QString kArchiveText = u"Please insert the the URL to your ARCHIVE page.  Please format the "
                             "website entry like this:   "
                             "http://www.yoursite.com/weblog/index.html"_s;
const QString kRange = u"Please choose a configuration number from 1 to 9."_s;
const Stop kStops[] = {
    {"number out of range", &F::configNumber, u"10"_s, kRange, 1, false},
    {"number is a word", &F::configNumber, u"two"_s, kRange, 1, false},
    {"line feed in the signature", &F::sig, u"Ann\nftpsite=evil.example.com"_s,
     u"The entry \"Default Signature\" holds a line break."_s, 4, false},
    {"carriage return in the web site", &F::website, u"http://www.example.com/\r"_s,
     u"The entry \"WebSite\" holds a line break."_s, 1, false},
    {"line break in the password", &F::password, u"se\r\ncret"_s,
     u"The entry \"PassWord\" holds a line break."_s, 2, false},
    {"password letter the scrambler cannot carry, no keyring", &F::password, u"pa\u65e5ss"_s,
     u"The password holds the letter \"\u65e5\", which weblog.ini cannot keep, and no desktop "
     "keyring"_s,
     2, false},
    {"255 characters in the remote location", &F::ftpRemote, QString(251, u'a') + u".htm"_s,
     u"The entry \"Location of File on FTP server\" is 255 characters long.  weblog.ini keeps at "
     "most 254"_s,
     2, false},
    {"300 characters in the image description", &F::imageDescription, QString(300, u'd'),
     u"The entry \"Image Description\" is 300 characters long."_s, 7, false},
    {"archive address without scheme", &F::archiveUrl, u"www.example.com/a.html"_s, kArchiveText, 3,
     true},
    {"archive address only http://", &F::archiveUrl, u"http://"_s, kArchiveText, 3, true},
    {"archive FTP location without dot, No", &F::archiveFtp, u"www/archive"_s,
     ftpLocationProblemText(), 0, true, true},
    {"backend without title", &F::backendTitle, QString(),
     u"You must input a title for your backend."_s, 6, true},
    {"backend without description", &F::backendDescription, QString(),
     u"You must input a description for your backend."_s, 6, true},
    {"image without description", &F::imageDescription, QString(),
     u"You must insert a description."_s, 7, true},
    {"image without ALT text", &F::imageAlt, QString(),
     u"You must input ALT text for your image."_s, 7, true},
    {"web site only http://", &F::website, u"http://"_s,
     u"You must insert a name for the webSite."_s, 0, true},
    {"FTP site ftp.", &F::ftpSite, u"ftp."_s, u"You must insert the name of your FTP server."_s, 0,
     true},
    {"FTP site of another scheme", &F::ftpSite, u"http://ftp.example.com"_s,
     u"The FTP site must be a server name (such as ftp.example.com) or an address that begins "
     "with ftp://, ftps://, sftp:// or file://."_s,
     2, true},
    {"no user name", &F::userName, QString(), u"You must insert your FTP username."_s, 0, true},
    {"no password", &F::password, QString(), u"You must insert your FTP password."_s, 0, true},
    {"no remote location", &F::ftpRemote, QString(),
     u"You must insert the location of your html files on the ftp server."_s, 0, true},
    {"remote location without dot, No", &F::ftpRemote, u"public_html"_s, ftpLocationProblemText(),
     0, true, true},
};

template <typename Row, std::size_t N> void rows(const Row (&table)[N])
{
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i)
        QTest::newRow(table[i].name) << int(i);
}

} // namespace

class TestPreferencesApply : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    Settings s;
    RecordingView view;
    RecordingTarget target;

    QByteArray iniBytes() const { return PublishFixture::readFile(s.settingsPath); }
    void writeIni(const QByteArray& bytes)
    {
        QVERIFY(PublishFixture::writeFile(s.settingsPath, bytes));
    }
    QString key(const char* name, const QString& section = u"1"_s) const
    {
        return readSetting(s.settingsPath, section, QString::fromLatin1(name));
    }
    // The keys in the file, in file order.
    QStringList keysWritten() const
    {
        QStringList keys;
        for (const QByteArray& line : iniBytes().split('\n'))
            if (line.contains('='))
                keys << QString::fromUtf8(line.left(line.indexOf('=')));
        return keys;
    }
    ApplyOutcome apply(const PreferencesForm& f, ScriptedPrompt& p)
    {
        std::optional<ApplyOutcome> out;
        applyPreferences(f, s, p, view, target, [&out](const ApplyOutcome& o) { out = o; });
        if (!QTest::qWaitFor([&out] { return out.has_value(); }))
            qWarning("Apply did not end");
        return out.value_or(ApplyOutcome{});
    }

private slots:
    void initTestCase() { QVERIFY(useProgramDir(dir.path())); }
    void init()
    {
        s = Settings();
        s.settingsPath = programFile(u"weblog.ini"_s);
        s.activeSection = u"1"_s;
        QFile::remove(s.settingsPath);
        view = RecordingView();
        target = RecordingTarget();
        ScriptedPrompt p;
        loadConfiguration(1, s, p, view);
    }

    void freshInstallWritesEveryKeyInOrder()
    {
        ScriptedPrompt p;
        QVERIFY(apply(freshForm(), p).completed);
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(iniBytes(),
                 "[1]\r\n"
                 "dateformat=medium date\r\ntimeformat=medium time\r\nautodelete=False\r\n"
                 "deleteamount=\r\ndefaultsig=Ann\r\ndefaultemail=ann@example.com\r\n"
                 "retreivemode=auto\r\nbackendenabled=False\r\nimagebackendenabled=\r\n"
                 "backendtitle=\r\nbackenddescript=\r\nbackendimagealt=\r\nbackendimagedescript="
                 "\r\nbackendimageurl=http://\r\narchive=false\r\narchiveurl=http://\r\n"
                 "archiveftp=\r\nwebsite=http://www.example.com/index.html\r\nftpsite=\r\n"
                 "username=\r\nftpremote=\r\npassword=\r\ntimeout=60\r\nautoftp=False\r\n"
                 "connection=modem\r\n[General]\r\nConfig=1\r\n"_ba);
        // The main window: status replaced, Preview and Finish off, defaults shown.
        QCOMPARE(target.statusTexts, QStringList{u"Config 1 Loaded"_s});
        QCOMPARE(
            std::tuple(target.commandsDisabled, view.sig + view.email, view.finishEnabled,
                       s.templateText.isEmpty(), s.siteHost + s.sitePath),
            std::tuple(1, u"Annann@example.com"_s, false, false, u"www.example.com/index.html"_s));
    }

    // Apply into an existing file, in one write: keys replaced in place, every other line,
    // comment, section and the LF line ends kept.
    void fullApplyKeepsTheRestOfTheFile()
    {
        writeIni("; my sites\n[General]\nConfig=2\nLanguage=en\n\n[1]\nwebsite=http://old/\n"
                 "titlefontname=Arial\n; keep me\n\n[2]\nwebsite=http://two/\n");
        ScriptedPrompt p;
        loadConfiguration(1, s, p, view);
        WriteCounter counter(s.settingsPath);
        QVERIFY(apply(fullForm(), p).completed);
        QCOMPARE(std::tuple(p.texts(), counter.writes()), std::tuple(QStringList(), 1));
        QCOMPARE(iniBytes(),
                 "; my sites\n[General]\nConfig=1\nLanguage=en\n\n[1]\n"
                 "website=http://www.example.com/index.html\ntitlefontname=Arial\n; keep me\n"
                 "dateformat=long date\ntimeformat=short time\nautodelete=True\n"
                 "deleteamount=10\ndefaultsig=Ann\ndefaultemail=ann@example.com\n"
                 "retreivemode=ftp\nbackendenabled=True\nimagebackendenabled=true\n"
                 "backendtitle=News\nbackenddescript=What is new\nbackendimagealt=Our logo\n"
                 "backendimagedescript=Logo\nbackendimageurl=http://www.example.com/logo.gif\n"
                 "archive=false\narchiveurl=http://www.example.com/archive.html\n"
                 "archiveftp=www/archive.html\nftpsite=ftp://127.0.0.1:2121\nusername=tester\n"
                 "ftpremote=www/index.html\npassword=" +
                     TextEncrypt(u"secret"_s, true, p).toUtf8() +
                     "\ntimeout=45\nautoftp=True\nconnection=direct\n\n[2]\n"
                     "website=http://two/\n");
        QCOMPARE(s.styles[0].fontname, u"Arial"_s); // styles reloaded
    }

    // A stop ends Apply at once and leaves weblog.ini, the record and the main window as
    // they were, whichever check it is.
    void stopsLeaveEverythingAsItWas_data() { rows(kStops); }
    void stopsLeaveEverythingAsItWas()
    {
        QFETCH(int, row);
        const Stop& st = kStops[row];
        writeIni("[1]\r\nwebsite=http://old.example.com/\r\n");
        const QByteArray before = iniBytes();
        PreferencesForm f = fullForm();
        s.archive = u"true"_s; // as the ticked archive box left it
        f.*st.field = st.value;
        ScriptedPrompt p;
        if (st.question)
            p.answers = {Answer::No};
        const Settings memory = s;
        WriteCounter counter(s.settingsPath);
        const ApplyOutcome out = apply(f, p);
        QCOMPARE(std::tuple(p.texts().size(), counter.writes()), std::tuple(1, 0));
        QCOMPARE(st.whole ? p.texts()[0] : p.texts()[0].left(st.text.size()), st.text);
        QCOMPARE(std::tuple(out.completed, p.unscripted, int(out.showTab)),
                 std::tuple(false, 0, st.tab));
        QCOMPARE(iniBytes(), before);
        const auto record = [](const Settings& r) {
            return QStringList{r.website,      r.activeSection,  r.defaultsig, r.dateformat,
                               r.retreivemode, r.backendenabled, r.archiveurl, r.ftpsite,
                               r.timeout,      r.password};
        };
        QCOMPARE(record(s), record(memory));
        QCOMPARE(std::tuple(target.statusTexts.size(), target.commandsDisabled, view.sig),
                 std::tuple(0, 0, QString()));
    }

    void questionAnsweredYesGoesOn()
    {
        PreferencesForm f = fullForm();
        s.archive = u"true"_s;
        f.archiveFtp = u"archive"_s;
        f.ftpRemote = u"public_html"_s;
        ScriptedPrompt p;
        p.answers = {Answer::Yes, Answer::Yes};
        QVERIFY(apply(f, p).completed);
        QCOMPARE(p.texts(), QStringList({ftpLocationProblemText(), ftpLocationProblemText()}));
        QCOMPARE(std::pair(p.messages[0].title, p.messages[0].buttons),
                 std::pair(u"FTP Location Problem"_s, Buttons::YesNo));
        QCOMPARE(key("ftpremote") + key("archive"), u"public_htmltrue"_s);
    }

    // FTP off: the account boxes are not read, the account in memory is written back as it
    // was, and a line break in a box not stored does not stop Apply.
    void ftpOffKeepsTheAccountInMemory()
    {
        s.ftpsite = u"ftp.old.example.com"_s;
        s.username = u"old"_s;
        PreferencesForm f = fullForm();
        f.autoFtp = false;
        f.ftpSite = u"ftp.\nusername=x"_s;
        f.userName.clear();
        ScriptedPrompt p;
        QVERIFY(apply(f, p).completed);
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(key("ftpsite") + u'|' + key("username") + u'|' + key("autoftp"),
                 u"ftp.old.example.com|old|False"_s);
        QCOMPARE(key("password"), TextEncrypt(u"secret"_s, true, p));
    }

    void autoDeleteOffUnticksTheArchive()
    {
        s.archive = u"true"_s;
        PreferencesForm f = fullForm();
        f.autoDelete = false;
        f.archiveUrl.clear(); // not checked: the archive went with auto-delete
        ScriptedPrompt p;
        const ApplyOutcome out = apply(f, p);
        QVERIFY(out.completed && out.archiveUnticked);
        QCOMPARE(key("archive") + key("autodelete"), u"falseFalse"_s);
    }

    // Below 30 seconds, or no number, the default with a message.
    void timeout()
    {
        const std::pair<QString, QString> typedAndStored[] = {
            {u"29"_s, u"60"_s},   {u"30"_s, u"30"_s},          {u"abc"_s, u"60"_s},
            {QString(), u"60"_s}, {u"-45"_s, u"60"_s},         {u"45 seconds"_s, u"45"_s},
            {u"90.7"_s, u"90"_s}, {u"1e30"_s, u"2147483647"_s}};
        for (const auto& [typed, stored] : typedAndStored) {
            PreferencesForm f = freshForm();
            f.timeout = typed;
            ScriptedPrompt p;
            QVERIFY(apply(f, p).completed);
            QCOMPARE(key("timeout") + u'|' + s.timeout, stored + u'|' + stored);
            QCOMPARE(p.texts(), stored != u"60"_s
                                    ? QStringList()
                                    : QStringList{u"FTP timeout cannot be less than 30 secs.  It "
                                                  "has been adjusted back to its default value"_s});
            if (stored == u"60"_s)
                QCOMPARE(std::tuple(p.messages[0].title, p.messages[0].icon),
                         std::tuple(u"FTP Timeout"_s, Icon::Exclamation));
        }
    }

    // The number of entries to keep is refused before anything is written.
    void deleteAmount()
    {
        PreferencesForm f = freshForm();
        f.autoDelete = true;
        for (const QString& amount : {u"0"_s, QString(), u"ten"_s, u"2.5"_s, u"-3"_s, u"32767"_s}) {
            f.deleteAmount = amount;
            ScriptedPrompt p;
            const ApplyOutcome out = apply(f, p);
            QVERIFY2(!out.completed && !QFile::exists(s.settingsPath), qPrintable(amount));
            QCOMPARE(p.texts(), QStringList{u"Please type how many entries should be left on "
                                            "the page: a whole number from 1 to 32766."_s});
            QCOMPARE(out.showTab, PrefsTab::Maintain);
        }
        for (const auto& [on, amount] :
             {std::pair{true, u"1"_s}, {true, u"32766"_s}, {false, u"0"_s}}) {
            f.autoDelete = on;
            f.deleteAmount = amount;
            ScriptedPrompt p;
            QVERIFY(apply(f, p).completed);
            QCOMPARE(key("deleteamount"), amount);
        }
    }

    // The feeds' count is refused before anything is written; the keys are written once a
    // feed is chosen, and a feed switched off keeps its count.
    void feeds()
    {
        PreferencesForm f = freshForm();
        f.feedAtom = true;
        for (const QString& items : {u"0"_s, u"101"_s, u"twenty"_s}) {
            f.feedItems = items;
            ScriptedPrompt p;
            const ApplyOutcome out = apply(f, p);
            QVERIFY2(!out.completed && !QFile::exists(s.settingsPath), qPrintable(items));
            QCOMPARE(p.texts(), QStringList{u"Please type how many entries the feeds should "
                                            "list: a whole number from 1 to 100."_s});
            QCOMPARE(out.showTab, PrefsTab::Backend);
        }
        ScriptedPrompt p;
        f.feedRss2 = true;
        f.feedItems = u" 5"_s;
        QVERIFY(apply(f, p).completed);
        QCOMPARE(QStringList({key("feeds"), key("feeditems"), s.feeds}),
                 QStringList({"rss2,atom", "5", "rss2,atom"}));
        f.feedRss2 = f.feedAtom = false;
        f.feedItems = u"many"_s;
        QVERIFY(apply(f, p).completed);
        QCOMPARE(QStringList({key("feeds"), key("feeditems")}), QStringList({"", "5"}));
        QVERIFY(iniBytes().contains("\r\nfeeds=\r\n"));
    }

    // 254 characters come back whole (the scrambled password is checked with the dialog; one
    // it cannot carry with the password store).
    void longValuesAndPasswordScrambling()
    {
        ScriptedPrompt p;
        PreferencesForm f = fullForm();
        f.ftpRemote = QString(250, u'a') + u".htm"_s;
        f.password = u"pa ss~"_s;
        QVERIFY(apply(f, p).completed);
        QCOMPARE(key("ftpremote"), f.ftpRemote);
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(key("password"), TextEncrypt(u"pa ss~"_s, true, p));
    }

    void addressForms()
    {
        const QStringList web = {u"http://www.example.com/"_s, u"HTTP://WWW.EXAMPLE.COM/"_s,
                                 u"https://example.com/a.html"_s},
                          both = {u"file:///home/ann/site/index.html"_s},
                          ftp = {u"www.example.com"_s,        u"home.example.com"_s,
                                 u"ftp.example.com:2121"_s,   u"ftp://127.0.0.1:2121"_s,
                                 u"FTPS://ftp.example.com"_s, u"sftp://host/dir"_s},
                          neither = {u"https://"_s, u"ftp://"_s, u"ftp.example.com/www"_s,
                                     u"ftp example.com"_s, u"gopher://x"_s};
        for (const QString& text : web + both + ftp + neither) {
            QVERIFY2(isWebAddress(text) == (web.contains(text) || both.contains(text)),
                     qPrintable(text));
            QVERIFY2(isFtpSiteForm(text) == (ftp.contains(text) || both.contains(text)),
                     qPrintable(text));
        }
    }

    void unwritableFileStopsWithAMessage()
    {
        s.settingsPath = dir.path() + u"/missing/folder/weblog.ini"_s;
        ScriptedPrompt p;
        QVERIFY(!apply(freshForm(), p).completed && target.statusTexts.isEmpty());
        QVERIFY(p.texts().size() == 1 &&
                p.texts()[0].startsWith(u"The settings could not be saved") &&
                p.texts()[0].endsWith(u"Nothing was saved."_s));
    }

    // Applying with another configuration loaded makes it the active one.
    void applyToAnotherConfiguration()
    {
        writeIni("[General]\r\nConfig=1\r\n[1]\r\nwebsite=http://one/\r\n[3]\r\n"
                 "website=http://three/\r\n");
        ScriptedPrompt p;
        loadConfiguration(3, s, p, view);
        PreferencesForm f = freshForm();
        f.configNumber = u" 3 "_s;
        f.loadedConfig = 3;
        QVERIFY(apply(f, p).completed);
        QCOMPARE(QStringList({s.activeSection, key("Config", u"General"_s), key("website", u"3"_s),
                              key("website", u"1"_s)}),
                 QStringList({u"3"_s, u"3"_s, f.website, u"http://one/"_s}));
        QCOMPARE(target.statusTexts, QStringList{u"Config 3 Loaded"_s});
    }

    void restoreKeepsStylesAndTemplate()
    {
        Settings saved = s;
        saved.website = u"http://saved/"_s;
        s.website = u"http://loaded/"_s;
        s.activeSection = u"3"_s;
        s.templateText = u"%title"_s;
        s.styles[1].fontname = u"Arial"_s;
        restoreConfiguration(s, saved);
        QCOMPARE(QStringList({s.website, s.activeSection, s.templateText, s.styles[1].fontname}),
                 QStringList({u"http://saved/"_s, u"1"_s, u"%title"_s, u"Arial"_s}));
    }

    // The style editor's storage rules and write order, all keys in one write ("default" is
    // checked with the editor).
    void styles()
    {
        QCOMPARE(storeStyleValue(s, u"sig"_s, u"fontname"_s, u"Arial"_s), std::nullopt);
        QCOMPARE(storeStyleValue(s, u"Sig"_s, u"strikethru"_s, u"1"_s), std::nullopt);
        QVERIFY(storeStyleValue(s, u"URL"_s, u"fontstrikethru"_s, u"1"_s));
        QCOMPARE(s.style(StyleField::Url).strikethru, u"1"_s);
        QCOMPARE(sizeStepText(-2) + sizeStepText(0) + sizeStepText(2), u"-2Default+2"_s);
        QList<int> positions;
        for (const QString& size : {QString(), u"+2"_s, u"-3"_s, u"+12"_s, u"-7"_s})
            positions << sizeScrollPosition(size);
        QCOMPARE(positions, QList<int>({3, 5, 0, 12, 0}));

        ScriptedPrompt p;
        s.style(StyleField::Url).strikethru.clear();
        s.style(StyleField::Sig).fontbold = u"1"_s;
        s.style(StyleField::Title).fontcolor = u"255"_s;
        WriteCounter counter(s.settingsPath);
        QVERIFY(writeAllStyles(s, p));
        QCOMPARE(counter.writes(), 1);
        QByteArray expected = "[1]\r\n";
        for (const QByteArray field : {"title", "body", "sig", "time", "date", "url"})
            for (const QByteArray suffix : {"fontname", "fontbold", "fontcolor", "fontitalic",
                                            "fontsize", "strikethru", "underline"})
                expected += field + suffix + "=\r\n";
        expected.replace("sigfontbold=", "sigfontbold=1")
            .replace("titlefontcolor=", "titlefontcolor=255");
        QCOMPARE(iniBytes(), expected);
    }
};

QTEST_GUILESS_MAIN(TestPreferencesApply)
#include "tst_preferencesapply.moc"
