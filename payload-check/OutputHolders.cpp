#include "payload-check/OutputHolders.h"

#include "payload-check/PrintableText.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

std::string commandLineOf(const fs::path& process)
{
    std::ifstream in(process / "cmdline", std::ios::binary);
    std::string arguments{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    while (!arguments.empty() && arguments.back() == '\0')
        arguments.pop_back();
    std::replace(arguments.begin(), arguments.end(), '\0', ' ');
    return PrintableText{.limit = 160}(arguments);
}

} // namespace

std::string describeProcess(pid_t pid)
{
    const std::string line = commandLineOf(fs::path("/proc") / std::to_string(pid));
    return "pid " + std::to_string(pid) + (line.empty() ? "" : ": " + line);
}

std::vector<ProcessName> processesHoldingPipe(int readEnd)
{
    std::vector<ProcessName> holders;
    struct stat pipe {};
    if (readEnd < 0 || ::fstat(readEnd, &pipe) != 0 || !S_ISFIFO(pipe.st_mode))
        return holders;
    const std::string target = "pipe:[" + std::to_string(pipe.st_ino) + "]";
    const std::string self = std::to_string(::getpid());
    std::error_code error;
    for (fs::directory_iterator process("/proc", error), end; !error && process != end;
         process.increment(error)) {
        const std::string pid = process->path().filename().native();
        if (pid == self || pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code ignored;
        for (fs::directory_iterator fd(process->path() / "fd", ignored), none; !ignored && fd != none;
             fd.increment(ignored)) {
            std::error_code unreadable;
            if (fs::read_symlink(fd->path(), unreadable).native() == target) {
                pid_t id = 0;
                std::from_chars(pid.data(), pid.data() + pid.size(), id);
                holders.push_back({id, describeProcess(id)});
                break;
            }
        }
    }
    return holders;
}

} // namespace ZunoInstaller::PayloadCheck
