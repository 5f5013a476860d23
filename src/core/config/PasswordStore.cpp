#include "core/config/PasswordStore.h"

#include "base/IniFile.h"
#include "core/config/PasswordScrambler.h"

#include <QCoreApplication>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

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

// Starts a keyring job; `done` gets its reply once the job ends or the
// time-out passes, whichever comes first, unless `context` is gone by then.
// The job deletes itself when it finishes, also when that happens after the
// time-out, so a late answer never reaches a job that is gone.
template <typename Job, typename Setup>
void request(const Account& account, Setup setup, QObject* context,
             std::function<void(const Reply&)> done)
{
    if (s_keyringSilent)
        return done({Reply::Unavailable, {}, QStringLiteral("the keyring did not answer earlier")});
    auto* job = new Job(itemLabel(account));
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(itemKey(account));
    setup(*job);
    auto answered = std::make_shared<bool>(false);
    QObject::connect(job, &QKeychain::Job::finished, context, [answered, done](QKeychain::Job* j) {
        if (std::exchange(*answered, true))
            return;
        Reply reply{statusOf(j->error()), {}, j->errorString()};
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(j))
            reply.secret = read->textData();
        done(reply);
    });
    QTimer::singleShot(s_timeoutMs, context, [answered, done] {
        if (std::exchange(*answered, true))
            return;
        s_keyringSilent = true;
        done({Reply::Unavailable, {}, QStringLiteral("the keyring did not answer")});
    });
    job->start();
}

void readItem(const Account& account, QObject* context, std::function<void(const Reply&)> done)
{
    request<QKeychain::ReadPasswordJob>(
        account, [](QKeychain::ReadPasswordJob&) {}, context, std::move(done));
}

void writeItem(const Account& account, const QString& password, QObject* context,
               std::function<void(const Reply&)> done)
{
    request<QKeychain::WritePasswordJob>(
        account, [&password](QKeychain::WritePasswordJob& job) { job.setTextData(password); },
        context, std::move(done));
}

void removeItem(const Account& account, QObject* context, std::function<void(const Reply&)> done)
{
    request<QKeychain::DeletePasswordJob>(
        account, [](QKeychain::DeletePasswordJob&) {}, context, std::move(done));
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

void load(const QString& settingsPath, const Account& account, Prompt& prompt, QObject* context,
          std::function<void(const Loaded&)> done)
{
    Loaded loaded;
    const QString stored = readSetting(settingsPath, account.section, QStringLiteral("password"));
    if (!stored.isEmpty()) {
        loaded.password = TextEncrypt(stored, false, prompt);
        loaded.place = Place::SettingsFile;
        return done(loaded);
    }
    // Nothing to log in to: no keyring item to look for either.
    if (account.site.isEmpty() && account.user.isEmpty())
        return done(loaded);
    readItem(account, context, [section = account.section, done](const Reply& reply) {
        Loaded loaded;
        switch (reply.status) {
        case Reply::Ok:
            loaded.password = reply.secret;
            loaded.place = Place::Keyring;
            break;
        case Reply::Denied:
            loaded.problem = QStringLiteral("The desktop keyring did not give the password of "
                                            "configuration %1: %2")
                                 .arg(section.trimmed(), reply.error);
            break;
        case Reply::NotFound:
        case Reply::Unavailable:
            break;
        }
        done(loaded);
    });
}

void save(IniText& ini, const Account& account, const QString& password, Prompt& prompt,
          const Account* previous, QObject* context, std::function<void(const Saved&)> done)
{
    const QString section = account.section;
    const QString key = QStringLiteral("password");
    const bool wasInFile = !ini.value(section, key).isEmpty();

    auto written = [&ini, &prompt, account, password, wasInFile, done](const Reply& reply) {
        const QString section = account.section;
        const QString number = section.trimmed();
        const QString key = QStringLiteral("password");
        Saved saved;
        if (reply.status == Reply::Ok) {
            ini.set(section, key, QString());
            if (wasInFile) {
                saved.moved = true;
                saved.status = QStringLiteral("The password of configuration %1 was moved from "
                                              "weblog.ini to the desktop keyring.")
                                   .arg(number);
            }
            saved.place = Place::Keyring;
            return done(saved);
        }
        const QString letter = unscramblableLetter(password);
        if (!letter.isEmpty()) {
            saved.refused = true;
            saved.status = QCoreApplication::translate(
                               "PasswordStore",
                               "The desktop keyring did not keep the password of configuration "
                               "%1 (%2), and weblog.ini cannot keep its letter \"%3\".  The "
                               "password was not saved: apply again once the keyring is "
                               "unlocked, or use a password without \"%3\".")
                               .arg(number, reply.error, letter);
            return done(saved);
        }
        ini.set(section, key, TextEncrypt(password, true, prompt));
        saved.place = Place::SettingsFile;
        // Without a keyring this is the usual place, and the preferences say
        // so; a keyring that refused is worth a line.
        if (reply.status == Reply::Denied)
            saved.status = QStringLiteral("The desktop keyring stayed locked (%2): the password "
                                          "of configuration %1 is kept scrambled in weblog.ini.")
                               .arg(number, reply.error);
        done(saved);
    };
    auto current = [&ini, account, password, context, written, done](const Reply&) {
        if (!password.isEmpty())
            return writeItem(account, password, context, written);
        removeItem(account, context, [&ini, section = account.section, done](const Reply&) {
            ini.set(section, QStringLiteral("password"), QString());
            done(Saved());
        });
    };
    if (previous && !sameItem(*previous, account) &&
        !(previous->site.isEmpty() && previous->user.isEmpty()))
        removeItem(*previous, context, current);
    else
        current(Reply());
}

void keyringAvailable(const Account& account, QObject* context, std::function<void(bool)> done)
{
    readItem(account, context, [done](const Reply& reply) {
        done(reply.status == Reply::Ok || reply.status == Reply::NotFound);
    });
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
