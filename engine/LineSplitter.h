#pragma once

#include "engine/EventLineDecoder.h"
#include "engine/InstallProtocol.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace ZunoInstaller {

// Cuts a byte stream, read chunk by chunk, into lines. The chunk is read
// straight into the buffer behind the pending bytes, so memory is one fixed
// buffer of maxEventLineBytes + chunkBytes whatever the stream holds, and
// every byte is scanned once and moved at most once. Every line handed on is
// followed in the buffer by EventLineDecoder::paddingBytes readable bytes, so
// that it can be decoded where it lies.
class LineSplitter {
public:
    static constexpr std::size_t chunkBytes = 64 * 1024;

    LineSplitter();

    // Where the next chunk goes: chunkBytes of room behind the pending bytes.
    std::span<char> space() { return {buffer_.get() + pending_, chunkBytes}; }

    // Takes the `count` bytes just written to space(). Calls sink.line(view)
    // for each complete line, in order; then, if more than maxEventLineBytes
    // are left without a line feed, drops them and calls sink.overlong().
    // A view is valid only during its call.
    template <class Sink> void commit(std::size_t count, Sink& sink);

    // The bytes after the last line feed, when the stream has ended.
    std::optional<std::string_view> rest() const;

    std::size_t pendingBytes() const { return pending_; }

private:
    std::unique_ptr<char[]> buffer_;
    std::size_t pending_ = 0;
};

template <class Sink> void LineSplitter::commit(std::size_t count, Sink& sink)
{
    char* const data = buffer_.get();
    const std::size_t end = pending_ + count;
    std::size_t start = 0;
    // The pending bytes hold no line feed: start the search behind them.
    std::size_t searchFrom = pending_;
    while (searchFrom < end) {
        const void* found = std::memchr(data + searchFrom, '\n', end - searchFrom);
        if (found == nullptr)
            break;
        const auto feed = static_cast<std::size_t>(static_cast<const char*>(found) - data);
        sink.line(std::string_view(data + start, feed - start));
        start = feed + 1;
        searchFrom = start;
    }
    const std::size_t left = end - start;
    if (left > maxEventLineBytes) {
        pending_ = 0;
        sink.overlong();
        return;
    }
    if (start != 0 && left != 0)
        std::memmove(data, data + start, left);
    pending_ = left;
}

} // namespace ZunoInstaller
