// zuno-payload-check: runs a payload as the Zuno installer does and explains
// every verdict. Exit status 0: passed; 1: the payload failed; 2: usage;
// 3: the checker could not do its own work; 130: stopped.
#include "payload-check/CheckOptions.h"
#include "payload-check/CheckOutcome.h"
#include "payload-check/GithubReport.h"
#include "payload-check/JsonReport.h"
#include "payload-check/JunitReport.h"
#include "payload-check/PrintableText.h"
#include "payload-check/Scenarios.h"
#include "payload-check/StopSignals.h"
#include "payload-check/TemporaryHome.h"
#include "payload-check/TextReport.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace {

using namespace ZunoInstaller;
using namespace ZunoInstaller::PayloadCheck;
namespace fs = std::filesystem;

constexpr int passedStatus = 0;
constexpr int failedStatus = 1;
constexpr int usageStatus = 2;
// Not a verdict on the payload: CI must not take it for one.
constexpr int internalStatus = 3;
constexpr int stoppedStatus = 130;

int fail(const std::string& message, int status)
{
    std::cerr << "zuno-payload-check: " << message << "\n";
    return status;
}

fs::path makeScratch()
{
    const char* tmp = std::getenv("TMPDIR");
    std::error_code error;
    fs::path base = tmp != nullptr && fs::path(tmp).is_absolute() ? fs::path(tmp) : fs::path("/tmp");
    std::string pattern = (base / "zuno-payload-check-XXXXXX").native();
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return fs::canonical(pattern, error);
}

// The checker's own scratch folder, where every temporary home goes; removed
// however the check ends, by an internal error too.
class Scratch {
public:
    Scratch() : path_(makeScratch()) {}
    ~Scratch()
    {
        try {
            removeTree(path_);
        } catch (...) {
            // Out of memory while removing: nothing more can be done.
        }
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void print(const CheckOutcome& outcome)
{
    switch (reportFormat(outcome.options)) {
    case ReportFormat::json:
        std::cout << jsonReport(outcome);
        break;
    case ReportFormat::github:
        GithubReport(std::cout).write(outcome);
        break;
    case ReportFormat::text:
        TextReport(std::cout).write(outcome);
        break;
    }
    std::cout.flush();
}

// What needs no payload: --help, --version, --list-scenarios.
int inform(const CheckOptions& options)
{
    if (options.help)
        std::cout << checkUsage();
    else if (options.version)
        std::cout << checkVersion() << "\n";
    else
        for (const std::string_view name : Scenarios::names())
            std::cout << name << "\n";
    return passedStatus;
}

int check(int argc, char** argv)
{
    const ParsedOptions parsed = parseCheckOptions(argc, argv);
    if (!parsed.options)
        return fail(parsed.error, usageStatus);
    const CheckOptions& options = *parsed.options;
    if (options.help || options.version || options.listScenarios)
        return inform(options);
    if (!options.versionNote.empty())
        std::cerr << "zuno-payload-check: note: " << options.versionNote << "\n";
    watchSignals();
    CheckOutcome outcome{options, {}, options.scenarios};
    {
        const Scratch scratch;
        if (scratch.path().empty())
            return fail("cannot make a temporary folder", internalStatus);
        Scenarios scenarios(options, scratch.path());
        if (options.scenarios)
            outcome.reports = scenarios.all();
        else
            outcome.reports.push_back(scenarios.installs());
    }
    if (stopRequested())
        return fail("stopped", stoppedStatus);

    print(outcome);
    if (options.junit) {
        std::string error;
        if (!JunitReport::write(outcome, *options.junit, error))
            return fail("cannot write the JUnit report to " + PrintableText{}(options.junit->native()) + ": " + error,
                        internalStatus);
    }
    return outcome.passed() ? passedStatus : failedStatus;
}

} // namespace

int main(int argc, char** argv)
{
    // Out of memory or a file system error nothing above handles: one clear
    // line and a failure, never an abort.
    try {
        return check(argc, argv);
    } catch (const std::exception& error) {
        return fail(std::string("stopped by an internal error: ") + error.what(), internalStatus);
    } catch (...) {
        return fail("stopped by an internal error", internalStatus);
    }
}
