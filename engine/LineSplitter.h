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
//
// A line longer than maxEventLineBytes is handed on as one call of
// sink.overlong(), whole, however the stream was cut into chunks: the bytes
// that follow it up to and including its line feed are dropped with it.
class LineSplitter {
public:
    static constexpr std::size_t chunkBytes = 64 * 1024;

    LineSplitter();

    // Where the next chunk goes: chunkBytes of room behind the pending bytes.
    std::span<char> space() { return {buffer_.get() + pending_, chunkBytes}; }

    // Takes the `count` bytes just written to space(). Calls sink.line(view)
    // for each complete line and sink.overlong() for each over-long one, in
    // order; a sink that takes sink.overlong(view) is shown the bytes of the
    // over-long line that are at hand, more than maxEventLineBytes of them.
    // A view is valid only during its call.
    template <class Sink> void commit(std::size_t count, Sink& sink);

    // The bytes after the last line feed, when the stream has ended; none
    // when they belong to an over-long line.
    std::optional<std::string_view> rest() const;

    std::size_t pendingBytes() const { return pending_; }

private:
    template <class Sink> static void overlong(Sink& sink, std::string_view head)
    {
        if constexpr (requires { sink.overlong(head); })
            sink.overlong(head);
        else
            sink.overlong();
    }

    std::unique_ptr<char[]> buffer_;
    std::size_t pending_ = 0;
    // Inside an over-long line, already reported: drop up to its line feed.
    bool dropping_ = false;
};

template <class Sink> void LineSplitter::commit(std::size_t count, Sink& sink)
{
    char* const data = buffer_.get();
    const std::size_t end = pending_ + count;
    std::size_t start = 0;
    if (dropping_) {
        const void* found = std::memchr(data, '\n', end);
        if (found == nullptr) {
            pending_ = 0;
            return;
        }
        dropping_ = false;
        start = static_cast<std::size_t>(static_cast<const char*>(found) - data) + 1;
    }
    // The pending bytes hold no line feed: start the search behind them.
    std::size_t searchFrom = start == 0 ? pending_ : start;
    while (searchFrom < end) {
        const void* found = std::memchr(data + searchFrom, '\n', end - searchFrom);
        if (found == nullptr)
            break;
        const auto feed = static_cast<std::size_t>(static_cast<const char*>(found) - data);
        if (feed - start > maxEventLineBytes)
            overlong(sink, std::string_view(data + start, feed - start));
        else
            sink.line(std::string_view(data + start, feed - start));
        start = feed + 1;
        searchFrom = start;
    }
    const std::size_t left = end - start;
    if (left > maxEventLineBytes) {
        pending_ = 0;
        dropping_ = true;
        overlong(sink, std::string_view(data + start, left));
        return;
    }
    if (start != 0 && left != 0)
        std::memmove(data, data + start, left);
    pending_ = left;
}

} // namespace ZunoInstaller
