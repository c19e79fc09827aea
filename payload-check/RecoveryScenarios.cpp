#include "payload-check/RecoveryScenarios.h"

#include "payload-check/AfterCut.h"
#include "payload-check/RunReasons.h"
#include "payload-check/StandinCodex.h"
#include "payload-check/TemporaryHome.h"
#include "payload-check/TreeSnapshot.h"

#include <cstdio>
#include <thread>

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

constexpr int concurrentRounds = 3;
// Kills at moments spread evenly through a run's measured duration.
constexpr int timedKills = 12;

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

std::string pointName(const Interruption& point)
{
    if (point.afterTime)
        return "the process group killed " +
               secondsText(std::chrono::duration<double>(*point.afterTime).count()) + " into the run";
    const std::string when =
        point.afterLines == 0 ? "at the start" : "after line " + std::to_string(point.afterLines);
    return point.kind == Interruption::Kind::closeReader ? "the reader closed " + when
                                                         : "the process group killed " + when;
}

TreeSnapshot homeNow(const fs::path& home)
{
    return TreeSnapshot::of(home, {standinAppFolder()});
}

// "nothing lost, nothing nested, nothing left over", or what differs.
std::string differences(const TreeSnapshot& expected, const fs::path& home)
{
    const std::vector<std::string> changes = homeNow(home).changesSince(expected);
    std::string joined;
    for (std::size_t index = 0; index < changes.size() && index < 5; ++index)
        joined += (index == 0 ? "" : ", ") + changes[index];
    if (changes.size() > 5)
        joined += " and " + std::to_string(changes.size() - 5) + " more";
    return joined;
}

// Why a run beside another did not end on its own terms (success, or a
// failure it reported with an error event and nothing malformed).
std::vector<Reason> uncleanEnd(const RunReport& run)
{
    if (run.result.success || (run.recordedFailure && !run.malformed))
        return {};
    std::vector<Reason> reasons{Reason::notConcurrencySafe};
    addReasons(reasons, failureReasons(run));
    if (!run.recordedFailure && run.signal == 0)
        addReasons(reasons, {Reason::exitStatus});
    return reasons;
}

} // namespace

struct RecoveryScenarios::Baseline {
    std::unique_ptr<TemporaryHome> place;
    RunSetup clean;
    RunReport first;
    TreeSnapshot fresh;
    TreeSnapshot installed;
    std::optional<ScenarioReport> failed;
};

RecoveryScenarios::Baseline RecoveryScenarios::baseline(const std::string& name, const std::string& which) const
{
    Baseline base;
    base.place = context_.home(context_.scratch() / name);
    base.clean = context_.setup(*base.place, context_.workingTool(*base.place));
    base.fresh = homeNow(base.place->path());
    base.first = runPayload(base.clean);
    base.failed = context_.unlessSucceeded(name, base.first, which);
    base.installed = homeNow(base.place->path());
    return base;
}

std::optional<ScenarioReport> RecoveryScenarios::cleanRunRestores(const Baseline& base, const std::string& what,
                                                                  ScenarioReport& last, Reason reason,
                                                                  RunReport* shown) const
{
    RunReport after = runPayload(base.clean);
    if (std::optional<ScenarioReport> failed =
            context_.unlessSucceeded(last.name, after, "the clean run after " + what)) {
        addReasons(failed->reasons, {reason});
        return failed;
    }
    if (const std::string changed = differences(base.installed, base.place->path()); !changed.empty())
        return context_.failed(last.name,
                               "after " + what + " and a clean run, the home differs from a clean install: " +
                                   changed,
                               {reason}, std::move(shown != nullptr ? *shown : after));
    last.run = std::move(after);
    return std::nullopt;
}

ScenarioReport RecoveryScenarios::interrupted() const
{
    const std::string name = "interrupted";
    Baseline base = baseline(name, "the clean install before the interruptions");
    if (base.failed)
        return *base.failed;
    ScenarioReport last = named(name, {}, true);
    last.run = std::move(base.first);
    // A run over an install, as every cut run is: its length spreads the kills.
    if (std::optional<ScenarioReport> failed = cleanRunRestores(base, "the clean install", last, Reason::notRestored))
        return *failed;
    const double measured = last.run.exitedAfter > 0 ? last.run.exitedAfter : last.run.seconds;

    // The kills inside stages first: they are the ones that find a partial copy.
    std::vector<Interruption> points;
    for (int index = 0; index < timedKills; ++index)
        points.push_back({Interruption::Kind::killGroup, 0,
                          std::chrono::microseconds(static_cast<long long>(measured * 1e6 * (index + 0.5) /
                                                                           timedKills))});
    for (const Interruption::Kind kind : {Interruption::Kind::closeReader, Interruption::Kind::killGroup})
        for (std::size_t lines = 0; lines <= 3; ++lines)
            points.push_back({kind, lines, std::nullopt});
    int cutShort = 0;
    std::string between;
    for (const Interruption& point : points) {
        RunSetup cut = base.clean;
        cut.interruption = point;
        RunReport stopped = runPayload(cut);
        if (const std::string problem = context_.fault(stopped); !problem.empty())
            return context_.failed(name, "with " + pointName(point) + ": " + problem, {}, std::move(stopped));
        cutShort += point.afterTime && stopped.interrupted ? 1 : 0;
        // Everything the run started has ended: this is what a crash leaves.
        const AfterCut after = readAfterCut(base.fresh, base.installed, homeNow(base.place->path()));
        if (after.state == AfterCut::State::partial)
            return context_.failed(name, "with " + pointName(point) + ", " + after.what, {Reason::notCrashSafe},
                                   std::move(stopped));
        if (after.state == AfterCut::State::missing && between.empty())
            between = "with " + pointName(point) + ", " + after.what;
        // The interrupted run shows where it was cut.
        if (std::optional<ScenarioReport> failed =
                cleanRunRestores(base, pointName(point), last, Reason::notRestored, &stopped))
            return *failed;
    }
    last.detail = std::to_string(timedKills) + " kills spread through a " + secondsText(measured) + " run (" +
                  std::to_string(cutShort) +
                  " cut it short) and 8 interruptions at event lines: the install was whole right after each, and after a clean run the home as "
                  "after a clean install";
    if (!between.empty()) {
        last.warning = true;
        last.warnings.push_back(Reason::missingBetweenRenames);
        last.detail += " (warning: " + between + "; the next clean run mended it)";
    }
    return last;
}

ScenarioReport RecoveryScenarios::concurrent() const
{
    const std::string name = "concurrent";
    Baseline base = baseline(name, "the clean install before the concurrent runs");
    if (base.failed)
        return *base.failed;
    const RunSetup& clean = base.clean;

    ScenarioReport last = named(name, {}, true);
    last.run = std::move(base.first);
    std::string outcomes;
    for (int round = 1; round <= concurrentRounds; ++round) {
        RunReport other;
        std::thread second([&] { other = runPayload(clean); });
        RunReport one = runPayload(clean);
        second.join();
        for (RunReport* run : {&one, &other}) {
            if (const std::string problem = context_.fault(*run); !problem.empty())
                return context_.failed(name, "a run beside another: " + problem, {}, std::move(*run));
            if (std::vector<Reason> reasons = uncleanEnd(*run); !reasons.empty())
                return context_.failed(name,
                                       "a run beside another did not end cleanly: " + summaryOf(*run) +
                                           (run->malformed ? ", with malformed lines" : ", without an error event"),
                                       std::move(reasons), std::move(*run));
        }
        if (round == 1)
            outcomes = summaryOf(one) + " and " + summaryOf(other);
        // Each run put the same copy in place or left the earlier one: either
        // way the home is as after a clean install already.
        if (const std::string changed = differences(base.installed, base.place->path()); !changed.empty())
            return context_.failed(name,
                                   "after two runs at once (" + summaryOf(one) + " and " + summaryOf(other) +
                                       "), the home differs from a clean install: " + changed,
                                   {Reason::notConcurrencySafe}, std::move(one));
        if (std::optional<ScenarioReport> failed =
                cleanRunRestores(base, "two runs at once", last, Reason::notConcurrencySafe))
            return *failed;
    }
    last.detail = std::to_string(concurrentRounds) + " pairs of runs at once (the first: " + outcomes +
                  "), each followed by a clean run: the home as after a clean install";
    return last;
}

ScenarioReport RecoveryScenarios::writesFail() const
{
    const std::string name = "writes-fail";
    Baseline base = baseline(name, "the clean install before the run whose writes fail");
    if (base.failed)
        return *base.failed;
    // Half the largest file the install writes, in the 512-byte blocks of
    // `ulimit -f`: that file, at least, cannot be written whole.
    const auto blocks = static_cast<unsigned>(base.installed.largestFile() / 2 / 512);
    const std::string limit = blocks == 0 ? "every write that grows a file failing"
                                          : "files unable to grow past " + std::to_string(blocks * 512) + " bytes";
    RunSetup limited = base.clean;
    limited.fileSizeBlocks = blocks;
    RunReport run = runPayload(limited);
    if (const std::string problem = context_.fault(run); !problem.empty())
        return context_.failed(name, "with " + limit + ": " + problem, {}, std::move(run));
    if (run.result.success) {
        if (const std::string changed = differences(base.installed, base.place->path()); !changed.empty())
            return context_.failed(name,
                                   "with " + limit +
                                       ", the run reported success, but the home differs from a clean install: " +
                                       changed,
                                   {Reason::partialInstall}, std::move(run));
        ScenarioReport report = context_.judge(name, std::move(run), true, {}, "success");
        report.detail += " with " + limit + ", and the home as after a clean install";
        return report;
    }
    if (std::vector<Reason> missed = failureReasons(run); !missed.empty())
        return context_.failed(name, "with " + limit + ", the run did not fail cleanly: " + summaryOf(run), missed,
                               std::move(run));
    ScenarioReport last = named(name, {}, true);
    if (std::optional<ScenarioReport> failed =
            cleanRunRestores(base, "the run whose writes failed", last, Reason::notRestored, &run))
        return *failed;
    // The report shows the run whose writes failed.
    last.detail = summaryOf(run) + " with " + limit + "; after a clean run, the home as after a clean install";
    last.warnings = warningReasons(run);
    if (!last.warnings.empty()) {
        last.warning = true;
        last.detail += " (warning: " + meanings(last.warnings) + ")";
    }
    last.run = std::move(run);
    return last;
}

} // namespace ZunoInstaller::PayloadCheck
