#pragma once

#include "engine/InstallProtocol.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ZunoInstaller {

// Why the transcript found a line malformed: the first rule that the line
// broke, in the order in which the transcript checks them.
enum class LineReason : std::uint8_t {
    none,
    // The line could not be decoded (the values of LineFault, in its order).
    emptyLine,
    tooLong,
    nulByte,
    invalidUtf8,
    invalidJson,
    notAnObject,
    tooDeep,
    eventMissing,
    wrongType,
    unknownStage,
    noMemory,
    // The event breaks the protocol.
    extraStage,           // a fourth "progress"
    stageOutOfOrder,      // not the next stage of the order
    afterEnd,             // progress after a completion or a failure, or completion after a failure
    completeTooEarly,     // "complete" before all three stages
    completeAgain,        // "complete" after an accepted one
    progressWithoutStage, // "progress" without a stage
    unknownEvent,         // any other event text
};

// The stable identifier of a reason ("too-long", "stage-out-of-order", ...);
// empty for none.
std::string_view rawValue(LineReason reason);

// What the transcript did with one line.
struct LineVerdict {
    enum class Kind : std::uint8_t { stage, complete, error, malformed };

    Kind kind = Kind::malformed;
    LineReason reason = LineReason::none;
    // stage: the stage accepted; extraStage, stageOutOfOrder, afterEnd: the stage given.
    std::optional<InstallStage> stage;
    // stageOutOfOrder: the stage that had to come next.
    std::optional<InstallStage> expected;

    bool operator==(const LineVerdict&) const = default;
};

std::string_view rawValue(LineVerdict::Kind kind);

// A verdict with everything a person needs to see why.
struct LineExplanation {
    LineVerdict verdict;
    // wrongType: the key; unknownStage: the stage text given; unknownEvent:
    // the event text given.
    std::string detail;
    // invalidJson: the byte (counting from 1) where decoding stopped, when the decoder says.
    std::optional<std::size_t> position;
    // complete: the version accepted (none when the line gave none).
    std::optional<std::string> version;
    // error: the code recorded.
    std::string code;
    // error: true when the line's code was taken as "INSTALL_FAILED"; then
    // `given` is the code the line gave, none when it gave none.
    bool normalised = false;
    std::optional<std::string> given;
};

} // namespace ZunoInstaller
