// The simdjson decoder against nlohmann/json's event parser where the two
// libraries part ways, on lines read where they lie, and the faults it names.
#include "engine/EventLineDecoder.h"

#include "engine/EventLineReader.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace std::literals;

namespace ZunoInstaller {
namespace {

const std::string eventHead = R"({"event":"progress","stage":"checking","n":)";
const InstallEvent checking{"progress", InstallStage::checking, std::nullopt, std::nullopt};

TEST(EventLineDecoderTest, TakesWhatTheReferenceReaderTakesWhereTheLibrariesDiffer)
{
    EventLineDecoder decoder;
    const std::vector<std::pair<std::string, std::optional<InstallEvent>>> cases{
        // simdjson refuses integers beyond 64 bits; nlohmann/json reads them as doubles.
        {eventHead + "18446744073709551615}", checking},
        {eventHead + "18446744073709551616}", checking},
        {eventHead + "-9223372036854775809}", checking},
        {eventHead + "123456789012345678901234567890}", checking},
        {eventHead + "1" + std::string(308, '0') + "}", checking}, // 1e308 as an integer
        {eventHead + "[1," + std::string(30, '9') + ",{\"a\":-" + std::string(25, '7') + "}]}", checking},
        // ... unless the double they stand for is infinite.
        {eventHead + "1" + std::string(309, '0') + "}", std::nullopt},
        {eventHead + "1e400}", std::nullopt},
        // The rest of such a line is read by the same rules.
        {R"({"n":99999999999999999999,"event":"complete","version":"2","stage":null})",
         InstallEvent{"complete", std::nullopt, std::nullopt, "2"}},
        {R"({"n":99999999999999999999,"event":"complete",})", std::nullopt},
        {R"({"n":99999999999999999999,"event":"complete","stage":"Checking"})", std::nullopt},
        {R"({"event":"error","code":99999999999999999999})", std::nullopt},
        {R"({"n":99999999999999999999,"event":"error","code":"X\ud800"})", std::nullopt},
        {"\xEF\xBB\xBF{\"n\":99999999999999999999,\"event\":\"error\"}",
         InstallEvent{"error", std::nullopt, std::nullopt, std::nullopt}},
        // Escapes both libraries read alike.
        {R"({"event":"\ud83d\ude00\u0000\/"})", InstallEvent{"\xF0\x9F\x98\x80\0/"s, {}, {}, {}}},
        {R"({"event":"\udc00"})", std::nullopt},
        {R"({"event":"\ud800\u0041"})", std::nullopt},
        {"{\"event\":\"\x7F\"}", InstallEvent{"\x7F", {}, {}, {}}},
        {eventHead + "1e-400}", checking},
        {eventHead + "-0.0e+0}", checking},
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_EQ(EventLineReader::decode(line).event, expected) << line;
        EXPECT_EQ(decoder.decode(line).event, expected) << line;
    }
}

TEST(EventLineDecoderTest, ReadsALineWhereItLiesWhateverFollowsIt)
{
    // Every beginning of a valid line, with the rest of it behind as padding:
    // a reader that looked past the end would take some of them.
    EventLineDecoder decoder;
    for (const std::string& whole : {R"({"event":"error","code":"CODEX_MISSING","n":[12345,true,null]})"s,
                                    "\xEF\xBB\xBF{\"event\":\"complete\",\"version\":\"1.0.0\"} \r"s}) {
        const std::string buffer = whole + std::string(EventLineDecoder::paddingBytes, '}');
        for (std::size_t size = 1; size <= whole.size(); ++size) {
            const std::string_view line(buffer.data(), size);
            EXPECT_EQ(decoder.decodePadded(line).event, EventLineReader::decode(line).event) << line;
        }
        EXPECT_TRUE(decoder.decodePadded(whole).event) << whole;
    }
}

TEST(EventLineDecoderTest, NamesTheRuleALineBroke)
{
    EventLineDecoder decoder;
    const std::vector<std::pair<std::string, LineFault>> cases{
        {"", LineFault::emptyLine},
        {eventHead + "1}" + std::string(maxEventLineBytes, ' '), LineFault::tooLong},
        {"{\"event\":\"x\"}\0"s, LineFault::nulByte},
        {"{\"event\":\"x\xFF\"}", LineFault::invalidUtf8},
        // Bad UTF-8 comes first in the order, wherever it lies and whatever else is wrong.
        {"\xFF{\"event\":\"x\"}", LineFault::invalidUtf8},
        {"\xC3(", LineFault::invalidUtf8},
        {"{\"event\":\"x\xFF", LineFault::invalidUtf8},
        {R"({"event":"x",})", LineFault::invalidJson},
        {" \r", LineFault::invalidJson},
        {"installing...", LineFault::invalidJson},
        // Text that begins as a JSON value might is still not JSON.
        {"12 files", LineFault::invalidJson},
        {"note: copying", LineFault::invalidJson},
        {"[info] copying", LineFault::invalidJson},
        {R"(["event"])", LineFault::notAnObject},
        {R"("event")", LineFault::notAnObject},
        {" true ", LineFault::notAnObject},
        {std::string(600, '[') + std::string(600, ']'), LineFault::notAnObject},
        {R"({"event":"x","d":)" + std::string(512, '[') + std::string(512, ']') + "}", LineFault::tooDeep},
        {R"({"Event":"x"})", LineFault::eventMissing},
        {R"({"event":null})", LineFault::wrongType},
        {R"({"event":"x","version":["1"]})", LineFault::wrongType},
        {R"({"event":"x","stage":"done"})", LineFault::unknownStage},
        {R"({"n":99999999999999999999,"event":2})", LineFault::wrongType},
        {R"({"n":99999999999999999999,"event":"x","stage":"done"})", LineFault::unknownStage},
    };
    for (const auto& [line, fault] : cases) {
        const DecodedLine decoded = decoder.decode(line);
        EXPECT_EQ(decoded.event, std::nullopt) << line;
        EXPECT_EQ(decoded.fault, fault) << line;
    }
    EXPECT_EQ(decoder.decode(R"({"event":"x"})").fault, LineFault::none);
}

} // namespace
} // namespace ZunoInstaller
