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

bool holdsAllStages(const std::vector<InstallStage>& stages)
{
    return std::equal(stages.begin(), stages.end(), allInstallStages.begin(), allInstallStages.end());
}

} // namespace

std::optional<InstallStage> InstallTranscript::receive(std::string_view line)
{
    return receiveDecoded(EventLineDecoder::forThisThread().decode(line));
}

std::optional<InstallStage> InstallTranscript::receiveDecoded(DecodedLine line)
{
    if (!line.event) {
        malformed = true;
        return std::nullopt;
    }
    InstallEvent& event = *line.event;
    const bool settled = completedVersion.has_value() || failure.has_value();

    if (event.event == "progress"sv && event.stage) {
        const std::size_t next = stages.size();
        if (next < allInstallStages.size() && *event.stage == allInstallStages[next] && !settled) {
            stages.push_back(*event.stage);
            return event.stage;
        }
    } else if (event.event == "complete"sv && holdsAllStages(stages) && !settled) {
        // A completion without a version leaves the record open for another completion.
        completedVersion = std::move(event.version);
        return std::nullopt;
    } else if (event.event == "error"sv) {
        failure = failureCode(event.code);
        return std::nullopt;
    }
    malformed = true;
    return std::nullopt;
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
