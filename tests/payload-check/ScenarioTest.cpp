// zuno-payload-check --scenarios on tiny payloads that each get one
// situation of a real installation wrong.
#include "CheckerFixture.h"

namespace ZunoInstaller::Testing {
namespace {

using Json = nlohmann::json;

// A small payload that installs one file; `place` puts it in place, `tool`
// checks the Codex tool; `top` runs first.
std::string tinyPayload(const std::string& place, const std::string& tool, const std::string& top = {})
{
    return top +
           "fail() { emit \"{\\\"event\\\":\\\"error\\\",\\\"code\\\":\\\"$1\\\"}\"; exit 1; }\n"
           "emit '{\"event\":\"progress\",\"stage\":\"validated\"}'\n"
           "base=\"${XDG_DATA_HOME:-$HOME/.local/share}\"\n"
           "dest=\"$base/tiny\"\n"
           "mkdir -p \"$base\" || fail INSTALL_FAILED\n" +
           place +
           "emit '{\"event\":\"progress\",\"stage\":\"registered\"}'\n"
           "emit '{\"event\":\"progress\",\"stage\":\"checking\"}'\n" +
           tool + "emit '{\"event\":\"complete\",\"version\":\"1.0.0\"}'\n";
}

const std::string placeOnce =
    "rm -rf \"$dest.new\" && mkdir \"$dest.new\" && echo 1 > \"$dest.new/file\" &&\n"
    "  rm -rf \"$dest\" && mv \"$dest.new\" \"$dest\" || fail INSTALL_FAILED\n";
// The tool found, run, and given one second to answer.
const std::string findTool =
    "[ -f \"$ZUNO_CODEX_BIN\" ] && [ -x \"$ZUNO_CODEX_BIN\" ] || fail CODEX_MISSING\n"
    "\"$ZUNO_CODEX_BIN\" --version </dev/null >/dev/null 2>&1 3>&- & tool=$!\n"
    "( sleep 1; kill -9 $tool ) </dev/null >/dev/null 2>&1 3>&- & dog=$!\n"
    "wait $tool; status=$?; kill -9 $dog 2>/dev/null\n"
    "[ $status -eq 0 ] || fail RUNTIME_UNAVAILABLE\n";

class Scenarios : public CheckerFixture {
protected:
    // Runs every scenario and checks that exactly `failing` fail. The tiny
    // payload takes no lock, so two runs at once may nest its copy (as the
    // concurrent scenario rightly finds): concurrent is left out unless named.
    Check expectFailing(const std::vector<std::string>& failing, std::vector<std::string> arguments = {})
    {
        arguments.insert(arguments.begin(), {payload.native(), "--scenarios", "--json"});
        const Check result = check(arguments);
        EXPECT_EQ(result.status, 1) << result.error;
        EXPECT_EQ(result.json["scenarios"].size(), 11u) << result.output.substr(0, 2000);
        for (const Json& entry : result.json["scenarios"]) {
            const std::string name = entry["name"];
            const bool shouldFail = std::find(failing.begin(), failing.end(), name) != failing.end();
            if (shouldFail || name != "concurrent") {
                EXPECT_EQ(entry["passed"], !shouldFail) << name << ": " << entry["detail"];
            }
        }
        return result;
    }
};

TEST_F(Scenarios, APayloadThatNeverLooksAtTheToolFailsEveryScenarioThatTakesItAway)
{
    script(tinyPayload(placeOnce, ":\n"));
    const Check result =
        expectFailing({"codex-missing", "codex-not-executable", "codex-broken", "codex-hangs"});
    EXPECT_EQ(scenario(result, "codex-missing")["detail"], "expected CODEX_MISSING, got OK \xC2\xB7 exit 0");
    EXPECT_EQ(scenario(result, "installs")["result"]["code"], "OK");
}

TEST_F(Scenarios, APayloadThatWaitsForTheToolWithoutALimitHangsTheInstaller)
{
    script(tinyPayload(placeOnce, "[ -f \"$ZUNO_CODEX_BIN\" ] || fail CODEX_MISSING\n"
                                  "\"$ZUNO_CODEX_BIN\" --version >/dev/null 2>&1 || fail INSTALL_FAILED\n"));
    const Check result = expectFailing({"codex-not-executable", "codex-hangs"}, {"--timeout", "2"});
    EXPECT_EQ(scenario(result, "codex-not-executable")["result"]["code"], "INSTALL_FAILED");
    const Json& hangs = scenario(result, "codex-hangs");
    EXPECT_EQ(hangs["run"]["timedOut"], true);
    EXPECT_EQ(hangs["screen"], "progress");
    const Json& broken = scenario(result, "codex-broken");
    EXPECT_EQ(broken["warning"], true) << "INSTALL_FAILED where RUNTIME_UNAVAILABLE is meant";
    EXPECT_NE(broken["detail"].get<std::string>().find("RUNTIME_UNAVAILABLE"), std::string::npos);
}

TEST_F(Scenarios, APayloadThatCannotInstallOverItselfFailsReinstall)
{
    script(tinyPayload("mkdir \"$dest\" && echo 1 > \"$dest/file\" || fail INSTALL_FAILED\n", findTool));
    const Check result = check({payload.native(), "--scenarios", "--json"});
    EXPECT_EQ(scenario(result, "installs")["passed"], true);
    EXPECT_EQ(scenario(result, "reinstall")["passed"], false);
    EXPECT_EQ(scenario(result, "reinstall")["result"]["code"], "INSTALL_FAILED");
}

TEST_F(Scenarios, APayloadThatNeedsTheTerminalsEnvironmentFailsFromTheFinder)
{
    script(tinyPayload(placeOnce, findTool, "[ -n \"${XDG_DATA_HOME-}\" ] || exit 5\n"));
    expectFailing({"finder-launch"});
}

TEST_F(Scenarios, APayloadThatSplitsItsOwnPathFailsInUnusualFolders)
{
    script(tinyPayload(placeOnce, findTool,
                       "cd $(dirname \"$0\") || exit 6\n[ -f Install.command ] || exit 6\n"));
    const Check result = expectFailing({"unusual-paths"});
    EXPECT_EQ(scenario(result, "unusual-paths")["result"]["exitCode"], 6);
}

TEST_F(Scenarios, APayloadThatLeavesItsStagingBehindWhenCutShortFailsInterrupted)
{
    // The copy is made early and moved into place only at the end.
    script(tinyPayload(
        "mkdir -p \"$base/.staging.$$\" && echo 1 > \"$base/.staging.$$/file\" || fail INSTALL_FAILED\n",
        findTool + "rm -rf \"$dest\" && mv \"$base/.staging.$$\" \"$dest\" || fail INSTALL_FAILED\n"));
    const Check result = check({payload.native(), "--scenarios", "--json"});
    EXPECT_EQ(scenario(result, "installs")["passed"], true);
    EXPECT_EQ(scenario(result, "interrupted")["passed"], false);
    const std::string detail = scenario(result, "interrupted")["detail"];
    EXPECT_NE(detail.find("the home differs from a clean install: added .local/share/.staging."),
              std::string::npos)
        << detail;
}

TEST_F(Scenarios, APayloadThatRacesAnotherRunNestsItsCopyAndFailsConcurrent)
{
    script(tinyPayload("rm -rf \"$dest\"; mkdir \"$base/new.$$\" && echo 1 > \"$base/new.$$/file\" &&\n"
                       "  sleep 0.2 && mv \"$base/new.$$\" \"$dest\" || fail INSTALL_FAILED\n",
                       findTool));
    const Check result = check({payload.native(), "--scenarios", "--json"});
    EXPECT_EQ(result.status, 1);
    const Json& concurrent = scenario(result, "concurrent");
    EXPECT_EQ(concurrent["passed"], false);
    const std::string detail = concurrent["detail"];
    EXPECT_NE(
        detail.find("after two runs at once (OK \xC2\xB7 exit 0 and OK \xC2\xB7 exit 0), the home differs"),
        std::string::npos)
        << detail;
    EXPECT_NE(detail.find("added .local/share/tiny/new."), std::string::npos) << detail;
    EXPECT_EQ(scenario(result, "installs")["passed"], true);
}

} // namespace
} // namespace ZunoInstaller::Testing
