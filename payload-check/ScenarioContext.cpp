#include "payload-check/ScenarioContext.h"

#include "payload-check/PrintableText.h"
#include "payload-check/RunReasons.h"
#include "payload-check/SignalName.h"
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
    RunSetup run;
    run.payload = options_.payload;
    run.copies = scratch_ / "payloads";
    run.codex = tool;
    run.environment = home.environment(inherited_);
    run.expectedVersion = options_.expectedVersion;
    run.timeout = options_.timeout;
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

ScenarioReport ScenarioContext::judge(std::string name, RunReport&& run, bool wanted, std::vector<Reason> missed,
                                      std::string_view wantedText) const
{
    ScenarioReport report = named(std::move(name), fault(run));
    report.reasons = faultReasons(run);
    if (!wanted && missed.empty())
        missed.push_back(Reason::wrongCode);
    if (!wanted)
        addReasons(report.reasons, missed);
    report.warnings = warningReasons(run);
    if (report.detail.empty()) {
        report.passed = wanted;
        report.detail =
            wanted ? summaryOf(run) : "expected " + std::string(wantedText) + ", got " + summaryOf(run);
    }
    if (report.passed && !report.warnings.empty()) {
        report.warning = true;
        report.detail += " (warning: " + meanings(report.warnings) + ")";
    }
    report.run = std::move(run);
    return report;
}

ScenarioReport ScenarioContext::failed(std::string name, std::string detail, std::vector<Reason> reasons,
                                       RunReport&& run) const
{
    ScenarioReport report = named(std::move(name), std::move(detail));
    report.reasons = faultReasons(run);
    addReasons(report.reasons, reasons);
    report.warnings = warningReasons(run);
    report.run = std::move(run);
    return report;
}

std::optional<ScenarioReport> ScenarioContext::unlessSucceeded(const std::string& name, RunReport& run,
                                                               const std::string& which) const
{
    if (fault(run).empty() && run.result.success)
        return std::nullopt;
    std::vector<Reason> missed = successReasons(run);
    ScenarioReport report = judge(name, std::move(run), false, std::move(missed), "success");
    report.detail = which + ": " + report.detail;
    return report;
}

ScenarioReport named(std::string name, std::string detail, bool passed)
{
    ScenarioReport report;
    report.name = std::move(name);
    report.detail = std::move(detail);
    report.passed = passed;
    return report;
}

ScenarioReport notRun(std::string name, std::string_view needed)
{
    ScenarioReport report = named(std::move(name), "not run: " + std::string(needed) + " fails");
    report.notRun = true;
    return report;
}

std::string summaryOf(const RunReport& run)
{
    const std::string how =
        run.signal != 0 ? "killed by " + signalText(run.signal) : "exit " + std::to_string(run.result.exitCode);
    return run.result.code + " \xC2\xB7 " + how;
}

} // namespace ZunoInstaller::PayloadCheck
