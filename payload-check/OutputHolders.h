#pragma once

#include <string>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

// The processes, other than this one, that hold the write end of the pipe
// whose read end is `readEnd`: "pid 123: sleep 30". Read from /proc where the
// system has it (Linux); empty elsewhere.
std::vector<std::string> processesHoldingPipe(int readEnd);

} // namespace ZunoInstaller::PayloadCheck
