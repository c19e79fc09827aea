// zuno-payload-check: runs a payload as the Zuno installer does and explains
// every verdict. Exit status 0: passed; 1: the payload failed; 2: usage.
#include "payload-check/CheckOptions.h"
#include "payload-check/JsonReport.h"
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

int check(int argc, char** argv)
{
    const ParsedOptions parsed = parseCheckOptions(argc, argv);
    if (!parsed.options)
        return fail(parsed.error, usageStatus);
    const CheckOptions& options = *parsed.options;
    if (options.help) {
        std::cout << checkUsage();
        return passedStatus;
    }
    watchSignals();
    std::vector<ScenarioReport> reports;
    {
        const Scratch scratch;
        if (scratch.path().empty())
            return fail("cannot make a temporary folder", failedStatus);
        Scenarios scenarios(options, scratch.path());
        if (options.scenarios)
            reports = scenarios.all();
        else
            reports.push_back(scenarios.installs());
    }
    if (stopRequested())
        return fail("stopped", stoppedStatus);

    bool passed = true;
    for (const ScenarioReport& report : reports)
        passed = passed && report.passed;
    const RunReport& run = reports.front().run;
    if (options.json) {
        std::cout << jsonReport(options, run, passed, options.scenarios ? &reports : nullptr);
    } else {
        TextReport text(std::cout, options);
        text.run(run, reports.front().passed, reports.front().detail);
        if (options.scenarios)
            text.scenarios(reports);
    }
    std::cout.flush();
    return passed ? passedStatus : failedStatus;
}

} // namespace

int main(int argc, char** argv)
{
    // Out of memory or a file system error nothing above handles: one clear
    // line and a failure, never an abort.
    try {
        return check(argc, argv);
    } catch (const std::exception& error) {
        return fail(std::string("stopped by an internal error: ") + error.what(), failedStatus);
    } catch (...) {
        return fail("stopped by an internal error", failedStatus);
    }
}
