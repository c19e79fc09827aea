#include "engine/ChildProcess.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <pthread.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

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

// Reads both streams with readWithin until the output ends or `limit` passes.
struct Streams {
    std::string output;
    std::string error;
    bool outputEnded = false;
};

Streams readBoth(ChildProcess& child, std::chrono::milliseconds step, int steps)
{
    Streams got;
    char out[256];
    char err[256];
    for (int i = 0; i < steps && !got.outputEnded; ++i) {
        const ChildRead read = child.readWithin(step, out, err);
        std::string& into = read.stream == ChildStream::output ? got.output : got.error;
        if (read.kind == ChildRead::Kind::bytes)
            into.append(read.stream == ChildStream::output ? out : err, read.count);
        if (read.kind == ChildRead::Kind::end && read.stream == ChildStream::output)
            got.outputEnded = true;
    }
    return got;
}

TEST(ChildProcess, CapturesStandardErrorApartAndCanGiveTheNullDeviceAsInput)
{
    // Our own standard input, for the spawn, is a pipe that holds "x".
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "x", 1), 1);
    ::close(ends[1]);
    const int savedInput = ::dup(STDIN_FILENO);
    ::dup2(ends[0], STDIN_FILENO);
    ::close(ends[0]);
    ChildProcess child;
    const bool started = child.start("/bin/sh", {"sh", "-c", "echo out; echo err >&2; cat"}, "/",
                                     currentEnvironment(), {.captureError = true, .inputFromNull = true});
    ::dup2(savedInput, STDIN_FILENO);
    ::close(savedInput);
    ASSERT_TRUE(started);
    const Streams got = readBoth(child, std::chrono::milliseconds(5000), 20);
    EXPECT_TRUE(got.outputEnded);
    EXPECT_EQ(got.output, "out\n");
    EXPECT_EQ(got.error, "err\n");
    EXPECT_EQ(child.wait(), 0);
}

// A background process that keeps the output open: the script's exit is
// learned while the output is still held, and killing the group ends both.
TEST(ChildProcess, LearnsOfTheExitWhileTheOutputIsHeldAndEndsTheWholeGroup)
{
    ChildProcess child;
    ASSERT_TRUE(
        child.start("/bin/sh", {"sh", "-c", "echo early; sleep 60 & exit 4"}, "/", currentEnvironment()));
    Streams got;
    for (int i = 0; i < 200 && !child.hasExited(); ++i)
        got = readBoth(child, std::chrono::milliseconds(10), 1);
    ASSERT_TRUE(child.hasExited());
    got = readBoth(child, std::chrono::milliseconds(50), 3);
    EXPECT_FALSE(got.outputEnded) << "the sleep holds the output";
    EXPECT_TRUE(child.outputOpen());

    EXPECT_TRUE(child.signalGroup(SIGKILL));
    got = readBoth(child, std::chrono::milliseconds(5000), 5);
    EXPECT_TRUE(got.outputEnded);
    EXPECT_EQ(child.wait(), 4) << "the status waited for past the exit is the script's own";
    EXPECT_FALSE(child.signalGroup(SIGKILL));
}

// A child stopped by a signal has not ended: the run must go on waiting for
// it, and learn of its real exit once it is continued.
TEST(ChildProcess, AStoppedChildHasNotExited)
{
    ChildProcess child;
    ASSERT_TRUE(child.start("/bin/sh", {"sh", "-c", "echo stopping; kill -STOP $$; echo resumed; exit 6"}, "/",
                            currentEnvironment()));
    Streams got = readBoth(child, std::chrono::milliseconds(5000), 1);
    ASSERT_EQ(got.output, "stopping\n");
    siginfo_t info{};
    for (int i = 0; i < 500 && info.si_pid != child.id(); ++i) {
        ::waitid(P_PID, static_cast<id_t>(child.id()), &info, WSTOPPED | WNOHANG | WNOWAIT);
        if (info.si_pid != child.id())
            ::usleep(10000);
    }
    ASSERT_EQ(info.si_pid, child.id()) << "the child never stopped";
    ASSERT_EQ(info.si_code, CLD_STOPPED);
    EXPECT_FALSE(child.hasExited());
    EXPECT_FALSE(child.hasExited()) << "asked twice, still running";

    ASSERT_TRUE(child.signalGroup(SIGCONT));
    got = readBoth(child, std::chrono::milliseconds(5000), 3);
    EXPECT_EQ(got.output, "resumed\n");
    for (int i = 0; i < 500 && !child.hasExited(); ++i)
        ::usleep(10000);
    EXPECT_TRUE(child.hasExited());
    EXPECT_EQ(child.wait(), 6);
}

// wait() gives a signal's number as it gives an exit status (the installer's
// summary shows either); endSignal() tells the two apart.
TEST(ChildProcess, TellsADeathBySignalFromTheSameExitStatus)
{
    ChildProcess child;
    ASSERT_TRUE(child.start("/bin/sh", {"sh", "-c", "kill -TERM $$"}, "/", currentEnvironment()));
    EXPECT_EQ(child.wait(), SIGTERM);
    EXPECT_EQ(child.endSignal(), SIGTERM);
    ASSERT_TRUE(child.start("/bin/sh", {"sh", "-c", "exit 15"}, "/", currentEnvironment()));
    EXPECT_EQ(child.endSignal(), 0) << "a new start forgets the last end";
    EXPECT_EQ(child.wait(), 15);
    EXPECT_EQ(child.endSignal(), 0);
}

TEST(ChildProcess, SaysWhyItCouldNotStartAndCanBeWaitedForAnyway)
{
    ChildProcess child;
    EXPECT_FALSE(child.start("/no/such/program", {"program"}, "/", {}));
    EXPECT_EQ(child.startError(), std::errc::no_such_file_or_directory);
    char buffer[16];
    EXPECT_EQ(child.read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(child.wait(), unknownExitStatus);

    // A folder that is a file: the child's chdir fails before the program runs.
    EXPECT_FALSE(child.start("/bin/sh", {"sh", "-c", "exit 0"}, "/dev/null", {}));
    EXPECT_EQ(child.startError(), std::errc::not_a_directory);
    ASSERT_TRUE(child.start("/bin/sh", {"sh", "-c", "exit 0"}, "/", {}));
    EXPECT_FALSE(child.startError()) << "a start that succeeded leaves no error behind";
    EXPECT_EQ(child.wait(), 0);
}

} // namespace
} // namespace ZunoInstaller
