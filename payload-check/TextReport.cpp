#include "payload-check/TextReport.h"

#include "payload-check/PrintableText.h"
#include "payload-check/SignalName.h"

#include <cstdio>
#include <sstream>

namespace ZunoInstaller::PayloadCheck {

namespace {

constexpr std::size_t shownLineBytes = 120;
constexpr std::string_view ellipsis = "\xE2\x80\xA6";

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

// At most `limit` bytes, not cutting a UTF-8 sequence.
std::string_view headOf(std::string_view bytes, std::size_t limit)
{
    if (bytes.size() <= limit)
        return bytes;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    return bytes.substr(0, cut);
}

std::string counted(std::size_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
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

std::string TextReport::resultText(const RunReport& run)
{
    std::string text =
        std::string(run.result.success ? "success" : "failure") + ", code " + run.result.code + ", ";
    if (run.signal == 0)
        return text + "exit status " + std::to_string(run.result.exitCode);
    // The installer's own summary gives the signal's number as the exit status.
    return text + "killed by " + signalText(run.signal) + " (the installer says " + run.result.code +
           " \xC2\xB7 exit " + std::to_string(run.result.exitCode) + ")";
}

std::string TextReport::lineText(const LineRecord& line, std::size_t limit)
{
    // How much of an over-long line was at hand depends on how the pipe cut
    // it: only that it is too long is said.
    if (line.size > maxEventLineBytes)
        return PrintableText{}(headOf(line.bytes, limit)) + " " + std::string(ellipsis) + " (over " +
               std::to_string(maxEventLineBytes) + " bytes)";
    return PrintableText{.limit = limit}(line.bytes);
}

void TextReport::field(std::string_view name, const std::string& value)
{
    char label[32];
    std::snprintf(label, sizeof label, "%-18.*s", static_cast<int>(name.size()), name.data());
    out_ << label << value << "\n";
}

void TextReport::lines(const RunReport& report)
{
    out_ << "standard output (" << counted(report.lines.size() + report.linesNotKept, "line", "lines") << ")\n";
    // Two rows a line: what the installer made of it, then the line itself.
    for (const LineRecord& line : report.lines) {
        char head[48];
        std::snprintf(head, sizeof head, "  %4zu  %8s  ", line.number, seconds(line.seconds).c_str());
        out_ << head << verdictText(line.explanation) << "\n"
             << std::string(18, ' ') << "| " << lineText(line, shownLineBytes) << "\n";
    }
    if (report.linesNotKept > 0)
        out_ << "  " << ellipsis << " " << counted(report.linesNotKept, "more line", "more lines")
             << " not shown, " << report.malformedNotKept << " of them malformed\n";
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
        out_ << "  " << ellipsis << " " << report.standardErrorNotKept << " more bytes not shown\n";
}

void TextReport::outcome(const RunReport& report, std::chrono::seconds timeout)
{
    field("stages reached", stageList(report.stages));
    field("version",
          "completed " +
              (report.completedVersion ? inQuotes(*report.completedVersion) : std::string("none")) +
              ", expected " + inQuotes(report.expectedVersion));
    field("result", resultText(report));
    field("screen", std::string(screenFor(report)));
    if (report.timedOut)
        field("time limit",
              "reached after " + std::to_string(timeout.count()) +
                  " s: the script and its process group were ended; the installer would have "
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

void TextReport::reasons(std::string_view name, const std::vector<Reason>& reasons)
{
    // One a line, with its meaning: the identifier is what CI matches on.
    for (std::size_t index = 0; index < reasons.size(); ++index)
        field(index == 0 ? name : "",
              std::string(reasonId(reasons[index])) + ": " + std::string(reasonMeaning(reasons[index])));
}

void TextReport::verdict(const ScenarioReport& report)
{
    if (report.notRun)
        field("verdict", notRunText(report));
    else
        field("verdict", report.passed ? "PASS" : "FAIL: " + report.detail);
    reasons("reasons", report.reasons);
    reasons("warnings", report.warnings);
}

void TextReport::header(const CheckOptions& options)
{
    out_ << "zuno-payload-check: " << PrintableText{}(options.payload.native()) << "\n";
    field("expected version", inQuotes(options.expectedVersion));
    field("Codex tool", options.codex
                            ? PrintableText{}(options.codex->native())
                            : std::string("a stand-in that answers --version, in a temporary home"));
    out_ << "\n";
}

void TextReport::run(const ScenarioReport& report, std::chrono::seconds timeout)
{
    const RunReport& run = report.run;
    if (!run.started) {
        if (!report.notRun)
            field("result", run.setupError.empty()
                                ? "the script could not be started (START_FAILED): " + run.startError
                                : "not run: " + run.setupError);
        verdict(report);
        return;
    }
    lines(run);
    out_ << "\n";
    standardError(run);
    out_ << "\n";
    outcome(run, timeout);
    verdict(report);
}

void TextReport::scenarios(const CheckOutcome& outcome)
{
    out_ << "\nscenarios\n";
    for (const ScenarioReport& report : outcome.reports) {
        char name[32];
        std::snprintf(name, sizeof name, "%-22s", report.name.c_str());
        const char* mark = report.notRun ? "SKIP  " : report.passed ? "PASS  " : "FAIL  ";
        out_ << "  " << mark << name << (report.notRun ? notRunText(report) : report.detail) << "\n";
        const std::string indent(30, ' ');
        if (!report.reasons.empty())
            out_ << indent << "reasons: " << reasonList(report.reasons) << "\n";
        if (!report.warnings.empty())
            out_ << indent << "warnings: " << reasonList(report.warnings) << "\n";
    }
    const std::size_t total = outcome.reports.size();
    if (outcome.failed() == 0 && outcome.notRun() == 0)
        out_ << (total == 1 ? "the scenario passed\n" : "every scenario passed\n");
    else
        out_ << outcome.failed() << " of " << counted(total, "scenario", "scenarios") << " failed"
             << (outcome.notRun() > 0 ? ", " + std::to_string(outcome.notRun()) + " not run" : std::string())
             << "\n";
    // The first one's run is shown above already.
    for (std::size_t index = 1; index < outcome.reports.size(); ++index) {
        const ScenarioReport& report = outcome.reports[index];
        if (report.passed || report.notRun)
            continue;
        out_ << "\n== the run that decided " << report.name << "\n";
        run(report, outcome.options.timeout);
    }
}

void TextReport::write(const CheckOutcome& outcome)
{
    header(outcome.options);
    if (outcome.reports.empty())
        return;
    run(outcome.reports.front(), outcome.options.timeout);
    if (outcome.scenarios)
        scenarios(outcome);
}

} // namespace ZunoInstaller::PayloadCheck
