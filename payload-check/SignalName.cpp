#include "payload-check/SignalName.h"

#include <array>
#include <csignal>
#include <utility>

namespace ZunoInstaller::PayloadCheck {

namespace {

// By the system's own numbers, which differ between Linux and macOS.
const std::array names{
    std::pair{SIGHUP, "SIGHUP"},       std::pair{SIGINT, "SIGINT"},       std::pair{SIGQUIT, "SIGQUIT"},
    std::pair{SIGILL, "SIGILL"},       std::pair{SIGTRAP, "SIGTRAP"},     std::pair{SIGABRT, "SIGABRT"},
    std::pair{SIGBUS, "SIGBUS"},       std::pair{SIGFPE, "SIGFPE"},       std::pair{SIGKILL, "SIGKILL"},
    std::pair{SIGUSR1, "SIGUSR1"},     std::pair{SIGSEGV, "SIGSEGV"},     std::pair{SIGUSR2, "SIGUSR2"},
    std::pair{SIGPIPE, "SIGPIPE"},     std::pair{SIGALRM, "SIGALRM"},     std::pair{SIGTERM, "SIGTERM"},
    std::pair{SIGCHLD, "SIGCHLD"},     std::pair{SIGCONT, "SIGCONT"},     std::pair{SIGSTOP, "SIGSTOP"},
    std::pair{SIGTSTP, "SIGTSTP"},     std::pair{SIGTTIN, "SIGTTIN"},     std::pair{SIGTTOU, "SIGTTOU"},
    std::pair{SIGURG, "SIGURG"},       std::pair{SIGXCPU, "SIGXCPU"},     std::pair{SIGXFSZ, "SIGXFSZ"},
    std::pair{SIGVTALRM, "SIGVTALRM"}, std::pair{SIGPROF, "SIGPROF"},     std::pair{SIGWINCH, "SIGWINCH"},
    std::pair{SIGSYS, "SIGSYS"},
};

} // namespace

std::string_view signalName(int signal)
{
    for (const auto& [number, name] : names)
        if (number == signal)
            return name;
    return {};
}

std::string signalText(int signal)
{
    const std::string_view name = signalName(signal);
    if (name.empty())
        return "signal " + std::to_string(signal);
    return std::string(name) + " (" + std::to_string(signal) + ")";
}

} // namespace ZunoInstaller::PayloadCheck
