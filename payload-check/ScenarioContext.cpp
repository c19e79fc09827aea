#include "payload-check/ScenarioContext.h"

#include "payload-check/PrintableText.h"
#include "payload-check/StandinCodex.h"
#include "payload-check/TemporaryHome.h"

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

ScenarioContext::ScenarioContext(const CheckOptions& options, fs::path scratch)
    : options_(options), scratch_(std::move(scratch)), inherited_(currentEnvironment())
{
}

std::unique_ptr<TemporaryHome> ScenarioContext::home(const fs::path& where) const
{
    return std::make_unique<TemporaryHome>(where);
}

fs::path ScenarioContext::workingTool(const TemporaryHome& home) const
{
    return options_.codex ? *options_.codex : makeStandinCodex(home.path(), StandinCodex::works);
}

RunSetup ScenarioContext::setup(const TemporaryHome& home, const fs::path& tool) const
{
    RunSetup run{options_.payload,
                 tool,
                 home.environment(inherited_),
                 options_.expectedVersion,
                 false,
                 options_.timeout,
                 {},
                 {}};
    const std::string where = PrintableText{}(home.path().native());
    if (!home.ready())
        run.setupError = "cannot make a temporary home in " + where;
    else if (tool.empty())
        run.setupError = "cannot make the stand-in Codex tool in the temporary home " + where;
    return run;
}

std::string ScenarioContext::fault(const RunReport& run) const
{
    return runFault(run, options_.timeout);
}

ScenarioReport ScenarioContext::judge(std::string name, RunReport run, bool wanted,
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

std::optional<ScenarioReport> ScenarioContext::unlessSucceeded(const std::string& name, RunReport& run,
                                                               const std::string& which) const
{
    if (fault(run).empty() && run.result.success)
        return std::nullopt;
    ScenarioReport report = judge(name, std::move(run), false, "success");
    report.detail = which + ": " + report.detail;
    return report;
}

std::string summaryOf(const RunReport& run)
{
    return run.result.code + " \xC2\xB7 exit " + std::to_string(run.result.exitCode);
}

} // namespace ZunoInstaller::PayloadCheck
