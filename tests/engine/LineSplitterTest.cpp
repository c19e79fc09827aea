#include "engine/LineSplitter.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ZunoInstaller {
namespace {

// Records what the splitter hands on; "<overlong>" stands for an over-long drop.
struct Recorder {
    std::vector<std::string> events;
    void line(std::string_view text) { events.emplace_back(text); }
    void overlong() { events.emplace_back("<overlong>"); }
};

void feed(LineSplitter& splitter, Recorder& recorder, std::string_view chunk)
{
    ASSERT_LE(chunk.size(), LineSplitter::chunkBytes);
    std::span<char> space = splitter.space();
    std::copy(chunk.begin(), chunk.end(), space.begin());
    splitter.commit(chunk.size(), recorder);
}

using Events = std::vector<std::string>;

TEST(LineSplitter, CutsLinesAcrossChunkBoundaries)
{
    LineSplitter splitter;
    Recorder recorder;
    feed(splitter, recorder, "one\ntwo\nthree\nfo");
    EXPECT_EQ(recorder.events, (Events{"one", "two", "three"}));
    EXPECT_EQ(splitter.pendingBytes(), 2u);

    feed(splitter, recorder, "u");
    feed(splitter, recorder, "r\nfi");
    EXPECT_EQ(recorder.events, (Events{"one", "two", "three", "four"}));

    feed(splitter, recorder, "ve");
    EXPECT_EQ(splitter.rest(), std::optional<std::string_view>("five"));
}

TEST(LineSplitter, KeepsEmptyLinesAndCarriageReturns)
{
    LineSplitter splitter;
    Recorder recorder;
    feed(splitter, recorder, "\n\na\r\n");
    feed(splitter, recorder, "\n");
    EXPECT_EQ(recorder.events, (Events{"", "", "a\r", ""}));
    EXPECT_EQ(splitter.rest(), std::nullopt);
}

TEST(LineSplitter, PendingOfExactlyTheLimitWaitsForMore)
{
    LineSplitter splitter;
    Recorder recorder;
    const std::string limit(maxEventLineBytes, 'a');
    feed(splitter, recorder, "x\n" + limit);
    EXPECT_EQ(recorder.events, (Events{"x"}));
    EXPECT_EQ(splitter.pendingBytes(), maxEventLineBytes);

    feed(splitter, recorder, "\n");
    EXPECT_EQ(recorder.events, (Events{"x", limit}));
}

TEST(LineSplitter, DropsPendingBytesBeyondTheLimit)
{
    LineSplitter splitter;
    Recorder recorder;
    // One byte over the limit, after a complete line in the same chunk.
    feed(splitter, recorder, "x\n" + std::string(maxEventLineBytes + 1, 'a'));
    EXPECT_EQ(recorder.events, (Events{"x", "<overlong>"}));
    EXPECT_EQ(splitter.pendingBytes(), 0u);

    // What follows, up to the next line feed, is a line of its own.
    feed(splitter, recorder, "tail\nnext\n");
    EXPECT_EQ(recorder.events, (Events{"x", "<overlong>", "tail", "next"}));
}

TEST(LineSplitter, DropsWhenPendingGrowsPastTheLimitOverSeveralChunks)
{
    LineSplitter splitter;
    Recorder recorder;
    feed(splitter, recorder, std::string(3000, 'a'));
    feed(splitter, recorder, std::string(1096, 'b'));
    EXPECT_TRUE(recorder.events.empty());
    feed(splitter, recorder, "c");
    EXPECT_EQ(recorder.events, (Events{"<overlong>"}));
    EXPECT_EQ(splitter.rest(), std::nullopt);
}

TEST(LineSplitter, HandsOnALongLineWholeWhenItsLineFeedIsInTheSameChunk)
{
    LineSplitter splitter;
    Recorder recorder;
    const std::string longLine(5000, 'a');
    feed(splitter, recorder, longLine + "\nb\n");
    EXPECT_EQ(recorder.events, (Events{longLine, "b"}));

    // Pending bytes plus a chunk form one line too, however long.
    Recorder joined;
    LineSplitter second;
    feed(second, joined, std::string(4000, 'c'));
    feed(second, joined, std::string(2000, 'd') + "\n");
    ASSERT_EQ(joined.events.size(), 1u);
    EXPECT_EQ(joined.events[0], std::string(4000, 'c') + std::string(2000, 'd'));
}

TEST(LineSplitter, StaysBoundedOnAnEndlessLine)
{
    LineSplitter splitter;
    Recorder recorder;
    const std::string chunk(LineSplitter::chunkBytes, 'z');
    for (int i = 0; i < 64; ++i) {
        feed(splitter, recorder, chunk);
        EXPECT_LE(splitter.pendingBytes(), maxEventLineBytes);
    }
    EXPECT_EQ(recorder.events, Events(64, "<overlong>"));
    feed(splitter, recorder, "end");
    EXPECT_EQ(splitter.rest(), std::optional<std::string_view>("end"));
}

TEST(LineSplitter, FullChunksOfManyLinesLoseNothing)
{
    LineSplitter splitter;
    Recorder recorder;
    std::string stream;
    for (int i = 0; i < 20000; ++i)
        stream += "line " + std::to_string(i) + "\n";
    // Odd chunk sizes put every boundary in a different place in a line.
    std::size_t offset = 0;
    std::size_t size = 1;
    while (offset < stream.size()) {
        const std::size_t take = std::min({size, stream.size() - offset, LineSplitter::chunkBytes});
        feed(splitter, recorder, std::string_view(stream).substr(offset, take));
        offset += take;
        size = size * 7 % 65521 + 1;
    }
    ASSERT_EQ(recorder.events.size(), 20000u);
    for (int i = 0; i < 20000; i += 997)
        EXPECT_EQ(recorder.events[static_cast<std::size_t>(i)], "line " + std::to_string(i));
    EXPECT_EQ(recorder.events.back(), "line 19999");
}

} // namespace
} // namespace ZunoInstaller
