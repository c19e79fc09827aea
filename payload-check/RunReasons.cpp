#include "payload-check/RunReasons.h"

#include <algorithm>

namespace ZunoInstaller::PayloadCheck {

namespace {

void add(std::vector<Reason>& reasons, Reason reason)
{
    if (std::find(reasons.begin(), reasons.end(), reason) == reasons.end())
        reasons.push_back(reason);
}

bool completeAfterError(const LineRecord& line)
{
    const LineVerdict& verdict = line.explanation.verdict;
    return verdict.kind == LineVerdict::Kind::malformed && verdict.reason == LineReason::afterEnd &&
           !verdict.stage;
}

// A signal the checker did not send itself (the time limit, an interruption).
bool diedOfItsOwnSignal(const RunReport& run)
{
    return run.signal != 0 && !run.timedOut && !run.interrupted;
}

} // namespace

std::vector<Reason> faultReasons(const RunReport& run)
{
    std::vector<Reason> reasons;
    if (!run.setupError.empty())
        add(reasons, Reason::setupFailed);
    else if (!run.started)
        add(reasons, Reason::startFailed);
    if (run.timedOut)
        add(reasons, Reason::timeLimit);
    if (run.heldOutput)
        add(reasons, Reason::heldOutput);
    if (run.signalledChecker != 0)
        add(reasons, Reason::signalledInstaller);
    if (!run.payloadChanges.empty())
        add(reasons, Reason::payloadChanged);
    return reasons;
}

std::vector<Reason> successReasons(const RunReport& run)
{
    std::vector<Reason> reasons;
    // A run that never ran, or that the limit ended, has its fault already.
    if (!run.started || run.timedOut || run.result.success)
        return reasons;
    if (diedOfItsOwnSignal(run))
        add(reasons, Reason::killedBySignal);
    if (run.recordedFailure)
        add(reasons, Reason::errorCode);
    if (run.malformed)
        add(reasons, Reason::malformedLine);
    if (run.stages.size() < allInstallStages.size())
        add(reasons, Reason::missingStage);
    else if (!run.completedVersion)
        add(reasons, Reason::noCompletion);
    else if (*run.completedVersion != run.expectedVersion)
        add(reasons, Reason::versionMismatch);
    if (run.signal == 0 && run.result.exitCode != 0 && !run.recordedFailure)
        add(reasons, Reason::exitStatus);
    return reasons;
}

std::vector<Reason> failureReasons(const RunReport& run, std::string_view code)
{
    std::vector<Reason> reasons;
    if (!run.started || run.timedOut)
        return reasons;
    if (diedOfItsOwnSignal(run))
        add(reasons, Reason::killedBySignal);
    if (malformedBeyondLateCompletion(run))
        add(reasons, Reason::malformedLine);
    if (run.result.success || (!code.empty() && run.result.code != code))
        add(reasons, Reason::wrongCode);
    return reasons;
}

std::vector<Reason> warningReasons(const RunReport& run)
{
    std::vector<Reason> reasons;
    if (!run.started)
        return reasons;
    if (run.recordedFailure && run.signal == 0 && run.result.exitCode == 0)
        add(reasons, Reason::errorThenExitZero);
    if (std::any_of(run.lines.begin(), run.lines.end(), completeAfterError))
        add(reasons, Reason::completeAfterError);
    return reasons;
}

bool malformedBeyondLateCompletion(const RunReport& run)
{
    return run.malformedNotKept > 0 || std::any_of(run.lines.begin(), run.lines.end(), [](const LineRecord& line) {
               return line.explanation.verdict.kind == LineVerdict::Kind::malformed && !completeAfterError(line);
           });
}

void addReasons(std::vector<Reason>& reasons, const std::vector<Reason>& more)
{
    for (const Reason reason : more)
        add(reasons, reason);
}

std::string meanings(const std::vector<Reason>& reasons)
{
    std::string joined;
    for (const Reason reason : reasons)
        joined += (joined.empty() ? "" : "; ") + std::string(reasonMeaning(reason));
    return joined;
}

} // namespace ZunoInstaller::PayloadCheck
