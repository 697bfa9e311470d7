#include "logfile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace viewer {

namespace {
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// read() until `size` bytes came or the file ended; -1 on a read error.
qint64 readFully(int fd, char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const auto chunk = static_cast<size_t>(size - done);
        const ssize_t n = read(fd, data + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}
} // namespace

std::optional<QByteArray> readWholeFile(const QString &path, qint64 largest)
{
    if (path.isEmpty())
        return std::nullopt;
    // O_NONBLOCK so that opening a pipe without a writer does not wait;
    // anything but a regular file is refused before a byte is read.
    const Descriptor fd(
        open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat st;
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    try {
        const qint64 size = st.st_size;
        if (size > largest)
            return std::nullopt;
        // The log as it stood when it was opened: what another program
        // appends meanwhile waits for the next Refresh, and where the log was
        // cut short meanwhile, its text goes up to the end found.
        QByteArray bytes(size, Qt::Uninitialized);
        const qint64 done = readFully(fd.get(), bytes.data(), size);
        if (done < 0)
            return std::nullopt;
        bytes.truncate(done);
        // A file that calls itself empty yet reads on (as those of /proc do)
        // is no log; one that has grown since says so in its size.
        char extra;
        if (size == 0 && readFully(fd.get(), &extra, 1) != 0 &&
            (fstat(fd.get(), &st) != 0 || st.st_size == 0))
            return std::nullopt;
        return bytes;
    } catch (const std::bad_alloc &) {
        return std::nullopt;
    }
}

} // namespace viewer
