#pragma once

// Where the FTP password of a configuration is kept.
//
// With a desktop keyring (a Secret Service such as GNOME Keyring, or KWallet
// through its Secret Service interface) the password is an item of the
// keyring, one per configuration, labelled "Pagewick: user@site"; the
// `password` key of weblog.ini is then written empty. Without a keyring, or
// when it stays locked, the password is kept in the `password` key scrambled
// (see PasswordScrambler.h), as it always was.
//
// Reading: a `password` key that holds a value wins (a password not moved
// yet, or kept there because no keyring was reachable when it was saved);
// an empty key means the keyring item. The window and the command line read
// through the same loader, so both find the password in the same place.
//
// Keyring requests report their end to a callback once the keyring has
// answered or a time-out passed, so a missing or silent session bus never
// hangs the program. A callback runs from the event loop, or at once when
// the keyring stopped answering earlier in the run; none runs once its
// `context` object is gone.

#include <QString>

#include <functional>

class IniText;
class Prompt;
class QObject;

namespace PasswordStore {

enum class Place
{
    Nowhere,      // no password is kept
    Keyring,      // in the desktop keyring
    SettingsFile, // scrambled in weblog.ini
};

// One configuration's FTP account: section "1" ... "9", server, user name.
struct Account
{
    QString section;
    QString site;
    QString user;
};

// The keyring item's service name, which the keyring shows as its label:
// "Pagewick: user@site". Its key is "configuration N".
QString itemLabel(const Account& account);
QString itemKey(const Account& account);

struct Loaded
{
    QString password;
    Place place = Place::Nowhere;
    QString problem; // a status line when the keyring would not give it
};
// The password of `account` from the settings file at `settingsPath`: the
// scrambled key when it holds one (a value that cannot be unscrambled shows
// the scrambler's message and gives an empty password), else the keyring.
void load(const QString& settingsPath, const Account& account, Prompt& prompt, QObject* context,
          std::function<void(const Loaded&)> done);

struct Saved
{
    Place place = Place::Nowhere;
    bool moved = false; // a password kept in weblog.ini went to the keyring
    // Not saved at all: no keyring took it and it holds a letter the
    // scrambler cannot carry. The `password` key is left as it was, and
    // `status` is the message that says so.
    bool refused = false;
    QString status; // a line for the status box (moved, or the keyring refused)
};
// Whether a desktop keyring answers for `account` and would keep its
// password: one that is unreachable, silent, locked or refusing is absent.
void keyringAvailable(const Account& account, QObject* context, std::function<void(bool)> done);

// Saves the password of `account`: into the keyring when one is reachable,
// setting the `password` key of `ini` empty; else scrambled into that key,
// when the scrambler can carry every letter of it (else refused, see Saved:
// the key is left as it was). An empty password removes the keyring item and
// sets the key empty. `previous` is the account the configuration had before
// this save: when the site or user changed, its keyring item is removed, so a
// configuration keeps one item. The keyring is written first, and `ini`
// changed in `done`, before the caller commits it: an empty key is only ever
// written once the keyring holds the password. `ini` and `prompt` must stay
// until `done` has run.
void save(IniText& ini, const Account& account, const QString& password, Prompt& prompt,
          const Account* previous, QObject* context, std::function<void(const Saved&)> done);

// What the preferences dialog says about the place.
QString placeText(Place place);

// Milliseconds one keyring request may take before it is given up (30 s by
// default: long enough for the user to answer the keyring's unlock prompt).
// After a request timed out the keyring counts as absent for the rest of the
// run.
void setKeyringTimeout(int milliseconds);

} // namespace PasswordStore
