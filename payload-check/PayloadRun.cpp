#include "payload-check/PayloadRun.h"

#include "engine/ChildProcess.h"
#include "engine/EventLineDecoder.h"
#include "engine/InstallTranscript.h"
#include "engine/LineSplitter.h"
#include "engine/ScriptInvocation.h"
#include "payload-check/OutputHolders.h"
#include "payload-check/TreeSnapshot.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <thread>

namespace ZunoInstaller::PayloadCheck {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::atomic<bool> stopping{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// How often the run looks at the clock and the script while nothing arrives.
constexpr milliseconds step{50};

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Where LineSplitter hands the output: every line is explained by the
// transcript, through the same rules as the installer's runner.
class LineRecorder {
public:
    LineRecorder(RunReport& report, Clock::time_point start) : report_(report), start_(start) {}

    void line(std::string_view text)
    {
        FaultDetail detail;
        DecodedLine decoded = decoder_.explainPadded(text, detail);
        record(text, text.size(), transcript_.explain(std::move(decoded), std::move(detail)));
    }

    void overlong(std::string_view head)
    {
        record(head, head.size(), transcript_.explain(DecodedLine::refused(LineFault::tooLong)));
    }

    std::size_t count() const { return count_; }
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
};

std::vector<const char*> pointersTo(const std::vector<std::string>& entries)
{
    std::vector<const char*> pointers;
    for (const std::string& entry : entries)
        pointers.push_back(entry.c_str());
    pointers.push_back(nullptr);
    return pointers;
}

void keepError(RunReport& report, std::string_view bytes)
{
    const std::size_t room =
        maxStandardErrorBytes - std::min(maxStandardErrorBytes, report.standardError.size());
    report.standardError.append(bytes.substr(0, room));
    report.standardErrorNotKept += bytes.size() - std::min(room, bytes.size());
}

void interrupt(ChildProcess& child, const Interruption& interruption, RunReport& report)
{
    if (interruption.kind == Interruption::Kind::closeReader)
        child.closeOutput();
    else
        child.signalGroup(SIGKILL);
    report.interrupted = true;
}

// Reads the output and standard error until the script has exited and its
// output has ended, the time limit passes, or the output stays held.
void follow(ChildProcess& child, const RunSetup& setup, RunReport& report, LineRecorder& recorder,
            Clock::time_point start)
{
    LineSplitter splitter;
    char error[16 * 1024];
    std::optional<Clock::time_point> exitedAt;
    const Clock::time_point deadline = start + setup.timeout;
    const Interruption& interruption = setup.interruption;
    const auto due = [&] {
        return !report.interrupted && interruption.kind != Interruption::Kind::none &&
               recorder.count() >= interruption.afterLines;
    };
    if (due())
        interrupt(child, interruption, report);

    for (;;) {
        const Clock::time_point now = Clock::now();
        if (exitedAt && !child.outputOpen())
            break;
        if (now >= deadline || stopRequested()) {
            report.timedOut = !stopRequested();
            break;
        }
        if (exitedAt && now - *exitedAt >= heldOutputGrace) {
            report.heldOutput = true;
            report.holders = processesHoldingPipe(child.outputDescriptor());
            break;
        }
        const milliseconds wait = std::min(step, std::chrono::ceil<milliseconds>(deadline - now));
        if (!child.outputOpen() && !child.errorOpen()) {
            std::this_thread::sleep_for(wait);
        } else {
            const ChildRead read = child.readWithin(wait, splitter.space(), error);
            if (read.kind == ChildRead::Kind::bytes && read.stream == ChildStream::output) {
                splitter.commit(read.count, recorder);
                if (due())
                    interrupt(child, interruption, report);
            } else if (read.kind == ChildRead::Kind::bytes) {
                keepError(report, std::string_view(error, read.count));
            } else if (read.kind == ChildRead::Kind::end && read.stream == ChildStream::output) {
                // The last line without a line feed, as the runner takes it.
                if (const std::optional<std::string_view> last = splitter.rest())
                    recorder.line(*last);
            }
        }
        if (!exitedAt && child.hasExited()) {
            exitedAt = Clock::now();
            report.exitedAfter = secondsSince(start);
        }
    }
    // What standard error holds already; a process that keeps it open is not waited for.
    child.closeOutput();
    for (int round = 0; round < 64 && child.errorOpen(); ++round) {
        const ChildRead read = child.readWithin(milliseconds(0), {}, error);
        if (read.kind != ChildRead::Kind::bytes)
            break;
        keepError(report, std::string_view(error, read.count));
    }
}

} // namespace

RunReport runPayload(const RunSetup& setup)
{
    RunReport report;
    report.expectedVersion = setup.expectedVersion;
    report.setupError = setup.setupError;
    if (!setup.setupError.empty())
        return report;
    const TreeSnapshot before = TreeSnapshot::of(setup.payload);
    const Clock::time_point start = Clock::now();

    const std::vector<const char*> inherited = pointersTo(setup.environment);
    const std::optional<ScriptInvocation> invocation =
        scriptInvocation(setup.payload, setup.codex, inherited.data());
    ChildProcess child;
    if (invocation &&
        invocation->start(child, {.captureError = true, .inputFromNull = setup.inputFromNull})) {
        report.started = true;
        LineRecorder recorder(report, start);
        follow(child, setup, report, recorder, start);
        // Whatever the script left running, the payload's own or not, ends
        // with the run: the group's id stays reserved until the wait below.
        child.signalGroup(SIGKILL);
        const std::int32_t status = child.wait();
        const InstallTranscript& transcript = recorder.transcript();
        report.result = transcript.result(status, setup.expectedVersion);
        report.stages = transcript.stages;
        report.completedVersion = transcript.completedVersion;
        report.malformed = transcript.malformed;
        report.recordedFailure = transcript.failure.has_value();
    }
    report.seconds = secondsSince(start);
    report.payloadChanges = TreeSnapshot::of(setup.payload).changesSince(before);
    return report;
}

std::string_view screenFor(const RunReport& report)
{
    if (report.timedOut)
        return "progress";
    if (report.result.success)
        return "complete";
    return report.result.code == "CODEX_MISSING" ? "prerequisite" : "error";
}

std::string runFault(const RunReport& report, milliseconds timeout)
{
    std::vector<std::string> faults;
    if (!report.setupError.empty())
        faults.push_back(report.setupError);
    else if (!report.started)
        faults.push_back("the script could not be started");
    if (report.timedOut)
        faults.push_back("it reached the time limit of " +
                         std::to_string(std::chrono::duration_cast<std::chrono::seconds>(timeout).count()) +
                         " s: the installer would have hung");
    if (report.heldOutput)
        faults.push_back("the script exited but a process it started still held its standard output: the "
                         "installer would wait for this process");
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
