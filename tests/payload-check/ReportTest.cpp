// The four reports of zuno-payload-check, on runs and scenarios made up here:
// the reasons, the warnings, a scenario not run, a run ended by a signal; the
// GitHub workflow commands and their escaping; the JUnit XML against the
// format's schema (xmllint).
#include "ProgramRun.h"
#include "payload-check/GithubReport.h"
#include "payload-check/JsonReport.h"
#include "payload-check/JunitReport.h"
#include "payload-check/SignalName.h"
#include "payload-check/TextReport.h"

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unistd.h>

namespace ZunoInstaller::PayloadCheck {
namespace {

using Json = nlohmann::json;
using Kind = LineVerdict::Kind;

LineRecord line(std::size_t number, std::string bytes, LineVerdict verdict, std::size_t size = 0)
{
    const std::size_t length = size != 0 ? size : bytes.size();
    return {number, 0.01 * static_cast<double>(number), std::move(bytes), length, {verdict, {}, {}, {}, {}, false, {}}};
}

LineVerdict malformed(LineReason reason)
{
    return {Kind::malformed, reason, std::nullopt, std::nullopt};
}

// A run that ended badly in every way a report shows.
RunReport killedRun()
{
    RunReport run;
    run.started = true;
    run.expectedVersion = "1.0.0";
    run.lines.push_back(line(1, R"({"event":"progress","stage":"validated"})",
                             {Kind::stage, LineReason::none, InstallStage::validated, std::nullopt}));
    run.lines.push_back(line(2, "::error::from the payload <&>", malformed(LineReason::invalidJson)));
    run.lines.push_back(line(3, std::string(maxEventLineBytes, '{'), malformed(LineReason::tooLong), 16384));
    run.stages = {InstallStage::validated};
    run.standardError = "copying \x01 <files> & \xFF\n";
    run.result = {false, "CHECK_FAILED", SIGTERM};
    run.signal = SIGTERM;
    run.seconds = 1.25;
    return run;
}

ScenarioReport scenario(std::string name, bool passed, std::string detail, std::vector<Reason> reasons = {},
                        std::vector<Reason> warnings = {})
{
    ScenarioReport report;
    report.name = std::move(name);
    report.passed = passed;
    report.detail = std::move(detail);
    report.reasons = std::move(reasons);
    report.warnings = std::move(warnings);
    report.warning = !report.warnings.empty();
    report.run.started = true;
    report.run.result = passed ? InstallResult{true, "OK", 0} : InstallResult{false, "INSTALL_FAILED", 1};
    return report;
}

ScenarioReport notRun(std::string name)
{
    ScenarioReport report = scenario(std::move(name), false, "installs fails");
    report.notRun = true;
    report.run.started = false;
    return report;
}

class Reports : public ::testing::Test {
protected:
    Reports()
    {
        options.payload = "/payloads/my \"payload\"";
        options.expectedVersion = "1.0.0";
        options.scenarios = true;
    }

    // installs failed with two reasons, reinstall and interrupted not run,
    // codex-broken passed with a warning.
    CheckOutcome outcome() const
    {
        CheckOutcome result{options, {}, true};
        ScenarioReport installs = scenario("installs", false, "expected success, got CHECK_FAILED \xC2\xB7 exit 15",
                                           {Reason::killedBySignal, Reason::malformedLine});
        installs.run = killedRun();
        result.reports.push_back(installs);
        result.reports.push_back(notRun("reinstall"));
        result.reports.push_back(scenario("codex-broken", true, "INSTALL_FAILED \xC2\xB7 exit 1", {},
                                          {Reason::runtimeCode, Reason::errorThenExitZero}));
        result.reports.push_back(scenario("codex-hangs", false, "expected a failure, got OK",
                                          {Reason::toolNotRun, Reason::wrongCode}, {Reason::runtimeCode}));
        result.reports.push_back(notRun("interrupted"));
        return result;
    }

    CheckOptions options;
};

TEST_F(Reports, TextNamesEveryReasonTheSignalAndScenariosNotRunOnce)
{
    std::ostringstream out;
    TextReport(out).write(outcome());
    const std::string text = out.str();
    EXPECT_NE(text.find("standard output (3 lines)"), std::string::npos) << text;
    EXPECT_NE(text.find("result            failure, code CHECK_FAILED, killed by SIGTERM (15) (the installer says "
                        "CHECK_FAILED \xC2\xB7 exit 15)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("| " + std::string(120, '{') + " \xE2\x80\xA6 (over 4096 bytes)\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("verdict           FAIL: expected success, got CHECK_FAILED \xC2\xB7 exit 15\n"
                        "reasons           killed-by-signal: the script was ended by a signal\n"
                        "                  malformed-line: a line of standard output broke the event protocol\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  SKIP  reinstall             not run: installs fails\n  PASS  codex-broken"),
              std::string::npos)
        << "a scenario not run is one line: " << text;
    EXPECT_NE(text.find("  PASS  codex-broken          INSTALL_FAILED \xC2\xB7 exit 1\n"
                        "                              warnings: runtime-code, error-then-exit-zero\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("  FAIL  codex-hangs           expected a failure, got OK\n"
                        "                              reasons: tool-not-run, wrong-code\n"
                        "                              warnings: runtime-code\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("2 of 5 scenarios failed, 2 not run\n"), std::string::npos) << text;
    EXPECT_NE(text.find("== the run that decided codex-hangs"), std::string::npos) << text;
    EXPECT_EQ(text.find("== the run that decided reinstall"), std::string::npos) << text;
    EXPECT_EQ(text.find("== the run that decided installs"), std::string::npos) << "shown at the top already";

    CheckOutcome single{options, {}, false};
    single.reports.push_back(scenario("installs", true, "OK \xC2\xB7 exit 0"));
    single.reports.front().run.lines.push_back(line(1, "{}", malformed(LineReason::eventMissing)));
    single.reports.front().run.result = {true, "OK", 0};
    std::ostringstream one;
    TextReport(one).write(single);
    EXPECT_NE(one.str().find("standard output (1 line)\n"), std::string::npos) << one.str();
    EXPECT_NE(one.str().find("exit status 0\n"), std::string::npos) << one.str();
    EXPECT_EQ(one.str().find("scenarios"), std::string::npos) << one.str();
}

TEST_F(Reports, JsonHasTheReasonsTheirUnionTheSignalAndAStableLengthForAnOverLongLine)
{
    const Json report = Json::parse(jsonReport(outcome()));
    EXPECT_EQ(report["passed"], false);
    // The union, in the order of the reason table.
    EXPECT_EQ(report["reasons"],
              Json::array({"killed-by-signal", "malformed-line", "wrong-code", "tool-not-run"}));
    EXPECT_EQ(report["warnings"], Json::array({"error-then-exit-zero", "runtime-code"}));
    EXPECT_EQ(report["signal"], SIGTERM);
    EXPECT_EQ(report["signalName"], "SIGTERM");
    EXPECT_EQ(report["lines"][2]["bytes"], maxEventLineBytes + 1);
    EXPECT_EQ(report["lines"][1]["bytes"], std::string("::error::from the payload <&>").size());
    const Json& scenarios = report["scenarios"];
    ASSERT_EQ(scenarios.size(), 5u);
    EXPECT_EQ(scenarios[0]["reasons"], Json::array({"killed-by-signal", "malformed-line"}));
    EXPECT_EQ(scenarios[1]["notRun"], true);
    EXPECT_EQ(scenarios[1]["detail"], "not run: installs fails");
    EXPECT_EQ(scenarios[2]["warnings"], Json::array({"runtime-code", "error-then-exit-zero"}));
    EXPECT_EQ(scenarios[2]["reasons"], Json::array());
    EXPECT_EQ(scenarios[3]["run"]["signal"], nullptr);

    // However much of an over-long line the pipe had at hand.
    CheckOutcome other = outcome();
    other.reports.front().run.lines[2].size = 8192;
    EXPECT_EQ(Json::parse(jsonReport(other))["lines"][2], report["lines"][2]);
}

TEST(SignalName, NamesTheSignalsThisSystemNumbers)
{
    EXPECT_EQ(signalText(SIGTERM), "SIGTERM (" + std::to_string(SIGTERM) + ")");
    EXPECT_EQ(signalText(SIGKILL), "SIGKILL (" + std::to_string(SIGKILL) + ")");
    EXPECT_EQ(signalName(SIGXFSZ), "SIGXFSZ");
    EXPECT_EQ(signalText(200), "signal 200");
}

TEST(GithubEscaping, FollowsTheWorkflowCommandRules)
{
    EXPECT_EQ(GithubReport::escapeData("50% done\r\nnext: a,b"), "50%25 done%0D%0Anext: a,b");
    EXPECT_EQ(GithubReport::escapeProperty("50% done\r\nnext: a,b"), "50%25 done%0D%0Anext%3A a%2Cb");
    EXPECT_EQ(GithubReport::escapeData("%0A"), "%250A") << "an escape in the text stays text";
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string row; std::getline(in, row);)
        lines.push_back(row);
    return lines;
}

TEST_F(Reports, GithubFoldsTheReportAndAnnotatesAtMostTenOfEachKind)
{
    CheckOutcome many = outcome();
    for (int index = 0; index < 12; ++index)
        many.reports.front().run.lines.push_back(
            line(10 + index, "text, 100%: \"quoted\"", malformed(LineReason::invalidJson)));
    std::ostringstream out;
    GithubReport(out).write(many);
    const std::vector<std::string> lines = linesOf(out.str());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("::group::zuno-payload-check /payloads/my \"payload\": FAILED", 0), 0u) << lines[0];
    ASSERT_EQ(lines[1].rfind("::stop-commands::", 0), 0u) << lines[1];
    const std::string resume = "::" + lines[1].substr(std::string("::stop-commands::").size()) + "::";
    EXPECT_GT(resume.size(), 20u) << "a token no payload can guess";
    std::size_t at = 2;
    while (at < lines.size() && lines[at] != resume)
        ++at;
    ASSERT_LT(at, lines.size()) << "commands never resume";
    EXPECT_EQ(lines[at + 1], "::endgroup::");

    std::size_t errors = 0;
    std::size_t warnings = 0;
    std::vector<std::string> notices;
    for (std::size_t index = at + 2; index < lines.size(); ++index) {
        const std::string& row = lines[index];
        errors += row.rfind("::error title=", 0) == 0 ? 1 : 0;
        warnings += row.rfind("::warning title=", 0) == 0 ? 1 : 0;
        if (row.rfind("::notice", 0) == 0)
            notices.push_back(row);
    }
    // Two failed scenarios and 2 + 12 malformed lines: 16 errors; two warnings.
    EXPECT_EQ(errors, GithubReport::maxEach);
    EXPECT_EQ(warnings, 2u);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices.front().find("6 more errors and 0 more warnings"), std::string::npos) << notices.front();
    const std::string text = out.str();
    EXPECT_NE(text.find("::error title=zuno-payload-check%3A installs::FAIL: expected success, got CHECK_FAILED "
                        "\xC2\xB7 exit 15 (reasons: killed-by-signal, malformed-line)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("::error title=zuno-payload-check%3A line 10 of installs::malformed: invalid-json: text, "
                        "100%25: \"quoted\"\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("::warning title=zuno-payload-check%3A codex-broken::INSTALL_FAILED \xC2\xB7 exit 1 "
                        "(warnings: runtime-code, error-then-exit-zero)\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("::error title=zuno-payload-check%3A reinstall"), std::string::npos)
        << "a scenario not run is no failure of its own";

    std::ostringstream passed;
    CheckOutcome fine{options, {scenario("installs", true, "OK")}, false};
    GithubReport(passed).write(fine);
    EXPECT_EQ(passed.str().find("::error"), std::string::npos);
    EXPECT_EQ(passed.str().find("::notice"), std::string::npos);
}

// xmllint's verdict on `document` against the schema.
std::pair<int, std::string> validate(const std::string& document, const std::string& name)
{
    const char* source = std::getenv("ZUNO_SOURCE_DIR");
    EXPECT_NE(source, nullptr);
    const std::filesystem::path file = std::filesystem::temp_directory_path() / name;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << document;
    const std::string schema = std::string(source != nullptr ? source : ".") + "/tests/payload-check/junit.xsd";
    // Found on PATH, as a shell would.
    std::string xmllint = "xmllint";
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && ::access((folder + "/xmllint").c_str(), X_OK) == 0) {
            xmllint = folder + "/xmllint";
            break;
        }
    const Testing::ProgramRun lint =
        Testing::runProgram({xmllint, "--noout", "--schema", schema, file.native()}, ".");
    std::filesystem::remove(file);
    if (lint.status < 0)
        return {-1, "xmllint could not be started: install libxml2-utils (scripts/install-deps.sh)"};
    return {lint.status, lint.output + lint.error};
}

TEST_F(Reports, JunitIsValidAgainstTheSchemaWithAFailureOrSkipForEachScenario)
{
    options.payload = "/payloads/<odd> & 'bytes' \xFF\x01";
    const std::string document = JunitReport::document(outcome());
    const auto [status, said] = validate(document, "zuno-junit-" + std::to_string(::getpid()) + ".xml");
    EXPECT_EQ(status, 0) << said << document;
    EXPECT_NE(document.find("<testsuites name=\"zuno-payload-check\" tests=\"5\" failures=\"2\" errors=\"0\" "
                            "skipped=\"2\""),
              std::string::npos)
        << document;
    EXPECT_NE(document.find("<testcase name=\"reinstall\" classname=\"zuno-payload-check\" time=\"0.000\">\n"
                            "      <skipped message=\"not run: installs fails\"/>"),
              std::string::npos)
        << document;
    EXPECT_NE(document.find("<failure message=\"expected a failure, got OK\" type=\"tool-not-run\">expected a "
                            "failure, got OK&#10;reason tool-not-run: "),
              std::string::npos)
        << document;
    EXPECT_NE(document.find("reason wrong-code: the run did not end with the outcome the scenario needs&#10;"),
              std::string::npos);
    EXPECT_NE(document.find("<system-err>copying \\x01 &lt;files&gt; &amp; \\xFF&#10;</system-err>"),
              std::string::npos)
        << document;

    // The schema bites: a testcase without its name, and a count that is no number.
    std::string nameless = document;
    nameless.replace(nameless.find("<testcase name=\"reinstall\""), 26, "<testcase");
    EXPECT_NE(validate(nameless, "zuno-junit-nameless-" + std::to_string(::getpid()) + ".xml").first, 0);
    std::string uncounted = document;
    uncounted.replace(uncounted.find("tests=\"5\""), 9, "tests=\"five\"");
    EXPECT_NE(validate(uncounted, "zuno-junit-uncounted-" + std::to_string(::getpid()) + ".xml").first, 0);
}

} // namespace
} // namespace ZunoInstaller::PayloadCheck
