// What the transcript says it did with each line, and that saying it never
// changes what it does.
#include "engine/EventLineDecoder.h"
#include "engine/InstallTranscript.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>
#include <vector>

namespace ZunoInstaller {
namespace {

using namespace std::literals;
using Kind = LineVerdict::Kind;

const std::string validated = R"({"event":"progress","stage":"validated"})";
const std::string registered = R"({"event":"progress","stage":"registered"})";
const std::string checking = R"({"event":"progress","stage":"checking"})";
const std::string complete = R"({"event":"complete","version":"2.0"})";
const std::string failed = R"({"event":"error","code":"CHECK_FAILED"})";

// Feeds `before` to a transcript, then explains `line` on one copy and
// receives it on another: both must end alike.
LineExplanation explainAfter(const std::vector<std::string>& before, const std::string& line)
{
    InstallTranscript transcript;
    for (const std::string& earlier : before)
        transcript.receive(earlier);
    InstallTranscript received = transcript;
    const std::optional<InstallStage> stage = received.receive(line);
    // Padded, as the line cutter would hand it on.
    const std::string padded = line + std::string(EventLineDecoder::paddingBytes, ' ');
    FaultDetail detail;
    DecodedLine decoded =
        EventLineDecoder().explainPadded(std::string_view(padded).substr(0, line.size()), detail);
    const LineExplanation explanation = transcript.explain(std::move(decoded), std::move(detail));
    EXPECT_EQ(transcript, received) << line;
    EXPECT_EQ(stage, explanation.verdict.kind == Kind::stage ? explanation.verdict.stage : std::nullopt)
        << line;
    EXPECT_EQ(explanation.verdict.kind == Kind::malformed, explanation.verdict.reason != LineReason::none)
        << line;
    return explanation;
}

struct Case {
    std::vector<std::string> before;
    std::string line;
    std::string_view reason;
    std::string detail;
};

TEST(LineExplanation, NamesTheFirstRuleEachLineBreaks)
{
    const std::string deep = R"({"event":"x","d":)" + std::string(512, '[') + std::string(512, ']') + "}";
    const std::vector<Case> cases{
        {{}, "", "empty-line", ""},
        {{}, validated + std::string(4097 - validated.size(), ' '), "too-long", ""},
        {{}, "{\"event\":\"x\"}\0"s, "nul-byte", ""},
        {{}, "{\"event\":\"x\xC3\"}", "invalid-utf8", ""},
        {{}, "\xFF{\"event\":\"x\"}", "invalid-utf8", ""},
        {{}, R"({"event":"x",})", "invalid-json", ""},
        {{}, "2 files copied", "invalid-json", ""},
        {{}, "[1]", "not-an-object", ""},
        {{}, deep, "too-deep", ""},
        {{}, R"({"Event":"progress"})", "event-missing", ""},
        {{}, R"({"event":"error","code":7})", "wrong-type", "code"},
        {{}, R"({"event":null})", "wrong-type", "event"},
        {{}, R"({"event":"progress","stage":"Validated"})", "unknown-stage", "Validated"},
        {{}, R"({"event":"started"})", "unknown-event", "started"},
        {{}, R"({"event":"progress","stage":null})", "progress-without-stage", ""},
        {{validated, registered, checking}, validated, "extra-stage", ""},
        // A fourth stage after the end: the count is the first rule it breaks.
        {{validated, registered, checking, complete}, checking, "extra-stage", ""},
        {{}, registered, "stage-out-of-order", ""},
        {{failed}, registered, "stage-out-of-order", ""},
        {{failed}, validated, "after-end", ""},
        {{validated, registered, checking, failed}, complete, "after-end", ""},
        {{validated, registered}, complete, "complete-too-early", ""},
        {{failed}, complete, "complete-too-early", ""},
        {{validated, registered, checking, complete}, complete, "complete-again", ""},
        {{validated, registered, checking, complete, failed}, complete, "complete-again", ""},
    };
    for (const Case& example : cases) {
        const LineExplanation explanation = explainAfter(example.before, example.line);
        EXPECT_EQ(explanation.verdict.kind, Kind::malformed) << example.line;
        EXPECT_EQ(rawValue(explanation.verdict.reason), example.reason) << example.line;
        EXPECT_EQ(explanation.detail, example.detail) << example.line;
    }
}

TEST(LineExplanation, NamesTheStagesAndWhereDecodingStopped)
{
    const LineExplanation early = explainAfter({}, checking);
    EXPECT_EQ(early.verdict, (LineVerdict{Kind::malformed, LineReason::stageOutOfOrder,
                                          InstallStage::checking, InstallStage::validated}));
    EXPECT_EQ(explainAfter({validated, registered, checking}, registered).verdict.stage,
              InstallStage::registered);

    // simdjson refuses the line; the position, counted from 1, is that of the second comma.
    EXPECT_EQ(explainAfter({}, R"({"event":"x",,"y":1})").position, 14u);
    EXPECT_EQ(explainAfter({}, R"({"event":"x")").position, 13u) << "the end of the line";
    EXPECT_FALSE(explainAfter({}, "[1]").position.has_value());
}

TEST(LineExplanation, SaysWhatWasAcceptedAndHowAnErrorCodeWasTaken)
{
    const LineExplanation stage = explainAfter({validated}, registered);
    EXPECT_EQ(stage.verdict,
              (LineVerdict{Kind::stage, LineReason::none, InstallStage::registered, std::nullopt}));

    const LineExplanation done = explainAfter({validated, registered, checking}, complete);
    EXPECT_EQ(done.verdict.kind, Kind::complete);
    EXPECT_EQ(done.version, "2.0");
    const LineExplanation bare = explainAfter({validated, registered, checking}, R"({"event":"complete"})");
    EXPECT_EQ(bare.verdict.kind, Kind::complete);
    EXPECT_FALSE(bare.version.has_value());

    const LineExplanation exact = explainAfter({}, R"({"event":"error","code":"CODEX_MISSING"})");
    EXPECT_EQ(exact.verdict.kind, Kind::error);
    EXPECT_EQ(exact.code, "CODEX_MISSING");
    EXPECT_FALSE(exact.normalised);
    const LineExplanation cased = explainAfter({complete}, R"({"event":"error","code":"codex_missing"})");
    EXPECT_EQ(cased.code, "INSTALL_FAILED");
    EXPECT_TRUE(cased.normalised);
    EXPECT_EQ(cased.given, "codex_missing");
    const LineExplanation none = explainAfter({}, R"({"event":"error","code":null})");
    EXPECT_EQ(none.code, "INSTALL_FAILED");
    EXPECT_TRUE(none.normalised);
    EXPECT_FALSE(none.given.has_value());
}

// Every line of every fuzz seed, in order, through both ways in.
TEST(LineExplanation, AgreesWithReceiveOnTheFuzzCorpus)
{
    const char* source = std::getenv("ZUNO_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::size_t seeds = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(source) / "engine/fuzz/corpus")) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string output{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<std::string> before;
        for (std::size_t start = 0; start <= output.size();) {
            const std::size_t end = std::min(output.find('\n', start), output.size());
            const std::string line = output.substr(start, end - start);
            explainAfter(before, line);
            before.push_back(line);
            start = end + 1;
        }
        ++seeds;
    }
    EXPECT_GT(seeds, 5u);
}

} // namespace
} // namespace ZunoInstaller
