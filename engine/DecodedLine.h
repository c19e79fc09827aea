#pragma once

#include "engine/InstallProtocol.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace ZunoInstaller {

// Why a line did not decode: a rule that the decoder saw the line break.
enum class LineFault : std::uint8_t {
    none,
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
};

// One line's decoding: the event, or the fault that stopped it (never both).
struct DecodedLine {
    std::optional<InstallEvent> event;
    LineFault fault = LineFault::none;

    static DecodedLine refused(LineFault fault) { return {std::nullopt, fault}; }
};

// What a reader can say about a line it refused beyond the fault. Gathered
// only when a line is explained, so that decoding for a run carries nothing.
struct FaultDetail {
    // wrongType: the key whose value has the wrong type; unknownStage: the
    // stage text given.
    std::string text;
    // invalidJson: the byte, counting from 1, where reading stopped; 0 when
    // the reader does not say.
    std::size_t position = 0;
};

// The checks on a line's bytes that come before any JSON reading.
inline LineFault byteFault(std::string_view line)
{
    if (line.empty())
        return LineFault::emptyLine;
    if (line.size() > maxEventLineBytes)
        return LineFault::tooLong;
    // A JSON reader may take a NUL byte for the end of input and accept "{...}\0garbage".
    if (std::memchr(line.data(), '\0', line.size()) != nullptr)
        return LineFault::nulByte;
    return LineFault::none;
}

} // namespace ZunoInstaller
