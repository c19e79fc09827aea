#pragma once

#include "payload-check/CheckOptions.h"
#include "payload-check/PayloadRun.h"
#include "payload-check/Reason.h"

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
    // Not tried, because a scenario it needs failed (the detail says which).
    bool notRun = false;
    // Why it failed, and what it passed with a warning about; each once.
    std::vector<Reason> reasons{};
    std::vector<Reason> warnings{};
};

// "OK · exit 0", as the installer's technical summary puts it; a death by
// signal reads "CHECK_FAILED · killed by SIGTERM (15)".
std::string summaryOf(const RunReport& run);

// A report with only these set; failed unless `passed`.
ScenarioReport named(std::string name, std::string detail = {}, bool passed = false);

// A scenario left out because `needed` failed: "not run: installs fails".
ScenarioReport notRun(std::string name, std::string_view needed);

// What every scenario works with: the checker's options, the scratch folder
// that takes their homes and the checker's own environment; and how a run
// is set up in a home and judged.
class ScenarioContext {
public:
    ScenarioContext(const CheckOptions& options, std::filesystem::path scratch);

    const CheckOptions& options() const { return options_; }
    const std::filesystem::path& scratch() const { return scratch_; }

    std::unique_ptr<TemporaryHome> home(const std::filesystem::path& where) const;
    // --codex, or a working stand-in in `home` (empty when it cannot be made).
    std::filesystem::path workingTool(const TemporaryHome& home) const;
    // A run in `home` with `tool`, on a fresh copy of the payload; one that
    // cannot be tried, when either is missing.
    RunSetup setup(const TemporaryHome& home, const std::filesystem::path& tool) const;

    // The run's own faults first, then whether it ended as wanted (`wanted`;
    // `missed` says why not) and what passed with a warning.
    ScenarioReport judge(std::string name, RunReport&& run, bool wanted, std::vector<Reason> missed,
                         std::string_view wantedText) const;
    // A failed report with `detail` and `reasons`, the run's own faults added.
    ScenarioReport failed(std::string name, std::string detail, std::vector<Reason> reasons, RunReport&& run) const;
    std::string fault(const RunReport& run) const;
    // A failed report when `run` did not succeed cleanly; `which` names the run in the detail.
    std::optional<ScenarioReport> unlessSucceeded(const std::string& name, RunReport& run,
                                                  const std::string& which) const;

private:
    const CheckOptions& options_;
    std::filesystem::path scratch_;
    std::vector<std::string> inherited_;
};

} // namespace ZunoInstaller::PayloadCheck
