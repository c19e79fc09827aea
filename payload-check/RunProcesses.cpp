#include "payload-check/RunProcesses.h"

#include "payload-check/OutputHolders.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace ZunoInstaller::PayloadCheck {

namespace {

using Clock = std::chrono::steady_clock;

// The scripts under way, for the signal handler: 0 is a free slot.
std::array<std::atomic<pid_t>, 16> scripts{};
static_assert(std::atomic<pid_t>::is_always_lock_free);
std::atomic<bool> adopting{false};
std::atomic<unsigned> payloadSignals{0};
std::atomic<int> lastPayloadSignal{0};

// Runs under way; held while leftovers are ended, so that no run starts a
// script that the ending would take for a leftover.
std::mutex gate;
int active = 0;

// How long the processes a run left may take to go before they are named.
constexpr std::chrono::milliseconds endingLimit{5000};
constexpr std::chrono::milliseconds endingStep{2};

// Async-signal-safe (open, read, close only). The parent and process group
// of `pid`, from /proc/PID/stat: "pid (command) state parent group ...", the
// command holding anything, so the fields are counted from the last ')'.
bool parentAndGroup(pid_t pid, pid_t& parent, pid_t& group)
{
    char path[40] = "/proc/";
    char digits[16];
    int count = 0;
    for (unsigned long value = static_cast<unsigned long>(pid); count == 0 || value > 0; value /= 10)
        digits[count++] = static_cast<char>('0' + value % 10);
    std::size_t at = 6;
    while (count > 0)
        path[at++] = digits[--count];
    for (const char letter : "/stat")
        path[at++] = letter;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[512];
    ssize_t size = -1;
    do
        size = ::read(fd, buffer, sizeof buffer);
    while (size < 0 && errno == EINTR);
    ::close(fd);
    ssize_t index = size - 1;
    while (index >= 0 && buffer[index] != ')')
        --index;
    if (index < 0)
        return false;
    // ") S parent group"
    index += 4;
    long fields[2] = {0, 0};
    for (long& field : fields) {
        bool any = false;
        for (; index < size && buffer[index] >= '0' && buffer[index] <= '9'; ++index) {
            field = field * 10 + (buffer[index] - '0');
            any = true;
        }
        if (!any || index >= size || buffer[index] != ' ')
            return false;
        ++index;
    }
    parent = static_cast<pid_t>(fields[0]);
    group = static_cast<pid_t>(fields[1]);
    return true;
}

struct Adopted {
    pid_t pid;
    pid_t group;
};

// The checker's children other than scripts under way: what it adopted.
std::vector<Adopted> adoptedChildren()
{
    std::vector<Adopted> children;
    const pid_t self = ::getpid();
    std::error_code error;
    for (std::filesystem::directory_iterator entry("/proc", error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().native();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = static_cast<pid_t>(std::strtol(name.c_str(), nullptr, 10));
        pid_t parent = 0;
        pid_t group = 0;
        if (parentAndGroup(pid, parent, group) && parent == self)
            children.push_back({pid, group});
    }
    return children;
}

bool groupGone(pid_t group)
{
    return group <= 0 || (::kill(-group, 0) != 0 && errno == ESRCH);
}

// Kills the group and, with the checker adopting, the adopted processes of
// that group (all of them for the last run), and reaps them; waits until
// they are gone. Returns what stayed.
std::vector<std::string> endLeftovers(pid_t group, bool last)
{
    const pid_t ownGroup = ::getpgrp();
    const Clock::time_point deadline = Clock::now() + endingLimit;
    for (;;) {
        if (group > 0)
            ::kill(-group, SIGKILL);
        std::vector<pid_t> waiting;
        if (adopting.load()) {
            for (const Adopted& child : adoptedChildren()) {
                if (child.group != group && !last)
                    continue;
                ::kill(child.pid, SIGKILL);
                // A group of its own (setsid): everything in it goes at once.
                if (child.group == child.pid && child.group != ownGroup)
                    ::kill(-child.group, SIGKILL);
                int status = 0;
                if (::waitpid(child.pid, &status, WNOHANG) != child.pid)
                    waiting.push_back(child.pid);
            }
        }
        if (waiting.empty() && groupGone(group))
            return {};
        if (Clock::now() >= deadline) {
            std::vector<std::string> left;
            for (const pid_t pid : waiting)
                left.push_back(describeProcess(pid));
            if (!groupGone(group))
                left.push_back("processes of the script's process group " + std::to_string(group));
            return left;
        }
        std::this_thread::sleep_for(endingStep);
    }
}

} // namespace

bool adoptOrphans()
{
#ifdef __linux__
    if (::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0)
        adopting.store(true);
#endif
    return adopting.load();
}

bool adoptsOrphans()
{
    return adopting.load();
}

RunProcesses::RunProcesses()
{
    const std::lock_guard lock(gate);
    ++active;
    signalsAtStart_ = payloadSignals.load();
}

RunProcesses::~RunProcesses()
{
    if (counted_)
        countOut();
}

void RunProcesses::started(pid_t script)
{
    group_ = script;
    for (std::size_t index = 0; index < scripts.size(); ++index) {
        pid_t free = 0;
        if (scripts[index].compare_exchange_strong(free, script)) {
            slot_ = static_cast<int>(index);
            return;
        }
    }
}

void RunProcesses::countOut()
{
    if (slot_ >= 0)
        scripts[static_cast<std::size_t>(slot_)].store(0);
    slot_ = -1;
    counted_ = false;
    const std::lock_guard lock(gate);
    --active;
}

std::vector<std::string> RunProcesses::end(const std::vector<pid_t>& holders)
{
    if (payloadSignals.load() != signalsAtStart_)
        signalled_ = lastPayloadSignal.load();
    if (slot_ >= 0)
        scripts[static_cast<std::size_t>(slot_)].store(0);
    slot_ = -1;
    // They hold this run's output: this run's, wherever they went.
    for (const pid_t holder : holders)
        if (holder > 1 && holder != ::getpid())
            ::kill(holder, SIGKILL);
    const std::lock_guard lock(gate);
    counted_ = false;
    --active;
    return endLeftovers(group_, active == 0);
}

bool isRunProcess(pid_t sender)
{
    const pid_t self = ::getpid();
    if (sender <= 0 || sender == self)
        return false;
    const pid_t group = ::getpgid(sender);
    const int lookup = errno;
    bool underWay = false;
    for (const std::atomic<pid_t>& slot : scripts) {
        const pid_t script = slot.load();
        underWay = underWay || script > 0;
        if (script > 0 && (script == sender || script == group))
            return true;
    }
    // Gone before the signal was handled (`sh -c 'kill ...'` ends at once, and
    // its parent reaps it): while a run is under way, that is the run's.
    if (group < 0 && lookup == ESRCH)
        return underWay;
#ifdef __linux__
    pid_t pid = sender;
    for (int depth = 0; depth < 64; ++depth) {
        pid_t parent = 0;
        pid_t ignored = 0;
        if (!parentAndGroup(pid, parent, ignored))
            return underWay;
        if (parent == self)
            return true;
        if (parent <= 1)
            return false;
        pid = parent;
    }
#endif
    return false;
}

void notePayloadSignal(int signal)
{
    lastPayloadSignal.store(signal);
    payloadSignals.fetch_add(1);
}

} // namespace ZunoInstaller::PayloadCheck
