#include "payload-check/Reason.h"

#include <array>

namespace ZunoInstaller::PayloadCheck {

namespace {

constexpr std::array table{
    ReasonInfo{Reason::startFailed, "start-failed", "the script could not be started"},
    ReasonInfo{Reason::killedBySignal, "killed-by-signal", "the script was ended by a signal"},
    ReasonInfo{Reason::timeLimit, "time-limit", "the run reached the time limit"},
    ReasonInfo{Reason::heldOutput, "held-output",
               "a process the script started kept its standard output open after the script exited"},
    ReasonInfo{Reason::malformedLine, "malformed-line", "a line of standard output broke the event protocol"},
    ReasonInfo{Reason::missingStage, "missing-stage", "a stage was missing or came out of order"},
    ReasonInfo{Reason::noCompletion, "no-completion", "the run ended without a completion event"},
    ReasonInfo{Reason::versionMismatch, "version-mismatch",
               "the completion named another version than the expected one"},
    ReasonInfo{Reason::exitStatus, "exit-status", "the exit status contradicts the events"},
    ReasonInfo{Reason::errorCode, "error-code", "the script reported an error where success was needed"},
    ReasonInfo{Reason::wrongCode, "wrong-code", "the run did not end with the outcome the scenario needs"},
    ReasonInfo{Reason::payloadChanged, "payload-changed", "the run changed the payload folder"},
    ReasonInfo{Reason::partialInstall, "partial-install",
               "a run that reported success left an install unlike a clean one"},
    ReasonInfo{Reason::notCrashSafe, "not-crash-safe",
               "killed during a run, the install was neither the complete earlier copy nor the complete new one"},
    ReasonInfo{Reason::notConcurrencySafe, "not-concurrency-safe",
               "two runs at once left an install unlike a clean one"},
    ReasonInfo{Reason::toolNotRun, "tool-not-run", "the Codex tool was never run"},
    ReasonInfo{Reason::errorThenExitZero, "error-then-exit-zero", "an error event was followed by exit status 0"},
    ReasonInfo{Reason::completeAfterError, "complete-after-error", "a completion came after an error event"},
    ReasonInfo{Reason::missingBetweenRenames, "missing-between-renames",
               "the install was missing for an instant, and the next run put the earlier copy back"},
    ReasonInfo{Reason::runtimeCode, "runtime-code",
               "a tool that is there but does not run should be reported as RUNTIME_UNAVAILABLE"},
    ReasonInfo{Reason::notRestored, "not-restored",
               "after a run that was cut short or failed, a clean run left an install unlike a clean one"},
    ReasonInfo{Reason::signalledInstaller, "signalled-installer",
               "a process of the run sent the installer a signal that would have ended it"},
    ReasonInfo{Reason::setupFailed, "setup-failed",
               "the checker could not prepare the run (a temporary home, the stand-in tool, the payload's copy)"},
};

} // namespace

std::span<const ReasonInfo> reasonTable()
{
    return table;
}

namespace {

// The table is in the enum's order, so a reason is its own index.
constexpr bool inEnumOrder()
{
    for (std::size_t index = 0; index < table.size(); ++index)
        if (table[index].reason != static_cast<Reason>(index))
            return false;
    return true;
}
static_assert(inEnumOrder(), "the reason table follows the enum, one row per reason");

const ReasonInfo* infoOf(Reason reason)
{
    const auto index = static_cast<std::size_t>(reason);
    return index < table.size() ? &table[index] : nullptr;
}

} // namespace

std::string_view reasonId(Reason reason)
{
    const ReasonInfo* info = infoOf(reason);
    return info != nullptr ? info->id : "unknown";
}

std::string_view reasonMeaning(Reason reason)
{
    const ReasonInfo* info = infoOf(reason);
    return info != nullptr ? info->meaning : std::string_view();
}

} // namespace ZunoInstaller::PayloadCheck
