// The scenarios run in process on tiny payloads, for what each decided and
// why: the reasons that the reports print and CI systems match on.
#include "CheckerFixture.h"

#include "payload-check/RunProcesses.h"
#include "payload-check/Scenarios.h"

#include <algorithm>

namespace ZunoInstaller::Testing {
namespace {

using PayloadCheck::Reason;
using PayloadCheck::ScenarioReport;
using Reasons = std::vector<Reason>;

const std::string stage1 = "emit '{\"event\":\"progress\",\"stage\":\"validated\"}'\n";
const std::string stages23 = "emit '{\"event\":\"progress\",\"stage\":\"registered\"}'\n"
                             "emit '{\"event\":\"progress\",\"stage\":\"checking\"}'\n";
const std::string complete = "emit '{\"event\":\"complete\",\"version\":\"1.0.0\"}'\n";
const std::string fail = "fail() { emit \"{\\\"event\\\":\\\"error\\\",\\\"code\\\":\\\"$1\\\"}\"; exit 1; }\n"
                         "base=\"${XDG_DATA_HOME:-$HOME/.local/share}\"\ndest=\"$base/tiny\"\n"
                         "mkdir -p \"$base\" || fail INSTALL_FAILED\n";
// Runs the tool and fails with RUNTIME_UNAVAILABLE when it does not answer in a second.
const std::string checkTool =
    "[ -x \"$ZUNO_CODEX_BIN\" ] || fail CODEX_MISSING\n"
    "\"$ZUNO_CODEX_BIN\" --version </dev/null >/dev/null 2>&1 3>&- & tool=$!\n"
    "( sleep 1; kill -9 $tool ) </dev/null >/dev/null 2>&1 3>&- & dog=$!\n"
    "wait $tool; status=$?; kill -9 $dog 2>/dev/null\n"
    "[ $status -eq 0 ] || fail RUNTIME_UNAVAILABLE\n";

class ScenarioReasons : public CheckerFixture {
protected:
    // As the checker does: what the runs leave is adopted, ended and reaped here.
    static void SetUpTestSuite() { PayloadCheck::adoptOrphans(); }

    std::vector<ScenarioReport> run(std::vector<std::string> only)
    {
        PayloadCheck::CheckOptions options;
        options.payload = payload;
        options.expectedVersion = "1.0.0";
        options.scenarios = true;
        options.onlyScenarios = std::move(only);
        options.timeout = std::chrono::seconds(20);
        const std::filesystem::path scratch = root / ("scratch-" + std::to_string(++checks_));
        std::filesystem::create_directory(scratch);
        return PayloadCheck::Scenarios(options, scratch).all();
    }

    ScenarioReport one(const std::string& name) { return run({name}).at(0); }

    // A package folder with `count` small files and one of 3000 bytes.
    void package(int count)
    {
        std::filesystem::create_directories(payload / "pkg");
        for (int index = 0; index < count; ++index)
            write(payload / "pkg" / ("f" + std::to_string(index)), "file " + std::to_string(index) + "\n");
        write(payload / "pkg" / "big", std::string(3000, 'b'));
    }

private:
    int checks_ = 0;
};

TEST_F(ScenarioReasons, EachFailedRunSaysWhyFromItsTranscriptAndHowItEnded)
{
    const std::vector<std::pair<std::string, Reasons>> cases{
        {stage1 + stages23 + "emit '{\"event\":\"complete\",\"version\":\"0.9\"}'\n", {Reason::versionMismatch}},
        {stage1 + stages23 + complete + "exit 3\n", {Reason::exitStatus}},
        {stage1 + stages23 + "exit 0\n", {Reason::noCompletion}},
        {"emit 'copying...'\n" + stage1 + stages23 + complete, {Reason::malformedLine}},
        {stage1 + "emit '{\"event\":\"error\",\"code\":\"INSTALL_FAILED\"}'\nexit 1\n",
         {Reason::errorCode, Reason::missingStage}},
        {stage1 + "kill -TERM $$\n", {Reason::killedBySignal, Reason::missingStage}},
        {"echo cache > ./state.txt\n" + stage1 + stages23 + complete, {Reason::payloadChanged}},
    };
    for (const auto& [body, reasons] : cases) {
        script(body);
        const ScenarioReport installs = one("installs");
        EXPECT_FALSE(installs.passed) << body;
        EXPECT_EQ(installs.reasons, reasons) << body << installs.detail;
    }
    // The last case: the run wrote into its own copy, never into the author's folder.
    EXPECT_FALSE(std::filesystem::exists(payload / "state.txt"));

    script(stage1 + "kill -TERM $$\n");
    const ScenarioReport killed = one("installs");
    EXPECT_EQ(killed.run.signal, SIGTERM);
    EXPECT_EQ(killed.run.result.exitCode, SIGTERM) << "the installer's own summary keeps the number";
    EXPECT_EQ(killed.detail, "expected success, got CHECK_FAILED \xC2\xB7 killed by SIGTERM (15)");
}

TEST_F(ScenarioReasons, ScenariosThatTakeTheToolAwayPassOnlyWhenTheToolWasRun)
{
    // Never runs the tool: fails wherever it is, as if the tool were broken.
    script(fail + stage1 + stages23 + "[ -x \"$ZUNO_CODEX_BIN\" ] || fail CODEX_MISSING\nfail RUNTIME_UNAVAILABLE\n");
    std::vector<ScenarioReport> reports = run({"codex-hangs", "codex-missing", "reinstall", "codex-broken", "installs"});
    std::vector<std::string> order;
    for (const ScenarioReport& report : reports)
        order.push_back(report.name);
    EXPECT_EQ(order, (std::vector<std::string>{"installs", "reinstall", "codex-missing", "codex-broken", "codex-hangs"}))
        << "the canonical order, whatever the order asked";
    EXPECT_FALSE(reports[0].passed);
    EXPECT_TRUE(reports[1].notRun);
    EXPECT_EQ(reports[1].detail, "not run: installs fails");
    EXPECT_TRUE(reports[1].reasons.empty()) << "the failure is installs', not repeated";
    EXPECT_TRUE(reports[2].passed) << "codex-missing needs no working install: " << reports[2].detail;
    for (const ScenarioReport& report : {reports[3], reports[4]}) {
        EXPECT_FALSE(report.passed) << report.name;
        EXPECT_EQ(report.reasons, Reasons{Reason::toolNotRun}) << report.name << ": " << report.detail;
    }

    // Runs the tool, then writes nothing the installer can read.
    script("\"$ZUNO_CODEX_BIN\" --version >/dev/null 2>&1 3>&-\nemit 'checking the tool'\nexit 1\n");
    const ScenarioReport malformed = one("codex-broken");
    EXPECT_FALSE(malformed.passed);
    EXPECT_EQ(malformed.reasons, Reasons{Reason::malformedLine}) << malformed.detail;

    // Right code, but an error followed by a completion and exit status 0.
    script(fail + stage1 + stages23 + "fail() { emit '{\"event\":\"error\",\"code\":\"RUNTIME_UNAVAILABLE\"}'; }\n" +
           "\"$ZUNO_CODEX_BIN\" --version >/dev/null 2>&1 3>&- || fail RUNTIME_UNAVAILABLE\n" + complete + "exit 0\n");
    const ScenarioReport late = one("codex-broken");
    EXPECT_TRUE(late.passed) << late.detail;
    EXPECT_TRUE(late.warning);
    EXPECT_EQ(late.warnings, (Reasons{Reason::errorThenExitZero, Reason::completeAfterError})) << late.detail;
}

// The destination is deleted, and only a twentieth of a second later copied anew:
// a kill in between finds nothing in place and no copy to put back.
TEST_F(ScenarioReasons, AKillInTheMiddleOfAnInstallFindsAPayloadThatIsNotCrashSafe)
{
    package(200);
    script(fail + stage1 + "rm -rf \"$dest\"\nsleep 0.05\ncp -R pkg \"$dest\" || fail INSTALL_FAILED\n" + stages23 +
           checkTool + complete);
    const ScenarioReport unsafe = one("interrupted");
    EXPECT_FALSE(unsafe.passed);
    EXPECT_EQ(unsafe.reasons, Reasons{Reason::notCrashSafe}) << unsafe.detail;
    EXPECT_NE(unsafe.detail.find("the install was neither the complete earlier copy nor the complete new one"),
              std::string::npos)
        << unsafe.detail;
}

// The copy is made aside and swapped in by two renames a twentieth of a second
// apart, and an interrupted run is undone first: the kills land between the
// renames, where the destination is missing but its copy waits.
TEST_F(ScenarioReasons, ADestinationMissingBetweenTwoRenamesIsAWarningWhenTheNextRunMendsIt)
{
    package(20);
    script(fail + "run=\"$base/.tiny.run\"\n"
                  "if [ -d \"$run\" ]; then\n"
                  "  [ -d \"$run/old\" ] && [ ! -e \"$dest\" ] && mv \"$run/old\" \"$dest\"\n"
                  "  rm -rf \"$run\"\n"
                  "fi\n" +
           stage1 +
           "mkdir \"$run\" && cp -R pkg \"$run/new\" || fail INSTALL_FAILED\n"
           "if [ -e \"$dest\" ]; then mv \"$dest\" \"$run/old\" || fail INSTALL_FAILED; fi\n"
           "sleep 0.05\n"
           "mv \"$run/new\" \"$dest\" && rm -rf \"$run\" || fail INSTALL_FAILED\n" +
           stages23 + checkTool + complete);
    const ScenarioReport safe = one("interrupted");
    EXPECT_TRUE(safe.passed) << safe.detail;
    EXPECT_TRUE(safe.reasons.empty());
    EXPECT_EQ(safe.warnings, Reasons{Reason::missingBetweenRenames}) << safe.detail;
    EXPECT_NE(safe.detail.find(".local/share/tiny was missing, with a complete copy in .local/share/.tiny.run/"),
              std::string::npos)
        << safe.detail;
}

TEST_F(ScenarioReasons, ARunWhoseWritesFailMustReportAFailureOrInstallEverything)
{
    package(3);
    script(fail + stage1 + "rm -rf \"$dest\"\ncp -R pkg \"$dest\" 2>/dev/null\n" + stages23 + checkTool + complete);
    const ScenarioReport ignores = one("writes-fail");
    EXPECT_FALSE(ignores.passed);
    EXPECT_EQ(ignores.reasons, Reasons{Reason::partialInstall}) << ignores.detail;
    EXPECT_NE(ignores.detail.find("changed .local/share/tiny/big (size 3000 -> 1024)"), std::string::npos)
        << ignores.detail;

    script(fail + stage1 + "rm -rf \"$dest\"\ncp -R pkg \"$dest\" || fail INSTALL_FAILED\n" + stages23 + checkTool +
           complete);
    const ScenarioReport reports = one("writes-fail");
    EXPECT_TRUE(reports.passed) << reports.detail;
    EXPECT_EQ(reports.run.result.code, "INSTALL_FAILED");
    EXPECT_EQ(reports.run.signal, 0) << "SIGXFSZ is ignored: the copy fails, nothing is killed";
}

} // namespace
} // namespace ZunoInstaller::Testing
