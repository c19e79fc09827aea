#include "payload-check/PayloadRun.h"

#include "engine/EventLineDecoder.h"
#include "engine/InstallTranscript.h"
#include "engine/ScriptInvocation.h"
#include "engine/ScriptOutput.h"
#include "payload-check/OutputHolders.h"
#include "payload-check/PayloadCopy.h"
#include "payload-check/RunProcesses.h"
#include "payload-check/SignalName.h"
#include "payload-check/TreeSnapshot.h"

#include <algorithm>
#include <atomic>

namespace ZunoInstaller::PayloadCheck {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::atomic<bool> stopping{false};
static_assert(std::atomic<bool>::is_always_lock_free);

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Where the run hands the output: every line is explained by the
// transcript, through the same rules as the installer's runner, and
// standard error is kept for the author.
class LineRecorder final : public ScriptOutput {
public:
    LineRecorder(RunReport& report, Clock::time_point start) : report_(report), start_(start) {}

    void line(std::string_view text) override
    {
        FaultDetail detail;
        DecodedLine decoded = decoder_.explainPadded(text, detail);
        record(text, text.size(), transcript_.explain(std::move(decoded), std::move(detail)));
    }

    void overlong(std::string_view head) override
    {
        record(head, head.size(), transcript_.explain(DecodedLine::refused(LineFault::tooLong)));
    }

    // The last line without a line feed, as the runner takes it.
    void last(std::string_view text) override { line(text); }

    void error(std::string_view bytes) override
    {
        const std::size_t room =
            maxStandardErrorBytes - std::min(maxStandardErrorBytes, report_.standardError.size());
        report_.standardError.append(bytes.substr(0, room));
        report_.standardErrorNotKept += bytes.size() - std::min(room, bytes.size());
    }

    void held(int readEnd) override
    {
        for (ProcessName& holder : processesHoldingPipe(readEnd)) {
            holderIds_.push_back(holder.pid);
            report_.holders.push_back(std::move(holder.description));
        }
    }

    const std::vector<pid_t>& holderIds() const { return holderIds_; }

    const InstallTranscript& transcript() const { return transcript_; }

private:
    void record(std::string_view text, std::size_t size, LineExplanation explanation)
    {
        ++count_;
        if (report_.lines.size() >= maxRecordedLines) {
            ++report_.linesNotKept;
            if (explanation.verdict.kind == LineVerdict::Kind::malformed)
                ++report_.malformedNotKept;
            return;
        }
        report_.lines.push_back({count_, secondsSince(start_), std::string(text.substr(0, maxEventLineBytes)),
                                 size, std::move(explanation)});
    }

    RunReport& report_;
    Clock::time_point start_;
    EventLineDecoder decoder_;
    InstallTranscript transcript_;
    std::size_t count_ = 0;
    std::vector<pid_t> holderIds_;
};

std::vector<const char*> pointersTo(const std::vector<std::string>& entries)
{
    std::vector<const char*> pointers;
    for (const std::string& entry : entries)
        pointers.push_back(entry.c_str());
    pointers.push_back(nullptr);
    return pointers;
}

// The installer's run, with the checker's limits and watches on top.
ScriptRunOptions runOptions(const RunSetup& setup)
{
    return {.child = {.captureError = true, .inputFromNull = setup.inputFromNull},
            .timeLimit = setup.timeout,
            .heldOutputGrace = heldOutputGrace,
            .endGroup = true,
            .interruption = setup.interruption,
            .stop = &stopping};
}

// The script started by a shell that limits file sizes first; `exec` keeps
// its process, so the script still leads its group with the same arguments.
void limitFileSize(ScriptInvocation& invocation, unsigned blocks)
{
    std::vector<std::string> arguments{
        invocation.program, "-c",
        "ulimit -f " + std::to_string(blocks) + " && trap '' XFSZ && exec \"$0\" \"$@\""};
    arguments.insert(arguments.end(), invocation.arguments.begin(), invocation.arguments.end());
    invocation.arguments = std::move(arguments);
}

} // namespace

RunReport runPayload(const RunSetup& setup)
{
    RunReport report;
    report.expectedVersion = setup.expectedVersion;
    report.setupError = setup.setupError;
    if (!setup.setupError.empty())
        return report;
    const PayloadCopy copy(setup.payload, setup.copies);
    if (copy.path().empty()) {
        report.setupError = copy.error();
        return report;
    }
    const TreeSnapshot before = TreeSnapshot::of(copy.path());
    const Clock::time_point start = Clock::now();

    const std::vector<const char*> inherited = pointersTo(setup.environment);
    std::optional<ScriptInvocation> invocation = scriptInvocation(copy.path(), setup.codex, inherited.data());
    if (invocation && setup.fileSizeBlocks)
        limitFileSize(*invocation, *setup.fileSizeBlocks);
    // Before the run, so that it outlives the script's reaping.
    RunProcesses processes;
    ScriptRun run(runOptions(setup));
    if (!invocation) {
        report.startError = "its path cannot be handed to a process";
    } else if (!run.start(*invocation)) {
        report.startError = run.startError().message();
    } else {
        report.started = true;
        processes.started(run.scriptId());
        LineRecorder recorder(report, start);
        const RunEnd end = run.follow(recorder);
        report.timedOut = end == RunEnd::timeLimit;
        report.heldOutput = end == RunEnd::heldOutput;
        report.interrupted = run.interrupted();
        report.exitedAfter = run.exitedAfter();
        const std::int32_t status = run.finish();
        report.signal = run.endSignal();
        report.notEnded = processes.end(recorder.holderIds());
        report.signalledChecker = processes.signalledChecker();
        const InstallTranscript& transcript = recorder.transcript();
        report.result = transcript.result(status, setup.expectedVersion);
        report.stages = transcript.stages;
        report.completedVersion = transcript.completedVersion;
        report.malformed = transcript.malformed;
        report.recordedFailure = transcript.failure.has_value();
    }
    report.seconds = secondsSince(start);
    report.payloadChanges = TreeSnapshot::of(copy.path()).changesSince(before);
    return report;
}

std::string_view screenFor(const RunReport& report)
{
    if (report.timedOut)
        return "progress";
    return rawValue(resultScreen(report.result));
}

std::string runFault(const RunReport& report, milliseconds timeout)
{
    std::vector<std::string> faults;
    if (!report.setupError.empty())
        faults.push_back(report.setupError);
    else if (!report.started)
        faults.push_back("the script could not be started: " + report.startError);
    if (report.timedOut)
        faults.push_back("it reached the time limit of " +
                         std::to_string(std::chrono::duration_cast<std::chrono::seconds>(timeout).count()) +
                         " s: the installer would have hung");
    if (report.heldOutput)
        faults.push_back("the script exited but a process it started still held its standard output: the "
                         "installer would wait for this process");
    if (report.signalledChecker != 0)
        faults.push_back("a process of the run sent the installer " + signalText(report.signalledChecker) +
                         ": the installer would have ended in the middle of the install");
    if (!report.payloadChanges.empty())
        faults.push_back("it changed its own folder (" + report.payloadChanges.front() +
                         (report.payloadChanges.size() > 1
                              ? " and " + std::to_string(report.payloadChanges.size() - 1) + " more)"
                              : ")"));
    std::string joined;
    for (const std::string& fault : faults)
        joined += (joined.empty() ? "" : "; ") + fault;
    return joined;
}

void requestStop()
{
    stopping.store(true);
}

bool stopRequested()
{
    return stopping.load();
}

} // namespace ZunoInstaller::PayloadCheck
