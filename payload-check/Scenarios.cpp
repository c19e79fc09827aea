#include "payload-check/Scenarios.h"

#include "payload-check/RecoveryScenarios.h"
#include "payload-check/RunReasons.h"
#include "payload-check/TemporaryHome.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

// Spaces, both quotes, a dollar sign and letters beyond ASCII: whatever a
// script forgets to quote, or reads as bytes, breaks here.
constexpr std::string_view unusualFolder = "Zuno \"checks\" it's $HOME ğüşİ";

// Whether `name` runs at all: every scenario, or only those asked for.
bool chosen(const CheckOptions& options, std::string_view name)
{
    const std::vector<std::string>& only = options.onlyScenarios;
    return only.empty() || std::find(only.begin(), only.end(), name) != only.end();
}

} // namespace

Scenarios::Scenarios(const CheckOptions& options, fs::path scratch) : context_(options, std::move(scratch)) {}

std::span<const std::string_view> Scenarios::names()
{
    static constexpr std::string_view list[] = {
        "installs",      "reinstall",     "codex-missing", "codex-not-executable",
        "codex-broken",  "codex-hangs",   "finder-launch", "unusual-paths",
        "interrupted",   "concurrent",    "writes-fail",
    };
    return list;
}

std::vector<ScenarioReport> Scenarios::all()
{
    const RecoveryScenarios recovery(context_);
    // In the order of names(); `needsInstall`: the scenario needs a working
    // install, so a failed installs would only make it fail the same way.
    const std::pair<std::string_view, std::function<ScenarioReport()>> every[] = {
        {"installs", [&] { return installs(); }},
        {"reinstall", [&] { return reinstall(); }},
        {"codex-missing", [&] { return withTool("codex-missing", StandinCodex::missing); }},
        {"codex-not-executable", [&] { return withTool("codex-not-executable", StandinCodex::notExecutable); }},
        {"codex-broken", [&] { return withTool("codex-broken", StandinCodex::broken); }},
        {"codex-hangs", [&] { return withTool("codex-hangs", StandinCodex::hangs); }},
        {"finder-launch", [&] { return finderLaunch(); }},
        {"unusual-paths", [&] { return unusualPaths(); }},
        {"interrupted", [&] { return recovery.interrupted(); }},
        {"concurrent", [&] { return recovery.concurrent(); }},
        {"writes-fail", [&] { return recovery.writesFail(); }},
    };
    std::vector<ScenarioReport> reports;
    bool installFails = false;
    for (const auto& [name, run] : every) {
        if (!chosen(context_.options(), name))
            continue;
        if (installFails && needsInstall(name)) {
            reports.push_back(notRun(std::string(name), "installs"));
            continue;
        }
        reports.push_back(run());
        if (name == "installs")
            installFails = !reports.back().passed;
    }
    return reports;
}

bool Scenarios::needsInstall(std::string_view name)
{
    return !name.starts_with("codex-") && name != "installs";
}

ScenarioReport Scenarios::installs()
{
    const auto place = context_.home(context_.scratch() / "installs");
    RunReport run = runPayload(context_.setup(*place, context_.workingTool(*place)));
    const bool succeeded = run.result.success;
    std::vector<Reason> missed = successReasons(run);
    return context_.judge("installs", std::move(run), succeeded, std::move(missed), "success");
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
    std::vector<Reason> missed = successReasons(second);
    return context_.judge("reinstall", std::move(second), succeeded, std::move(missed),
                          "success over the first install");
}

// codex-missing and codex-not-executable need CODEX_MISSING; codex-broken
// and codex-hangs a failure (RUNTIME_UNAVAILABLE, or a warning) after the
// tool was run. Each needs a clean failure: an error event, no malformed
// line, no death by signal.
ScenarioReport Scenarios::withTool(std::string name, StandinCodex variant)
{
    const auto place = context_.home(context_.scratch() / name);
    RunReport run = runPayload(context_.setup(*place, makeStandinCodex(place->path(), variant)));
    const bool absent = variant == StandinCodex::missing || variant == StandinCodex::notExecutable;
    std::vector<Reason> missed = failureReasons(run, absent ? "CODEX_MISSING" : "");
    std::string wanted = absent ? "CODEX_MISSING" : "a failure";
    if (!absent && run.started && !run.timedOut && !standinWasRun(place->path())) {
        missed.insert(missed.begin(), Reason::toolNotRun);
        wanted = "a failure after running the tool, which was never run";
    } else if (variant == StandinCodex::hangs) {
        wanted = "a failure within the time limit, although the tool never returns";
    }
    const bool runtime = run.result.code == "RUNTIME_UNAVAILABLE";
    const std::string took = " after " + std::to_string(static_cast<int>(run.seconds + 0.5)) + " s";
    const bool clean = missed.empty();
    ScenarioReport report = context_.judge(std::move(name), std::move(run), clean, std::move(missed), wanted);
    if (report.passed && variant == StandinCodex::hangs)
        report.detail += took;
    if (report.passed && !absent && !runtime) {
        report.warning = true;
        report.warnings.push_back(Reason::runtimeCode);
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
    std::vector<Reason> missed = successReasons(run);
    return context_.judge("finder-launch", std::move(run), succeeded, std::move(missed), "success");
}

// The payload is run from a folder with an unusual name (each run copies
// it into a new folder there).
ScenarioReport Scenarios::unusualPaths()
{
    const fs::path parent = context_.scratch() / "unusual-paths" / fs::path(std::string(unusualFolder));
    const auto place = context_.home(parent / "home $USER \"ı\"");
    RunSetup unusual = context_.setup(*place, context_.workingTool(*place));
    unusual.copies = parent / "payload ☂ 'copy'";
    RunReport run = runPayload(unusual);
    const bool succeeded = run.result.success;
    std::vector<Reason> missed = successReasons(run);
    return context_.judge("unusual-paths", std::move(run), succeeded, std::move(missed), "success");
}

} // namespace ZunoInstaller::PayloadCheck
