#pragma once

#include "payload-check/ScenarioContext.h"

#include <optional>
#include <string>

namespace ZunoInstaller::PayloadCheck {

// The scenarios that check what a payload leaves in the home when runs are
// cut short, overlap or cannot write: each ends with a clean run, after which
// the home must hold exactly what a clean install leaves.
class RecoveryScenarios {
public:
    explicit RecoveryScenarios(const ScenarioContext& context) : context_(context) {}

    // Runs cut short at every event line, by closing the reader or killing
    // the group, and killed at moments spread through a run; the install must
    // be whole right after each cut.
    ScenarioReport interrupted() const;
    // Pairs of runs at once.
    ScenarioReport concurrent() const;
    // A run whose writes fail partway (a file size limit): it must report a
    // failure, or an install equal to a clean one.
    ScenarioReport writesFail() const;

private:
    // A clean install in a fresh home and what it left there.
    struct Baseline;
    Baseline baseline(const std::string& name, const std::string& which) const;

    // A clean run after `what`: none when it succeeds and leaves the home as
    // the clean install did (it becomes `last`'s run); else the failed report
    // with `reason`, showing `shown` when given.
    std::optional<ScenarioReport> cleanRunRestores(const Baseline& base, const std::string& what,
                                                   ScenarioReport& last, Reason reason,
                                                   RunReport* shown = nullptr) const;

    const ScenarioContext& context_;
};

} // namespace ZunoInstaller::PayloadCheck
