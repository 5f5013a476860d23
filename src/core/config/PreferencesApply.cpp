#include "core/config/PreferencesApply.h"

#include "base/IniFile.h"
#include "base/MainView.h"
#include "base/Prompt.h"
#include "base/Settings.h"
#include "core/config/ConfigLoader.h"
#include "core/config/PasswordScrambler.h"
#include "core/config/PasswordStore.h"
#include "core/rss/FeedWriter.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

namespace {

// weblog.ini gives back at most this many characters of a value.
constexpr qsizetype kMaxValueLength = 254;

bool startsWithNoCase(const QString& text, const char* prefix)
{
    return text.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
}

const char* const kWebSchemes[] = {"http://", "https://", "file://"};
const char* const kFtpSchemes[] = {"ftp://", "ftps://", "sftp://", "file://"};

// Empty text, or a scheme with nothing after it.
template <size_t N> bool isBlankAddress(const QString& text, const char* const (&schemes)[N])
{
    if (text.isEmpty())
        return true;
    for (const char* scheme : schemes)
        if (text.compare(QLatin1String(scheme), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// One text box whose value Apply stores, for the checks every stored value
// must pass before anything is written.
struct StoredField
{
    const char* label;
    PrefsTab tab;
    const QString* value;
};

// One Apply, from the first check to the keys written. It waits for the
// keyring twice at most (whether one is there for a password weblog.ini
// cannot keep, and the password's save), then ends in `done` and goes.
class Apply
{
public:
    Apply(const PreferencesForm& form, Settings& live, Prompt& prompt, MainView& view,
          ApplyTarget& target, std::function<void(const ApplyOutcome&)> done)
        : f(form), live(live), s(live), prompt(prompt), view(view), target(target),
          done(std::move(done)), context(new QObject)
    {
    }
    // The keyring's callbacks go with the context; it is deleted once it has
    // returned from the one that ended Apply.
    ~Apply() { context->deleteLater(); }

    void start();

private:
    bool refusedBeforeWriting();
    void checkPasswordKept(int number);
    void applyChecked();
    bool archiveCheck();
    bool amountCheck();
    bool backendCheck();
    bool feedsCheck();
    bool siteCheck();
    bool ftpCheck();
    bool confirmFtpLocation();
    void save();
    void commit(const PasswordStore::Saved& password);
    void activate();
    void end()
    {
        const std::function<void(const ApplyOutcome&)> report = std::move(done);
        const ApplyOutcome outcome = out;
        delete this;
        report(outcome);
    }
    void setAll(IniText& ini, std::initializer_list<std::pair<const char*, const QString*>> keys);
    bool stop(PrefsTab tab = PrefsTab::None)
    {
        out.showTab = tab;
        return false;
    }
    void message(const QString& text, Icon icon = Icon::None, const QString& title = {})
    {
        prompt.message(text, Buttons::Ok, icon, title);
    }

    const PreferencesForm f;
    Settings& live; // the record the program works from, changed once everything is saved
    Settings s;     // the record as Apply builds it
    Prompt& prompt;
    MainView& view;
    ApplyTarget& target;
    std::function<void(const ApplyOutcome&)> done;
    QObject* context;
    std::unique_ptr<IniText> ini; // weblog.ini as it is written
    ApplyOutcome out;
    QString passwordStatus;
};

void Apply::start()
{
    if (refusedBeforeWriting())
        return end();
    checkPasswordKept(static_cast<int>(numericValue(f.configNumber.trimmed())));
}

// A password is never dropped: one the scrambler cannot carry needs the
// keyring.
void Apply::checkPasswordKept(int number)
{
    const QString letter = unscramblableLetter(f.password);
    if (letter.isEmpty())
        return applyChecked();
    const PasswordStore::Account account{QString::number(number), f.autoFtp ? f.ftpSite : s.ftpsite,
                                         f.autoFtp ? f.userName : s.username};
    PasswordStore::keyringAvailable(account, context, [this, letter](bool available) {
        if (available)
            return applyChecked();
        message(QCoreApplication::translate(
                    "PreferencesApply",
                    "The password holds the letter \"%1\", which weblog.ini cannot keep, and no "
                    "desktop keyring is available to keep the password instead.  Nothing was "
                    "saved.  Please use a password without \"%1\", or start a desktop keyring "
                    "and apply again.")
                    .arg(letter),
                Icon::Exclamation);
        stop(PrefsTab::Ftp);
        end();
    });
}

void Apply::applyChecked()
{
    // Auto-delete off takes the archive with it (the box is unticked at once).
    if (!f.autoDelete) {
        s.archive = live.archive = QStringLiteral("false");
        out.archiveUnticked = true;
    }
    s.activeSection = QString::number(
        f.loadedConfig > 0 ? f.loadedConfig : static_cast<int>(numericValue(f.configNumber)));

    if (!archiveCheck() || !amountCheck())
        return end();

    s.archiveurl = f.archiveUrl;
    s.archiveftp = f.archiveFtp;
    s.autodelete = f.autoDelete ? QStringLiteral("True") : QStringLiteral("False");
    s.deleteamount = f.deleteAmount;
    s.defaultsig = f.sig;
    s.defaultemail = f.email;
    static const char* const dates[] = {"long date", "medium date", "short date"};
    static const char* const times[] = {"long time", "medium time", "short time"};
    if (f.dateIndex >= 0 && f.dateIndex < 3)
        s.dateformat = QString::fromLatin1(dates[f.dateIndex]);
    if (f.timeIndex >= 0 && f.timeIndex < 3)
        s.timeformat = QString::fromLatin1(times[f.timeIndex]);

    switch (f.mode) {
    case RetrieveChoice::Auto:
        s.retreivemode = QStringLiteral("auto");
        break;
    case RetrieveChoice::Ftp:
        s.retreivemode = QStringLiteral("ftp");
        break;
    case RetrieveChoice::None:
        s.retreivemode = QStringLiteral("none");
        break;
    }

    if (!backendCheck())
        return end();
    s.backendtitle = f.backendTitle;
    s.backenddescript = f.backendDescription;
    s.backendimageurl = f.imageUrl;
    s.backendimagedescript = f.imageDescription;
    s.backendimagealt = f.imageAlt;
    if (!feedsCheck())
        return end();

    bool adjusted = false;
    s.timeout = timeoutToStore(f.timeout, &adjusted);
    if (adjusted)
        message(
            QStringLiteral("FTP timeout cannot be less than 30 secs.  It has been adjusted back "
                           "to its default value"),
            Icon::Exclamation, QStringLiteral("FTP Timeout"));

    if (!siteCheck() || !ftpCheck())
        return end();
    s.password = f.password;
    s.autoftp = f.autoFtp ? QStringLiteral("True") : QStringLiteral("False");
    s.connection = f.direct ? QStringLiteral("direct") : QStringLiteral("modem");

    save();
}

// Saved: the configuration becomes the active one.
void Apply::activate()
{
    s.siteHost = deriveSiteHost(s.website);
    s.sitePath = deriveSitePath(s.website);
    // The configuration part only: what ran while a question was open stays.
    restoreConfiguration(live, s);
    view.setSignature(f.sig, f.email);
    view.setFinishEnabled(false);
    target.replaceStatus(QStringLiteral("Config ") + live.activeSection +
                         QStringLiteral(" Loaded"));
    if (!passwordStatus.isEmpty())
        view.appendStatus(passwordStatus);

    // The styles and the template of the configuration now active.
    for (const QString& line : loadStyles(live))
        view.appendStatus(line);
    loadTemplate(live, prompt);

    target.disableEntryCommands();
    out.completed = true;
}

// Every key in one write, after the password went where it is kept. A
// keyring that stopped taking it, or a file that cannot be written, leaves
// weblog.ini as it was.
void Apply::save()
{
    ini = std::make_unique<IniText>(s.settingsPath);
    // The account as stored until now: its keyring item goes when the site
    // or the user changes.
    const PasswordStore::Account previous{s.activeSection,
                                          ini->value(s.activeSection, QStringLiteral("ftpsite")),
                                          ini->value(s.activeSection, QStringLiteral("username"))};
    setAll(*ini, {{"dateformat", &s.dateformat},
                  {"timeformat", &s.timeformat},
                  {"autodelete", &s.autodelete},
                  {"deleteamount", &s.deleteamount},
                  {"defaultsig", &s.defaultsig},
                  {"defaultemail", &s.defaultemail},
                  {"retreivemode", &s.retreivemode},
                  {"backendenabled", &s.backendenabled},
                  {"imagebackendenabled", &s.imagebackendenabled},
                  {"backendtitle", &s.backendtitle},
                  {"backenddescript", &s.backenddescript},
                  {"backendimagealt", &s.backendimagealt},
                  {"backendimagedescript", &s.backendimagedescript},
                  {"backendimageurl", &s.backendimageurl},
                  {"archive", &s.archive},
                  {"archiveurl", &s.archiveurl},
                  {"archiveftp", &s.archiveftp},
                  {"website", &s.website},
                  {"ftpsite", &s.ftpsite},
                  {"username", &s.username},
                  {"ftpremote", &s.ftpremote}});
    // The feed keys appear in weblog.ini once they are used.
    for (const auto& [key, value] : {std::pair{"feeds", &s.feeds}, {"feeditems", &s.feeditems}})
        if (ini->value(s.activeSection, QString::fromLatin1(key)) != *value)
            ini->set(s.activeSection, QString::fromLatin1(key), *value);
    // The password goes to the desktop keyring when there is one (the key is
    // then empty), else scrambled into the key as before.
    PasswordStore::save(*ini, {s.activeSection, s.ftpsite, s.username}, s.password, prompt,
                        &previous, context,
                        [this](const PasswordStore::Saved& password) { commit(password); });
}

void Apply::commit(const PasswordStore::Saved& password)
{
    if (password.refused) { // the keyring went away since the check before writing
        message(password.status, Icon::Exclamation);
        stop(PrefsTab::Ftp);
        return end();
    }
    ini->set(QStringLiteral("General"), QStringLiteral("Config"), s.activeSection);
    setAll(*ini, {{"timeout", &s.timeout}, {"autoftp", &s.autoftp}, {"connection", &s.connection}});
    if (!ini->commit()) {
        message(QStringLiteral("The settings could not be saved: %1 cannot be written.  Nothing "
                               "was saved.")
                    .arg(s.settingsPath),
                Icon::Critical);
        stop();
        return end();
    }
    out.passwordPlace = password.place;
    passwordStatus = password.status;
    activate();
    end();
}

void Apply::setAll(IniText& ini, std::initializer_list<std::pair<const char*, const QString*>> keys)
{
    for (const auto& [key, value] : keys)
        ini.set(s.activeSection, QString::fromLatin1(key), *value);
}

// Refusals that come before anything is stored: the fields must show the
// configuration they are saved to, and every value must survive a round
// trip through weblog.ini (one line, at most 254 characters).
bool Apply::refusedBeforeWriting()
{
    const QString typed = f.configNumber.trimmed();
    const double number = numericValue(typed);
    if (number < 1 || number > 9 || number != std::floor(number)) {
        message(QStringLiteral("Please choose a configuration number from 1 to 9."));
        return !stop(PrefsTab::Config);
    }
    if (f.loadedConfig > 0 && static_cast<int>(number) != f.loadedConfig) {
        message(QStringLiteral("The fields show configuration %1, but the configuration number "
                               "reads %2.  Press Load to show configuration %2 before you apply, "
                               "or set the number back to %1.")
                    .arg(f.loadedConfig)
                    .arg(static_cast<int>(number)));
        return !stop(PrefsTab::Config);
    }

    const QString none;
    const StoredField fields[] = {
        {"WebSite", PrefsTab::Config, &f.website},
        {"FTP Site", PrefsTab::Ftp, f.autoFtp ? &f.ftpSite : &none},
        {"UserName", PrefsTab::Ftp, f.autoFtp ? &f.userName : &none},
        {"PassWord", PrefsTab::Ftp, &f.password},
        {"Location of File on FTP server", PrefsTab::Ftp, f.autoFtp ? &f.ftpRemote : &none},
        {"How many entries should be left on the page?", PrefsTab::Maintain, &f.deleteAmount},
        {"Archive Web Page", PrefsTab::Maintain, &f.archiveUrl},
        {"FTP Location of Archive Page", PrefsTab::Maintain, &f.archiveFtp},
        {"Default Signature", PrefsTab::SigEmail, &f.sig},
        {"Default Email Address", PrefsTab::SigEmail, &f.email},
        {"Title", PrefsTab::Backend, &f.backendTitle},
        {"Description", PrefsTab::Backend, &f.backendDescription},
        {"URL to BackEnd Image", PrefsTab::Imaging, &f.imageUrl},
        {"ALT Text for Image", PrefsTab::Imaging, &f.imageAlt},
        {"Image Description", PrefsTab::Imaging, &f.imageDescription},
        {"Feed entries", PrefsTab::Backend, &f.feedItems},
    };
    for (const StoredField& field : fields) {
        const QString& v = *field.value;
        if (v.contains(QLatin1Char('\r')) || v.contains(QLatin1Char('\n'))) {
            message(
                QStringLiteral("The entry \"%1\" holds a line break.  Every setting is one line "
                               "of weblog.ini: please remove the line break.")
                    .arg(QLatin1String(field.label)),
                Icon::Exclamation);
            return !stop(field.tab);
        }
        if (v.size() > kMaxValueLength) {
            message(QStringLiteral("The entry \"%1\" is %2 characters long.  weblog.ini keeps at "
                                   "most %3 characters of a setting: please shorten it.")
                        .arg(QLatin1String(field.label))
                        .arg(v.size())
                        .arg(kMaxValueLength),
                    Icon::Exclamation);
            return !stop(field.tab);
        }
    }

    return false;
}

bool Apply::archiveCheck()
{
    if (!s.archiveEnabled())
        return true;
    const QString insertArchive =
        QStringLiteral("Please insert the the URL to your ARCHIVE page.  Please format the website "
                       "entry like this:   ") +
        exampleAddress();
    // An address without a host would be fetched as the archive page at every
    // retrieval; it stops Apply like any other unusable address.
    if (isBlankAddress(f.archiveUrl, kWebSchemes) || !isWebAddress(f.archiveUrl)) {
        message(insertArchive);
        return stop(PrefsTab::Maintain);
    }
    if (!f.archiveFtp.contains(QLatin1Char('.')) && !confirmFtpLocation())
        return stop();
    return true;
}

// The page code keeps deleteamount + 1 entries; 0, a fraction or a word
// would make it remove the newest entry instead.
bool Apply::amountCheck()
{
    if (!f.autoDelete || autoDeleteKeepCount(f.deleteAmount) > 0)
        return true;
    message(QStringLiteral("Please type how many entries should be left on the page: a whole "
                           "number from 1 to 32766."),
            Icon::Exclamation);
    return stop(PrefsTab::Maintain);
}

bool Apply::backendCheck()
{
    if (!f.backend) {
        s.backendenabled = QStringLiteral("False");
        return true;
    }
    s.backendenabled = QStringLiteral("True");
    struct Required
    {
        const QString* value;
        const char* text;
        const char* title;
    };
    const Required backend[] = {
        {&f.backendTitle, "You must input a title for your backend.", "Insert Title"},
        {&f.backendDescription, "You must input a description for your backend.",
         "Insert Description"}};
    for (const Required& r : backend)
        if (r.value->isEmpty()) {
            message(QString::fromLatin1(r.text), Icon::Exclamation, QString::fromLatin1(r.title));
            return stop(PrefsTab::Backend);
        }
    if (!f.image) {
        s.imagebackendenabled = QStringLiteral("false");
        return true;
    }
    s.imagebackendenabled = QStringLiteral("true");
    const Required image[] = {
        {&f.imageUrl, "You must input the location of your image file.", "Insert URL"},
        {&f.imageDescription, "You must insert a description.", "Insert Description"},
        {&f.imageAlt, "You must input ALT text for your image.", "Insert ALT text"}};
    for (const Required& r : image)
        if (r.value->isEmpty()) {
            message(QString::fromLatin1(r.text), Icon::Exclamation, QString::fromLatin1(r.title));
            return stop(PrefsTab::Imaging);
        }
    return true;
}

// The feeds list how many entries: a number the feed writer takes. Without
// a feed the number keeps what weblog.ini holds.
bool Apply::feedsCheck()
{
    s.feeds = feedsValue(f.feedRss2, f.feedAtom);
    if (s.feeds.isEmpty())
        return true;
    if (feedItemCount(f.feedItems) < 0) {
        message(QCoreApplication::translate("PreferencesApply",
                                            "Please type how many entries the feeds should list: "
                                            "a whole number from 1 to 100."),
                Icon::Exclamation);
        return stop(PrefsTab::Backend);
    }
    s.feeditems = f.feedItems.trimmed();
    return true;
}

bool Apply::siteCheck()
{
    if (isBlankAddress(f.website, kWebSchemes)) {
        message(QStringLiteral("You must insert a name for the webSite."));
        return stop();
    }
    if (!isWebAddress(f.website)) {
        message(QStringLiteral("Please format the website entry like this:   ") + exampleAddress());
        return stop();
    }
    s.website = f.website;
    return true;
}

bool Apply::ftpCheck()
{
    if (!f.autoFtp)
        return true;
    if (isBlankAddress(f.ftpSite, kFtpSchemes) || f.ftpSite == QLatin1String("ftp.")) {
        message(QStringLiteral("You must insert the name of your FTP server."));
        return stop();
    }
    if (!isFtpSiteForm(f.ftpSite)) {
        message(QStringLiteral("The FTP site must be a server name (such as ftp.example.com) or an "
                               "address that begins with ftp://, ftps://, sftp:// or file://."));
        return stop(PrefsTab::Ftp);
    }
    s.ftpsite = f.ftpSite;
    if (f.userName.isEmpty()) {
        message(QStringLiteral("You must insert your FTP username."));
        return stop();
    }
    s.username = f.userName;
    // An sftp:// site may log in with the user's SSH key or agent instead.
    if (f.password.isEmpty() && !startsWithNoCase(f.ftpSite, "sftp://")) {
        message(QStringLiteral("You must insert your FTP password."));
        return stop();
    }
    if (f.ftpRemote.isEmpty()) {
        message(
            QStringLiteral("You must insert the location of your html files on the ftp server."));
        return stop();
    }
    s.ftpremote = f.ftpRemote;
    if (!f.ftpRemote.contains(QLatin1Char('.')) && !confirmFtpLocation())
        return stop();
    return true;
}

bool Apply::confirmFtpLocation()
{
    return prompt.message(ftpLocationProblemText(), Buttons::YesNo, Icon::None,
                          QStringLiteral("FTP Location Problem")) == Answer::Yes;
}

} // namespace

void applyPreferences(const PreferencesForm& form, Settings& s, Prompt& prompt, MainView& view,
                      ApplyTarget& target, std::function<void(const ApplyOutcome&)> done)
{
    (new Apply(form, s, prompt, view, target, std::move(done)))->start();
}

void restoreConfiguration(Settings& s, const Settings& saved)
{
    const std::array<FieldStyle, 6> styles = s.styles;
    const QString templateText = s.templateText;
    s = saved;
    s.styles = styles;
    s.templateText = templateText;
}

QString exampleAddress()
{
    return QStringLiteral("http://www.yoursite.com/weblog/index.html");
}

QString ftpLocationProblemText()
{
    return QStringLiteral(
        "The FTP file location does not appear to be configured correctly.\r\n"
        "It should include the filename as well as the directory structure. Examples:\r\n"
        "\r\n"
        "public_html/index.html\r\n"
        "user/web/index.shtml\r\n"
        "\r\n"
        "Are you sure you have formatted this correctly?");
}

bool isWebAddress(const QString& text)
{
    if (isBlankAddress(text, kWebSchemes))
        return false;
    for (const char* scheme : kWebSchemes)
        if (startsWithNoCase(text, scheme))
            return true;
    return false;
}

bool isFtpSiteForm(const QString& text)
{
    if (isBlankAddress(text, kFtpSchemes) || text.contains(QLatin1Char(' ')))
        return false;
    for (const char* scheme : kFtpSchemes)
        if (startsWithNoCase(text, scheme))
            return true;
    return !text.contains(QLatin1Char('/')) && !text.contains(QStringLiteral("://"));
}

QString timeoutToStore(const QString& typed, bool* adjusted)
{
    const double value = numericValue(typed);
    *adjusted = !(value >= 30);
    if (*adjusted)
        return QStringLiteral("60");
    // Whole seconds; the transfer code reads the value as an int.
    const double seconds =
        std::min(std::floor(value), static_cast<double>(std::numeric_limits<int>::max()));
    return QString::number(static_cast<long long>(seconds));
}
