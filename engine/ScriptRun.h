#pragma once

#include "engine/ChildProcess.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <system_error>

namespace ZunoInstaller {

class ScriptOutput;
class TranscriptSink;
struct ScriptInvocation;

// A way to cut a run short on purpose, as a crash or Force Quit of the
// installer would.
struct Interruption {
    enum class Kind { none, closeReader, killGroup };
    Kind kind = Kind::none;
    // Acts once this many lines have been read (0: as soon as the script runs).
    std::size_t afterLines = 0;
    // When given, acts this long after the start instead, wherever the script
    // is: inside a stage, in the middle of a copy.
    std::optional<std::chrono::microseconds> afterTime;
};

// What a run does beyond the installer's own way: read the output to its end,
// then wait for the exit, however long either takes. Every default is the
// installer's; the payload checker sets the rest.
struct ScriptRunOptions {
    ChildOptions child;
    // The run ends once this much time has passed since the start.
    std::optional<std::chrono::milliseconds> timeLimit;
    // The run ends once the output stays open this long after the script
    // has exited (a process the script started holds it).
    std::optional<std::chrono::milliseconds> heldOutputGrace;
    // Kills the script's whole process group before the wait, and when the
    // run is dropped unfinished.
    bool endGroup = false;
    Interruption interruption;
    // Looked at between reads: once true, the run ends as soon as it can.
    const std::atomic<bool>* stop = nullptr;
};

// Why ScriptRun::follow() returned.
enum class RunEnd {
    finished,   // the output ended (and, when the run watches it, the script exited)
    timeLimit,  // ScriptRunOptions::timeLimit passed
    heldOutput, // ScriptRunOptions::heldOutputGrace passed after the exit
    stopped,    // ScriptRunOptions::stop was set
};

// One run of a script, as the installer makes it and the payload checker
// repeats it: start, read the standard output and cut it into lines, hand
// them on (where they are decoded), wait for the exit. All on the calling
// thread.
class ScriptRun {
public:
    explicit ScriptRun(const ScriptRunOptions& options = {}) : options_(options) {}
    ~ScriptRun();
    ScriptRun(const ScriptRun&) = delete;
    ScriptRun& operator=(const ScriptRun&) = delete;

    // false: nothing runs, and startError() says why.
    bool start(const ScriptInvocation& invocation);
    std::error_code startError() const { return child_.startError(); }

    // Hands the output to `output` until it has ended or an option ends the
    // run; a run with a time limit or a held-output grace also waits for the
    // exit. Whatever `output` throws stops the reading and passes on.
    RunEnd follow(ScriptOutput& output);
    // The same for the installer's own sink, called directly: a flood of
    // short lines makes millions of calls.
    RunEnd follow(TranscriptSink& output);

    // Ends the process group if asked to, then waits for the script: its exit
    // status as ChildProcess::wait() gives it.
    std::int32_t finish();

    bool interrupted() const { return interrupted_; }
    // The script's process id, which is also its group's; -1 before start()
    // and after finish().
    pid_t scriptId() const { return child_.id(); }
    // After finish(): the signal that ended the script, 0 when it exited.
    int endSignal() const { return child_.endSignal(); }
    // Seconds from the start until the exit was noticed during follow(); 0
    // when the run does not watch the exit, or it was not seen.
    double exitedAfter() const;

private:
    using Clock = std::chrono::steady_clock;

    // Any option that makes the run look up between reads.
    bool polls() const
    {
        return options_.timeLimit || options_.heldOutputGrace || options_.stop || options_.child.captureError ||
               options_.interruption.afterTime;
    }
    bool watchesExit() const { return options_.timeLimit || options_.heldOutputGrace; }
    template <class Output> RunEnd followInto(Output& output);
    std::optional<RunEnd> limitReached(ScriptOutput& output);
    ChildRead nextRead(std::span<char> output, std::span<char> error);
    void interruptIfDue();
    void drainError(ScriptOutput& output, std::span<char> error);

    ScriptRunOptions options_;
    ChildProcess child_;
    Clock::time_point start_{};
    std::optional<Clock::time_point> exitedAt_;
    std::size_t lines_ = 0;
    // The interruption has acted, or its moment has passed.
    bool cutSettled_ = false;
    bool interrupted_ = false;
};

} // namespace ZunoInstaller
