#include "core/entry/WorkFiles.h"

#include "base/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace WorkFiles {

namespace {

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool failWith(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return false;
}

// A file descriptor closed when it goes out of scope.
class Fd
{
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now, so that a failed close (a full disk on some file systems) is seen.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Copies the whole of `in` into `out` inside the kernel: a shared extent where
// the file system can (reflink), else copy_file_range; false when neither
// works here (another file system, an old kernel) and nothing was written.
bool kernelCopy(int in, int out, off_t size, bool* tried)
{
    *tried = false;
    if (::ioctl(out, FICLONE, in) == 0)
        return true;
    off_t done = 0;
    while (done < size) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t(size - done), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (done == 0 && n < 0 &&
                (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP || errno == EINVAL))
                return false; // fall back to reading and writing
            *tried = true;
            return false;
        }
        done += n;
    }
    // The source may have grown since it was measured.
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 20, 0);
        if (n == 0)
            return true;
        if (n < 0 && errno != EINTR) {
            *tried = true;
            return false;
        }
    }
}

// Maps the pages of a large buffer in a few steps before it is filled:
// otherwise read() faults them in one 4 KB page at a time, which costs more
// than the copy itself (on virtual machines several times more).
void prepareBuffer(char* data, qsizetype size)
{
    constexpr qsizetype kLarge = 1 << 20;
    if (size < kLarge)
        return;
    const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + uintptr_t(size)) & ~(page - 1);
    if (end <= begin)
        return;
    void* start = reinterpret_cast<void*>(begin);
#ifdef MADV_HUGEPAGE
    ::madvise(start, end - begin, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
    ::madvise(start, end - begin, MADV_POPULATE_WRITE);
#endif
}

} // namespace

std::optional<QByteArray> read(const QString& path, QString* error)
{
    const Fd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info
    {
    };
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
        failWith(error, lastError());
        return std::nullopt;
    }
    if (S_ISDIR(info.st_mode)) {
        failWith(error, QString::fromLocal8Bit(std::strerror(EISDIR)));
        return std::nullopt;
    }
    // One buffer of the file's size, with a little room so that the line end
    // the reader may add does not move the page.
    qsizetype capacity = qsizetype(info.st_size) + kSlack;
    QByteArray bytes(capacity, Qt::Uninitialized);
    prepareBuffer(bytes.data(), capacity);
    qsizetype size = 0;
    for (;;) {
        if (size == capacity) { // the file grew while it was read
            capacity *= 2;
            bytes.resize(capacity);
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + size, size_t(capacity - size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failWith(error, lastError());
            return std::nullopt;
        }
        if (n == 0)
            break;
        size += n;
    }
    bytes.resize(size); // keeps the capacity
    return bytes;
}

bool write(const QString& path, QByteArrayView bytes, QString* error)
{
    return write(path, QList<QByteArrayView>{bytes}, error);
}

bool write(const QString& path, const QList<QByteArrayView>& pieces, QString* error)
{
    // A new working file is readable by all, a replaced one keeps its permissions.
    return AtomicFile::save(path, pieces, FileAccess::Ordinary, error);
}

bool copy(const QString& from, const QString& to, QString* error)
{
    const Fd in(::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC));
    struct stat info
    {
    };
    if (!in.valid() || ::fstat(in.get(), &info) != 0)
        return failWith(error, lastError());
    if (!S_ISREG(info.st_mode))
        return failWith(error, QString::fromLocal8Bit(std::strerror(EISDIR)));
    AtomicFile out(to, FileAccess::Ordinary);
    if (out.fd() < 0)
        return failWith(error, out.errorString());
    bool tried = false;
    if (kernelCopy(in.get(), out.fd(), info.st_size, &tried))
        return out.commit() || failWith(error, out.errorString());
    if (tried)
        return failWith(error, lastError());
    // Reading and writing through a buffer, for file systems the kernel
    // cannot copy between.
    if (::lseek(in.get(), 0, SEEK_SET) != 0 || ::ftruncate(out.fd(), 0) != 0 ||
        ::lseek(out.fd(), 0, SEEK_SET) != 0)
        return failWith(error, lastError());
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failWith(error, lastError());
        if (n == 0)
            break;
        if (!out.write({QByteArrayView(buffer.constData(), n)}))
            return failWith(error, out.errorString());
    }
    return out.commit() || failWith(error, out.errorString());
}

bool exists(const QString& path)
{
    return QFileInfo(path).isFile();
}

} // namespace WorkFiles
