#include "payload-check/Scenarios.h"

#include "payload-check/RecoveryScenarios.h"
#include "payload-check/TemporaryHome.h"

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

// Spaces, both quotes, a dollar sign and letters beyond ASCII: whatever a
// script forgets to quote, or reads as bytes, breaks here.
constexpr std::string_view unusualFolder = "Zuno \"checks\" it's $HOME ğüşİ";

} // namespace

Scenarios::Scenarios(const CheckOptions& options, fs::path scratch) : context_(options, std::move(scratch)) {}

std::span<const std::string_view> Scenarios::names()
{
    static constexpr std::string_view list[] = {
        "installs",    "reinstall",     "codex-missing", "codex-not-executable", "codex-broken",
        "codex-hangs", "finder-launch", "unusual-paths", "interrupted",          "concurrent",
    };
    return list;
}

std::vector<ScenarioReport> Scenarios::all()
{
    const RecoveryScenarios recovery(context_);
    std::vector<ScenarioReport> reports;
    reports.push_back(installs());
    reports.push_back(reinstall());
    reports.push_back(withTool("codex-missing", StandinCodex::missing));
    reports.push_back(withTool("codex-not-executable", StandinCodex::notExecutable));
    reports.push_back(withTool("codex-broken", StandinCodex::broken));
    reports.push_back(withTool("codex-hangs", StandinCodex::hangs));
    reports.push_back(finderLaunch());
    reports.push_back(unusualPaths());
    reports.push_back(recovery.interrupted());
    reports.push_back(recovery.concurrent());
    return reports;
}

ScenarioReport Scenarios::installs()
{
    const auto place = context_.home(context_.scratch() / "installs");
    RunReport run = runPayload(context_.setup(*place, context_.workingTool(*place)));
    const bool succeeded = run.result.success;
    return context_.judge("installs", std::move(run), succeeded, "success");
}

ScenarioReport Scenarios::reinstall()
{
    const auto place = context_.home(context_.scratch() / "reinstall");
    const RunSetup twice = context_.setup(*place, context_.workingTool(*place));
    RunReport first = runPayload(twice);
    if (std::optional<ScenarioReport> failed = context_.unlessSucceeded("reinstall", first, "the first run"))
        return *failed;
    RunReport second = runPayload(twice);
    const bool succeeded = second.result.success;
    return context_.judge("reinstall", std::move(second), succeeded, "success over the first install");
}

ScenarioReport Scenarios::withTool(std::string name, StandinCodex variant)
{
    const auto place = context_.home(context_.scratch() / name);
    RunReport run = runPayload(context_.setup(*place, makeStandinCodex(place->path(), variant)));
    const bool failed = !run.result.success;
    const std::string code = run.result.code;
    if (variant == StandinCodex::missing || variant == StandinCodex::notExecutable)
        return context_.judge(std::move(name), std::move(run), code == "CODEX_MISSING", "CODEX_MISSING");
    if (variant == StandinCodex::hangs) {
        const std::string took = " after " + std::to_string(static_cast<int>(run.seconds + 0.5)) + " s";
        ScenarioReport report = context_.judge(std::move(name), std::move(run), failed,
                                      "a failure within the time limit, although the tool never returns");
        if (report.passed)
            report.detail += took;
        return report;
    }
    ScenarioReport report = context_.judge(std::move(name), std::move(run), failed, "a failure");
    if (report.passed && code != "RUNTIME_UNAVAILABLE") {
        report.warning = true;
        report.detail +=
            " (warning: RUNTIME_UNAVAILABLE is the code for a tool that is there but does not run)";
    }
    return report;
}

ScenarioReport Scenarios::finderLaunch()
{
    const auto place = context_.home(context_.scratch() / "finder-launch");
    RunSetup finder = context_.setup(*place, context_.workingTool(*place));
    finder.environment = place->finderEnvironment();
    finder.inputFromNull = true;
    RunReport run = runPayload(finder);
    const bool succeeded = run.result.success;
    return context_.judge("finder-launch", std::move(run), succeeded, "success");
}

ScenarioReport Scenarios::unusualPaths()
{
    const fs::path parent = context_.scratch() / "unusual-paths" / fs::path(std::string(unusualFolder));
    const fs::path payload = parent / "payload ☂ 'copy'";
    std::error_code error;
    fs::create_directories(payload.parent_path(), error);
    fs::copy(context_.options().payload, payload, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
    if (error)
        return {"unusual-paths",
                false,
                "cannot copy the payload to " + payload.native() + ": " + error.message(),
                false,
                {}};
    const auto place = context_.home(parent / "home $USER \"ı\"");
    RunSetup unusual = context_.setup(*place, context_.workingTool(*place));
    unusual.payload = payload;
    RunReport run = runPayload(unusual);
    const bool succeeded = run.result.success;
    return context_.judge("unusual-paths", std::move(run), succeeded, "success");
}

} // namespace ZunoInstaller::PayloadCheck
