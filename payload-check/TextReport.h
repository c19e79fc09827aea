#pragma once

#include "payload-check/PayloadRun.h"
#include "payload-check/ScenarioContext.h"

#include <filesystem>
#include <ostream>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

// The report for a person: the run line by line with every verdict, the
// script's standard error apart, then the outcome; with scenarios, one line
// each and the runs of those that failed. Always valid UTF-8.
class TextReport {
public:
    TextReport(std::ostream& out, const CheckOptions& options) : out_(out), options_(options) {}

    // `detail` says why a run that did not pass failed.
    void run(const RunReport& report, bool passed, const std::string& detail);
    void scenarios(const std::vector<ScenarioReport>& reports);

    // What one line's verdict says: "stage validated", "malformed: too-long", ...
    static std::string verdictText(const LineExplanation& explanation);

private:
    void lines(const RunReport& report);
    void standardError(const RunReport& report);
    void outcome(const RunReport& report);
    void field(std::string_view name, const std::string& value);

    std::ostream& out_;
    const CheckOptions& options_;
};

} // namespace ZunoInstaller::PayloadCheck
