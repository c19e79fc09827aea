#pragma once

#include "engine/DecodedLine.h"

#include <string_view>

namespace ZunoInstaller {

// Decodes one event line with nlohmann/json's event parser, by the rules of
// EventBuilder. The reference that the fast decoder is held against, and the
// reader it defers to for the numbers that simdjson does not take.
class EventLineReader {
public:
    // `detail`, when given, learns more about a refused line.
    static DecodedLine decode(std::string_view line, FaultDetail* detail = nullptr);
};

} // namespace ZunoInstaller
