#include "engine/InstallTranscript.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace ZunoInstaller {
namespace {

constexpr std::string_view validatedLine = R"({"event":"progress","stage":"validated"})";
constexpr std::string_view registeredLine = R"({"event":"progress","stage":"registered"})";
constexpr std::string_view checkingLine = R"({"event":"progress","stage":"checking"})";

std::string completeLine(std::string_view version)
{
    return R"({"event":"complete","version":")" + std::string(version) + R"("})";
}

std::string errorLine(std::string_view code)
{
    return R"({"event":"error","code":")" + std::string(code) + R"("})";
}

// Feeds the lines and collects what receive returned for each.
std::vector<std::optional<InstallStage>> feed(InstallTranscript& transcript,
                                              const std::vector<std::string>& lines)
{
    std::vector<std::optional<InstallStage>> returned;
    for (const std::string& line : lines)
        returned.push_back(transcript.receive(line));
    return returned;
}

InstallTranscript allStages()
{
    InstallTranscript transcript;
    feed(transcript, {std::string(validatedLine), std::string(registeredLine), std::string(checkingLine)});
    return transcript;
}

const std::vector<InstallStage> everyStage(allInstallStages.begin(), allInstallStages.end());

TEST(InstallTranscriptTest, AFullRunSucceedsOnlyWithTheExpectedVersionAndStatusZero)
{
    InstallTranscript transcript;
    const auto returned = feed(transcript, {std::string(validatedLine), std::string(registeredLine),
                                            std::string(checkingLine), completeLine("1.4.0")});
    EXPECT_EQ(returned,
              (std::vector<std::optional<InstallStage>>{InstallStage::validated, InstallStage::registered,
                                                        InstallStage::checking, std::nullopt}));
    EXPECT_EQ(transcript, (InstallTranscript{everyStage, "1.4.0", std::nullopt, false}));

    EXPECT_EQ(transcript.result(0, "1.4.0"), (InstallResult{true, "OK", 0}));
    for (std::string_view other : {"1.4.0 ", "1.4", "1.4.00", "v1.4.0", ""})
        EXPECT_EQ(transcript.result(0, other), (InstallResult{false, "CHECK_FAILED", 0})) << other;
    EXPECT_EQ(transcript.result(1, "1.4.0"), (InstallResult{false, "CHECK_FAILED", 1}));
    EXPECT_EQ(transcript.result(-1, "1.4.0"), (InstallResult{false, "CHECK_FAILED", -1}));
    EXPECT_EQ(transcript.result(9, "1.4.0"), (InstallResult{false, "CHECK_FAILED", 9}));
    // result reads only.
    EXPECT_EQ(transcript, (InstallTranscript{everyStage, "1.4.0", std::nullopt, false}));
}

TEST(InstallTranscriptTest, VersionsCompareAsExactText)
{
    InstallTranscript upper = allStages();
    upper.receive(completeLine("1.0.0-Beta"));
    EXPECT_FALSE(upper.result(0, "1.0.0-beta").success);
    EXPECT_TRUE(upper.result(0, "1.0.0-Beta").success);

    InstallTranscript empty = allStages();
    empty.receive(completeLine(""));
    EXPECT_TRUE(empty.result(0, "").success);

    InstallTranscript noVersion = allStages();
    noVersion.receive(R"({"event":"complete"})");
    EXPECT_FALSE(noVersion.malformed);
    EXPECT_EQ(noVersion.completedVersion, std::nullopt);
    EXPECT_EQ(noVersion.result(0, ""), (InstallResult{false, "CHECK_FAILED", 0}));
}

TEST(InstallTranscriptTest, StagesAreAcceptedOnlyInOrderAndOnlyOnce)
{
    InstallTranscript outOfOrder;
    EXPECT_EQ(outOfOrder.receive(registeredLine), std::nullopt);
    EXPECT_TRUE(outOfOrder.malformed);
    EXPECT_TRUE(outOfOrder.stages.empty());
    // A malformed transcript goes on accepting by the same rules, but never succeeds.
    EXPECT_EQ(outOfOrder.receive(validatedLine), InstallStage::validated);
    EXPECT_EQ(outOfOrder.receive(registeredLine), InstallStage::registered);
    EXPECT_EQ(outOfOrder.receive(checkingLine), InstallStage::checking);
    outOfOrder.receive(completeLine("1"));
    EXPECT_EQ(outOfOrder.completedVersion, "1");
    EXPECT_EQ(outOfOrder.result(0, "1"), (InstallResult{false, "CHECK_FAILED", 0}));

    InstallTranscript repeated;
    EXPECT_EQ(repeated.receive(validatedLine), InstallStage::validated);
    EXPECT_EQ(repeated.receive(validatedLine), std::nullopt);
    EXPECT_TRUE(repeated.malformed);
    EXPECT_EQ(repeated.stages, std::vector<InstallStage>{InstallStage::validated});

    for (std::string_view fourth : {validatedLine, registeredLine, checkingLine}) {
        InstallTranscript full = allStages();
        EXPECT_FALSE(full.malformed);
        EXPECT_EQ(full.receive(fourth), std::nullopt);
        EXPECT_TRUE(full.malformed);
        EXPECT_EQ(full.stages, everyStage);
    }
}

TEST(InstallTranscriptTest, NothingButErrorsIsAcceptedAfterACompletionOrAFailure)
{
    InstallTranscript early;
    feed(early, {std::string(validatedLine), std::string(registeredLine), completeLine("1")});
    EXPECT_TRUE(early.malformed);
    EXPECT_EQ(early.completedVersion, std::nullopt);

    InstallTranscript twice = allStages();
    twice.receive(completeLine("1"));
    EXPECT_FALSE(twice.malformed);
    twice.receive(completeLine("2"));
    EXPECT_TRUE(twice.malformed);
    EXPECT_EQ(twice.completedVersion, "1");

    // A completion without a version records none, so another completion is still taken.
    InstallTranscript versionLater = allStages();
    versionLater.receive(R"({"event":"complete"})");
    versionLater.receive(completeLine("2"));
    EXPECT_FALSE(versionLater.malformed);
    EXPECT_EQ(versionLater.completedVersion, "2");
    EXPECT_TRUE(versionLater.result(0, "2").success);

    InstallTranscript afterError;
    afterError.receive(validatedLine);
    afterError.receive(errorLine("CHECK_FAILED"));
    EXPECT_FALSE(afterError.malformed);
    EXPECT_EQ(afterError.receive(registeredLine), std::nullopt);
    EXPECT_TRUE(afterError.malformed);
    EXPECT_EQ(afterError.stages, std::vector<InstallStage>{InstallStage::validated});

    InstallTranscript completeAfterError = allStages();
    completeAfterError.receive(errorLine("INSTALL_FAILED"));
    completeAfterError.receive(completeLine("1"));
    EXPECT_TRUE(completeAfterError.malformed);
    EXPECT_EQ(completeAfterError.completedVersion, std::nullopt);

    InstallTranscript progressAfterComplete = allStages();
    progressAfterComplete.receive(completeLine("1"));
    EXPECT_EQ(progressAfterComplete.receive(checkingLine), std::nullopt);
    EXPECT_TRUE(progressAfterComplete.malformed);
}

TEST(InstallTranscriptTest, ErrorCodesAreNormalisedAndTheLastOneWins)
{
    for (std::string_view code : {"CODEX_MISSING", "RUNTIME_UNAVAILABLE", "INSTALL_FAILED", "CHECK_FAILED"}) {
        InstallTranscript transcript;
        EXPECT_EQ(transcript.receive(errorLine(code)), std::nullopt);
        EXPECT_EQ(transcript.failure, code);
        EXPECT_FALSE(transcript.malformed);
        EXPECT_EQ(transcript.result(0, ""), (InstallResult{false, std::string(code), 0}));
    }
    for (std::string_view line :
         {R"({"event":"error"})", R"({"event":"error","code":null})",
          R"({"event":"error","code":"codex_missing"})", R"({"event":"error","code":"OK"})",
          R"({"event":"error","code":"START_FAILED"})", R"({"event":"error","code":""})",
          R"({"event":"error","code":" CHECK_FAILED"})"}) {
        InstallTranscript transcript;
        transcript.receive(line);
        EXPECT_EQ(transcript.failure, "INSTALL_FAILED") << line;
    }

    InstallTranscript lastWins;
    lastWins.receive(errorLine("CHECK_FAILED"));
    lastWins.receive(errorLine("CODEX_MISSING"));
    EXPECT_EQ(lastWins.failure, "CODEX_MISSING");

    // An error code wins over every other cause of failure, success included.
    InstallTranscript afterSuccess = allStages();
    afterSuccess.receive(completeLine("1"));
    afterSuccess.receive(errorLine("RUNTIME_UNAVAILABLE"));
    EXPECT_EQ(afterSuccess.result(0, "1"), (InstallResult{false, "RUNTIME_UNAVAILABLE", 0}));

    InstallTranscript withGarbage;
    withGarbage.receive("garbage");
    withGarbage.receive(errorLine("CODEX_MISSING"));
    EXPECT_TRUE(withGarbage.malformed);
    EXPECT_EQ(withGarbage.result(3, "1"), (InstallResult{false, "CODEX_MISSING", 3}));
}

TEST(InstallTranscriptTest, ALineThatBreaksTheProtocolIsRecordedAndOtherwiseIgnored)
{
    for (std::string_view line :
         {"", "not json", "[]", R"({"event":"progress"})", R"({"event":"progress","stage":null})",
          R"({"event":"started"})", R"({"event":"Progress","stage":"validated"})",
          R"({"event":"complete","version":"1","stage":"Checking"})", R"({"event":"error","code":5})"}) {
        InstallTranscript transcript;
        EXPECT_EQ(transcript.receive(line), std::nullopt) << line;
        EXPECT_EQ(transcript, (InstallTranscript{{}, std::nullopt, std::nullopt, true})) << line;
        EXPECT_EQ(transcript.result(0, "1"), (InstallResult{false, "CHECK_FAILED", 0})) << line;
    }

    // The sticky flag survives a run that is otherwise perfect.
    InstallTranscript late = allStages();
    late.receive(completeLine("1"));
    late.receive("");
    EXPECT_EQ(late.result(0, "1"), (InstallResult{false, "CHECK_FAILED", 0}));

    // An over-long line is malformed even when it is a valid first stage.
    InstallTranscript longLine;
    std::string padded = R"({"event":"progress","stage":"validated","pad":")";
    padded += std::string(maxEventLineBytes + 1 - padded.size() - 2, ' ') + R"("})";
    ASSERT_EQ(padded.size(), maxEventLineBytes + 1);
    EXPECT_EQ(longLine.receive(padded), std::nullopt);
    EXPECT_TRUE(longLine.malformed);
    padded.erase(padded.size() - 3, 1);
    EXPECT_EQ(longLine.receive(padded), InstallStage::validated);
}

TEST(InstallTranscriptTest, FieldsIgnoredByAnEventKindChangeNothing)
{
    InstallTranscript transcript;
    transcript.receive(R"({"event":"progress","stage":"validated","code":"CODEX_MISSING","version":"9"})");
    transcript.receive(R"({"event":"progress","stage":"registered"})");
    transcript.receive(R"({"event":"progress","stage":"checking"})");
    transcript.receive(R"({"event":"complete","version":"1","stage":"validated","code":"CHECK_FAILED"})");
    EXPECT_EQ(transcript, (InstallTranscript{everyStage, "1", std::nullopt, false}));
    transcript.receive(R"({"event":"error","code":"CHECK_FAILED","stage":"checking","version":"2"})");
    EXPECT_EQ(transcript, (InstallTranscript{everyStage, "1", "CHECK_FAILED", false}));
}

TEST(InstallTranscriptTest, AnEmptyTranscriptFailsWithTheGivenStatus)
{
    const InstallTranscript transcript{};
    EXPECT_EQ(transcript.result(0, "1"), (InstallResult{false, "CHECK_FAILED", 0}));
    EXPECT_EQ(transcript.result(137, "1"), (InstallResult{false, "CHECK_FAILED", 137}));
    EXPECT_EQ(transcript.result(INT32_MIN, ""), (InstallResult{false, "CHECK_FAILED", INT32_MIN}));
}

} // namespace
} // namespace ZunoInstaller
