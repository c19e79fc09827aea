#pragma once

#include "payload-check/CheckOptions.h"
#include "payload-check/Reason.h"
#include "payload-check/ScenarioContext.h"

#include <vector>

namespace ZunoInstaller::PayloadCheck {

// What one check found, as every report prints it: the single run's report,
// or one per scenario. The first one's run is the report's main run.
struct CheckOutcome {
    const CheckOptions& options;
    std::vector<ScenarioReport> reports;
    bool scenarios = false;

    // Every report passed (one not run never did).
    bool passed() const;
    std::size_t failed() const;
    std::size_t notRun() const;
    // Every report's reasons and warnings, each once, in the order of the reason table.
    std::vector<Reason> reasons() const;
    std::vector<Reason> warnings() const;
};

// "version-mismatch, exit-status".
std::string reasonList(const std::vector<Reason>& reasons);

// The line a scenario that was not run shows: "not run: installs fails".
std::string notRunText(const ScenarioReport& report);

} // namespace ZunoInstaller::PayloadCheck
