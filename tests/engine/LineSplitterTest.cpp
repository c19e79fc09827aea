#include "engine/LineSplitter.h"

#include "engine/TranscriptSink.h"

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

    // What follows up to the next line feed belongs to the dropped line.
    feed(splitter, recorder, "tail");
    feed(splitter, recorder, "still\nnext\n");
    EXPECT_EQ(recorder.events, (Events{"x", "<overlong>", "next"}));
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

TEST(LineSplitter, ReportsALongLineOnceAlsoWhenItsLineFeedCameWithIt)
{
    LineSplitter splitter;
    Recorder recorder;
    feed(splitter, recorder, std::string(5000, 'a') + "\nb\n");
    EXPECT_EQ(recorder.events, (Events{"<overlong>", "b"}));

    // Pending bytes and a chunk that together pass the limit, line feed included.
    Recorder joined;
    LineSplitter second;
    feed(second, joined, std::string(4000, 'c'));
    feed(second, joined, std::string(2000, 'd') + "\n");
    EXPECT_EQ(joined.events, (Events{"<overlong>"}));
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
    EXPECT_EQ(recorder.events, Events(1, "<overlong>"));
    // The end of output inside the line leaves no last line.
    feed(splitter, recorder, "end");
    EXPECT_EQ(splitter.rest(), std::nullopt);
    feed(splitter, recorder, "\nlast");
    EXPECT_EQ(splitter.rest(), std::optional<std::string_view>("last"));
    EXPECT_EQ(recorder.events, Events(1, "<overlong>"));
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

// Output with over-long lines whose ends would be events if they stood alone:
// one in the middle and one that the output ends in.
std::string awkwardOutput()
{
    const std::string missing = R"({"event":"error","code":"CODEX_MISSING"})";
    return R"({"event":"progress","stage":"validated"})"
           "\n" +
           std::string(4200, 'x') + missing + "\n" + R"({"event":"progress","stage":"registered"})" + "\n\n" +
           R"({"event":"progress","stage":"checking"})" + "\n" + R"({"event":"complete","version":"1.0.0"})" +
           "\n" + std::string(maxEventLineBytes, 'y') + missing;
}

// What one cutting of the output into chunks gave: the splitter's calls,
// and the runner's sink's transcript and reported stages.
struct Cut {
    Events events;
    InstallTranscript transcript;
    std::vector<InstallStage> reported;
    bool operator==(const Cut&) const = default;
};

// Cuts `output` at the offsets in `cuts` (ascending), then at every `size` bytes.
Cut cutAt(std::string_view output, const std::vector<std::size_t>& cuts, std::size_t size)
{
    Cut cut;
    const std::function<void(InstallStage)> progress = [&](InstallStage stage) {
        cut.reported.push_back(stage);
    };
    struct Both {
        Recorder recorder;
        TranscriptSink sink;
        void line(std::string_view text)
        {
            recorder.line(text);
            sink.line(text);
        }
        void overlong()
        {
            recorder.overlong();
            sink.overlong({});
        }
    } both{{}, TranscriptSink(cut.transcript, progress)};
    LineSplitter splitter;
    std::size_t done = 0;
    for (std::size_t next : cuts) {
        std::copy(output.begin() + done, output.begin() + next, splitter.space().begin());
        splitter.commit(next - done, both);
        done = next;
    }
    for (; done < output.size(); done += std::min(size, output.size() - done)) {
        const std::size_t take = std::min(size, output.size() - done);
        std::copy_n(output.begin() + done, take, splitter.space().begin());
        splitter.commit(take, both);
    }
    if (const std::optional<std::string_view> last = splitter.rest())
        both.sink.last(*last);
    cut.events = both.recorder.events;
    return cut;
}

TEST(LineSplitter, EveryCuttingOfTheSameOutputGivesTheSameResult)
{
    const std::string output = awkwardOutput();
    const Cut whole = cutAt(output, {}, output.size());
    EXPECT_EQ(whole.events, (Events{R"({"event":"progress","stage":"validated"})", "<overlong>",
                                    R"({"event":"progress","stage":"registered"})", "",
                                    R"({"event":"progress","stage":"checking"})",
                                    R"({"event":"complete","version":"1.0.0"})", "<overlong>"}));
    EXPECT_EQ(whole.transcript,
              (InstallTranscript{{InstallStage::validated, InstallStage::registered, InstallStage::checking},
                                 "1.0.0",
                                 std::nullopt,
                                 true}));
    EXPECT_EQ(whole.reported, whole.transcript.stages);

    // Larger chunks cut the output once or twice, as the single cuts below do.
    for (std::size_t size = 1; size <= maxEventLineBytes + 100; ++size)
        ASSERT_EQ(cutAt(output, {}, size), whole) << "chunks of " << size << " bytes";
    for (std::size_t first = 1; first < output.size(); ++first)
        ASSERT_EQ(cutAt(output, {first}, output.size()), whole) << "cut at " << first;
    for (std::size_t first = 1; first + 4097 < output.size(); first += 97)
        ASSERT_EQ(cutAt(output, {first, first + 4097}, output.size()), whole) << "cuts at " << first;
}

} // namespace
} // namespace ZunoInstaller
