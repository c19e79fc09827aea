#pragma once

#include "payload-check/CheckOutcome.h"
#include "payload-check/PayloadRun.h"
#include "payload-check/ScenarioContext.h"

#include <ostream>
#include <string>

namespace ZunoInstaller::PayloadCheck {

// The report for a person: the main run line by line with every verdict,
// the script's standard error apart, then the outcome and the reasons; with
// scenarios, one line each (and its reasons), then the runs of those that
// failed. Always valid UTF-8.
class TextReport {
public:
    explicit TextReport(std::ostream& out) : out_(out) {}

    void write(const CheckOutcome& outcome);

    // What one line's verdict says: "stage validated", "malformed: too-long", ...
    static std::string verdictText(const LineExplanation& explanation);
    // "success, code OK, exit status 0"; "failure, code CHECK_FAILED, killed by SIGTERM (15) ...".
    static std::string resultText(const RunReport& run);
    // A line of standard output made printable, cut after `limit` bytes with a marker.
    static std::string lineText(const LineRecord& line, std::size_t limit);

private:
    void header(const CheckOptions& options);
    void run(const ScenarioReport& report, std::chrono::seconds timeout);
    void scenarios(const CheckOutcome& outcome);
    void lines(const RunReport& report);
    void standardError(const RunReport& report);
    void outcome(const RunReport& report, std::chrono::seconds timeout);
    void verdict(const ScenarioReport& report);
    void reasons(std::string_view name, const std::vector<Reason>& reasons);
    void field(std::string_view name, const std::string& value);

    std::ostream& out_;
};

} // namespace ZunoInstaller::PayloadCheck
