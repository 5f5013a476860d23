// Where FTP passwords are kept: the desktop keyring or the scrambled key of weblog.ini. ctest
// runs this with a private keyring (PAGEWICK_TEST_KEYRING=private) and with no bus (=none).

#include "PublishFixture.h"
#include "RecordingView.h"
#include "ScriptedPrompt.h"
#include "TestServers.h"
#include "Waiting.h"
#include "base/IniFile.h"
#include "base/ProgramDir.h"
#include "base/Settings.h"
#include "core/config/ConfigLoader.h"
#include "core/config/PasswordScrambler.h"
#include "core/config/PasswordStore.h"
#include "core/config/PreferencesApply.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace Qt::StringLiterals;

using namespace PublishFixture;
using namespace PasswordStore;

namespace {

QString mode()
{
    return qEnvironmentVariable("PAGEWICK_TEST_KEYRING");
}

#define NEEDS_KEYRING()                                                                            \
    if (mode() != QLatin1String("private"))                                                        \
    QSKIP("needs the private keyring of support/with-keyring.sh")
#define NEEDS_NO_BUS()                                                                             \
    if (mode() != QLatin1String("none"))                                                           \
    QSKIP("needs a run without session bus")

const Account kAccount{u"1"_s, u"ftp.example.com"_s, u"ann"_s};

struct NoTarget final : ApplyTarget
{
    void replaceStatus(const QString&) override {}
    void disableEntryCommands() override {}
};

// The FTP tab of the preferences filled in for `site` and `password`.
PreferencesForm ftpForm(const QString& site, const QString& password)
{
    PreferencesForm f;
    f.configNumber = u"1"_s;
    f.loadedConfig = f.dateIndex = f.timeIndex = 1;
    f.website = u"http://www.example.com/index.html"_s;
    f.autoFtp = true;
    std::tie(f.ftpSite, f.userName, f.password, f.ftpRemote, f.timeout) =
        std::tuple(site, kAccount.user, password, u"www/index.html"_s, u"60"_s);
    f.archiveUrl = f.imageUrl = u"http://"_s;
    return f;
}

// Waits for what a keyring request reports.
template <typename T, typename Start> T waitFor(Start start)
{
    QObject context;
    std::optional<T> out;
    start(&context, [&out](const T& value) { out = value; });
    if (!QTest::qWaitFor([&out] { return out.has_value(); }, 40000))
        qWarning("The keyring request did not end");
    return out.value_or(T{});
}

// One save written once the keyring has answered, as Apply writes it with its other keys.
Saved save(const QString& file, const Account& account, const QString& password, Prompt& prompt,
           const Account* previous = nullptr)
{
    IniText edit(file);
    const Saved saved = waitFor<Saved>([&](QObject* context, auto done) {
        PasswordStore::save(edit, account, password, prompt, previous, context, done);
    });
    if (!saved.refused && !edit.commit())
        qWarning("%s cannot be written", qPrintable(file));
    return saved;
}

ApplyOutcome apply(const PreferencesForm& form, Settings& s, Prompt& prompt, MainView& view,
                   ApplyTarget& target)
{
    return waitFor<ApplyOutcome>(
        [&](QObject*, auto done) { applyPreferences(form, s, prompt, view, target, done); });
}

} // namespace

class TestPasswordStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString ini;

    QString storedKey() const { return readSetting(ini, u"1"_s, u"password"_s); }
    // weblog.ini with the account of kAccount and the scrambled `password`.
    void writeAccount(const QString& password)
    {
        QVERIFY(writeIni(dir->path(), {{1,
                                        {{u"ftpsite"_s, kAccount.site},
                                         {u"username"_s, kAccount.user},
                                         {u"password"_s, password}}}}));
    }
    // Configuration 1 as the program loads it: its password and where it came from.
    std::pair<QString, Place> loadBack(ScriptedPrompt& p)
    {
        Settings s;
        s.settingsPath = ini;
        RecordingView view;
        const Place place = waitFor<ConfigLoadResult>([&](QObject* context, auto done) {
                                loadConfiguration(1, s, p, view, context, done);
                            }).passwordPlace;
        return {s.password, place};
    }

    // Configuration 1 loaded as the preferences dialog loads it; apply() runs
    // Apply on it as the dialog's Apply does.
    struct Preferences
    {
        Settings s;
        RecordingView view;
        NoTarget target;
        ApplyOutcome apply(const PreferencesForm& form, Prompt& p)
        {
            return ::apply(form, s, p, view, target);
        }
    };
    std::unique_ptr<Preferences> loadPreferences(Prompt& p)
    {
        auto prefs = std::make_unique<Preferences>();
        prefs->s.settingsPath = ini;
        prefs->s.activeSection = u"1"_s;
        loadConfiguration(1, prefs->s, p, prefs->view);
        return prefs;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(useProgramDir(dir->path())); // Apply reads the template there
        ini = dir->filePath(u"weblog.ini"_s);
    }

    void cleanup()
    {
        // The keyring outlives a test function: leave no item behind.
        if (mode() == QLatin1String("private")) {
            ScriptedPrompt p;
            for (const QString& section : {u"1"_s, u"2"_s})
                for (const QString& user : {u"ann"_s, u"bob"_s})
                    save(ini, {section, kAccount.site, user}, {}, p);
        }
    }

    void storedInTheKeyring()
    {
        NEEDS_KEYRING();
        ScriptedPrompt p;
        const Saved saved = save(ini, kAccount, u"s3cret \u00e9"_s, p);
        QCOMPARE(std::tuple(saved.place, saved.moved, saved.status),
                 std::tuple(Place::Keyring, false, QString()));
        // The key is there, and empty: no password in the file.
        const QByteArray file = PublishFixture::readFile(ini);
        QVERIFY(storedKey().isEmpty() && file.contains("password=") && !file.contains("s3cret"));
        const Loaded loaded = load(ini, kAccount, p);
        QCOMPARE(std::tuple(loaded.password, loaded.place, loaded.problem),
                 std::tuple(u"s3cret \u00e9"_s, Place::Keyring, QString()));
        QCOMPARE(p.texts(), QStringList());

        // The item belongs to the configuration and its account: another
        // configuration or user finds nothing.
        QCOMPARE(load(ini, {u"2"_s, kAccount.site, kAccount.user}, p).place, Place::Nowhere);
        QCOMPARE(load(ini, {kAccount.section, kAccount.site, u"bob"_s}, p).password, QString());
    }

    void movedFromTheSettingsFile()
    {
        NEEDS_KEYRING();
        ScriptedPrompt p;
        // A password saved before there was a keyring keeps working...
        writeAccount(u"old pw"_s);
        QCOMPARE(storedKey(), TextEncrypt(u"old pw"_s, true, p));
        QCOMPARE(loadBack(p), std::pair(u"old pw"_s, Place::SettingsFile));
        // ...and the first save moves it and says so.
        const Saved saved = save(ini, kAccount, u"old pw"_s, p, &kAccount);
        QCOMPARE(std::tuple(saved.place, saved.moved, saved.status),
                 std::tuple(Place::Keyring, true,
                            u"The password of configuration 1 was moved from weblog.ini to the "
                            "desktop keyring."_s));
        QCOMPARE(storedKey(), QString());
        QCOMPARE(loadBack(p), std::pair(u"old pw"_s, Place::Keyring));
        QCOMPARE(p.texts(), QStringList());
    }

    // One item per configuration: a changed user or site takes the item
    // along, an emptied password removes it.
    void oneItemPerConfiguration()
    {
        NEEDS_KEYRING();
        ScriptedPrompt p;
        QCOMPARE(save(ini, kAccount, u"first"_s, p).place, Place::Keyring);
        QCOMPARE(save(ini, {u"2"_s, kAccount.site, kAccount.user}, u"second"_s, p).place,
                 Place::Keyring);
        const Account bob{kAccount.section, kAccount.site, u"bob"_s};
        QCOMPARE(save(ini, bob, u"bobs"_s, p, &kAccount).place, Place::Keyring);
        QCOMPARE(load(ini, kAccount, p).place, Place::Nowhere);
        QCOMPARE(load(ini, bob, p).password, u"bobs"_s);
        // Configuration 2 kept its own.
        QCOMPARE(load(ini, {u"2"_s, kAccount.site, kAccount.user}, p).password, u"second"_s);

        QCOMPARE(save(ini, bob, QString(), p, &bob).place, Place::Nowhere);
        QCOMPARE(load(ini, bob, p).place, Place::Nowhere);
        QCOMPARE(storedKey(), QString());
    }

    // A value in the file wins over the keyring: it was saved when no
    // keyring answered, so it is the newer one.
    void valueInTheFileWins()
    {
        NEEDS_KEYRING();
        ScriptedPrompt p;
        QCOMPARE(save(ini, kAccount, u"older"_s, p).place, Place::Keyring);
        QVERIFY(writeSetting(u"1"_s, u"password"_s, TextEncrypt(u"newer"_s, true, p), ini));
        const Loaded loaded = load(ini, kAccount, p);
        QCOMPARE(std::pair(loaded.password, loaded.place),
                 std::pair(u"newer"_s, Place::SettingsFile));
    }

    // The command line finds the password in the keyring: it publishes to an
    // FTP server whose password is nowhere in weblog.ini.
    void commandLineReadsTheKeyring()
    {
        NEEDS_KEYRING();
        FtpTestServer ftp;
        REQUIRE_RUNNING(ftp);
        QVERIFY(ftp.writeFile(u"www/index.html"_s, page(2)));
        Keys keys = ftpKeys(ftp);
        keys.insert({{u"archive"_s, u"false"_s},
                     {u"backendenabled"_s, u"False"_s},
                     {u"password"_s, QString()}});
        QVERIFY(writeIni(dir->path(), {{1, keys}}));
        ScriptedPrompt p;
        const Account account{u"1"_s, keys.value(u"ftpsite"_s), keys.value(u"username"_s)};
        QCOMPARE(save(ini, account, FtpTestServer::Password, p).place, Place::Keyring);
        QVERIFY(!PublishFixture::readFile(ini).contains(FtpTestServer::Password.toUtf8()));

        QTemporaryDir home;
        const ProgramRun r = runProgram({u"post"_s, u"--dir"_s, dir->path(), u"--title"_s,
                                         u"From the keyring"_s, u"--body"_s, u"B"_s, u"--yes"_s},
                                        home.path());
        QVERIFY2(r.exitCode == 0, qPrintable(r.describe()));
        QVERIFY(ftp.readFile(u"www/index.html"_s).contains("From the keyring"));
        save(ini, account, QString(), p);
    }

    // Apply in the preferences saves through the store: with a keyring the
    // scrambled password leaves weblog.ini (the status box says so), without
    // one it stays there; an sftp:// site may go without a password.
    void preferencesApply()
    {
        const bool keyring = mode() == QLatin1String("private");
        if (!keyring && mode() != QLatin1String("none"))
            QSKIP("needs a private keyring or no session bus");
        ScriptedPrompt p;
        writeAccount(u"old"_s);
        const auto prefs = loadPreferences(p);
        const ApplyOutcome out = prefs->apply(ftpForm(kAccount.site, u"new pw"_s), p);
        QVERIFY2(out.completed, qPrintable(p.texts().join(u'|')));
        QCOMPARE(p.texts(), QStringList());
        QCOMPARE(out.passwordPlace, keyring ? Place::Keyring : Place::SettingsFile);
        QCOMPARE(storedKey(), keyring ? QString() : TextEncrypt(u"new pw"_s, true, p));
        // The status text is checked with the store.
        QCOMPARE(prefs->view.status.filter(u"was moved from weblog.ini"_s).size(), keyring ? 1 : 0);
        QCOMPARE(loadBack(p), std::pair(u"new pw"_s, out.passwordPlace));

        // SFTP with the user's key: no password asked for, none kept.
        const ApplyOutcome sftp = prefs->apply(ftpForm(u"sftp://"_s + kAccount.site, QString()), p);
        QVERIFY(sftp.completed && sftp.passwordPlace == Place::Nowhere && p.texts().isEmpty() &&
                storedKey().isEmpty());
        QCOMPARE(loadBack(p), std::pair(QString(), Place::Nowhere));
    }

    // A password with a letter the scrambler cannot carry is never dropped: the keyring keeps
    // it, and without one Apply is refused before anything is written, naming the letter.
    void lettersTheScramblerCannotCarry()
    {
        const bool keyring = mode() == QLatin1String("private");
        if (!keyring && mode() != QLatin1String("none"))
            QSKIP("needs a private keyring or no session bus");
        for (const QString& letter : {u"\u00f6"_s, u"\u00ff"_s, u"\u65e5"_s, u"\U0001F600"_s}) {
            QCOMPARE(unscramblableLetter(u"pw "_s + letter + u"x\u00ee"_s), letter);
            ScriptedPrompt p;
            writeAccount(u"old"_s);
            const QByteArray before = PublishFixture::readFile(ini);
            const QString password = u"pw "_s + letter;
            const ApplyOutcome out = loadPreferences(p)->apply(ftpForm(kAccount.site, password), p);
            QCOMPARE(out.completed, keyring);
            if (keyring) {
                QCOMPARE(std::pair(out.passwordPlace, storedKey()),
                         std::pair(Place::Keyring, QString()));
                QCOMPARE(loadBack(p), std::pair(password, Place::Keyring));
                QCOMPARE(p.texts(), QStringList());
                continue;
            }
            QCOMPARE(p.texts().size(), 1);
            QVERIFY2(p.texts()[0].startsWith(u"The password holds the letter \""_s + letter +
                                             u"\", which weblog.ini cannot keep"_s),
                     qPrintable(p.texts()[0]));
            QCOMPARE(out.showTab, PrefsTab::Ftp);
            QCOMPARE(PublishFixture::readFile(ini), before);
            QCOMPARE(loadBack(p), std::pair(u"old"_s, Place::SettingsFile));
            // Nor does the store drop it when asked directly.
            const Saved saved = save(ini, kAccount, password, p);
            QVERIFY(saved.refused && saved.status.contains(u'"' + letter + u'"'));
            QCOMPARE(PublishFixture::readFile(ini), before);
        }
    }

    void withoutBusTheFileKeepsIt()
    {
        NEEDS_NO_BUS();
        ScriptedPrompt p;
        // The usual place without a keyring: the preferences say so, the status box is not
        // filled with it at every save.
        const Saved saved = save(ini, kAccount, u"s3cret"_s, p);
        QCOMPARE(std::tuple(saved.place, saved.moved, saved.status),
                 std::tuple(Place::SettingsFile, false, QString()));
        QCOMPARE(storedKey(), TextEncrypt(u"s3cret"_s, true, p));
        const Loaded loaded = load(ini, kAccount, p);
        QCOMPARE(std::pair(loaded.password, loaded.place),
                 std::pair(u"s3cret"_s, Place::SettingsFile));
        // An empty key with no keyring: no password, and nothing to report.
        QVERIFY(writeSetting(u"1"_s, u"password"_s, QString(), ini));
        const Loaded none = load(ini, kAccount, p);
        QCOMPARE(std::tuple(none.password, none.place, none.problem),
                 std::tuple(QString(), Place::Nowhere, QString()));
        QCOMPARE(p.texts(), QStringList());
    }

    // A keyring that stops answering (its daemon halted) is given up after the time-out, for
    // the rest of the run: Apply keeps the password in weblog.ini, and the next request does
    // not wait. Last, since the keyring stays given up.
    void silentKeyringIsGivenUp()
    {
        NEEDS_KEYRING();
        QProcess owner;
        owner.start(u"dbus-send"_s,
                    {u"--session"_s, u"--print-reply"_s, u"--dest=org.freedesktop.DBus"_s, u"/"_s,
                     u"org.freedesktop.DBus.GetConnectionUnixProcessID"_s,
                     u"string:org.freedesktop.secrets"_s});
        QVERIFY(owner.waitForFinished());
        const pid_t daemon = owner.readAllStandardOutput().simplified().split(' ').last().toInt();
        QVERIFY(daemon > 0 && ::kill(daemon, SIGSTOP) == 0);
        const auto resume = qScopeGuard([daemon] { ::kill(daemon, SIGCONT); });
        setKeyringTimeout(300);
        ScriptedPrompt p;
        writeAccount(u"old"_s);
        const auto prefs = loadPreferences(p);
        QElapsedTimer waited;
        waited.start();
        const ApplyOutcome out = prefs->apply(ftpForm(kAccount.site, u"new pw"_s), p);
        QVERIFY(out.completed && out.passwordPlace == Place::SettingsFile && p.texts().isEmpty());
        QCOMPARE(storedKey(), TextEncrypt(u"new pw"_s, true, p));
        QVERIFY(waited.restart() >= 300);
        QCOMPARE(save(ini, kAccount, u"newer"_s, p).place, Place::SettingsFile);
        QVERIFY(waited.elapsed() < 300);
    }
};

QTEST_GUILESS_MAIN(TestPasswordStore)
#include "tst_passwordstore.moc"
