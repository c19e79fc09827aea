#include "engine/ChildProcess.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>

extern char** environ;

namespace ZunoInstaller {
namespace {

std::vector<std::string> currentEnvironment()
{
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry)
        entries.emplace_back(*entry);
    return entries;
}

std::string outputOf(ChildProcess& child)
{
    std::string output;
    char buffer[4096];
    while (const std::size_t count = child.read(buffer, sizeof buffer))
        output.append(buffer, count);
    return output;
}

// sh itself unblocks signals when it starts, so the mask is checked with a
// program that leaves it alone.
TEST(ChildProcess, ChildStartsWithAnEmptySignalMaskAndNoIgnoredSignals)
{
    if (!std::filesystem::exists("/proc/self/status"))
        GTEST_SKIP() << "no /proc";
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGUSR1);
    sigset_t previousMask;
    pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    struct sigaction ignore {};
    struct sigaction previousAction {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGUSR2, &ignore, &previousAction);

    ChildProcess child;
    const bool started = child.start("/bin/cat", {"cat", "/proc/self/status"}, "/", currentEnvironment());
    sigaction(SIGUSR2, &previousAction, nullptr);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ASSERT_TRUE(started);

    const std::string status = outputOf(child);
    EXPECT_EQ(child.wait(), 0);
    EXPECT_NE(status.find("\nSigBlk:\t0000000000000000\n"), std::string::npos) << status;
    // Of the ignored signals only the standard ones count: the C library keeps
    // its own two internal real-time signals ignored across posix_spawn.
    const std::size_t ignored = status.find("\nSigIgn:\t");
    ASSERT_NE(ignored, std::string::npos) << status;
    const unsigned long long ignoredMask = std::stoull(status.substr(ignored + 9, 16), nullptr, 16);
    EXPECT_EQ(ignoredMask & 0x7fffffffULL, 0u) << status;
}

TEST(ChildProcess, StatusIsKnownOnlyOnceAnIgnoredSigchldIsReset)
{
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGCHLD, &ignore, &previous);
    const auto statusOfExit3 = [] {
        ChildProcess child;
        if (!child.start("/bin/sh", {"sh", "-c", "exit 3"}, "/", currentEnvironment()))
            return -100;
        outputOf(child);
        return child.wait();
    };
    // Inherited from a launcher: the system reaps the child, its status is gone.
    EXPECT_EQ(statusOfExit3(), unknownExitStatus);
    EXPECT_TRUE(useDefaultChildSignal());
    EXPECT_EQ(statusOfExit3(), 3);
    ::sigaction(SIGCHLD, &previous, nullptr);
}

TEST(ChildProcess, ReportsAFailureToStartAndCanBeWaitedForAnyway)
{
    ChildProcess child;
    EXPECT_FALSE(child.start("/no/such/program", {"program"}, "/", {}));
    char buffer[16];
    EXPECT_EQ(child.read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(child.wait(), unknownExitStatus);
}

} // namespace
} // namespace ZunoInstaller
