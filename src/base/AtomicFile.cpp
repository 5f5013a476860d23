#include "base/AtomicFile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr mode_t kOwner = S_IRUSR | S_IWUSR;
constexpr mode_t kOthers = S_IRWXG | S_IRWXO;

// The permissions a program gets for a new file it makes with 0666: the
// user's umask applied. Read from /proc, since asking umask() means setting
// it for a moment, which other threads could see.
mode_t ordinaryNewFileMode()
{
    mode_t mask = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned int value = 0;
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = mode_t(value);
                break;
            }
        std::fclose(f);
    }
    return (S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH) & ~mask;
}

} // namespace

AtomicFile::AtomicFile(const QString& path, FileAccess access) : m_target(QFile::encodeName(path))
{
    m_temp = m_target + ".XXXXXX";
    m_fd = ::mkostemp(m_temp.data(), O_CLOEXEC);
    if (m_fd < 0) {
        fail();
        m_temp.clear();
        return;
    }
    struct stat old
    {
    };
    const bool replaces = ::stat(m_target.constData(), &old) == 0 && S_ISREG(old.st_mode);
    mode_t mode = access == FileAccess::Ordinary ? ordinaryNewFileMode() : kOwner;
    if (replaces && access != FileAccess::Private) {
        mode = old.st_mode & 07777;
        if (access == FileAccess::Tightened && (mode & kOthers)) {
            mode &= ~kOthers;
            m_tightened = true;
        }
    }
    // A file system without Unix permissions (a FAT stick) still takes the
    // file; it just cannot be told who may read it.
    if (::fchmod(m_fd, mode) != 0)
        m_tightened = false;
}

AtomicFile::~AtomicFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_temp.isEmpty())
        ::unlink(m_temp.constData());
}

bool AtomicFile::fail()
{
    m_error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool AtomicFile::write(const QList<QByteArrayView>& pieces)
{
    // writev in batches, resuming after short writes.
    std::vector<iovec> io;
    io.reserve(size_t(pieces.size()));
    for (QByteArrayView piece : pieces)
        if (!piece.isEmpty())
            io.push_back({const_cast<char*>(piece.data()), size_t(piece.size())});
    size_t first = 0;
    while (first < io.size()) {
        const int count = int(std::min<size_t>(io.size() - first, IOV_MAX));
        const ssize_t done = ::writev(m_fd, io.data() + first, count);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return fail();
        }
        size_t left = size_t(done);
        while (first < io.size() && left >= io[first].iov_len)
            left -= io[first++].iov_len;
        if (left > 0) {
            io[first].iov_base = static_cast<char*>(io[first].iov_base) + left;
            io[first].iov_len -= left;
        }
    }
    return true;
}

bool AtomicFile::commit()
{
    const int fd = m_fd;
    m_fd = -1;
    // A failed close (a full disk on some file systems) means a file not whole.
    if (fd < 0 || ::close(fd) != 0)
        return fail();
    if (std::rename(m_temp.constData(), m_target.constData()) != 0)
        return fail();
    m_committed = true;
    return true;
}

bool AtomicFile::save(const QString& path, const QList<QByteArrayView>& pieces, FileAccess access,
                      QString* error, bool* tightened)
{
    AtomicFile file(path, access);
    const bool saved = file.fd() >= 0 && file.write(pieces) && file.commit();
    if (!saved && error)
        *error = file.errorString();
    if (tightened)
        *tightened = saved && file.tightened();
    return saved;
}
