#pragma once

#include "payload-check/ScenarioContext.h"

#include <optional>
#include <string>

namespace ZunoInstaller::PayloadCheck {

// The scenarios that check what a payload leaves in the home when runs are
// cut short or overlap: each ends with a clean run, after which the home must
// hold exactly what a clean install leaves.
class RecoveryScenarios {
public:
    explicit RecoveryScenarios(const ScenarioContext& context) : context_(context) {}

    // Runs cut short at every point, by closing the reader or killing the group.
    ScenarioReport interrupted() const;
    // Pairs of runs at once.
    ScenarioReport concurrent() const;

private:
    // A clean install in a fresh home and what it left there.
    struct Baseline;
    Baseline baseline(const std::string& name, const std::string& which) const;

    // A clean run after `what`: none when it succeeds and leaves the home as
    // the clean install did (it becomes `last`'s run); else the failed report,
    // showing `shown` when given.
    std::optional<ScenarioReport> cleanRunRestores(const Baseline& base, const std::string& what,
                                                   ScenarioReport& last, RunReport* shown = nullptr) const;

    const ScenarioContext& context_;
};

} // namespace ZunoInstaller::PayloadCheck
