#include "PlainReader.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ZunoInstaller::Bench {

namespace {

// Starts `program` with standard output on a pipe, hands every chunk read
// from it to `sink` (buffer, count), then waits for the exit. Returns false
// when the program could not be started.
template <class Sink>
bool spawnReading(const char* program, std::vector<std::string> arguments, std::size_t chunkBytes, Sink sink)
{
    int ends[2];
    if (::pipe(ends) != 0)
        return false;
    ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    if (failed == 0) {
        std::vector<char> buffer(chunkBytes);
        for (;;) {
            const ssize_t count = ::read(ends[0], buffer.data(), buffer.size());
            if (count > 0)
                sink(buffer.data(), static_cast<std::size_t>(count));
            else if (count == 0 || errno != EINTR)
                break;
        }
    }
    ::close(ends[0]);
    if (failed == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return failed == 0;
}

} // namespace

std::uint64_t spawnAndDiscard(const std::filesystem::path& package)
{
    std::uint64_t total = 0;
    spawnReading("/bin/sh", {"/bin/sh", (package / "Install.command").native(), "--headless"}, 64 * 1024,
                 [&total](const char*, std::size_t count) { total += count; });
    return total;
}

std::uint64_t peakResidentKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
#ifdef __APPLE__
    return static_cast<std::uint64_t>(usage.ru_maxrss) / 1024; // bytes there
#else
    return static_cast<std::uint64_t>(usage.ru_maxrss);
#endif
}

std::string outputOf(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string output;
    spawnReading(program.c_str(), arguments, 4096,
                 [&output](const char* data, std::size_t count) { output.append(data, count); });
    return output;
}

} // namespace ZunoInstaller::Bench
