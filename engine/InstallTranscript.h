#pragma once

#include "engine/DecodedLine.h"
#include "engine/InstallProtocol.h"
#include "engine/LineVerdict.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ZunoInstaller {

// The record of one run: which stages were accepted, the completion, the last
// failure code and whether any line broke the protocol. A plain value.
struct InstallTranscript {
    std::vector<InstallStage> stages;
    std::optional<std::string> completedVersion;
    std::optional<std::string> failure;
    bool malformed = false;

    // Takes one line (line feed removed); returns the stage it accepted, if any.
    std::optional<InstallStage> receive(std::string_view line);
    // The same for a line that has been decoded already (by a decoder that
    // the caller keeps for a whole run).
    std::optional<InstallStage> receiveDecoded(DecodedLine line);
    // The same as receiveDecoded, by the same code, and says what was done
    // with the line and why; `detail` is what the decoder learnt of it.
    LineExplanation explain(DecodedLine line, FaultDetail detail = {});
    InstallResult result(std::int32_t exitCode, std::string_view expectedVersion) const;

    bool operator==(const InstallTranscript&) const = default;

private:
    // The rules for one line, which every way in goes through. Leaves the
    // event's code in `line` for the explanation. Inlined, so that a run
    // builds no more of the verdict than the stage it reports.
    [[gnu::always_inline]] inline LineVerdict apply(DecodedLine& line);
    LineVerdict refuse(LineReason reason, std::optional<InstallStage> given = std::nullopt,
                       std::optional<InstallStage> expected = std::nullopt);
};

} // namespace ZunoInstaller
