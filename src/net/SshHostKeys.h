#pragma once

// SFTP connections: which server keys are trusted and how the user logs in.
//
// Host keys are checked against ~/.ssh/known_hosts, the file OpenSSH keeps.
// A key found there lets the connection go on; a host not in the file is
// shown to the user with its SHA-256 fingerprint (as ssh shows it) and is
// remembered there only when the user trusts it; a host whose key differs
// from the remembered one is refused. A refused key ends the connection
// before the log-in, so nothing is sent.
//
// Log-in: with a password, the password (also through keyboard-interactive
// log-in); without one, the user's key ~/.ssh/id_ed25519 or ~/.ssh/id_rsa
// (without passphrase) and the keys of the running SSH agent
// (SSH_AUTH_SOCK).

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

#include <curl/curl.h>

namespace SshHostKeys {

// ~/.ssh/known_hosts
QString knownHostsPath();
// "SHA256:" and the unpadded Base64 of the SHA-256 of the key blob.
QString fingerprint(QByteArrayView keyBlob);
// The key type named inside the blob ("ssh-ed25519", "ssh-rsa", ...); empty
// when the blob is not a key.
QByteArray keyType(QByteArrayView keyBlob);
// The known_hosts line for the key: "host type base64", with "[host]:port"
// when the port is not 22.
QByteArray knownHostsLine(const QString& host, int port, QByteArrayView keyBlob);
// Appends that line to `path`, creating the file (and its folder, for the
// owner only) when missing. False with the reason when it cannot.
bool remember(const QString& path, const QString& host, int port, QByteArrayView keyBlob,
              QString* error = nullptr);

// The key file tried when no password is given: the first of
// ~/.ssh/id_ed25519 and ~/.ssh/id_rsa that exists; empty for none.
QString privateKeyFile();

} // namespace SshHostKeys

// The host key check of one session, called by libcurl during the
// handshake.
class SshHostKeyCheck
{
public:
    // Sets the known_hosts check, the key callback and the log-in methods
    // on `handle` for a connection to `host`:`port` (0 for 22).
    void setUp(CURL* handle, const QString& host, int port, const QString& password);

    // Why the last connection was refused for its host key; empty when it
    // was not.
    QString refusal() const { return m_refusal; }

    // An unknown key ends the connection unasked (libcurl must not wait for
    // the user), and question() holds what to ask the user; after a Yes,
    // trustAskedKey() remembers the key so that the next connection goes on.
    QString question() const { return m_question; }
    void trustAskedKey();

private:
    static int onKey(CURL*, const curl_khkey* known, const curl_khkey* found, curl_khmatch match,
                     void* self);
    int check(const curl_khkey* found, curl_khmatch match);
    QString m_host;
    int m_port = 22;
    QString m_refusal;
    QString m_question;
    QByteArray m_askedKey;
};
