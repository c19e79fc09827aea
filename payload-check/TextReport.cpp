#include "payload-check/TextReport.h"

#include "payload-check/PrintableText.h"

#include <cstdio>
#include <sstream>

namespace ZunoInstaller::PayloadCheck {

namespace {

constexpr std::size_t shownLineBytes = 120;

std::string inQuotes(std::string_view bytes)
{
    return "\"" + PrintableText{.limit = 80}(bytes) + "\"";
}

std::string stageList(const std::vector<InstallStage>& stages)
{
    std::string list;
    for (const InstallStage stage : stages)
        list += (list.empty() ? "" : ", ") + std::string(rawValue(stage));
    return list.empty() ? "none" : list;
}

std::string seconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3fs", value);
    return text;
}

} // namespace

std::string TextReport::verdictText(const LineExplanation& explanation)
{
    const LineVerdict& verdict = explanation.verdict;
    switch (verdict.kind) {
    case LineVerdict::Kind::stage:
        return "stage " + std::string(rawValue(*verdict.stage));
    case LineVerdict::Kind::complete:
        return "complete " +
               (explanation.version ? inQuotes(*explanation.version) : std::string("without a version"));
    case LineVerdict::Kind::error:
        if (!explanation.normalised)
            return "error " + explanation.code;
        return "error " + explanation.code + " (the line gave " +
               (explanation.given ? inQuotes(*explanation.given) : std::string("no code")) + ")";
    case LineVerdict::Kind::malformed:
        break;
    }
    std::string text = "malformed: " + std::string(rawValue(verdict.reason));
    switch (verdict.reason) {
    case LineReason::wrongType:
        return text + " (key " + inQuotes(explanation.detail) + ")";
    case LineReason::unknownStage:
    case LineReason::unknownEvent:
        return text + " (" + inQuotes(explanation.detail) + ")";
    case LineReason::invalidJson:
        return explanation.position ? text + " (at byte " + std::to_string(*explanation.position) + ")"
                                    : text;
    case LineReason::stageOutOfOrder:
        return text + " (expected " + std::string(rawValue(*verdict.expected)) + ", given " +
               std::string(rawValue(*verdict.stage)) + ")";
    case LineReason::extraStage:
    case LineReason::afterEnd:
        return verdict.stage ? text + " (" + std::string(rawValue(*verdict.stage)) + ")" : text;
    default:
        return text;
    }
}

void TextReport::field(std::string_view name, const std::string& value)
{
    char label[32];
    std::snprintf(label, sizeof label, "%-18.*s", static_cast<int>(name.size()), name.data());
    out_ << label << value << "\n";
}

void TextReport::lines(const RunReport& report)
{
    out_ << "standard output (" << report.lines.size() + report.linesNotKept << " lines)\n";
    // Two rows a line: what the installer made of it, then the line itself.
    for (const LineRecord& line : report.lines) {
        char head[48];
        std::snprintf(head, sizeof head, "  %4zu  %8s  ", line.number, seconds(line.seconds).c_str());
        std::string text = PrintableText{.limit = shownLineBytes}(line.bytes);
        if (line.size > line.bytes.size())
            text += " \xE2\x80\xA6 (" + std::to_string(line.size) + " bytes at hand)";
        out_ << head << verdictText(line.explanation) << "\n" << std::string(18, ' ') << "| " << text << "\n";
    }
    if (report.linesNotKept > 0)
        out_ << "  \xE2\x80\xA6 " << report.linesNotKept << " more lines not shown, "
             << report.malformedNotKept << " of them malformed\n";
}

void TextReport::standardError(const RunReport& report)
{
    out_ << "standard error (the installer discards it; shown for you)\n";
    if (report.standardError.empty()) {
        out_ << "  (nothing)\n";
        return;
    }
    std::istringstream in(PrintableText{.keepLineFeeds = true}(report.standardError));
    for (std::string line; std::getline(in, line);)
        out_ << "  | " << line << "\n";
    if (report.standardErrorNotKept > 0)
        out_ << "  \xE2\x80\xA6 " << report.standardErrorNotKept << " more bytes not shown\n";
}

void TextReport::outcome(const RunReport& report)
{
    field("stages reached", stageList(report.stages));
    field("version",
          "completed " +
              (report.completedVersion ? inQuotes(*report.completedVersion) : std::string("none")) +
              ", expected " + inQuotes(report.expectedVersion));
    field("result", std::string(report.result.success ? "success" : "failure") + ", code " +
                        report.result.code + ", exit status " + std::to_string(report.result.exitCode));
    field("screen", std::string(screenFor(report)));
    if (report.timedOut)
        field("time limit",
              "reached after " + std::to_string(options_.timeout.count()) +
                  " s: the script and everything it started were ended; the installer would have "
                  "hung on its progress screen");
    if (report.heldOutput) {
        field("held output", "the script exited after " + seconds(report.exitedAfter) +
                                 ", but its standard output stayed open; the installer would wait for this "
                                 "process:");
        for (const std::string& holder : report.holders)
            field("", holder);
        if (report.holders.empty())
            field("", "(a process that the script started; this system does not say which)");
    }
    if (report.interrupted)
        field("interrupted", "by the checker, on purpose");
    field("payload folder", report.payloadChanges.empty() ? "unchanged" : "CHANGED by the run:");
    for (const std::string& change : report.payloadChanges)
        field("", change);
}

void TextReport::run(const RunReport& report, bool passed, const std::string& detail)
{
    out_ << "zuno-payload-check: " << PrintableText{}(options_.payload.native()) << "\n";
    field("expected version", inQuotes(options_.expectedVersion));
    field("Codex tool", options_.codex
                            ? PrintableText{}(options_.codex->native())
                            : std::string("a stand-in that answers --version, in a temporary home"));
    out_ << "\n";
    if (!report.started) {
        field("result", report.setupError.empty()
                            ? "the script could not be started (START_FAILED): " + report.startError
                            : "not run: " + report.setupError);
        field("verdict", "FAIL");
        return;
    }
    lines(report);
    out_ << "\n";
    standardError(report);
    out_ << "\n";
    outcome(report);
    field("verdict", passed ? "PASS" : "FAIL: " + detail);
}

void TextReport::scenarios(const std::vector<ScenarioReport>& reports)
{
    std::size_t failed = 0;
    out_ << "\nscenarios\n";
    for (const ScenarioReport& report : reports) {
        char name[32];
        std::snprintf(name, sizeof name, "%-22s", report.name.c_str());
        out_ << "  " << (report.passed ? "PASS  " : "FAIL  ") << name << report.detail << "\n";
        failed += report.passed ? 0 : 1;
    }
    out_ << (failed == 0
                 ? "every scenario passed\n"
                 : std::to_string(failed) + " of " + std::to_string(reports.size()) + " scenarios failed\n");
    for (const ScenarioReport& report : reports) {
        if (report.passed || report.name == "installs")
            continue;
        out_ << "\n== the run that decided " << report.name << "\n";
        lines(report.run);
        standardError(report.run);
        outcome(report.run);
    }
}

} // namespace ZunoInstaller::PayloadCheck
