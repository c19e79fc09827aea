#include "engine/Descriptor.h"

#include <fcntl.h>
#include <unistd.h>

namespace ZunoInstaller {

Descriptor::~Descriptor()
{
    if (fd >= 0)
        ::close(fd);
}

namespace {

// A descriptor on 0, 1 or 2 would be taken for a standard stream by the
// child's dup2 and by the closing of everything from 3 on.
bool moveAboveStandardStreams(Descriptor& descriptor)
{
    if (descriptor.fd > 2)
        return true;
    const int moved = ::fcntl(descriptor.fd, F_DUPFD_CLOEXEC, 3);
    if (moved < 0)
        return false;
    ::close(descriptor.fd);
    descriptor.fd = moved;
    return true;
}

} // namespace

bool openPipe(Descriptor& readEnd, Descriptor& writeEnd)
{
    int ends[2];
#ifdef __APPLE__
    // No pipe2 here: the window before FD_CLOEXEC only matters for spawns
    // elsewhere in the process that do not use POSIX_SPAWN_CLOEXEC_DEFAULT.
    if (::pipe(ends) != 0)
        return false;
    readEnd.fd = ends[0];
    writeEnd.fd = ends[1];
    if (::fcntl(ends[0], F_SETFD, FD_CLOEXEC) != 0 || ::fcntl(ends[1], F_SETFD, FD_CLOEXEC) != 0)
        return false;
#else
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    readEnd.fd = ends[0];
    writeEnd.fd = ends[1];
#endif
    return moveAboveStandardStreams(readEnd) && moveAboveStandardStreams(writeEnd);
}

} // namespace ZunoInstaller
