#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

struct ProcessName {
    pid_t pid;
    // "pid 123: sleep 30"
    std::string description;
};

// The processes, other than this one, that hold the write end of the pipe
// whose read end is `readEnd`. Read from /proc where the system has it
// (Linux); empty elsewhere.
std::vector<ProcessName> processesHoldingPipe(int readEnd);

// "pid 123: sleep 30", with the command line where the system says (Linux).
std::string describeProcess(pid_t pid);

} // namespace ZunoInstaller::PayloadCheck
