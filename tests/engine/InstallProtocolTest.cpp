#include "engine/InstallProtocol.h"

#include <gtest/gtest.h>
#include <string>

using namespace std::literals;

namespace ZunoInstaller {
namespace {

std::optional<InstallEvent> decode(std::string_view line)
{
    return InstallEvent::decode(line);
}

// A valid progress line padded with an ignored key to exactly `size` bytes.
std::string paddedLine(std::size_t size)
{
    const std::string head = R"({"event":"progress","stage":"checking","pad":")";
    const std::string tail = R"("})";
    return head + std::string(size - head.size() - tail.size(), 'x') + tail;
}

// An object holding `arrays` arrays nested in one another: nesting depth arrays + 1.
std::string nestedArrays(std::size_t arrays)
{
    return R"({"event":"error","deep":)" + std::string(arrays, '[') + std::string(arrays, ']') + "}";
}

TEST(InstallStageTest, RawValuesRoundTripExactlyAndInOrder)
{
    ASSERT_EQ(allInstallStages.size(), 3u);
    EXPECT_EQ(rawValue(allInstallStages[0]), "validated");
    EXPECT_EQ(rawValue(allInstallStages[1]), "registered");
    EXPECT_EQ(rawValue(allInstallStages[2]), "checking");
    for (InstallStage stage : allInstallStages)
        EXPECT_EQ(installStage(rawValue(stage)), stage);

    for (std::string_view text :
         {"Validated"sv, "CHECKING"sv, "registered "sv, " checking"sv, ""sv, "validate"sv, "checking\0"sv})
        EXPECT_EQ(installStage(text), std::nullopt) << text;
}

TEST(InstallEventDecodeTest, ReadsTheFourKeysAndIgnoresOthers)
{
    EXPECT_EQ(decode(R"({"event":"progress","stage":"checking","extra":42})"),
              (InstallEvent{"progress", InstallStage::checking, std::nullopt, std::nullopt}));
    EXPECT_EQ(decode(R"({"version":"1.2.3","code":"X","stage":"validated","event":"complete"})"),
              (InstallEvent{"complete", InstallStage::validated, "X", "1.2.3"}));
    // Any value under an unknown key, however nested, is skipped.
    EXPECT_EQ(
        decode(
            R"({"event":"error","meta":{"event":5,"stage":"nope","list":[1,true,null,{"code":[]}]},"n":-1.5e3})"),
        (InstallEvent{"error", std::nullopt, std::nullopt, std::nullopt}));
    // Keys are matched after unescaping, values are unescaped.
    EXPECT_EQ(decode(R"({"\u0065vent":"compl\u0065te","version":"1.0\t\"\u00e7\ud83d\ude00"})"),
              (InstallEvent{"complete", std::nullopt, std::nullopt, "1.0\t\"\xC3\xA7\xF0\x9F\x98\x80"}));
    // Any event text decodes; the transcript decides what it means.
    EXPECT_EQ(decode(R"({"event":""})"), (InstallEvent{"", std::nullopt, std::nullopt, std::nullopt}));
    EXPECT_EQ(decode(R"({"event":"PROGRESS"})"),
              (InstallEvent{"PROGRESS", std::nullopt, std::nullopt, std::nullopt}));
}

TEST(InstallEventDecodeTest, NullAndAbsentBothMeanNotGiven)
{
    const InstallEvent bare{"progress", std::nullopt, std::nullopt, std::nullopt};
    EXPECT_EQ(decode(R"({"event":"progress"})"), bare);
    EXPECT_EQ(decode(R"({"event":"progress","stage":null,"code":null,"version":null})"), bare);
    // An empty string is given, unlike null.
    EXPECT_EQ(decode(R"({"event":"error","code":"","version":""})"),
              (InstallEvent{"error", std::nullopt, "", ""}));
}

TEST(InstallEventDecodeTest, AcceptsJsonWhitespaceAndALeadingByteOrderMark)
{
    EXPECT_TRUE(decode(" \t{ \"event\" : \"progress\" }\r"));
    EXPECT_TRUE(decode("{\"event\":\"progress\"}\r\n"));
    EXPECT_EQ(decode("\xEF\xBB\xBF{\"event\":\"complete\",\"version\":\"2\"}"),
              (InstallEvent{"complete", std::nullopt, std::nullopt, "2"}));
    // Only at the very start, and only whole.
    EXPECT_FALSE(decode(" \xEF\xBB\xBF{\"event\":\"complete\"}"));
    EXPECT_FALSE(decode("\xEF\xBB{\"event\":\"complete\"}"));
    EXPECT_FALSE(decode("\xEF\xBB\xBF\xEF\xBB\xBF{\"event\":\"complete\"}"));
}

TEST(InstallEventDecodeTest, RefusesAnythingButOneStrictObject)
{
    for (std::string_view line : {
             ""sv,
             " "sv,
             "\r"sv,
             "null"sv,
             R"("progress")"sv,
             "42"sv,
             R"([{"event":"progress"}])"sv,
             "{}"sv,
             R"({"event":"progress"} {"event":"progress"})"sv,
             R"({"event":"progress"}x)"sv,
             R"({"event":"progress",})"sv,
             R"({"event":"progress"} // note)"sv,
             R"(/* c */{"event":"progress"})"sv,
             R"({'event':'progress'})"sv,
             R"({event:"progress"})"sv,
             R"({"event":"progress")"sv,
             R"({"Event":"progress"})"sv,
             R"({"event ":"progress"})"sv,
             R"({"event":"progress"}})"sv,
             "{\"event\":\"a\tb\"}"sv, // raw tab inside a string
             R"({"event":"progress","n":01})"sv,
             R"({"event":"progress","n":1e400})"sv,
             R"({"event":"progress","n":NaN})"sv,
             "\v{\"event\":\"progress\"}"sv,
         })
        EXPECT_EQ(decode(line), std::nullopt) << line;
}

TEST(InstallEventDecodeTest, RefusesKnownKeysOfTheWrongType)
{
    for (std::string_view line : {
             R"({"event":null})"sv,
             R"({"event":1})"sv,
             R"({"event":true})"sv,
             R"({"event":["progress"]})"sv,
             R"({"event":{}})"sv,
             R"({"event":"progress","stage":1})"sv,
             R"({"event":"progress","stage":false})"sv,
             R"({"event":"progress","stage":["checking"]})"sv,
             R"({"event":"error","code":7})"sv,
             R"({"event":"error","code":{"v":"X"}})"sv,
             R"({"event":"complete","version":1.0})"sv,
             R"({"event":"complete","version":[]})"sv,
         })
        EXPECT_EQ(decode(line), std::nullopt) << line;
}

TEST(InstallEventDecodeTest, RefusesAStageOutsideTheThreeWhateverTheEvent)
{
    for (std::string_view line : {
             R"({"event":"progress","stage":"Checking"})"sv,
             R"({"event":"progress","stage":"VALIDATED"})"sv,
             R"({"event":"progress","stage":"done"})"sv,
             R"({"event":"progress","stage":""})"sv,
             R"({"event":"progress","stage":"checking "})"sv,
             R"({"event":"complete","version":"1","stage":"x"})"sv,
             R"({"event":"error","stage":"Registered"})"sv,
         })
        EXPECT_EQ(decode(line), std::nullopt) << line;
}

TEST(InstallEventDecodeTest, RefusesInvalidUtf8AnywhereAndNulBytes)
{
    for (std::string_view line : {
             "{\"event\":\"progress\xFF\"}"sv,
             "{\"event\":\"progress\",\"x\":\"\xC3\"}"sv,
             "{\"event\":\"progress\",\"\xC0\xAF\":1}"sv,             // overlong encoding in an ignored key
             "{\"event\":\"error\",\"code\":\"\xED\xA0\x80\"}"sv,     // encoded surrogate
             "{\"event\":\"error\",\"code\":\"\xF4\x90\x80\x80\"}"sv, // beyond U+10FFFF
             R"({"event":"error","code":"\ud800"})"sv,                // lone surrogate escape
             "{\"event\":\"progress\"}\xC2\xA0"sv,                    // non-JSON whitespace
             "{\"event\":\"progress\"}\0"sv,
             "{\"event\":\"progress\"}\0garbage"sv,
             "\0{\"event\":\"progress\"}"sv,
             "{\"event\":\"pro\0gress\"}"sv,
             "{\"event\":\"progress\",\0\"x\":1}"sv,
         })
        EXPECT_EQ(decode(line), std::nullopt) << line;
    // The escaped form of NUL is an ordinary character.
    EXPECT_EQ(decode(R"({"event":"a\u0000b"})"),
              (InstallEvent{"a\0b"s, std::nullopt, std::nullopt, std::nullopt}));
}

TEST(InstallEventDecodeTest, LinesOfUpTo4096BytesAreRead)
{
    ASSERT_EQ(maxEventLineBytes, 4096u);
    EXPECT_EQ(decode(paddedLine(4096)),
              (InstallEvent{"progress", InstallStage::checking, std::nullopt, std::nullopt}));
    EXPECT_EQ(decode(paddedLine(4097)), std::nullopt);
    EXPECT_EQ(decode(paddedLine(100000)), std::nullopt);
    // Trailing whitespace counts toward the length as well.
    EXPECT_TRUE(decode(paddedLine(4095) + " "));
    EXPECT_EQ(decode(paddedLine(4096) + " "), std::nullopt);
}

TEST(InstallEventDecodeTest, NestingIsLimitedTo512Levels)
{
    EXPECT_TRUE(decode(nestedArrays(511)));
    EXPECT_FALSE(decode(nestedArrays(512)));
    // Objects count like arrays: levels 2 to 512 are objects here.
    const auto nestedObjects = [](std::size_t objects) {
        std::string line = R"({"event":"error","o":)";
        for (std::size_t i = 1; i < objects; ++i)
            line += R"({"o":)";
        return line + "{}" + std::string(objects, '}');
    };
    EXPECT_TRUE(decode(nestedObjects(511)));
    EXPECT_FALSE(decode(nestedObjects(512)));
    // Depth counts open containers, not how many have been seen.
    std::string siblings = R"({"event":"error")";
    for (int i = 0; i < 400; ++i)
        siblings += R"(,"a":[[]])";
    EXPECT_TRUE(decode(siblings + "}"));
}

TEST(InstallEventDecodeTest, HugeNestingFailsWithoutExhaustingTheStack)
{
    const std::string head = R"({"event":"error","x":)";
    const std::size_t room = maxEventLineBytes - head.size();
    EXPECT_FALSE(decode(head + std::string(room, '[')));
    EXPECT_FALSE(decode(head + std::string((room - 1) / 2, '[') + std::string((room - 1) / 2, ']') + "}"));
    std::string objects = head;
    while (objects.size() + 5 <= maxEventLineBytes)
        objects += R"({"a":)";
    EXPECT_FALSE(decode(objects));
    EXPECT_FALSE(decode(std::string(100000, '[')));
}

TEST(InstallEventDecodeTest, TheFirstOccurrenceOfAKeyCounts)
{
    EXPECT_EQ(decode(R"({"event":"progress","stage":"validated","event":"complete","stage":"checking"})"),
              (InstallEvent{"progress", InstallStage::validated, std::nullopt, std::nullopt}));
    EXPECT_EQ(decode(R"({"event":"error","code":null,"code":"CODEX_MISSING"})"),
              (InstallEvent{"error", std::nullopt, std::nullopt, std::nullopt}));
    // A later occurrence is ignored whole, even when it would not decode by itself.
    EXPECT_EQ(
        decode(R"({"event":"complete","version":"1","version":2,"event":null,"stage":null,"stage":"x"})"),
        (InstallEvent{"complete", std::nullopt, std::nullopt, "1"}));
    EXPECT_EQ(decode(R"({"event":"error","event":)" + std::string(600, '[') + std::string(600, ']') + "}"),
              std::nullopt); // ignored, but still too deep
    // But the first occurrence is checked as usual.
    EXPECT_EQ(decode(R"({"event":5,"event":"progress"})"), std::nullopt);
    EXPECT_EQ(decode(R"({"event":"progress","stage":"Checking","stage":"checking"})"), std::nullopt);
    // Only the line's own object has keys that count.
    EXPECT_EQ(decode(R"({"x":{"event":"error"},"event":"complete"})"),
              (InstallEvent{"complete", std::nullopt, std::nullopt, std::nullopt}));
    EXPECT_EQ(decode(R"({"x":{"event":"error"}})"), std::nullopt);
}

} // namespace
} // namespace ZunoInstaller
