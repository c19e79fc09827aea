#include "engine/InstallTranscript.h"

#include "engine/EventLineDecoder.h"

#include <algorithm>
#include <array>

namespace ZunoInstaller {

using namespace std::literals;

namespace {

// The failure codes a script may report; anything else counts as an install failure.
constexpr std::array<std::string_view, 4> reportableFailures{"CODEX_MISSING", "RUNTIME_UNAVAILABLE",
                                                             "INSTALL_FAILED", "CHECK_FAILED"};

std::string failureCode(const std::optional<std::string>& code)
{
    if (code &&
        std::find(reportableFailures.begin(), reportableFailures.end(), *code) != reportableFailures.end())
        return *code;
    return "INSTALL_FAILED";
}

// LineReason begins with the values of LineFault, in the same order.
LineReason decodingReason(LineFault fault)
{
    static_assert(static_cast<int>(LineReason::noMemory) - static_cast<int>(LineReason::emptyLine) ==
                  static_cast<int>(LineFault::noMemory) - static_cast<int>(LineFault::emptyLine));
    if (fault == LineFault::none)
        return LineReason::invalidJson; // refused without saying why: not readable JSON
    return static_cast<LineReason>(static_cast<int>(fault) - static_cast<int>(LineFault::emptyLine) +
                                   static_cast<int>(LineReason::emptyLine));
}

bool holdsAllStages(const std::vector<InstallStage>& stages)
{
    return std::equal(stages.begin(), stages.end(), allInstallStages.begin(), allInstallStages.end());
}

} // namespace

inline LineVerdict InstallTranscript::apply(DecodedLine& line)
{
    using Kind = LineVerdict::Kind;
    if (!line.event) {
        malformed = true;
        return {Kind::malformed, decodingReason(line.fault), std::nullopt, std::nullopt};
    }
    InstallEvent& event = *line.event;
    const bool settled = completedVersion.has_value() || failure.has_value();

    if (event.event == "progress"sv && event.stage) {
        const std::size_t next = stages.size();
        if (next >= allInstallStages.size())
            return refuse(LineReason::extraStage, event.stage);
        if (*event.stage != allInstallStages[next])
            return refuse(LineReason::stageOutOfOrder, event.stage, allInstallStages[next]);
        if (settled)
            return refuse(LineReason::afterEnd, event.stage);
        stages.push_back(*event.stage);
        return {Kind::stage, LineReason::none, event.stage, std::nullopt};
    }
    if (event.event == "complete"sv) {
        if (!holdsAllStages(stages))
            return refuse(LineReason::completeTooEarly);
        if (completedVersion)
            return refuse(LineReason::completeAgain);
        if (failure)
            return refuse(LineReason::afterEnd);
        // A completion without a version leaves the record open for another completion.
        completedVersion = std::move(event.version);
        return {Kind::complete, LineReason::none, std::nullopt, std::nullopt};
    }
    if (event.event == "error"sv) {
        failure = failureCode(event.code);
        return {Kind::error, LineReason::none, std::nullopt, std::nullopt};
    }
    return refuse(event.event == "progress"sv ? LineReason::progressWithoutStage : LineReason::unknownEvent);
}

std::optional<InstallStage> InstallTranscript::receive(std::string_view line)
{
    return receiveDecoded(EventLineDecoder::forThisThread().decode(line));
}

std::optional<InstallStage> InstallTranscript::receiveDecoded(DecodedLine line)
{
    const LineVerdict verdict = apply(line);
    return verdict.kind == LineVerdict::Kind::stage ? verdict.stage : std::nullopt;
}

LineExplanation InstallTranscript::explain(DecodedLine line, FaultDetail detail)
{
    LineExplanation explanation;
    explanation.verdict = apply(line);
    const LineReason reason = explanation.verdict.reason;
    if (reason == LineReason::wrongType || reason == LineReason::unknownStage)
        explanation.detail = std::move(detail.text);
    if (reason == LineReason::invalidJson && detail.position != 0)
        explanation.position = detail.position;
    switch (explanation.verdict.kind) {
    case LineVerdict::Kind::complete:
        explanation.version = completedVersion;
        break;
    case LineVerdict::Kind::error:
        explanation.code = failure.value_or(std::string());
        if (line.event->code != failure) {
            explanation.normalised = true;
            explanation.given = std::move(line.event->code);
        }
        break;
    case LineVerdict::Kind::malformed:
        if (explanation.verdict.reason == LineReason::unknownEvent)
            explanation.detail = std::move(line.event->event);
        break;
    case LineVerdict::Kind::stage:
        break;
    }
    return explanation;
}

LineVerdict InstallTranscript::refuse(LineReason reason, std::optional<InstallStage> given,
                                      std::optional<InstallStage> expected)
{
    malformed = true;
    return {LineVerdict::Kind::malformed, reason, given, expected};
}

InstallResult InstallTranscript::result(std::int32_t exitCode, std::string_view expectedVersion) const
{
    const bool succeeded = exitCode == 0 && !malformed && !failure && completedVersion &&
                           *completedVersion == expectedVersion && holdsAllStages(stages);
    if (succeeded)
        return InstallResult{true, "OK", exitCode};
    return InstallResult{false, failure.value_or("CHECK_FAILED"), exitCode};
}

} // namespace ZunoInstaller
