#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

namespace ZunoInstaller {

// The exit status of a run whose child's status could not be learned (for
// instance when SIGCHLD is ignored and the system reaps the child itself).
// Never a real status: those are 0-255, or a signal number.
inline constexpr std::int32_t unknownExitStatus = -2;

// One child process with its standard output on a pipe that the parent reads.
// The child gets standard input inherited, standard error on the null device,
// no other descriptor, default signal dispositions, an empty signal mask and a
// process group of its own, so that whatever it signals with `kill 0` stays there.
//
// wait() needs SIGCHLD at its default disposition (or with a handler that
// reaps no one else's children) and SA_NOCLDWAIT off: otherwise the system
// reaps the child itself and its status is lost. useDefaultChildSignal()
// sets that up; a program calls it once at start, before any child runs.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Closes the output and reaps a child that was started and not waited for.
    ~ChildProcess();

    // Starts `program` with `arguments` (argv[0] included) in `directory` with
    // exactly `environment`. false: nothing was started, nothing is left open.
    bool start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& directory, const std::vector<std::string>& environment);

    // Up to `size` bytes of the child's standard output, blocking until some
    // arrive; 0 at end of output (or if the pipe cannot be read any more).
    std::size_t read(char* into, std::size_t size);

    // Closes the read end and waits for the child to exit: its exit code, the
    // number of the signal that ended it, or unknownExitStatus.
    std::int32_t wait();

private:
    void closeOutput();

    pid_t pid_ = -1;
    int output_ = -1;
};

// Sets SIGCHLD back to its default disposition, without SA_NOCLDWAIT, whatever
// the launcher left: an inherited SIG_IGN would make every wait() fail.
// false if the system refused (it does not for SIGCHLD).
bool useDefaultChildSignal();

} // namespace ZunoInstaller
