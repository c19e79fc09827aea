#include "payload-check/RecoveryScenarios.h"

#include "payload-check/StandinCodex.h"
#include "payload-check/TemporaryHome.h"
#include "payload-check/TreeSnapshot.h"

#include <thread>

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

constexpr int concurrentRounds = 3;

std::string pointName(const Interruption& point)
{
    const std::string when =
        point.afterLines == 0 ? "at the start" : "after line " + std::to_string(point.afterLines);
    return point.kind == Interruption::Kind::closeReader ? "the reader closed " + when
                                                         : "the process group killed " + when;
}

// "nothing lost, nothing nested, nothing left over", or what differs.
std::string differences(const TreeSnapshot& expected, const fs::path& home)
{
    const std::vector<std::string> changes =
        TreeSnapshot::of(home, {standinAppFolder()}).changesSince(expected);
    std::string joined;
    for (std::size_t index = 0; index < changes.size() && index < 5; ++index)
        joined += (index == 0 ? "" : ", ") + changes[index];
    if (changes.size() > 5)
        joined += " and " + std::to_string(changes.size() - 5) + " more";
    return joined;
}

// A run that ends on its own terms: success, or a failure it reported with
// an error event, with nothing malformed on the way.
bool endedCleanly(const RunReport& run)
{
    return run.result.success || (run.recordedFailure && !run.malformed);
}

} // namespace

struct RecoveryScenarios::Baseline {
    std::unique_ptr<TemporaryHome> place;
    RunSetup clean;
    RunReport first;
    TreeSnapshot installed;
    std::optional<ScenarioReport> failed;
};

RecoveryScenarios::Baseline RecoveryScenarios::baseline(const std::string& name, const std::string& which) const
{
    Baseline base;
    base.place = context_.home(context_.scratch() / name);
    base.clean = context_.setup(*base.place, context_.workingTool(*base.place));
    base.first = runPayload(base.clean);
    base.failed = context_.unlessSucceeded(name, base.first, which);
    base.installed = TreeSnapshot::of(base.place->path(), {standinAppFolder()});
    return base;
}

std::optional<ScenarioReport> RecoveryScenarios::cleanRunRestores(const Baseline& base, const std::string& what,
                                                          ScenarioReport& last, RunReport* shown) const
{
    RunReport after = runPayload(base.clean);
    if (std::optional<ScenarioReport> failed =
            context_.unlessSucceeded(last.name, after, "the clean run after " + what))
        return failed;
    if (const std::string changed = differences(base.installed, base.place->path()); !changed.empty())
        return ScenarioReport{last.name, false,
                              "after " + what +
                                  " and a clean run, the home differs from a clean install: " + changed,
                              false, std::move(shown != nullptr ? *shown : after)};
    last.run = std::move(after);
    return std::nullopt;
}

ScenarioReport RecoveryScenarios::interrupted() const
{
    Baseline base = baseline("interrupted", "the clean install before the interruptions");
    if (base.failed)
        return *base.failed;
    const RunSetup& clean = base.clean;

    ScenarioReport last{"interrupted", true, {}, false, std::move(base.first)};
    for (const Interruption::Kind kind : {Interruption::Kind::closeReader, Interruption::Kind::killGroup}) {
        for (std::size_t lines = 0; lines <= 3; ++lines) {
            const Interruption point{kind, lines};
            RunSetup cut = clean;
            cut.interruption = point;
            RunReport stopped = runPayload(cut);
            if (const std::string problem = context_.fault(stopped); !problem.empty())
                return {"interrupted", false, "with " + pointName(point) + ": " + problem, false,
                        std::move(stopped)};
            // The interrupted run shows where it was cut.
            if (std::optional<ScenarioReport> failed =
                    cleanRunRestores(base, pointName(point), last, &stopped))
                return *failed;
        }
    }
    last.detail = "8 interruptions, each followed by a clean run: the home as after a clean install";
    return last;
}

ScenarioReport RecoveryScenarios::concurrent() const
{
    Baseline base = baseline("concurrent", "the clean install before the concurrent runs");
    if (base.failed)
        return *base.failed;
    const RunSetup& clean = base.clean;

    ScenarioReport last{"concurrent", true, {}, false, std::move(base.first)};
    std::string outcomes;
    for (int round = 1; round <= concurrentRounds; ++round) {
        RunReport other;
        std::thread second([&] { other = runPayload(clean); });
        RunReport one = runPayload(clean);
        second.join();
        for (RunReport* run : {&one, &other}) {
            if (const std::string problem = context_.fault(*run); !problem.empty())
                return {"concurrent", false, "a run beside another: " + problem, false, std::move(*run)};
            if (!endedCleanly(*run))
                return {"concurrent", false,
                        "a run beside another did not end cleanly: " + summaryOf(*run) +
                            (run->malformed ? ", with malformed lines" : ", without an error event"),
                        false, std::move(*run)};
        }
        if (round == 1)
            outcomes = summaryOf(one) + " and " + summaryOf(other);
        // Each run put the same copy in place or left the earlier one: either
        // way the home is as after a clean install already.
        if (const std::string changed = differences(base.installed, base.place->path()); !changed.empty())
            return {"concurrent", false,
                    "after two runs at once (" + summaryOf(one) + " and " + summaryOf(other) +
                        "), the home differs from a clean install: " + changed,
                    false, std::move(one)};
        if (std::optional<ScenarioReport> failed = cleanRunRestores(base, "two runs at once", last))
            return *failed;
    }
    last.detail = std::to_string(concurrentRounds) + " pairs of runs at once (the first: " + outcomes +
                  "), each followed by a clean run: the home as after a clean install";
    return last;
}

} // namespace ZunoInstaller::PayloadCheck
