// How the runner starts the script: program, arguments, folder, environment,
// standard streams, descriptors, and the failures to start.
#include "RunnerFixture.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace ZunoInstaller::Testing {
namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class InstallerRunnerContract : public RunnerFixture {};

TEST_F(InstallerRunnerContract, StartsShWithTheScriptHeadlessInThePackageFolder)
{
    writeScript("printf '%s\\n' \"$#\" \"$0\" \"$@\" > args.txt\n"
                "pwd -P > cwd.txt\n"
                "[ -p /dev/fd/1 ] && echo pipe > streams.txt\n"
                "[ /dev/fd/2 -ef /dev/null ] && echo null >> streams.txt\n"
                // More than any pipe holds: discarded, it cannot block the script.
                "head -c 4194304 /dev/zero >&2\n" +
                chunk("out", perfectOutput));
    EXPECT_EQ(run().result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(linesOf(readFile(package / "args.txt")),
              (std::vector<std::string>{"1", (package / "Install.command").native(), "--headless"}));
    EXPECT_EQ(readFile(package / "cwd.txt"), std::filesystem::canonical(package).native() + "\n");
    EXPECT_EQ(readFile(package / "streams.txt"), "pipe\nnull\n");
    expectNoChildLeft();
}

TEST_F(InstallerRunnerContract, ResolvesRelativePathsFromTheCallersFolder)
{
    writeScript("printf '%s' \"$0\" > script.txt\nprintf '%s' \"$ZUNO_CODEX_BIN\" > codex.txt\n" +
                chunk("out", perfectOutput));
    const std::filesystem::path before = std::filesystem::current_path();
    const std::filesystem::path absoluteCodex = codex;
    std::filesystem::current_path(root);
    codex = std::filesystem::relative(absoluteCodex, root);
    const Run outcome = run({}, package.filename());
    codex = absoluteCodex;
    std::filesystem::current_path(before);
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(readFile(package / "script.txt"), (package / "Install.command").native());
    EXPECT_EQ(readFile(package / "codex.txt"), absoluteCodex.native());
}

TEST_F(InstallerRunnerContract, ReplacesEveryInheritedCopyOfTheTwoEntries)
{
    writeScript("printf '%s' \"$ZUNO_CODEX_BIN\" > codex.txt\n"
                "printf '%s' \"$PYTHONDONTWRITEBYTECODE\" > bytecode.txt\n"
                "printf '%s' \"$ZUNO_TEST_OTHER\" > other.txt\n"
                "[ -r /proc/$$/environ ] && tr '\\0' '\\n' < /proc/$$/environ > environ.txt\n" +
                chunk("out", perfectOutput));

    // The installer's environment, with copies of the replaced names and neighbours.
    std::vector<std::string> inherited;
    for (char** entry = environ; *entry != nullptr; ++entry)
        inherited.emplace_back(*entry);
    const std::vector<std::string> added{"ZUNO_CODEX_BIN=/wrong/one", "PYTHONDONTWRITEBYTECODE=0",
                                         "ZUNO_TEST_OTHER=a b=c 'q'", "ZUNO_CODEX_BIN=/wrong/two",
                                         "PYTHONDONTWRITEBYTECODE",   "ZUNO_CODEX_BINARY=kept"};
    inherited.insert(inherited.end(), added.begin(), added.end());
    std::vector<char*> custom;
    for (std::string& entry : inherited)
        custom.push_back(entry.data());
    custom.push_back(nullptr);

    char** const saved = environ;
    environ = custom.data();
    const Run outcome = run();
    environ = saved;

    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(readFile(package / "codex.txt"), codex.native());
    EXPECT_EQ(readFile(package / "bytecode.txt"), "1");
    EXPECT_EQ(readFile(package / "other.txt"), "a b=c 'q'");

    if (!std::filesystem::exists(package / "environ.txt"))
        GTEST_SKIP() << "no /proc: the raw environment cannot be checked here";
    // The raw environment the script received: every other entry in its
    // order, then the two set by the runner, each exactly once.
    std::vector<std::string> expected;
    for (const std::string& entry : inherited) {
        if (entry.rfind("ZUNO_CODEX_BIN=", 0) != 0 && entry.rfind("PYTHONDONTWRITEBYTECODE", 0) != 0)
            expected.push_back(entry);
    }
    expected.push_back("ZUNO_CODEX_BIN=" + codex.native());
    expected.push_back("PYTHONDONTWRITEBYTECODE=1");
    EXPECT_EQ(linesOf(readFile(package / "environ.txt")), expected);
}

TEST_F(InstallerRunnerContract, ScriptReadsTheInstallersStandardInput)
{
    writeScript("IFS= read -r line\nprintf '%s' \"$line\" > stdin.txt\n" + chunk("out", perfectOutput));
    writeFile(root / "input", "from the installer\nsecond line\n");
    const int input = ::open((root / "input").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(input, 0);
    const int saved = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    ::dup2(input, STDIN_FILENO);
    const Run outcome = run();
    if (saved >= 0) {
        ::dup2(saved, STDIN_FILENO);
        ::close(saved);
    } else {
        ::close(STDIN_FILENO);
    }
    ::close(input);
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(readFile(package / "stdin.txt"), "from the installer");
}

TEST_F(InstallerRunnerContract, WorksWhenTheInstallersStandardStreamsAreClosed)
{
    // The pipe then lands on 0 and 1; the script must still get it as its
    // output, and standard input stays as the installer has it: closed.
    writeScript("[ -p /dev/fd/1 ] || exit 5\n[ -e /dev/fd/0 ] || touch stdin-closed\n" +
                chunk("out", perfectOutput));
    int saved[3];
    for (int fd = 0; fd < 3; ++fd) {
        saved[fd] = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
        ::close(fd);
    }
    const Run outcome = run();
    for (int fd = 0; fd < 3; ++fd) {
        if (saved[fd] >= 0) {
            ::dup2(saved[fd], fd);
            ::close(saved[fd]);
        }
    }
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_TRUE(std::filesystem::exists(package / "stdin-closed"));
}

TEST_F(InstallerRunnerContract, ScriptSeesNoDescriptorButItsOwn)
{
    // Descriptors the installer holds without close-on-exec, as a launcher
    // might leak them: a file high up and both ends of a pipe.
    const int base = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int leakedFile = ::fcntl(base, F_DUPFD, 40);
    ::close(base);
    int leakedPipe[2];
    ASSERT_EQ(::pipe(leakedPipe), 0);
    ASSERT_GE(leakedFile, 40);

    writeScript(
        "fds=''; i=3; while [ $i -le 200 ]; do [ -e /dev/fd/$i ] && fds=\"$fds $i\"; i=$((i+1)); done\n"
        "echo $fds > fds.txt\n"
        "if [ -d /proc/$$/fd ]; then for i in $fds; do readlink /proc/$$/fd/$i; done > targets.txt; fi\n" +
        chunk("out", perfectOutput));
    const Run outcome = run();
    ::close(leakedFile);
    ::close(leakedPipe[0]);
    ::close(leakedPipe[1]);

    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    const std::vector<std::string> fds = linesOf(readFile(package / "fds.txt"));
    if (std::filesystem::exists(package / "targets.txt")) {
        // The only descriptor above 2 is the one sh reads the script through.
        for (const std::string& target : linesOf(readFile(package / "targets.txt")))
            EXPECT_EQ(target, (package / "Install.command").native()) << "open descriptors: " << fds.at(0);
    } else {
        const std::string open = fds.empty() ? "" : fds[0];
        EXPECT_EQ(open.find(std::to_string(leakedFile)), std::string::npos) << open;
        EXPECT_LE(std::count(open.begin(), open.end(), ' '), 0) << "open descriptors: " << open;
    }
}

TEST_F(InstallerRunnerContract, RunsOnTwoThreadsDoNotHoldEachOthersPipes)
{
    // The first run's pipe is open while the second starts a process that
    // outlives its own run. Had that process inherited the first run's write
    // end, the first run could only end after it, when it gives up waiting.
    const std::filesystem::path second = root / "second";
    std::filesystem::create_directories(second);
    writeScript("touch started\n" + waitForFile("go") + chunk("out", perfectOutput));
    writeFile(second / "Install.command",
              "printf '%s\\n' '" + validatedLine + "' '" + registeredLine + "' '" + checkingLine + "' '" +
                  completeLine +
                  "'\n"
                  "(i=0; while [ ! -e release ] && [ $i -lt 300 ]; do sleep 0.01; i=$((i+1)); done\n"
                  " [ -e release ] || touch gave-up) >/dev/null 2>&1 &\n");

    std::atomic<bool> firstDone{false};
    Run first{{false, "", 0}, {}};
    std::thread thread([&] {
        first = run();
        firstDone = true;
    });
    for (int i = 0; i < 500 && !std::filesystem::exists(package / "started"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    const InstallResult secondResult = runInstaller(second, codex, "1.0.0", nullptr);
    EXPECT_EQ(secondResult, (InstallResult{true, "OK", 0}));
    writeFile(package / "go", "");
    thread.join();
    EXPECT_TRUE(firstDone);
    EXPECT_EQ(first.result, (InstallResult{true, "OK", 0}));
    EXPECT_FALSE(std::filesystem::exists(second / "gave-up"));
    writeFile(second / "release", "");
}

volatile std::sig_atomic_t terminated = 0;

TEST_F(InstallerRunnerContract, ScriptSignalsOnlyItsOwnProcessGroup)
{
    // Had the script our group, `kill 0` would also reach the test runner
    // that started us: lead a group of our own, and count what arrives here.
    ::setpgid(0, 0);
    struct sigaction count {};
    struct sigaction previous {};
    count.sa_handler = [](int) { terminated = 1; };
    ::sigaction(SIGTERM, &count, &previous);

    // The common clean-up idiom ends the background job and the script itself:
    // a run that ends by a signal is no success, however perfect its output.
    writeScript("trap 'kill 0' EXIT\nsleep 30 &\n" + chunk("out", perfectOutput));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(run().result, (InstallResult{false, "CHECK_FAILED", SIGTERM}));
    // Ignoring the signal first keeps the script's own status.
    writeScript("trap 'trap \"\" TERM; kill 0' EXIT\nsleep 30 &\n" + chunk("out", perfectOutput));
    EXPECT_EQ(run().result, (InstallResult{true, "OK", 0}));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << "the sleepers outlived kill 0";

    ::sigaction(SIGTERM, &previous, nullptr);
    EXPECT_EQ(terminated, 0);
}

TEST_F(InstallerRunnerContract, MissingScriptIsShsFailureNotAFailureToStart)
{
    // The status is sh's own for a script it cannot open (127 for bash, 2 for dash).
    const int direct =
        std::system(("/bin/sh '" + (package / "Install.command").native() + "' 2>/dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(direct));
    ASSERT_NE(WEXITSTATUS(direct), 0);
    const Run outcome = run();
    EXPECT_EQ(outcome.result, (InstallResult{false, "CHECK_FAILED", WEXITSTATUS(direct)}));
    EXPECT_TRUE(outcome.stages.empty());
}

TEST_F(InstallerRunnerContract, FailuresToStartLeaveNothingBehind)
{
    writeScript(chunk("out", perfectOutput));
    writeFile(root / "a file", "");
    const InstallResult startFailed{false, "START_FAILED", -1};

    EXPECT_EQ(run({}, root / "no such folder").result, startFailed);
    EXPECT_EQ(run({}, root / "a file").result, startFailed);
    EXPECT_EQ(run({}, std::filesystem::path(package.native() + std::string(1, '\0') + "x")).result,
              startFailed);

    // One environment entry longer than the system takes.
    const std::filesystem::path realCodex = codex;
    codex = root / std::string(4 * 1024 * 1024, 'c');
    const Run tooLarge = run();
    codex = realCodex;
    EXPECT_EQ(tooLarge.result, startFailed);
    EXPECT_TRUE(tooLarge.stages.empty());
    expectNoChildLeft();

    // Nothing of a failed start stays behind: the next run works.
    EXPECT_EQ(run().result, (InstallResult{true, "OK", 0}));
}

} // namespace
} // namespace ZunoInstaller::Testing
