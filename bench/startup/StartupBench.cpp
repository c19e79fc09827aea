// Start-up benchmark: time and peak memory from process start to the first
// painted frame, for the installer and for a one-label Qt Widgets window,
// measured alternately in the same run on the offscreen platform and, when
// Xvfb is installed, on a private X server; with where the time goes, phase
// by phase.
//
//   zuno_bench_startup [--runs N] [--callgrind] [--other INSTALLER]
//
// Time: CLOCK_MONOTONIC before the spawn to the child's report of its first
// flushed frame. Memory: the child's peak resident set (wait4 ru_maxrss).
// Phases: the child reports when each ended; a phase's time runs from the end
// of the one before it. --callgrind adds one run of each program under
// valgrind's callgrind, which counts the instructions of each phase: unlike
// the clock, the counts do not move with the machine's load. --other adds
// another build of the installer's probe (zuno_startup_installer in its bench
// bundle, say from before a change) to the same rounds.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

long long nowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// The phases of start-up in the order they happen; a program reports those it has.
constexpr std::array<const char*, 9> phaseNames{
    "Qt application", // process start, libraries, QApplication
    "window icon",
    "bundle and Info.plist",
    "model",
    "discovery",
    "string tables",
    "widget construction", // for the installer: menu bar, window and its children, before any text is set
    "first layout", // texts, native window, show and layout, to the first paint event
    "first paint", // painting and flushing the frame
};

// Per phase (in phaseNames' order): a figure, or none when the program has no such phase.
using Phases = std::array<std::optional<double>, phaseNames.size()>;

struct Sample {
    double ms;
    double rssMb;
    Phases phaseMs;
};

std::optional<size_t> phaseIndex(const std::string& name)
{
    for (size_t i = 0; i < phaseNames.size(); ++i) {
        if (name == phaseNames[i])
            return i;
    }
    return std::nullopt;
}

// "phase<TAB>ns" lines, in the order the phases ended, into the time each took from start.
std::optional<std::pair<double, Phases>> readPhases(const std::string& output, long long start)
{
    Phases phases;
    std::istringstream lines(output);
    long long previous = start;
    long long last = 0;
    for (std::string line; std::getline(lines, line);) {
        const size_t tab = line.find('\t');
        const auto index = tab == std::string::npos ? std::nullopt : phaseIndex(line.substr(0, tab));
        if (!index)
            continue;
        const long long end = std::atoll(line.c_str() + tab + 1);
        phases[*index] = static_cast<double>(end - previous) / 1e6;
        previous = last = end;
    }
    if (!phases.back())
        return std::nullopt; // no first frame
    return std::make_pair(static_cast<double>(last - start) / 1e6, phases);
}

// The process environment with the given entries replaced or added.
std::vector<std::string> environment(const std::map<std::string, std::string>& overrides)
{
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (!overrides.contains(text.substr(0, text.find('='))))
            entries.push_back(text);
    }
    for (const auto& [name, value] : overrides)
        entries.push_back(name + "=" + value);
    return entries;
}

std::optional<pid_t> spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env, int stdoutFd)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const auto& entry : env)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return std::nullopt;
    return pid;
}

// One start of argv[0] until its first frame; none when it did not report one.
std::optional<Sample> measure(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    const long long start = nowNs();
    const auto pid = spawn(argv, env, fds[1]);
    close(fds[1]);
    if (!pid) {
        close(fds[0]);
        return std::nullopt;
    }
    std::string output;
    char buffer[256];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            break;
        output.append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    rusage usage{};
    while (wait4(*pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    const auto phases = readPhases(output, start);
    if (!phases)
        return std::nullopt;
    return Sample{phases->first, static_cast<double>(usage.ru_maxrss) / 1024.0, phases->second};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

bool onPath(const char* tool)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    for (size_t begin = 0; begin <= dirs.size();) {
        size_t end = dirs.find(':', begin);
        if (end == std::string::npos)
            end = dirs.size();
        if (access((dirs.substr(begin, end - begin) + "/" + tool).c_str(), X_OK) == 0)
            return true;
        begin = end + 1;
    }
    return false;
}

// A private X server on a free display; stopped by the caller.
std::optional<std::pair<pid_t, std::string>> startXvfb()
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 5);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"Xvfb", "-displayfd", "5", "-screen", "0", "1280x800x24", "-nolisten", "tcp", nullptr};
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (error != 0) {
        close(fds[0]);
        return std::nullopt;
    }
    std::string display;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        display += c;
    close(fds[0]);
    if (display.empty()) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return std::nullopt;
    }
    return std::make_pair(pid, ":" + display);
}

struct Program {
    const char* name;
    std::string path;
};

void printPhases(const char* unit, const char* format, const std::vector<Program>& programs,
                 const std::vector<Phases>& phases)
{
    std::printf("\n  %-24s", unit);
    for (const Program& program : programs)
        std::printf(" %12s", program.name);
    std::printf("\n");
    for (size_t p = 0; p < phaseNames.size(); ++p) {
        std::printf("  %-24s", phaseNames[p]);
        for (const Phases& figures : phases) {
            if (figures[p])
                std::printf(format, *figures[p]);
            else
                std::printf(" %12s", "-");
        }
        std::printf("\n");
    }
}

bool runPlatform(const char* title, const std::vector<Program>& programs, const std::vector<std::string>& env, int runs)
{
    std::vector<std::vector<Sample>> samples(programs.size());
    for (int run = -2; run < runs; ++run) { // two warm-up rounds fill the page cache
        for (size_t i = 0; i < programs.size(); ++i) {
            const auto sample = measure({programs[i].path}, env);
            if (!sample) {
                std::fprintf(stderr, "%s: %s did not report a first frame\n", title, programs[i].name);
                return false;
            }
            if (run >= 0)
                samples[i].push_back(*sample);
        }
    }
    std::printf("\n%s (%d runs each, medians)\n", title, runs);
    std::printf("  %-10s %12s %14s\n", "program", "first frame", "peak RSS");
    std::vector<std::pair<double, double>> medians;
    for (size_t i = 0; i < programs.size(); ++i) {
        std::vector<double> ms, mb;
        for (const Sample& s : samples[i]) {
            ms.push_back(s.ms);
            mb.push_back(s.rssMb);
        }
        medians.emplace_back(median(ms), median(mb));
        std::printf("  %-10s %9.1f ms %11.1f MB\n", programs[i].name, medians.back().first, medians.back().second);
    }
    for (size_t i = 1; i < programs.size(); ++i) {
        std::printf("  %-10s %10.2fx %12.2fx   (%s / baseline%s)\n", i == 1 ? "ratio" : "", medians[i].first / medians[0].first,
                    medians[i].second / medians[0].second, programs[i].name,
                    i == 1 ? "; aims: at most 1.1x and 1.05x" : "");
    }

    // The medians of the phases need not add up to the median first frame.
    std::vector<Phases> phaseMedians(programs.size());
    for (size_t i = 0; i < programs.size(); ++i) {
        for (size_t p = 0; p < phaseNames.size(); ++p) {
            std::vector<double> ms;
            for (const Sample& s : samples[i]) {
                if (s.phaseMs[p])
                    ms.push_back(*s.phaseMs[p]);
            }
            if (!ms.empty())
                phaseMedians[i][p] = median(ms);
        }
    }
    printPhases("phase (median ms)", " %12.1f", programs, phaseMedians);
    return true;
}

// The instruction counts of each phase in one run of program under callgrind:
// the child dumps its counts at the end of each phase, named after it.
std::optional<Phases> countInstructions(const std::string& program, const std::vector<std::string>& env)
{
    char dirTemplate[] = "/tmp/zuno-bench-callgrind.XXXXXX";
    const char* dir = mkdtemp(dirTemplate);
    if (dir == nullptr)
        return std::nullopt;
    const std::string out = std::string(dir) + "/callgrind.out";
    const auto sample = measure({"/usr/bin/env", "valgrind", "--tool=callgrind", "-q", "--callgrind-out-file=" + out, program}, env);
    Phases phases;
    if (DIR* listing = opendir(dir)) {
        while (const dirent* entry = readdir(listing)) {
            std::ifstream dump(std::string(dir) + "/" + entry->d_name);
            std::optional<size_t> phase;
            for (std::string line; std::getline(dump, line);) {
                const std::string trigger = "desc: Trigger: Client Request: ";
                if (line.rfind(trigger, 0) == 0)
                    phase = phaseIndex(line.substr(trigger.size()));
                else if (phase && line.rfind("summary: ", 0) == 0)
                    phases[*phase] = std::atof(line.c_str() + 9) / 1e6;
            }
        }
        closedir(listing);
    }
    const std::string cleanup = "rm -rf '" + std::string(dir) + "'";
    if (std::system(cleanup.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", dir);
    if (!sample || !phases.back())
        return std::nullopt;
    return phases;
}

bool countPlatform(const char* title, const std::vector<Program>& programs, const std::vector<std::string>& env)
{
    std::vector<Phases> counts;
    for (const Program& program : programs) {
        const auto phases = countInstructions(program.path, env);
        if (!phases) {
            std::fprintf(stderr, "%s: %s did not report a first frame under callgrind\n", title, program.name);
            return false;
        }
        counts.push_back(*phases);
    }
    std::printf("\n%s under callgrind (one run each)", title);
    printPhases("phase (M instructions)", " %12.2f", programs, counts);
    std::printf("  %-24s", "total");
    std::vector<double> totals;
    for (const Phases& phases : counts) {
        double total = 0;
        for (const auto& phase : phases)
            total += phase.value_or(0);
        totals.push_back(total);
        std::printf(" %12.2f", total);
    }
    std::printf("\n  %-24s %12s", "ratio", "");
    for (size_t i = 1; i < totals.size(); ++i)
        std::printf(" %11.2fx", totals[i] / totals[0]);
    std::printf("\n");
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    int runs = 15;
    bool callgrind = false;
    std::vector<Program> programs{{"baseline", ZUNO_STARTUP_BASELINE}, {"installer", ZUNO_STARTUP_INSTALLER}};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--callgrind") == 0)
            callgrind = true;
        else if (std::strcmp(argv[i], "--other") == 0 && i + 1 < argc)
            programs.push_back({"other", argv[++i]});
        else {
            std::fprintf(stderr, "usage: %s [--runs N] [--callgrind] [--other INSTALLER]\n", argv[0]);
            return 2;
        }
    }
#if !__has_include(<valgrind/callgrind.h>)
    if (callgrind) { // the probes then cannot tell callgrind where a phase ends
        std::fprintf(stderr, "--callgrind: built without valgrind's callgrind.h\n");
        return 2;
    }
#endif
    if (callgrind && !onPath("valgrind")) {
        std::fprintf(stderr, "--callgrind needs valgrind on PATH\n");
        return 2;
    }

    // A home with a stand-in Codex app, so the installer starts on its ready screen.
    char homeTemplate[] = "/tmp/zuno-bench-startup.XXXXXX";
    const char* home = mkdtemp(homeTemplate);
    if (home == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string homeDir = home;
    const std::string makeStandin = std::string("/bin/sh '") + ZUNO_STANDIN_TOOL + "' '" + homeDir + "' >/dev/null";
    const std::string runtimeDir = homeDir + "/runtime";
    const bool ready = std::system(makeStandin.c_str()) == 0 && mkdir(runtimeDir.c_str(), 0700) == 0;

    std::map<std::string, std::string> common{
        {"HOME", homeDir}, {"XDG_DATA_HOME", homeDir + "/data"}, {"XDG_RUNTIME_DIR", runtimeDir}};
    bool ok = ready;
    if (!ready)
        std::fprintf(stderr, "cannot prepare the home folder %s\n", homeDir.c_str());

    std::printf("Start-up to the first painted frame: installer vs one-label Qt Widgets window\n");
    if (ok) {
        auto env = common;
        env["QT_QPA_PLATFORM"] = "offscreen";
        ok = runPlatform("offscreen", programs, environment(env), runs);
        if (ok && callgrind)
            ok = countPlatform("offscreen", programs, environment(env));
    }
    if (ok && onPath("Xvfb")) {
        if (const auto xvfb = startXvfb()) {
            auto env = common;
            env["QT_QPA_PLATFORM"] = "xcb";
            env["DISPLAY"] = xvfb->second;
            ok = runPlatform("xcb on Xvfb", programs, environment(env), runs);
            if (ok && callgrind)
                ok = countPlatform("xcb on Xvfb", programs, environment(env));
            kill(xvfb->first, SIGTERM);
            waitpid(xvfb->first, nullptr, 0);
        } else {
            std::printf("\nxcb on Xvfb: skipped, Xvfb did not start\n");
        }
    } else if (ok) {
        std::printf("\nxcb on Xvfb: skipped, Xvfb is not installed\n");
    }

    const std::string cleanup = "rm -rf '" + homeDir + "'";
    if (std::system(cleanup.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", homeDir.c_str());
    return ok ? 0 : 1;
}
