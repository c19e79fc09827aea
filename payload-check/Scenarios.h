#pragma once

#include "payload-check/CheckOptions.h"
#include "payload-check/ScenarioContext.h"
#include "payload-check/StandinCodex.h"

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

// Runs the payload through the situations a real installation meets, each
// in a fresh temporary home below `scratch`.
class Scenarios {
public:
    Scenarios(const CheckOptions& options, std::filesystem::path scratch);

    // The one run made without --scenarios; also the first scenario.
    ScenarioReport installs();
    // Every scenario, or those of CheckOptions::onlyScenarios, in the order
    // of names(). When installs runs and fails, the scenarios that need a
    // working install are not run.
    std::vector<ScenarioReport> all();

    // Every scenario's name, in the order all() runs them.
    static std::span<const std::string_view> names();
    // A scenario that a failed installs would only make fail the same way.
    static bool needsInstall(std::string_view name);

private:
    ScenarioReport reinstall();
    ScenarioReport withTool(std::string name, StandinCodex variant);
    ScenarioReport finderLaunch();
    ScenarioReport unusualPaths();

    ScenarioContext context_;
};

} // namespace ZunoInstaller::PayloadCheck
