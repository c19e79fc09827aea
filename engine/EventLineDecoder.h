#pragma once

#include "engine/DecodedLine.h"

#include <cstddef>
#include <memory>
#include <string_view>

namespace ZunoInstaller {

// Decodes event lines with simdjson, one reused parser for many lines, to
// exactly the verdicts and fields of EventLineReader. Not thread-safe: one
// decoder per thread or per run.
class EventLineDecoder {
public:
    // The readable bytes that decodePadded needs behind a line (any content).
    static constexpr std::size_t paddingBytes = 64;

    EventLineDecoder();
    ~EventLineDecoder();
    EventLineDecoder(const EventLineDecoder&) = delete;
    EventLineDecoder& operator=(const EventLineDecoder&) = delete;

    // Any line: it is copied into the decoder's own padded buffer first.
    DecodedLine decode(std::string_view line);
    // A line followed in memory by at least paddingBytes readable bytes,
    // read where it lies.
    DecodedLine decodePadded(std::string_view line);
    // As decodePadded, and learns more about a refused line: the key or the
    // stage text at fault, and for JSON that does not parse the byte where
    // reading stopped (simdjson does not say; the reference reader does,
    // when it finds the same fault). For explaining a line, not for a run.
    DecodedLine explainPadded(std::string_view line, FaultDetail& detail);

    // The calling thread's own decoder.
    static EventLineDecoder& forThisThread();

private:
    DecodedLine read(std::string_view line, FaultDetail* detail);

    struct State;
    std::unique_ptr<State> state_;
};

} // namespace ZunoInstaller
