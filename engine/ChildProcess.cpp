#include "engine/ChildProcess.h"

#include "engine/Descriptor.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __APPLE__
#include <Availability.h>
#endif

namespace ZunoInstaller {

namespace {

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

// The working directory action. The macOS 26 SDK has it under its POSIX name
// and deprecates the _np name, the only one older systems have: built for
// macOS 26 or later, the POSIX name; built with that SDK for an older macOS,
// the POSIX name where the running system has it; otherwise the _np name.
int addChangeDirectory(posix_spawn_file_actions_t* actions, const char* directory)
{
#if defined(__APPLE__) && __MAC_OS_X_VERSION_MIN_REQUIRED >= 260000
    return posix_spawn_file_actions_addchdir(actions, directory);
#else
#if defined(__APPLE__) && __MAC_OS_X_VERSION_MAX_ALLOWED >= 260000
    if (__builtin_available(macOS 26.0, *))
        return posix_spawn_file_actions_addchdir(actions, directory);
#endif
    return posix_spawn_file_actions_addchdir_np(actions, directory);
#endif
}

// `error` is the write end for standard error, or -1 for the null device.
bool describeChild(FileActions& files, SpawnAttributes& attributes, const std::string& directory, int output,
                   int error, bool inputFromNull)
{
    if (!files.ready || !attributes.ready)
        return false;
    posix_spawn_file_actions_t* actions = &files.actions;
    // A process group of its own (group 0: the child's pid), so that `kill 0`
    // in the child, or a signal to its group, never reaches the installer.
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP;
#ifdef __APPLE__
    // Everything not named by a file action is closed.
    flags |= POSIX_SPAWN_CLOEXEC_DEFAULT;
    if (!inputFromNull && posix_spawn_file_actions_addinherit_np(actions, STDIN_FILENO) != 0)
        return false;
#endif
    if (inputFromNull &&
        posix_spawn_file_actions_addopen(actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) != 0)
        return false;
    const int errorAction =
        error >= 0 ? posix_spawn_file_actions_adddup2(actions, error, STDERR_FILENO)
                   : posix_spawn_file_actions_addopen(actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (errorAction != 0 || addChangeDirectory(actions, directory.c_str()) != 0 ||
        posix_spawn_file_actions_adddup2(actions, output, STDOUT_FILENO) != 0)
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

// One read, retried after EINTR; 0 at end of file or on any error.
std::size_t readOnce(int fd, char* into, std::size_t size)
{
    for (;;) {
        const ssize_t count = ::read(fd, into, size);
        if (count >= 0)
            return static_cast<std::size_t>(count);
        if (errno != EINTR)
            return 0;
    }
}

void closeDescriptor(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

ChildProcess::~ChildProcess()
{
    if (pid_ > 0)
        wait();
    closeOutput();
    closeError();
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& directory, const std::vector<std::string>& environment,
                         const ChildOptions& options)
{
    const auto fail = [this](int error) {
        startError_ = std::error_code(error, std::generic_category());
        return false;
    };
    if (pid_ > 0)
        return fail(EBUSY);
    const std::vector<char*> argv = pointersTo(arguments);
    const std::vector<char*> envp = pointersTo(environment);
    Descriptor readEnd;
    Descriptor writeEnd;
    Descriptor errorReadEnd;
    Descriptor errorWriteEnd;
    if (!openPipe(readEnd, writeEnd) || (options.captureError && !openPipe(errorReadEnd, errorWriteEnd)))
        return fail(errno);
    FileActions files;
    SpawnAttributes attributes;
    // The descriptors and flags given are valid: building the description
    // fails only when it cannot get memory.
    if (!describeChild(files, attributes, directory, writeEnd.fd, errorWriteEnd.fd, options.inputFromNull))
        return fail(ENOMEM);
    // A failure in the child before exec (chdir, open, exec itself) comes back
    // as this call's error, and the C library has already reaped that child.
    pid_t pid = -1;
    if (const int error = posix_spawn(&pid, program.c_str(), &files.actions, &attributes.attributes,
                                      argv.data(), envp.data());
        error != 0)
        return fail(error);
    startError_.clear();
    pid_ = pid;
    exited_ = false;
    endSignal_ = 0;
    output_ = readEnd.release();
    error_ = errorReadEnd.release();
    // The write ends close here: only the child and what it starts hold them now.
    return true;
}

std::size_t ChildProcess::read(char* into, std::size_t size)
{
    if (output_ < 0)
        return 0;
    return readOnce(output_, into, size);
}

ChildRead ChildProcess::readWithin(std::chrono::milliseconds timeout, std::span<char> output,
                                   std::span<char> error)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + timeout;
    for (;;) {
        pollfd streams[2];
        nfds_t count = 0;
        if (output_ >= 0)
            streams[count++] = {output_, POLLIN, 0};
        if (error_ >= 0)
            streams[count++] = {error_, POLLIN, 0};
        if (count == 0)
            return {ChildRead::Kind::end, ChildStream::output, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const int ready = ::poll(streams, count, static_cast<int>(std::max<std::int64_t>(left.count(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return {ChildRead::Kind::timeout, ChildStream::output, 0};
        for (nfds_t index = 0; index < count; ++index) {
            if (streams[index].revents == 0)
                continue;
            const bool isOutput = streams[index].fd == output_;
            const std::span<char> into = isOutput ? output : error;
            const ChildStream stream = isOutput ? ChildStream::output : ChildStream::error;
            const std::size_t got = readOnce(streams[index].fd, into.data(), into.size());
            if (got > 0)
                return {ChildRead::Kind::bytes, stream, got};
            closeDescriptor(isOutput ? output_ : error_);
            return {ChildRead::Kind::end, stream, 0};
        }
    }
}

void ChildProcess::closeOutput()
{
    closeDescriptor(output_);
}

void ChildProcess::closeError()
{
    closeDescriptor(error_);
}

bool ChildProcess::hasExited()
{
    if (pid_ <= 0 || exited_)
        return true;
    siginfo_t info{};
    // WNOWAIT leaves the child a zombie: its status stays for wait().
    for (;;) {
        const int got = ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT);
        if (got == 0) {
            // Only an end counts: macOS may also answer with a stop.
            exited_ = info.si_pid == pid_ &&
                      (info.si_code == CLD_EXITED || info.si_code == CLD_KILLED || info.si_code == CLD_DUMPED);
            return exited_;
        }
        if (errno != EINTR) {
            // ECHILD: the system has reaped it already (SIGCHLD ignored).
            exited_ = true;
            return true;
        }
    }
}

bool ChildProcess::signalGroup(int signal)
{
    if (pid_ <= 0)
        return false;
    return ::kill(-pid_, signal) == 0;
}

std::int32_t ChildProcess::wait()
{
    // A child still writing now gets SIGPIPE instead of blocking on a full pipe.
    closeOutput();
    closeError();
    if (pid_ <= 0)
        return unknownExitStatus;
    endSignal_ = 0;
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
                endSignal_ = WTERMSIG(status);
                return endSignal_;
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
