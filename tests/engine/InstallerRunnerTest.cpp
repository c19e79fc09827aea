// How the runner reads a real script's output: chunks, lines, the length
// rule, the end of output and the exit status.
#include "RunnerFixture.h"
#include "engine/ChildProcess.h"

#include <csignal>
#include <stdexcept>
#include <sys/time.h>

namespace ZunoInstaller::Testing {
namespace {

using Stages = std::vector<InstallStage>;

class InstallerRunner : public RunnerFixture {};

TEST_F(InstallerRunner, PerfectRunSucceedsAndReportsEveryStage)
{
    writeScript(chunk("out", perfectOutput));
    const Run outcome = run();
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(outcome.stages, allStages);
}

TEST_F(InstallerRunner, ReportsStagesOfAChunkBeforeReadingTheNext)
{
    // Three lines and the start of the fourth; the rest only after `checking`
    // has reached the progress handler.
    writeScript(
        chunk("first", validatedLine + "\n" + registeredLine + "\n" + checkingLine + "\n{\"event\":\"comp") +
        waitForFile("go") + chunk("second", "lete\",\"version\":\"1.0.0\"}\n"));
    const Run outcome = run(touchOn(InstallStage::checking, "go"));
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(outcome.stages, allStages);
}

TEST_F(InstallerRunner, JoinsALineSplitOverSeveralChunks)
{
    writeScript(chunk("a", validatedLine + "\n{\"event\":\"prog") + waitForFile("go") +
                chunk("b", "ress\",\"stage\":\"regis") + "sleep 0.2\n" +
                chunk("c", "tered\"}\n" + checkingLine + "\n" + completeLine + "\n"));
    const Run outcome = run(touchOn(InstallStage::validated, "go"));
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(outcome.stages, allStages);
}

TEST_F(InstallerRunner, EmptyLineIsMalformed)
{
    writeScript(chunk("out", validatedLine + "\n" + registeredLine + "\n\n" + checkingLine + "\n" +
                                 completeLine + "\n"));
    const Run outcome = run();
    EXPECT_EQ(outcome.result, (InstallResult{false, "CHECK_FAILED", 0}));
    EXPECT_EQ(outcome.stages, allStages);
}

TEST_F(InstallerRunner, TakesTheLastLineWithoutLineFeed)
{
    writeScript(chunk("out", perfectOutput.substr(0, perfectOutput.size() - 1)));
    EXPECT_EQ(run().result, (InstallResult{true, "OK", 0}));

    // A stage on that last line reaches the transcript but not the handler.
    writeScript(chunk("out", validatedLine + "\n" + registeredLine + "\n" + checkingLine));
    const Run outcome = run();
    EXPECT_EQ(outcome.result, (InstallResult{false, "CHECK_FAILED", 0}));
    EXPECT_EQ(outcome.stages, (Stages{InstallStage::validated, InstallStage::registered}));
}

TEST_F(InstallerRunner, PendingBytesOfExactlyTheLimitWaitForTheLineFeed)
{
    std::string padded = registeredLine;
    padded.resize(maxEventLineBytes, ' ');
    writeScript(chunk("a", validatedLine + "\n" + padded) + waitForFile("go") +
                chunk("b", "\n" + checkingLine + "\n" + completeLine + "\n"));
    const Run outcome = run(touchOn(InstallStage::validated, "go"));
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(outcome.stages, allStages);
}

TEST_F(InstallerRunner, DropsAnOverLongLineToItsLineFeedAndReadsOn)
{
    // The 5000 bytes go, and with them the rest of their line in the next
    // chunk: `registered` belongs to it, so `checking` comes out of order.
    writeScript(chunk("a", validatedLine + "\n" + std::string(5000, 'x')) + waitForFile("go") +
                chunk("b", registeredLine + "\n" + checkingLine + "\n" + completeLine + "\n"));
    const Run outcome = run(touchOn(InstallStage::validated, "go"));
    EXPECT_EQ(outcome.result, (InstallResult{false, "CHECK_FAILED", 0}));
    EXPECT_EQ(outcome.stages, (Stages{InstallStage::validated}));

    // An event at the end of a line far longer than a pipe's chunk is not
    // an event, wherever the pipe cuts the line.
    writeScript("head -c 70000 /dev/zero | tr '\\0' 'x'\n"
                "echo '{\"event\":\"error\",\"code\":\"CODEX_MISSING\"}'\n" +
                chunk("out", perfectOutput));
    EXPECT_EQ(run().result, (InstallResult{false, "CHECK_FAILED", 0}));
}

TEST_F(InstallerRunner, HandsOnALongLineWholeWhenItsLineFeedCameWithIt)
{
    // Cut anywhere, the tail of this line would be a valid `registered` event.
    const std::string longLine = std::string(5000 - registeredLine.size(), 'x') + registeredLine;
    writeScript(
        chunk("out", validatedLine + "\n" + longLine + "\n" + checkingLine + "\n" + completeLine + "\n"));
    const Run outcome = run();
    EXPECT_EQ(outcome.result, (InstallResult{false, "CHECK_FAILED", 0}));
    EXPECT_EQ(outcome.stages, (Stages{InstallStage::validated}));
}

TEST_F(InstallerRunner, ReadsToTheEndOfAFloodAfterAMalformedLine)
{
    // Far more than a pipe holds: a reader that stopped would leave sh blocked.
    writeScript("echo garbage\n"
                "head -c 8388608 /dev/zero | tr '\\0' 'x'\n"
                "i=0; while [ $i -lt 2000 ]; do echo 'not json at all, line after line'; i=$((i+1)); done\n"
                "echo\n" +
                chunk("out", perfectOutput) + "exit 4\n");
    const Run outcome = run();
    EXPECT_EQ(outcome.result, (InstallResult{false, "CHECK_FAILED", 4}));
    EXPECT_EQ(outcome.stages, allStages);
}

TEST_F(InstallerRunner, WaitsForEveryHolderOfStandardOutput)
{
    // The completion comes from a process the script leaves behind.
    writeScript(chunk("out", validatedLine + "\n" + registeredLine + "\n" + checkingLine + "\n") +
                "(sleep 0.3; cat done) &\nexit 0\n");
    writeFile(package / "done", completeLine + "\n");
    const Run outcome = run();
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(outcome.stages, allStages);
}

TEST_F(InstallerRunner, InterruptedReadsAndWaitsCarryOn)
{
    // A handler installed without SA_RESTART makes the blocked read and wait
    // return EINTR again and again while the script sleeps.
    writeScript(chunk("a", validatedLine + "\n" + registeredLine + "\n") + "sleep 0.3\n" +
                chunk("b", checkingLine + "\n" + completeLine + "\n") + "exec >/dev/null\nsleep 0.3\n");
    struct sigaction interrupt {};
    struct sigaction previous {};
    interrupt.sa_handler = [](int) {};
    sigaction(SIGALRM, &interrupt, &previous);
    itimerval every2ms{{0, 2000}, {0, 2000}};
    itimerval off{};
    setitimer(ITIMER_REAL, &every2ms, nullptr);
    const Run outcome = run();
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previous, nullptr);
    EXPECT_EQ(outcome.result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(outcome.stages, allStages);
}

TEST_F(InstallerRunner, ScriptEndedBySignalFailsWithTheSignalNumber)
{
    writeScript(chunk("out", perfectOutput) + "kill -KILL $$\n");
    const Run outcome = run();
    EXPECT_EQ(outcome.result, (InstallResult{false, "CHECK_FAILED", SIGKILL}));
    EXPECT_EQ(outcome.stages, allStages);
}

TEST_F(InstallerRunner, StoppedAndContinuedScriptIsWaitedFor)
{
    // Output closed first, so the runner is already waiting for the exit
    // while the script is stopped.
    writeScript(chunk("out", perfectOutput) +
                "exec >/dev/null\n(sleep 0.3; kill -CONT $$) &\nkill -STOP $$\nexit 0\n");
    EXPECT_EQ(run().result, (InstallResult{true, "OK", 0}));
}

TEST_F(InstallerRunner, ChildStartsWithDefaultSignalHandlingWhateverTheInstallerDoes)
{
    // A signal ignored on entry stays ignored for good in sh: the script
    // could not even end itself with it.
    writeScript(chunk("out", perfectOutput) + "kill -TERM $$\nexit 0\n");
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGTERM, &ignore, &previous);
    const Run outcome = run();
    sigaction(SIGTERM, &previous, nullptr);
    EXPECT_EQ(outcome.result, (InstallResult{false, "CHECK_FAILED", SIGTERM}));
}

TEST_F(InstallerRunner, UnknownExitStatusNeverCountsAsSuccess)
{
    // With SIGCHLD ignored the system reaps the child and its status is lost.
    writeScript(chunk("out", perfectOutput));
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignore, &previous);
    const Run outcome = run();
    sigaction(SIGCHLD, &previous, nullptr);
    EXPECT_EQ(outcome.result, (InstallResult{false, "CHECK_FAILED", unknownExitStatus}));
    EXPECT_EQ(outcome.stages, allStages);
}

TEST_F(InstallerRunner, AThrowingProgressHandlerDoesNotEndTheRun)
{
    writeScript(chunk("out", perfectOutput));
    int calls = 0;
    const InstallResult result = runInstaller(package, codex, "1.0.0", [&](InstallStage) {
        ++calls;
        throw std::runtime_error("handler failed");
    });
    EXPECT_EQ(result, (InstallResult{true, "OK", 0}));
    EXPECT_EQ(calls, 3);
}

} // namespace
} // namespace ZunoInstaller::Testing
