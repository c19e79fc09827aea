#include "payload-check/Scenarios.h"

#include "payload-check/PrintableText.h"
#include "payload-check/TemporaryHome.h"

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

// Spaces, both quotes, a dollar sign and letters beyond ASCII: whatever a
// script forgets to quote, or reads as bytes, breaks here.
constexpr std::string_view unusualFolder = "Zuno \"checks\" it's $HOME ğüşİ";

} // namespace

Scenarios::Scenarios(const CheckOptions& options, fs::path scratch)
    : options_(options), scratch_(std::move(scratch)), inherited_(currentEnvironment())
{
}

std::vector<ScenarioReport> Scenarios::all()
{
    std::vector<ScenarioReport> reports;
    reports.push_back(installs());
    reports.push_back(reinstall());
    reports.push_back(withTool("codex-missing", StandinCodex::missing));
    reports.push_back(withTool("codex-not-executable", StandinCodex::notExecutable));
    reports.push_back(withTool("codex-broken", StandinCodex::broken));
    reports.push_back(withTool("codex-hangs", StandinCodex::hangs));
    reports.push_back(finderLaunch());
    reports.push_back(unusualPaths());
    reports.push_back(interrupted());
    reports.push_back(concurrent());
    return reports;
}

std::unique_ptr<TemporaryHome> Scenarios::home(const fs::path& where) const
{
    return std::make_unique<TemporaryHome>(where);
}

fs::path Scenarios::workingTool(const TemporaryHome& home) const
{
    return options_.codex ? *options_.codex : makeStandinCodex(home.path(), StandinCodex::works);
}

RunSetup Scenarios::setup(const TemporaryHome& home, const fs::path& tool) const
{
    RunSetup run{options_.payload,
                 tool,
                 home.environment(inherited_),
                 options_.expectedVersion,
                 false,
                 options_.timeout,
                 {},
                 {}};
    if (!home.ready() || tool.empty())
        run.setupError = "cannot make a temporary home in " + PrintableText{}(home.path().native());
    return run;
}

std::string Scenarios::fault(const RunReport& run) const
{
    return runFault(run, options_.timeout);
}

ScenarioReport Scenarios::judge(std::string name, RunReport run, bool wanted,
                                std::string_view wantedText) const
{
    ScenarioReport report{std::move(name), false, fault(run), false, {}};
    if (report.detail.empty()) {
        report.passed = wanted;
        report.detail =
            wanted ? summaryOf(run) : "expected " + std::string(wantedText) + ", got " + summaryOf(run);
    }
    report.run = std::move(run);
    return report;
}

std::optional<ScenarioReport> Scenarios::unlessSucceeded(const std::string& name, RunReport& run,
                                                         const std::string& which) const
{
    if (fault(run).empty() && run.result.success)
        return std::nullopt;
    ScenarioReport report = judge(name, std::move(run), false, "success");
    report.detail = which + ": " + report.detail;
    return report;
}

ScenarioReport Scenarios::installs()
{
    const auto place = home(scratch_ / "installs");
    RunReport run = runPayload(setup(*place, workingTool(*place)));
    const bool succeeded = run.result.success;
    return judge("installs", std::move(run), succeeded, "success");
}

ScenarioReport Scenarios::reinstall()
{
    const auto place = home(scratch_ / "reinstall");
    const RunSetup twice = setup(*place, workingTool(*place));
    RunReport first = runPayload(twice);
    if (std::optional<ScenarioReport> failed = unlessSucceeded("reinstall", first, "the first run"))
        return *failed;
    RunReport second = runPayload(twice);
    const bool succeeded = second.result.success;
    return judge("reinstall", std::move(second), succeeded, "success over the first install");
}

ScenarioReport Scenarios::withTool(std::string name, StandinCodex variant)
{
    const auto place = home(scratch_ / name);
    RunReport run = runPayload(setup(*place, makeStandinCodex(place->path(), variant)));
    const bool failed = !run.result.success;
    const std::string code = run.result.code;
    if (variant == StandinCodex::missing || variant == StandinCodex::notExecutable)
        return judge(std::move(name), std::move(run), code == "CODEX_MISSING", "CODEX_MISSING");
    if (variant == StandinCodex::hangs) {
        const std::string took = " after " + std::to_string(static_cast<int>(run.seconds + 0.5)) + " s";
        ScenarioReport report = judge(std::move(name), std::move(run), failed,
                                      "a failure within the time limit, although the tool never returns");
        if (report.passed)
            report.detail += took;
        return report;
    }
    ScenarioReport report = judge(std::move(name), std::move(run), failed, "a failure");
    if (report.passed && code != "RUNTIME_UNAVAILABLE") {
        report.warning = true;
        report.detail +=
            " (warning: RUNTIME_UNAVAILABLE is the code for a tool that is there but does not run)";
    }
    return report;
}

ScenarioReport Scenarios::finderLaunch()
{
    const auto place = home(scratch_ / "finder-launch");
    RunSetup finder = setup(*place, workingTool(*place));
    finder.environment = place->finderEnvironment();
    finder.inputFromNull = true;
    RunReport run = runPayload(finder);
    const bool succeeded = run.result.success;
    return judge("finder-launch", std::move(run), succeeded, "success");
}

ScenarioReport Scenarios::unusualPaths()
{
    const fs::path parent = scratch_ / "unusual-paths" / fs::path(std::string(unusualFolder));
    const fs::path payload = parent / "payload ☂ 'copy'";
    std::error_code error;
    fs::create_directories(payload.parent_path(), error);
    fs::copy(options_.payload, payload, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (error)
        return {"unusual-paths",
                false,
                "cannot copy the payload to " + payload.native() + ": " + error.message(),
                false,
                {}};
    const auto place = home(parent / "home $USER \"ı\"");
    RunSetup unusual = setup(*place, workingTool(*place));
    unusual.payload = payload;
    RunReport run = runPayload(unusual);
    const bool succeeded = run.result.success;
    return judge("unusual-paths", std::move(run), succeeded, "success");
}

std::string summaryOf(const RunReport& run)
{
    return run.result.code + " \xC2\xB7 exit " + std::to_string(run.result.exitCode);
}

} // namespace ZunoInstaller::PayloadCheck
