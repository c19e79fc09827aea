#include "payload-check/GithubReport.h"

#include "payload-check/PrintableText.h"
#include "payload-check/TextReport.h"

#include <cstdio>
#include <random>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

namespace {

constexpr std::size_t shownLineBytes = 200;

// A word no payload can guess: workflow commands resume only after it.
std::string stopToken()
{
    std::random_device random;
    std::string token = "zuno-payload-check-";
    char hex[16];
    for (int part = 0; part < 4; ++part) {
        std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(random()));
        token += hex;
    }
    return token;
}

std::string why(const ScenarioReport& report)
{
    std::string text = "FAIL: " + report.detail;
    if (!report.reasons.empty())
        text += " (reasons: " + reasonList(report.reasons) + ")";
    return text;
}

std::string replaceAll(std::string_view text, bool property)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char byte : text) {
        switch (byte) {
        case '%':
            escaped += "%25";
            break;
        case '\r':
            escaped += "%0D";
            break;
        case '\n':
            escaped += "%0A";
            break;
        case ':':
            escaped += property ? "%3A" : ":";
            break;
        case ',':
            escaped += property ? "%2C" : ",";
            break;
        default:
            escaped += byte;
        }
    }
    return escaped;
}

} // namespace

std::string GithubReport::escapeData(std::string_view text)
{
    return replaceAll(text, false);
}

std::string GithubReport::escapeProperty(std::string_view text)
{
    return replaceAll(text, true);
}

void GithubReport::command(std::string_view kind, const Annotation& annotation)
{
    // Texts are printable already; the escaping keeps each command on one line.
    out_ << "::" << kind << " title=" << escapeProperty(annotation.title)
         << "::" << escapeData(annotation.message) << "\n";
}

void GithubReport::annotations(const CheckOutcome& outcome)
{
    std::vector<Annotation> errors;
    std::vector<Annotation> warnings;
    for (const ScenarioReport& report : outcome.reports) {
        const std::string title = "zuno-payload-check: " + report.name;
        if (!report.passed && !report.notRun)
            errors.push_back({title, why(report)});
        if (!report.warnings.empty())
            warnings.push_back({title, (report.passed ? report.detail : why(report)) +
                                           " (warnings: " + reasonList(report.warnings) + ")"});
    }
    if (!outcome.reports.empty()) {
        const RunReport& run = outcome.reports.front().run;
        for (const LineRecord& line : run.lines)
            if (line.explanation.verdict.kind == LineVerdict::Kind::malformed)
                errors.push_back({"zuno-payload-check: line " + std::to_string(line.number) + " of " +
                                      outcome.reports.front().name,
                                  TextReport::verdictText(line.explanation) + ": " +
                                      TextReport::lineText(line, shownLineBytes)});
    }
    for (std::size_t index = 0; index < errors.size() && index < maxEach; ++index)
        command("error", errors[index]);
    for (std::size_t index = 0; index < warnings.size() && index < maxEach; ++index)
        command("warning", warnings[index]);
    const std::size_t moreErrors = errors.size() - std::min(errors.size(), maxEach);
    const std::size_t moreWarnings = warnings.size() - std::min(warnings.size(), maxEach);
    if (moreErrors + moreWarnings > 0)
        command("notice", {"zuno-payload-check: more in the report",
                           std::to_string(moreErrors) + " more errors and " + std::to_string(moreWarnings) +
                               " more warnings are not annotated; the report in the log has them all"});
}

void GithubReport::write(const CheckOutcome& outcome)
{
    const std::string token = stopToken();
    out_ << "::group::zuno-payload-check " << escapeData(PrintableText{}(outcome.options.payload.native()))
         << (outcome.passed() ? ": passed" : ": FAILED") << "\n";
    out_ << "::stop-commands::" << token << "\n";
    TextReport(out_).write(outcome);
    out_ << "::" << token << "::\n";
    out_ << "::endgroup::\n";
    const std::vector<Reason> reasons = outcome.reasons();
    out_ << "zuno-payload-check: " << (outcome.passed() ? "PASS" : "FAIL")
         << (reasons.empty() ? std::string() : " (reasons: " + reasonList(reasons) + ")") << "\n";
    annotations(outcome);
}

} // namespace ZunoInstaller::PayloadCheck
