#include "payload-check/StopSignals.h"

#include "engine/ChildProcess.h"
#include "payload-check/PayloadRun.h"
#include "payload-check/RunProcesses.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <utility>

namespace ZunoInstaller::PayloadCheck {

namespace {

// Every signal whose default action would end the checker without a report,
// SIGKILL and SIGSTOP aside (they cannot be caught).
constexpr std::array caught{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM};

// Sent by a process (kill, sigqueue), not by the terminal or the kernel.
bool sentByProcess(const siginfo_t& info)
{
#ifdef SI_TKILL
    if (info.si_code == SI_TKILL)
        return true;
#endif
    return info.si_code == SI_USER || info.si_code == SI_QUEUE;
}

void onSignal(int signal, siginfo_t* info, void*)
{
    const int savedErrno = errno;
    if (info != nullptr && sentByProcess(*info) && isRunProcess(info->si_pid))
        notePayloadSignal(signal);
    else
        requestStop();
    errno = savedErrno;
}

} // namespace

void watchSignals()
{
    // Children get every signal back at its default (ChildProcess).
    std::signal(SIGPIPE, SIG_IGN);
    useDefaultChildSignal();
    adoptOrphans();
    struct sigaction action {};
    action.sa_sigaction = onSignal;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int signal : caught)
        sigaddset(&action.sa_mask, signal);
    for (const int signal : caught)
        ::sigaction(signal, &action, nullptr);
}

} // namespace ZunoInstaller::PayloadCheck
