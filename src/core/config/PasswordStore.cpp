#include "core/config/PasswordStore.h"

#include "base/IniFile.h"
#include "core/config/PasswordScrambler.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <memory>

namespace PasswordStore {

namespace {

int s_timeoutMs = 30000;
bool s_keyringSilent = false; // a request timed out: do not wait again

struct Reply
{
    enum Status
    {
        Ok,
        NotFound,
        Unavailable,
        Denied
    };
    Status status = Unavailable;
    QString secret;
    QString error;
};

Reply::Status statusOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
        return Reply::Ok;
    case QKeychain::EntryNotFound:
        return Reply::NotFound;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        return Reply::Denied;
    default:
        return Reply::Unavailable;
    }
}

// Runs a keyring job to its end, or until the time-out. The job deletes
// itself when it finishes, also when that happens after the time-out, so a
// late answer never reaches a job that is gone.
template <typename Job, typename Setup> Reply run(const Account& account, Setup setup)
{
    if (s_keyringSilent)
        return {Reply::Unavailable, {}, QStringLiteral("the keyring did not answer earlier")};
    auto* job = new Job(itemLabel(account));
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(itemKey(account));
    setup(*job);
    const auto reply = std::make_shared<Reply>();
    auto done = std::make_shared<bool>(false);
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop,
                     [reply, done, &loop](QKeychain::Job* j) {
                         reply->status = statusOf(j->error());
                         reply->error = j->errorString();
                         if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(j))
                             reply->secret = read->textData();
                         *done = true;
                         loop.quit();
                     });
    QTimer::singleShot(s_timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!*done)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!*done) {
        s_keyringSilent = true;
        return {Reply::Unavailable, {}, QStringLiteral("the keyring did not answer")};
    }
    return *reply;
}

Reply readItem(const Account& account)
{
    return run<QKeychain::ReadPasswordJob>(account, [](QKeychain::ReadPasswordJob&) {});
}

Reply writeItem(const Account& account, const QString& password)
{
    return run<QKeychain::WritePasswordJob>(
        account, [&password](QKeychain::WritePasswordJob& job) { job.setTextData(password); });
}

Reply removeItem(const Account& account)
{
    return run<QKeychain::DeletePasswordJob>(account, [](QKeychain::DeletePasswordJob&) {});
}

bool sameItem(const Account& a, const Account& b)
{
    return a.section == b.section && a.site == b.site && a.user == b.user;
}

} // namespace

QString itemLabel(const Account& account)
{
    return QStringLiteral("Pagewick: %1@%2").arg(account.user, account.site);
}

QString itemKey(const Account& account)
{
    return QStringLiteral("configuration ") + account.section.trimmed();
}

Loaded load(const QString& settingsPath, const Account& account, Prompt& prompt)
{
    Loaded loaded;
    const QString stored = readSetting(settingsPath, account.section, QStringLiteral("password"));
    if (!stored.isEmpty()) {
        loaded.password = TextEncrypt(stored, false, prompt);
        loaded.place = Place::SettingsFile;
        return loaded;
    }
    // Nothing to log in to: no keyring item to look for either.
    if (account.site.isEmpty() && account.user.isEmpty())
        return loaded;
    const Reply reply = readItem(account);
    switch (reply.status) {
    case Reply::Ok:
        loaded.password = reply.secret;
        loaded.place = Place::Keyring;
        break;
    case Reply::Denied:
        loaded.problem = QStringLiteral("The desktop keyring did not give the password of "
                                        "configuration %1: %2")
                             .arg(account.section.trimmed(), reply.error);
        break;
    case Reply::NotFound:
    case Reply::Unavailable:
        break;
    }
    return loaded;
}

Saved save(IniText& ini, const Account& account, const QString& password, Prompt& prompt,
           const Account* previous)
{
    Saved saved;
    const QString section = account.section;
    const QString number = section.trimmed();
    const QString key = QStringLiteral("password");
    const bool wasInFile = !ini.value(section, key).isEmpty();
    if (previous && !sameItem(*previous, account) &&
        !(previous->site.isEmpty() && previous->user.isEmpty()))
        removeItem(*previous);

    if (password.isEmpty()) {
        removeItem(account);
        ini.set(section, key, QString());
        return saved;
    }

    const Reply reply = writeItem(account, password);
    if (reply.status == Reply::Ok) {
        ini.set(section, key, QString());
        if (wasInFile) {
            saved.moved = true;
            saved.status = QStringLiteral("The password of configuration %1 was moved from "
                                          "weblog.ini to the desktop keyring.")
                               .arg(number);
        }
        saved.place = Place::Keyring;
        return saved;
    }

    const QString letter = unscramblableLetter(password);
    if (!letter.isEmpty()) {
        saved.refused = true;
        saved.status = QCoreApplication::translate(
                           "PasswordStore",
                           "The desktop keyring did not keep the password of configuration %1 "
                           "(%2), and weblog.ini cannot keep its letter \"%3\".  The password "
                           "was not saved: apply again once the keyring is unlocked, or use a "
                           "password without \"%3\".")
                           .arg(number, reply.error, letter);
        return saved;
    }
    ini.set(section, key, TextEncrypt(password, true, prompt));
    saved.place = Place::SettingsFile;
    // Without a keyring this is the usual place, and the preferences say so;
    // a keyring that refused is worth a line.
    if (reply.status == Reply::Denied)
        saved.status = QStringLiteral("The desktop keyring stayed locked (%2): the password of "
                                      "configuration %1 is kept scrambled in weblog.ini.")
                           .arg(number, reply.error);
    return saved;
}

bool keyringAvailable(const Account& account)
{
    const Reply::Status status = readItem(account).status;
    return status == Reply::Ok || status == Reply::NotFound;
}

QString placeText(Place place)
{
    switch (place) {
    case Place::Keyring:
        return QStringLiteral("The password is kept in the desktop keyring.");
    case Place::SettingsFile:
        return QStringLiteral("The password is kept in weblog.ini, scrambled but not encrypted. "
                              "With a desktop keyring it moves there when you apply.");
    case Place::Nowhere:
        break;
    }
    return QStringLiteral("No password is kept. An sftp:// site then logs in with your SSH key "
                          "or agent.");
}

void setKeyringTimeout(int milliseconds)
{
    s_timeoutMs = milliseconds;
}

} // namespace PasswordStore
