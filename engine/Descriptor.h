#pragma once

namespace ZunoInstaller {

// Owns one file descriptor and closes it.
struct Descriptor {
    int fd = -1;

    Descriptor() = default;
    explicit Descriptor(int value) : fd(value) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();

    int release()
    {
        const int value = fd;
        fd = -1;
        return value;
    }
};

// A pipe whose ends are close-on-exec from the start, so that no process
// that another thread spawns meanwhile inherits them, and lie above 0, 1 and 2
// even when the program's own standard streams were closed.
bool openPipe(Descriptor& readEnd, Descriptor& writeEnd);

} // namespace ZunoInstaller
