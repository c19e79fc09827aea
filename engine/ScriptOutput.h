#pragma once

#include <string_view>

namespace ZunoInstaller {

// Where a ScriptRun hands what the script writes, in the order it was
// written. Every view is valid only during its call.
class ScriptOutput {
public:
    // A complete line of standard output without its line feed, at most
    // maxEventLineBytes long; EventLineDecoder::paddingBytes readable bytes
    // follow it, so that it can be decoded where it lies.
    virtual void line(std::string_view text) = 0;
    // A line longer than maxEventLineBytes, once, whole however it arrived:
    // the bytes of it at hand (more than maxEventLineBytes).
    virtual void overlong(std::string_view head) = 0;
    // The bytes after the last line feed, once the output has ended.
    virtual void last(std::string_view text) = 0;
    // Bytes of standard error, when the run captures it.
    virtual void error(std::string_view) {}
    // The script exited, but its output stayed open past the run's grace.
    // `readEnd` is the read end of the output pipe, open during this call.
    virtual void held(int /*readEnd*/) {}

protected:
    ~ScriptOutput() = default;
};

} // namespace ZunoInstaller
