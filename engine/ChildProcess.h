#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <sys/types.h>
#include <system_error>
#include <vector>

namespace ZunoInstaller {

// The exit status of a run whose child's status could not be learned (for
// instance when SIGCHLD is ignored and the system reaps the child itself).
// Never a real status: those are 0-255, or a signal number.
inline constexpr std::int32_t unknownExitStatus = -2;

// What a child gets besides its standard output on a pipe. The defaults are
// the installer's: standard input inherited, standard error discarded.
struct ChildOptions {
    // Standard error on a second pipe that the parent reads.
    bool captureError = false;
    // Standard input from the null device.
    bool inputFromNull = false;
};

enum class ChildStream { output, error };

// One step of ChildProcess::readWithin.
struct ChildRead {
    enum class Kind { bytes, end, timeout };
    Kind kind;
    ChildStream stream;
    std::size_t count;
};

// One child process with its standard output on a pipe that the parent reads.
// The child gets no descriptor besides its three standard streams, default
// signal dispositions, an empty signal mask and a process group of its own,
// so that whatever it signals with `kill 0` stays there.
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
    // Closes the pipes and reaps a child that was started and not waited for.
    ~ChildProcess();

    // Starts `program` with `arguments` (argv[0] included) in `directory` with
    // exactly `environment`. false: nothing was started, nothing is left open,
    // and startError() says why.
    bool start(const std::string& program, const std::vector<std::string>& arguments,
               const std::string& directory, const std::vector<std::string>& environment,
               const ChildOptions& options = {});
    // Why the last start() failed, as the system put it (no such file or
    // directory, permission denied, too many open files...); empty after a
    // start that succeeded.
    std::error_code startError() const { return startError_; }

    // Up to `size` bytes of the child's standard output, blocking until some
    // arrive; 0 at end of output (or if the pipe cannot be read any more).
    std::size_t read(char* into, std::size_t size);

    // Waits at most `timeout` for bytes on standard output or the captured
    // standard error and reads them into `output` or `error`. A stream that
    // ends is closed and reported once as `end`; with neither open, `end` of
    // the output at once.
    ChildRead readWithin(std::chrono::milliseconds timeout, std::span<char> output, std::span<char> error);

    bool outputOpen() const { return output_ >= 0; }
    // The read end of the output, to learn who else holds the pipe; -1 once closed.
    int outputDescriptor() const { return output_; }
    bool errorOpen() const { return error_ >= 0; }
    // Stops reading the output: the child's next write to it fails (SIGPIPE).
    void closeOutput();

    // true once the child has ended. It is not reaped until wait(), so its
    // process group id cannot pass to another process meanwhile.
    bool hasExited();
    // Sends `signal` to the child's whole process group; false once the
    // child has been waited for, or if the group is gone.
    bool signalGroup(int signal);
    // The child's process id, which is also its group's; -1 when none.
    pid_t id() const { return pid_; }

    // Closes the pipes and waits for the child to exit: its exit code, the
    // number of the signal that ended it, or unknownExitStatus.
    std::int32_t wait();
    // After wait(): the signal that ended the child, 0 when it exited (or
    // its status was lost). wait()'s number alone cannot tell exit 15 from SIGTERM.
    int endSignal() const { return endSignal_; }

private:
    void closeError();

    pid_t pid_ = -1;
    std::error_code startError_;
    int output_ = -1;
    int error_ = -1;
    bool exited_ = false;
    int endSignal_ = 0;
};

// Sets SIGCHLD back to its default disposition, without SA_NOCLDWAIT, whatever
// the launcher left: an inherited SIG_IGN would make every wait() fail.
// false if the system refused (it does not for SIGCHLD).
bool useDefaultChildSignal();

} // namespace ZunoInstaller
