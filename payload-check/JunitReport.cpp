#include "payload-check/JunitReport.h"

#include "payload-check/PrintableText.h"
#include "payload-check/TextReport.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <system_error>

namespace ZunoInstaller::PayloadCheck {

namespace {

std::string attribute(std::string_view name, std::string_view value)
{
    return " " + std::string(name) + "=\"" + JunitReport::escaped(value) + "\"";
}

std::string seconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string element(std::string_view name, std::string_view content)
{
    return "      <" + std::string(name) + ">" + JunitReport::escaped(content) + "</" + std::string(name) + ">\n";
}

// What the failure element holds: the reasons one a line with their meaning.
std::string failureText(const ScenarioReport& report)
{
    std::string text = report.detail + "\n";
    for (const Reason reason : report.reasons)
        text += "reason " + std::string(reasonId(reason)) + ": " + std::string(reasonMeaning(reason)) + "\n";
    return text;
}

std::string outputText(const ScenarioReport& report)
{
    std::string text;
    for (const Reason reason : report.warnings)
        text += "warning " + std::string(reasonId(reason)) + ": " + std::string(reasonMeaning(reason)) + "\n";
    for (const LineRecord& line : report.run.lines)
        text += "line " + std::to_string(line.number) + ": " + TextReport::verdictText(line.explanation) + ": " +
                TextReport::lineText(line, 200) + "\n";
    if (report.run.started)
        text += "result: " + TextReport::resultText(report.run) + "\n";
    return text;
}

std::string testcase(const ScenarioReport& report)
{
    std::string xml = "    <testcase" + attribute("name", report.name) + attribute("classname", "zuno-payload-check") +
                      attribute("time", seconds(report.run.seconds)) + ">\n";
    if (report.notRun) {
        xml += "      <skipped" + attribute("message", notRunText(report)) + "/>\n";
    } else if (!report.passed) {
        const std::string type = report.reasons.empty() ? "failed" : std::string(reasonId(report.reasons.front()));
        xml += "      <failure" + attribute("message", report.detail) + attribute("type", type) + ">" +
               JunitReport::escaped(failureText(report)) + "</failure>\n";
    }
    if (const std::string output = outputText(report); !output.empty())
        xml += element("system-out", output);
    if (!report.run.standardError.empty())
        xml += element("system-err", PrintableText{.keepLineFeeds = true}(report.run.standardError));
    return xml + "    </testcase>\n";
}

} // namespace

std::string JunitReport::escaped(std::string_view bytes)
{
    // Printable first: valid UTF-8 without control characters, which XML 1.0 refuses.
    const std::string text = PrintableText{.keepLineFeeds = true}(bytes);
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char byte = text[at];
        switch (byte) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '\n':
            // A raw one in an attribute value would be read as a space.
            out += "&#10;";
            break;
        default:
            // Nor has XML a place for U+FFFE and U+FFFF.
            if (text.compare(at, 2, "\xEF\xBF") == 0 && at + 2 < text.size() &&
                (text[at + 2] == '\xBE' || text[at + 2] == '\xBF')) {
                out += text[at + 2] == '\xBE' ? "\\u{FFFE}" : "\\u{FFFF}";
                at += 2;
            } else {
                out += byte;
            }
        }
    }
    return out;
}

std::string JunitReport::document(const CheckOutcome& outcome)
{
    const std::size_t tests = outcome.reports.size();
    double total = 0;
    std::string cases;
    for (const ScenarioReport& report : outcome.reports) {
        total += report.run.seconds;
        cases += testcase(report);
    }
    const std::string counts = attribute("tests", std::to_string(tests)) +
                               attribute("failures", std::to_string(outcome.failed())) + attribute("errors", "0") +
                               attribute("skipped", std::to_string(outcome.notRun())) +
                               attribute("time", seconds(total));
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<testsuites" +
           attribute("name", "zuno-payload-check") + counts + ">\n" + "  <testsuite" +
           attribute("name", PrintableText{}(outcome.options.payload.native())) + counts + ">\n" +
           "    <properties>\n" + "      <property" + attribute("name", "checker") +
           attribute("value", checkVersion()) + "/>\n" + "      <property" + attribute("name", "expectedVersion") +
           attribute("value", PrintableText{}(outcome.options.expectedVersion)) + "/>\n" + "    </properties>\n" +
           cases + "  </testsuite>\n</testsuites>\n";
}

bool JunitReport::write(const CheckOutcome& outcome, const std::filesystem::path& path, std::string& error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out << document(outcome);
    out.close();
    if (out)
        return true;
    error = std::generic_category().message(errno != 0 ? errno : EIO);
    return false;
}

} // namespace ZunoInstaller::PayloadCheck
