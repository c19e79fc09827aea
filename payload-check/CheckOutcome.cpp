#include "payload-check/CheckOutcome.h"

#include <algorithm>

namespace ZunoInstaller::PayloadCheck {

namespace {

std::vector<Reason> unionOf(const std::vector<ScenarioReport>& reports,
                            std::vector<Reason> ScenarioReport::*member)
{
    std::vector<Reason> all;
    for (const ReasonInfo& info : reasonTable())
        if (std::any_of(reports.begin(), reports.end(), [&](const ScenarioReport& report) {
                const std::vector<Reason>& list = report.*member;
                return std::find(list.begin(), list.end(), info.reason) != list.end();
            }))
            all.push_back(info.reason);
    return all;
}

} // namespace

bool CheckOutcome::passed() const
{
    return !reports.empty() && failed() == 0 && notRun() == 0;
}

std::size_t CheckOutcome::failed() const
{
    return static_cast<std::size_t>(std::count_if(reports.begin(), reports.end(), [](const ScenarioReport& report) {
        return !report.passed && !report.notRun;
    }));
}

std::size_t CheckOutcome::notRun() const
{
    return static_cast<std::size_t>(
        std::count_if(reports.begin(), reports.end(), [](const ScenarioReport& report) { return report.notRun; }));
}

std::vector<Reason> CheckOutcome::reasons() const
{
    return unionOf(reports, &ScenarioReport::reasons);
}

std::vector<Reason> CheckOutcome::warnings() const
{
    return unionOf(reports, &ScenarioReport::warnings);
}

std::string reasonList(const std::vector<Reason>& reasons)
{
    std::string list;
    for (const Reason reason : reasons)
        list += (list.empty() ? "" : ", ") + std::string(reasonId(reason));
    return list;
}

std::string notRunText(const ScenarioReport& report)
{
    if (report.detail.starts_with("not run"))
        return report.detail;
    return "not run" + (report.detail.empty() ? std::string() : ": " + report.detail);
}

} // namespace ZunoInstaller::PayloadCheck
