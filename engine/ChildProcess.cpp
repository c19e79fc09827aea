#include "engine/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ZunoInstaller {

namespace {

// Owns one descriptor.
struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    explicit Descriptor(int value) : fd(value) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int release()
    {
        const int value = fd;
        fd = -1;
        return value;
    }
};

struct FileActions {
    posix_spawn_file_actions_t actions;
    bool ready = posix_spawn_file_actions_init(&actions) == 0;
    ~FileActions()
    {
        if (ready)
            posix_spawn_file_actions_destroy(&actions);
    }
};

struct SpawnAttributes {
    posix_spawnattr_t attributes;
    bool ready = posix_spawnattr_init(&attributes) == 0;
    ~SpawnAttributes()
    {
        if (ready)
            posix_spawnattr_destroy(&attributes);
    }
};

// Moves a descriptor that landed on 0, 1 or 2 (the installer's own standard
// streams were closed) above them, so that the child's dup2 and the closing
// of everything from 3 on treat the pipe like any other descriptor.
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

// A pipe whose ends are close-on-exec from the start, so that no process that
// another thread spawns meanwhile inherits them.
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

bool describeChild(FileActions& files, SpawnAttributes& attributes, const std::string& directory, int output)
{
    if (!files.ready || !attributes.ready)
        return false;
    posix_spawn_file_actions_t* actions = &files.actions;
    // A process group of its own (group 0: the child's pid), so that `kill 0`
    // in the child, or a signal to its group, never reaches the installer.
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP;
#ifdef __APPLE__
    // Everything not named by a file action is closed; standard input is kept.
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
    if (posix_spawn_file_actions_addinherit_np(actions, STDIN_FILENO) != 0)
        return false;
#endif
    if (posix_spawn_file_actions_addchdir_np(actions, directory.c_str()) != 0 ||
        posix_spawn_file_actions_adddup2(actions, output, STDOUT_FILENO) != 0 ||
        posix_spawn_file_actions_addopen(actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0) != 0)
        return false;
#ifndef __APPLE__
    // Whatever the installer holds without close-on-exec, a launcher's leak included.
    if (posix_spawn_file_actions_addclosefrom_np(actions, 3) != 0)
        return false;
#endif
    sigset_t allSignals;
    sigset_t noSignals;
    sigfillset(&allSignals);
    sigemptyset(&noSignals);
    return posix_spawnattr_setflags(&attributes.attributes, flags) == 0 &&
           posix_spawnattr_setpgroup(&attributes.attributes, 0) == 0 &&
           posix_spawnattr_setsigdefault(&attributes.attributes, &allSignals) == 0 &&
           posix_spawnattr_setsigmask(&attributes.attributes, &noSignals) == 0;
}

std::vector<char*> pointersTo(const std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (const std::string& text : strings)
        pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ChildProcess::~ChildProcess()
{
    if (pid_ > 0)
        wait();
    closeOutput();
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& directory, const std::vector<std::string>& environment)
{
    if (pid_ > 0)
        return false;
    const std::vector<char*> argv = pointersTo(arguments);
    const std::vector<char*> envp = pointersTo(environment);
    Descriptor readEnd;
    Descriptor writeEnd;
    if (!openPipe(readEnd, writeEnd))
        return false;
    FileActions files;
    SpawnAttributes attributes;
    if (!describeChild(files, attributes, directory, writeEnd.fd))
        return false;
    // A failure in the child before exec (chdir, open, exec itself) comes back
    // as this call's error, and the C library has already reaped that child.
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &files.actions, &attributes.attributes, argv.data(),
                    envp.data()) != 0)
        return false;
    pid_ = pid;
    output_ = readEnd.release();
    // writeEnd closes here: only the child and what it starts hold it now.
    return true;
}

std::size_t ChildProcess::read(char* into, std::size_t size)
{
    if (output_ < 0)
        return 0;
    for (;;) {
        const ssize_t count = ::read(output_, into, size);
        if (count >= 0)
            return static_cast<std::size_t>(count);
        if (errno != EINTR)
            return 0;
    }
}

void ChildProcess::closeOutput()
{
    if (output_ >= 0) {
        ::close(output_);
        output_ = -1;
    }
}

std::int32_t ChildProcess::wait()
{
    // A child still writing now gets SIGPIPE instead of blocking on a full pipe.
    closeOutput();
    if (pid_ <= 0)
        return unknownExitStatus;
    const pid_t pid = pid_;
    for (;;) {
        int status = 0;
        // No WUNTRACED: a stopped and continued child does not end the wait.
        const pid_t got = ::waitpid(pid, &status, 0);
        if (got == pid) {
            if (WIFEXITED(status)) {
                pid_ = -1;
                return WEXITSTATUS(status);
            }
            if (WIFSIGNALED(status)) {
                pid_ = -1;
                return WTERMSIG(status);
            }
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        // ECHILD: the status is gone (SIGCHLD ignored, or someone else reaped it).
        pid_ = -1;
        return unknownExitStatus;
    }
}

bool useDefaultChildSignal()
{
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_NOCLDWAIT
    return ::sigaction(SIGCHLD, &action, nullptr) == 0;
}

} // namespace ZunoInstaller
