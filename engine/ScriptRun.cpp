#include "engine/ScriptRun.h"

#include "engine/LineSplitter.h"
#include "engine/ScriptInvocation.h"
#include "engine/ScriptOutput.h"
#include "engine/TranscriptSink.h"

#include <algorithm>
#include <csignal>
#include <string_view>
#include <thread>

namespace ZunoInstaller {

namespace {

using std::chrono::milliseconds;

// How often a run that polls looks at the clock and the script while
// nothing arrives.
constexpr milliseconds pollStep{50};
// How often a run whose output has ended looks for the exit, which is near.
constexpr milliseconds exitStep{2};

// Hands LineSplitter's lines on and counts them, for the interruption.
template <class Output> struct CountedLines {
    Output& output;
    std::size_t& count;

    void line(std::string_view text)
    {
        ++count;
        output.line(text);
    }
    void overlong(std::string_view head)
    {
        ++count;
        output.overlong(head);
    }
};

} // namespace

ScriptRun::~ScriptRun()
{
    // Dropped unfinished (something thrown): the child's destructor waits for
    // it, which a script that never ends must not turn into a hang.
    if (options_.endGroup)
        child_.signalGroup(SIGKILL);
}

bool ScriptRun::start(const ScriptInvocation& invocation)
{
    start_ = Clock::now();
    return invocation.start(child_, options_.child);
}

RunEnd ScriptRun::follow(ScriptOutput& output)
{
    return followInto(output);
}

RunEnd ScriptRun::follow(TranscriptSink& output)
{
    return followInto(output);
}

template <class Output> RunEnd ScriptRun::followInto(Output& output)
{
    LineSplitter splitter;
    CountedLines<Output> lines{output, lines_};
    char error[16 * 1024];
    RunEnd end = RunEnd::finished;
    for (;;) {
        interruptIfDue();
        if (!child_.outputOpen() && (!watchesExit() || exitedAt_))
            break;
        if (const std::optional<RunEnd> limit = limitReached(output)) {
            end = *limit;
            break;
        }
        const ChildRead read = nextRead(splitter.space(), error);
        if (read.kind == ChildRead::Kind::bytes && read.stream == ChildStream::output) {
            // Lines are counted only for an interruption: a flood brings millions.
            if (options_.interruption.kind != Interruption::Kind::none)
                splitter.commit(read.count, lines);
            else
                splitter.commit(read.count, output);
            interruptIfDue();
        } else if (read.kind == ChildRead::Kind::bytes) {
            output.error(std::string_view(error, read.count));
        } else if (read.kind == ChildRead::Kind::end && read.stream == ChildStream::output) {
            if (const std::optional<std::string_view> rest = splitter.rest())
                output.last(*rest);
        }
        if (watchesExit() && !exitedAt_ && child_.hasExited())
            exitedAt_ = Clock::now();
    }
    child_.closeOutput();
    drainError(output, error);
    return end;
}

std::int32_t ScriptRun::finish()
{
    // Whatever the script left running ends with the run: the group's id
    // stays reserved until the wait below.
    if (options_.endGroup)
        child_.signalGroup(SIGKILL);
    return child_.wait();
}

double ScriptRun::exitedAfter() const
{
    return exitedAt_ ? std::chrono::duration<double>(*exitedAt_ - start_).count() : 0.0;
}

std::optional<RunEnd> ScriptRun::limitReached(ScriptOutput& output)
{
    if (options_.stop != nullptr && options_.stop->load())
        return RunEnd::stopped;
    if (!watchesExit())
        return std::nullopt;
    const Clock::time_point now = Clock::now();
    if (options_.timeLimit && now - start_ >= *options_.timeLimit)
        return RunEnd::timeLimit;
    if (options_.heldOutputGrace && exitedAt_ && now - *exitedAt_ >= *options_.heldOutputGrace) {
        output.held(child_.outputDescriptor());
        return RunEnd::heldOutput;
    }
    return std::nullopt;
}

// The installer's way blocks in read() until bytes or the end arrive; a run
// that polls waits a step at most, so that it can look at its limits.
ChildRead ScriptRun::nextRead(std::span<char> output, std::span<char> error)
{
    if (!polls()) {
        const std::size_t count = child_.read(output.data(), output.size());
        if (count > 0)
            return {ChildRead::Kind::bytes, ChildStream::output, count};
        child_.closeOutput();
        return {ChildRead::Kind::end, ChildStream::output, 0};
    }
    milliseconds wait = pollStep;
    const auto until = [&](Clock::time_point deadline) {
        wait = std::clamp(std::chrono::ceil<milliseconds>(deadline - Clock::now()), milliseconds(0), wait);
    };
    if (options_.timeLimit)
        until(start_ + *options_.timeLimit);
    if (options_.interruption.afterTime && !cutSettled_)
        until(start_ + *options_.interruption.afterTime);
    if (!child_.outputOpen() && !child_.errorOpen()) {
        std::this_thread::sleep_for(std::min(wait, exitStep));
        return {ChildRead::Kind::timeout, ChildStream::output, 0};
    }
    return child_.readWithin(wait, output, error);
}

void ScriptRun::interruptIfDue()
{
    const Interruption& cut = options_.interruption;
    if (cutSettled_ || cut.kind == Interruption::Kind::none)
        return;
    if (cut.afterTime ? Clock::now() - start_ < *cut.afterTime : lines_ < cut.afterLines)
        return;
    cutSettled_ = true;
    // A moment past the script's end cuts nothing short.
    if (cut.afterTime && child_.hasExited())
        return;
    if (cut.kind == Interruption::Kind::closeReader)
        child_.closeOutput();
    else
        child_.signalGroup(SIGKILL);
    interrupted_ = true;
}

// What standard error holds already; a process that keeps it open is not
// waited for.
void ScriptRun::drainError(ScriptOutput& output, std::span<char> error)
{
    for (int round = 0; round < 64 && child_.errorOpen(); ++round) {
        const ChildRead read = child_.readWithin(milliseconds(0), {}, error);
        if (read.kind != ChildRead::Kind::bytes)
            break;
        output.error(std::string_view(error.data(), read.count));
    }
}

} // namespace ZunoInstaller
