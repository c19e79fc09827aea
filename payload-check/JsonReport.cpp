#include "payload-check/JsonReport.h"

#include "payload-check/PrintableText.h"
#include "payload-check/SignalName.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace ZunoInstaller::PayloadCheck {

namespace {

using Json = nlohmann::ordered_json;

std::string text(std::string_view bytes, std::size_t limit = std::string_view::npos)
{
    return PrintableText{.limit = limit}(bytes);
}

Json optionalText(const std::optional<std::string>& value)
{
    return value ? Json(text(*value)) : Json(nullptr);
}

Json resultOf(const InstallResult& result)
{
    return {{"success", result.success}, {"code", result.code}, {"exitCode", result.exitCode}};
}

Json lineOf(const LineRecord& line)
{
    const LineExplanation& explanation = line.explanation;
    const LineVerdict& verdict = explanation.verdict;
    // How much of an over-long line was at hand depends on how the pipe cut
    // it: such a line counts as one byte over the limit, whatever its length.
    Json json{{"number", line.number},
              {"seconds", line.seconds},
              {"bytes", std::min(line.size, maxEventLineBytes + 1)},
              {"text", text(line.bytes, maxEventLineBytes)},
              {"verdict", rawValue(verdict.kind)}};
    if (verdict.stage)
        json["stage"] = rawValue(*verdict.stage);
    switch (verdict.kind) {
    case LineVerdict::Kind::complete:
        json["version"] = optionalText(explanation.version);
        break;
    case LineVerdict::Kind::error:
        json["code"] = explanation.code;
        if (explanation.normalised)
            json["given"] = optionalText(explanation.given);
        break;
    case LineVerdict::Kind::malformed:
        json["reason"] = rawValue(verdict.reason);
        if (verdict.expected)
            json["expected"] = rawValue(*verdict.expected);
        if (verdict.reason == LineReason::wrongType)
            json["key"] = text(explanation.detail);
        if (verdict.reason == LineReason::unknownStage || verdict.reason == LineReason::unknownEvent)
            json["value"] = text(explanation.detail);
        if (explanation.position)
            json["position"] = *explanation.position;
        break;
    case LineVerdict::Kind::stage:
        break;
    }
    return json;
}

Json runOf(const RunReport& run)
{
    Json lines = Json::array();
    for (const LineRecord& line : run.lines)
        lines.push_back(lineOf(line));
    Json stages = Json::array();
    for (const InstallStage stage : run.stages)
        stages.push_back(rawValue(stage));
    Json changes = Json::array();
    for (const std::string& change : run.payloadChanges)
        changes.push_back(change);
    return {{"expectedVersion", text(run.expectedVersion)},
            {"completedVersion", optionalText(run.completedVersion)},
            {"stages", stages},
            {"result", resultOf(run.result)},
            {"screen", screenFor(run)},
            {"started", run.started},
            {"startError", run.startError.empty() ? Json(nullptr) : Json(text(run.startError))},
            {"signal", run.signal != 0 ? Json(run.signal) : Json(nullptr)},
            {"signalName", run.signal != 0 ? Json(std::string(signalName(run.signal))) : Json(nullptr)},
            {"timedOut", run.timedOut},
            {"heldOutput", run.heldOutput},
            {"holders", run.holders},
            {"payloadChanges", changes},
            {"seconds", run.seconds},
            {"lines", lines},
            {"linesNotShown", run.linesNotKept},
            {"stderr", PrintableText{.keepLineFeeds = true}(run.standardError)},
            {"stderrBytesNotShown", run.standardErrorNotKept}};
}

Json reasonsOf(const std::vector<Reason>& reasons)
{
    Json list = Json::array();
    for (const Reason reason : reasons)
        list.push_back(reasonId(reason));
    return list;
}

} // namespace

std::string jsonReport(const CheckOutcome& outcome)
{
    static const RunReport none;
    const RunReport& run = outcome.reports.empty() ? none : outcome.reports.front().run;
    Json report{{"checker", checkVersion()},
                {"payload", text(outcome.options.payload.native())},
                {"passed", outcome.passed()},
                {"reasons", reasonsOf(outcome.reasons())},
                {"warnings", reasonsOf(outcome.warnings())}};
    report.update(runOf(run));
    if (outcome.scenarios) {
        Json list = Json::array();
        for (const ScenarioReport& scenario : outcome.reports)
            list.push_back({{"name", scenario.name},
                            {"passed", scenario.passed},
                            {"notRun", scenario.notRun},
                            {"warning", scenario.warning},
                            {"detail", text(scenario.notRun ? notRunText(scenario) : scenario.detail)},
                            {"reasons", reasonsOf(scenario.reasons)},
                            {"warnings", reasonsOf(scenario.warnings)},
                            {"result", resultOf(scenario.run.result)},
                            {"screen", screenFor(scenario.run)},
                            {"run", runOf(scenario.run)}});
        report["scenarios"] = list;
    }
    // Every text is printable already; replacing is only the last guard.
    return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

} // namespace ZunoInstaller::PayloadCheck
