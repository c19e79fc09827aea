#include "platform/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ZunoInstaller {

namespace {

struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
};

bool isRegularWithin(const struct stat& info, qint64 maxSize)
{
    return S_ISREG(info.st_mode) && info.st_size <= maxSize;
}

} // namespace

std::optional<QByteArray> readRegularFile(const std::filesystem::path& path, qint64 maxSize)
{
    // Look before opening: opening a device may have effects of its own.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !isRegularWithin(info, maxSize))
        return std::nullopt;
    // Should the path have become a FIFO meanwhile, O_NONBLOCK lets open()
    // return at once, and the check of what was opened refuses it.
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return std::nullopt;
    const Closer closer{fd};
    if (::fstat(fd, &info) != 0 || !isRegularWithin(info, maxSize))
        return std::nullopt;
    // Reads of a regular file wait for the disk like any other read.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return std::nullopt;

    // The file may grow while it is read: the limit holds for what is read.
    QByteArray data;
    char buffer[16384];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count == 0)
            return data;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (data.size() + count > maxSize)
            return std::nullopt;
        data.append(buffer, count);
    }
}

} // namespace ZunoInstaller
