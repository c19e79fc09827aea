#pragma once

#include <span>
#include <string_view>

namespace ZunoInstaller::PayloadCheck {

// Why a run or a scenario failed, or what it passed with a warning about: a
// stable identifier that reports print and CI systems match on. The
// identifiers never change once released; new ones may be added.
enum class Reason {
    startFailed,       // the script could not be started
    killedBySignal,    // the script ended by a signal, not with an exit status
    timeLimit,         // the run reached the time limit
    heldOutput,        // a process the script started kept its output open after it exited
    malformedLine,     // a line of standard output broke the event protocol
    missingStage,      // a stage was missing or came out of order
    noCompletion,      // the run ended without a completion event
    versionMismatch,   // the completion named another version than the expected one
    exitStatus,        // the exit status contradicts the events (non-zero after a completion)
    errorCode,         // the script reported an error code where success was needed
    wrongCode,         // a failure with another code than the scenario needs, or success where it needs a failure
    payloadChanged,    // the run changed the payload folder
    partialInstall,    // a run that reported success left a home unlike a clean install's
    notCrashSafe,      // killed during a run, the install was neither the earlier copy nor the new one
    notConcurrencySafe, // two runs at once left a home unlike a clean install's
    toolNotRun,        // the scenario's Codex tool was never run
    errorThenExitZero, // warning: an error event, then exit status 0
    completeAfterError, // warning: a completion after an error event
    missingBetweenRenames, // warning: the destination was missing for an instant, and the next run restored it
    runtimeCode,       // warning: a tool that is there but does not run is RUNTIME_UNAVAILABLE
    notRestored,       // after a run cut short or failed, a clean run did not leave a clean install's home
    signalledInstaller, // a process of the run sent the installer a signal that would have ended it
    setupFailed,       // the checker could not prepare the run (home, stand-in tool, payload copy)
};

struct ReasonInfo {
    Reason reason;
    std::string_view id;      // "version-mismatch"
    std::string_view meaning; // one line, for the reports and the docs
};

// Every reason, in the order above.
std::span<const ReasonInfo> reasonTable();
std::string_view reasonId(Reason reason);
std::string_view reasonMeaning(Reason reason);

} // namespace ZunoInstaller::PayloadCheck
