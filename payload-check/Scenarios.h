#pragma once

#include "payload-check/CheckOptions.h"
#include "payload-check/PayloadRun.h"
#include "payload-check/StandinCodex.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

class TemporaryHome;

// How one situation went: passed or not, why, and the run that decided.
struct ScenarioReport {
    std::string name;
    bool passed = false;
    std::string detail;
    // Passed, but with something the author should know (in the detail).
    bool warning = false;
    RunReport run;
};

// Runs the payload through the situations a real installation meets, each
// in a fresh temporary home below `scratch`.
class Scenarios {
public:
    Scenarios(const CheckOptions& options, std::filesystem::path scratch);

    // The one run made without --scenarios; also the first scenario.
    ScenarioReport installs();
    // Every scenario, installs first.
    std::vector<ScenarioReport> all();

private:
    ScenarioReport reinstall();
    ScenarioReport withTool(std::string name, StandinCodex variant);
    ScenarioReport finderLaunch();
    ScenarioReport unusualPaths();
    ScenarioReport interrupted();
    ScenarioReport concurrent();

    // A clean install in a fresh home and what it left there.
    struct Baseline;
    Baseline baseline(const std::string& name, const std::string& which) const;

    // A clean run after `what`: none when it succeeds and leaves the home as
    // the clean install did (it becomes `last`'s run); else the failed report,
    // showing `shown` when given.
    std::optional<ScenarioReport> cleanRunRestores(const Baseline& base, const std::string& what,
                                                   ScenarioReport& last, RunReport* shown = nullptr) const;

    std::unique_ptr<TemporaryHome> home(const std::filesystem::path& where) const;
    // --codex, or a working stand-in in `home`.
    std::filesystem::path workingTool(const TemporaryHome& home) const;
    RunSetup setup(const TemporaryHome& home, const std::filesystem::path& tool) const;
    // The run's own faults first, then whether it ended as wanted.
    ScenarioReport judge(std::string name, RunReport run, bool wanted, std::string_view wantedText) const;
    std::string fault(const RunReport& run) const;
    // A failed report when `run` did not succeed cleanly; `which` names the run in the detail.
    std::optional<ScenarioReport> unlessSucceeded(const std::string& name, RunReport& run,
                                                  const std::string& which) const;

    const CheckOptions& options_;
    std::filesystem::path scratch_;
    std::vector<std::string> inherited_;
};

// "OK · exit 0", as the installer's technical summary puts it.
std::string summaryOf(const RunReport& run);

} // namespace ZunoInstaller::PayloadCheck
