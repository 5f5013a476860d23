#pragma once

// Saving a file so that a reader, a crash or a full disk never leaves half of
// it: the bytes go to a new file beside it, which is renamed over the old one
// only once it is whole. Until then the old file stays as it was; a save that
// fails removes the new file again.
//
// The new file is not forced to the disk before the rename: that would wait
// for every other program's pending writes on a busy file system, and the
// rename already keeps the old file until the new one is whole.

#include <QByteArrayView>
#include <QList>
#include <QString>

// Who may read the file saved.
enum class FileAccess
{
    Ordinary,   // a new file as the umask allows (rw-r--r--); a replaced one keeps its permissions
    PrivateNew, // a new file rw-------; a replaced one keeps its permissions
    Tightened,  // as PrivateNew, and a replaced one loses its group's and others' rights
    Private,    // rw------- whatever the old file had
};

class AtomicFile
{
public:
    // Opens the new file beside `path`; fd() is -1 when it could not be made.
    AtomicFile(const QString& path, FileAccess access);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    int fd() const { return m_fd; }
    // Writes all of `pieces` at the current position.
    bool write(const QList<QByteArrayView>& pieces);
    // Replaces the file with what was written.
    bool commit();
    // Why the last step failed.
    QString errorString() const { return m_error; }
    // Whether the file lost rights the old one gave to others (Tightened).
    bool tightened() const { return m_tightened; }

    // The whole save at once; `error` gets the reason of a failure.
    static bool save(const QString& path, const QList<QByteArrayView>& pieces, FileAccess access,
                     QString* error = nullptr, bool* tightened = nullptr);

private:
    bool fail();

    QByteArray m_target, m_temp;
    int m_fd = -1;
    bool m_committed = false;
    bool m_tightened = false;
    QString m_error;
};
