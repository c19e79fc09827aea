#pragma once

#include "engine/InstallProtocol.h"
#include "engine/LineVerdict.h"
#include "engine/ScriptRun.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

// Everything one run needs: the payload is started by the installer's own
// invocation, with `environment` in the place of the installer's.
struct RunSetup {
    // The author's payload folder, never written: each run works on a fresh
    // copy of it, made in a new folder inside `copies` and removed afterwards.
    std::filesystem::path payload;
    std::filesystem::path copies;
    std::filesystem::path codex;
    std::vector<std::string> environment;
    std::string expectedVersion;
    bool inputFromNull = false;
    std::chrono::milliseconds timeout{60000};
    Interruption interruption;
    // Files that the script and everything it starts write cannot grow past
    // this many 512-byte blocks; SIGXFSZ is ignored, so such a write fails
    // (EFBIG) as it would on a full disk instead of killing the writer.
    std::optional<unsigned> fileSizeBlocks;
    // Why the run cannot even be tried (its temporary home or its stand-in
    // tool could not be made).
    std::string setupError;
};

// One line of standard output and what the transcript made of it.
struct LineRecord {
    std::size_t number;
    double seconds;
    // The line's bytes, at most maxEventLineBytes of them.
    std::string bytes;
    // The line's length: for an over-long line, as much of it as was at hand.
    std::size_t size;
    LineExplanation explanation;
};

struct RunReport {
    bool started = false;
    std::string setupError;
    // Why the script could not be started, as the system said it.
    std::string startError;
    std::vector<LineRecord> lines;
    // Lines judged but not kept (beyond maxRecordedLines), and how many of them were malformed.
    std::size_t linesNotKept = 0;
    std::size_t malformedNotKept = 0;
    std::string standardError;
    std::size_t standardErrorNotKept = 0;
    std::vector<InstallStage> stages;
    std::optional<std::string> completedVersion;
    bool malformed = false;
    bool recordedFailure = false;
    std::string expectedVersion;
    InstallResult result{false, "START_FAILED", -1};
    // The signal that ended the script; 0 when it exited (or never ran).
    int signal = 0;
    // The limit was reached: the script and its process group were killed.
    bool timedOut = false;
    // The script exited while a process it started still held its output.
    bool heldOutput = false;
    std::vector<std::string> holders;
    // What the run left running that could not be ended.
    std::vector<std::string> notEnded;
    // A signal that a process of the run sent the checker, which stands for
    // the installer here; 0 when none.
    int signalledChecker = 0;
    double exitedAfter = 0;
    bool interrupted = false;
    // What the run changed inside the payload folder.
    std::vector<std::string> payloadChanges;
    double seconds = 0;
};

inline constexpr std::size_t maxRecordedLines = 1000;
inline constexpr std::size_t maxStandardErrorBytes = 64 * 1024;
// How long output may stay open after the script has exited before the
// checker says that the installer would be kept waiting.
inline constexpr std::chrono::milliseconds heldOutputGrace{2000};

// Runs the payload once, to its end, the time limit or the interruption.
RunReport runPayload(const RunSetup& setup);

// The screen the installer would show: "complete", "prerequisite",
// "error", or "progress" for a run that would never end.
std::string_view screenFor(const RunReport& report);

// Why the run fails whatever it reported: it could not start, reached the
// time limit, left its output held, signalled the installer or changed its
// own folder. Empty when none.
std::string runFault(const RunReport& report, std::chrono::milliseconds timeout);

// Asked from a signal handler: every run ends as soon as it can.
void requestStop();
bool stopRequested();

} // namespace ZunoInstaller::PayloadCheck
