// The install engine beside its yardsticks: a typical four-line run through
// runInstaller against spawning the same script and discarding its output,
// floods of event lines and of short text lines against a reader that only
// counts bytes, with the installer's peak memory at two flood sizes. Build
// in Release.
#include "HeapCounter.h"
#include "PlainReader.h"
#include "engine/InstallTranscript.h"
#include "engine/InstallerRunner.h"
#include "engine/LineSplitter.h"
#include "engine/TranscriptSink.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <vector>

namespace {

using namespace ZunoInstaller;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr std::uint64_t mib = 1024 * 1024;

const char* const eventLines = "{\"event\":\"progress\",\"stage\":\"validated\"}\n"
                               "{\"event\":\"progress\",\"stage\":\"registered\"}\n"
                               "{\"event\":\"progress\",\"stage\":\"checking\"}\n"
                               "{\"event\":\"complete\",\"version\":\"1.0.0\"}";

// A chatty tool's output that a payload forgot to send to standard error:
// lines of 18 bytes, line feed included, one of them a short event.
const char* const shortLines = "fetched 12 files.\n"
                               "  CC  src/main1.o\n"
                               "linking libzun.so\n"
                               "{\"event\":\"noise\"}";

fs::path makePackage(const fs::path& root, const std::string& name, const std::string& script)
{
    const fs::path package = root / name;
    fs::create_directories(package);
    std::ofstream(package / "Install.command") << script;
    return package;
}

// The four lines of a successful run, as a payload writes them.
std::string typicalScript()
{
    return std::string("printf '%s\\n' '") + eventLines + "'\n";
}

// `bytes` of `lines` over and over, produced far faster than any reader takes them.
std::string floodScript(const char* lines, std::uint64_t bytes)
{
    return std::string("yes '") + lines + "' | head -c " + std::to_string(bytes) + "\n";
}

double seconds(Clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

InstallResult runOnce(const fs::path& package, const fs::path& codex)
{
    return runInstaller(package, codex, "1.0.0", [](InstallStage) {});
}

void typicalRun(const fs::path& package, const fs::path& codex, int rounds)
{
    const InstallResult check = runOnce(package, codex);
    if (!check.success)
        std::printf("  (the typical run did not succeed: %s %d)\n", check.code.c_str(), check.exitCode);
    std::vector<double> installer;
    std::vector<double> plain;
    // Interleaved, so that drift in the machine's load hits both alike.
    for (int round = 0; round < rounds + 10; ++round) {
        const auto t0 = Clock::now();
        runOnce(package, codex);
        const auto t1 = Clock::now();
        Bench::spawnAndDiscard(package);
        const auto t2 = Clock::now();
        if (round >= 10) {
            installer.push_back(seconds(t1 - t0) * 1e6);
            plain.push_back(seconds(t2 - t1) * 1e6);
        }
    }
    const double a = median(installer);
    const double b = median(plain);
    std::printf("typical four-line run (median of %d)\n", rounds);
    std::printf("  runInstaller          %9.1f us\n", a);
    std::printf("  spawn and discard     %9.1f us\n", b);
    std::printf("  difference            %+9.1f %%\n", (a / b - 1.0) * 100.0);
}

// CPU time of this process (not of its children): what the reading side costs,
// whatever else the machine is busy with.
double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto toSeconds = [](const timeval& value) {
        return static_cast<double>(value.tv_sec) + value.tv_usec / 1e6;
    };
    return toSeconds(usage.ru_utime) + toSeconds(usage.ru_stime);
}

void flood(const char* what, const fs::path& package, const fs::path& codex, std::uint64_t bytes, int rounds)
{
    double bestInstaller = 1e300;
    double bestPlain = 1e300;
    double cpuInstaller = 1e300;
    double cpuPlain = 1e300;
    std::uint64_t read = 0;
    for (int round = 0; round < rounds; ++round) {
        auto t0 = Clock::now();
        double c0 = cpuSeconds();
        runOnce(package, codex);
        bestInstaller = std::min(bestInstaller, seconds(Clock::now() - t0));
        cpuInstaller = std::min(cpuInstaller, cpuSeconds() - c0);
        t0 = Clock::now();
        c0 = cpuSeconds();
        read = Bench::spawnAndDiscard(package);
        bestPlain = std::min(bestPlain, seconds(Clock::now() - t0));
        cpuPlain = std::min(cpuPlain, cpuSeconds() - c0);
    }
    const double size = static_cast<double>(bytes) / static_cast<double>(mib);
    std::printf("flood of %.0f MiB of %s (best of %d; plain reader saw %.1f MiB)\n", size, what, rounds,
                static_cast<double>(read) / static_cast<double>(mib));
    std::printf("  runInstaller          %9.1f MiB/s  (%7.1f MiB per CPU second of the reading process)\n",
                size / bestInstaller, size / cpuInstaller);
    std::printf("  plain reader          %9.1f MiB/s  (%7.1f MiB per CPU second of the reading process)\n",
                size / bestPlain, size / cpuPlain);
    std::printf("  ratio                 %9.3f\n", bestPlain / bestInstaller);
}

// Where the installer's time goes, without a process or a pipe: cutting the
// same lines out of memory, and cutting plus decoding them as the runner does.
void breakdown(const char* what, const char* text, std::uint64_t bytes)
{
    const std::string lines = std::string(text) + "\n";
    std::string block;
    while (block.size() + lines.size() <= LineSplitter::chunkBytes)
        block += lines;

    struct Counter {
        std::uint64_t lines = 0;
        void line(std::string_view) { ++lines; }
        void overlong() {}
    };
    auto measure = [&](auto& sink) {
        LineSplitter splitter;
        std::uint64_t done = 0;
        const double c0 = cpuSeconds();
        while (done < bytes) {
            std::copy(block.begin(), block.end(), splitter.space().begin());
            splitter.commit(block.size(), sink);
            done += block.size();
        }
        return static_cast<double>(done) / static_cast<double>(mib) / (cpuSeconds() - c0);
    };
    Counter counter;
    InstallTranscript transcript;
    const std::function<void(InstallStage)> progress = [](InstallStage) {};
    TranscriptSink decoder(transcript, progress);
    const double cutting = measure(counter);
    const double decoding = measure(decoder);
    std::printf(
        "  in memory, %-12s line cutting %7.1f MiB per CPU second, cutting and decoding %7.1f (%llu lines)\n",
        what, cutting, decoding, static_cast<unsigned long long>(counter.lines));
}

// Each figure comes from a fresh process running one thing: this program
// started again with "--peak-installer" or "--peak-plain" and a package. It
// reports its resident high-water mark before and after the run (the kernel
// counts resident pages in batches, so small growth may not show) and the
// exact peak of the C++ heap during the run.
void printPeak(const std::string& self, const char* label, const char* mode, const fs::path& package)
{
    const std::string output = Bench::outputOf(self, {self, mode, package.native()});
    char* end = nullptr;
    const unsigned long long before = std::strtoull(output.c_str(), &end, 10);
    const unsigned long long after = std::strtoull(end, &end, 10);
    const unsigned long long heap = std::strtoull(end, nullptr, 10);
    std::printf("  %-26s %7llu KiB resident (+%llu before the run), heap peak of the run %8llu bytes\n",
                label, after, after - before, heap);
}

void peakMemory(const std::string& self, const fs::path& typical, const fs::path& flood64,
                const fs::path& flood256)
{
    std::printf("peak memory (a fresh process doing one run)\n");
    printPeak(self, "installer, typical run", "--peak-installer", typical);
    printPeak(self, "installer, 64 MiB flood", "--peak-installer", flood64);
    printPeak(self, "installer, 256 MiB flood", "--peak-installer", flood256);
    printPeak(self, "plain reader, 256 MiB", "--peak-plain", flood256);
}

std::string selfPath(const char* argv0)
{
    std::error_code error;
    const fs::path self = fs::canonical("/proc/self/exe", error);
    return error ? std::string(argv0) : self.native();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 &&
        (std::string_view(argv[1]) == "--peak-installer" || std::string_view(argv[1]) == "--peak-plain")) {
        const std::uint64_t before = Bench::peakResidentKiB();
        Bench::startHeapCounting();
        if (std::string_view(argv[1]) == "--peak-installer")
            runInstaller(argv[2], "/bin/true", "1.0.0", [](InstallStage) {});
        else
            Bench::spawnAndDiscard(argv[2]);
        std::printf("%llu %llu %llu\n", static_cast<unsigned long long>(before),
                    static_cast<unsigned long long>(Bench::peakResidentKiB()),
                    static_cast<unsigned long long>(Bench::heapPeakBytes()));
        return 0;
    }
    const int typicalRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int floodRounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    std::string pattern = (fs::temp_directory_path() / "zuno-bench-XXXXXX").native();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path root = pattern;
    const fs::path codex = root / "codex";
    std::ofstream(codex) << "#!/bin/sh\n";
    fs::permissions(codex, fs::perms(0755));

    const fs::path typical = makePackage(root, "typical", typicalScript());
    const fs::path flood64 = makePackage(root, "flood64", floodScript(eventLines, 64 * mib));
    const fs::path flood256 = makePackage(root, "flood256", floodScript(eventLines, 256 * mib));
    const fs::path chatty = makePackage(root, "chatty", floodScript(shortLines, 64 * mib));

    typicalRun(typical, codex, typicalRounds);
    flood("event lines", flood256, codex, 256 * mib, floodRounds);
    breakdown("event lines", eventLines, 256 * mib);
    flood("18-byte lines", chatty, codex, 64 * mib, floodRounds);
    breakdown("short lines", shortLines, 64 * mib);
    peakMemory(selfPath(argv[0]), typical, flood64, flood256);

    std::error_code ignored;
    fs::remove_all(root, ignored);
    return 0;
}
