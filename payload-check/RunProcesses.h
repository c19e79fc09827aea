#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

// Whatever a payload's script starts ends with its run, also what leaves the
// script's process group (setsid, a daemon's double fork). On Linux the
// checker is a child subreaper: such a process becomes the checker's child
// when its parent ends, and is ended and reaped here. Elsewhere only the
// script's process group can be ended.
//
// Called once at start, before any run: true when the system lets the
// checker adopt what its runs leave.
bool adoptOrphans();
bool adoptsOrphans();

// One run of a script, from before its start until it has been waited for.
// Runs may overlap (on two threads); what has left every run's process group
// is ended when the last of the overlapping runs ends, since it cannot be
// told whose it was.
class RunProcesses {
public:
    RunProcesses();
    // Counts the run out if end() was not called (the script is reaped by then).
    ~RunProcesses();
    RunProcesses(const RunProcesses&) = delete;
    RunProcesses& operator=(const RunProcesses&) = delete;

    // The script runs as `script`, which is also its process group's id.
    void started(pid_t script);
    // After the script has been waited for: ends its process group, the
    // processes named in `holders` and, as the last run, every process the
    // checker adopted; waits until they are gone. Returns the ones that could
    // not be ended, described.
    std::vector<std::string> end(const std::vector<pid_t>& holders);

    // The signal that a process of a run sent the checker while this run was
    // under way (the installer would have received it); 0 when none.
    int signalledChecker() const { return signalled_; }

private:
    void countOut();

    pid_t group_ = -1;
    int slot_ = -1;
    unsigned signalsAtStart_ = 0;
    int signalled_ = 0;
    bool counted_ = true;
};

// Async-signal-safe. Whether `sender` is one of the runs' processes: a
// script under way, a member of its process group, or (on Linux) any
// process that descends from the checker. A sender that is gone already
// counts as a run's while one is under way.
bool isRunProcess(pid_t sender);
// Async-signal-safe. A run's process has sent the checker `signal`.
void notePayloadSignal(int signal);

} // namespace ZunoInstaller::PayloadCheck
