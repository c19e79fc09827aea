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

std::uint64_t spawnAndDiscard(const std::filesystem::path& package)
{
    int ends[2];
    if (::pipe(ends) != 0)
        return 0;
    ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    const std::string script = (package / "Install.command").native();
    std::string sh = "/bin/sh";
    std::string headless = "--headless";
    std::string scriptArgument = script;
    char* argv[] = {sh.data(), scriptArgument.data(), headless.data(), nullptr};
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, "/bin/sh", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    std::uint64_t total = 0;
    if (failed == 0) {
        static std::vector<char> buffer(64 * 1024);
        for (;;) {
            const ssize_t count = ::read(ends[0], buffer.data(), buffer.size());
            if (count > 0)
                total += static_cast<std::uint64_t>(count);
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
    int ends[2];
    if (::pipe(ends) != 0)
        return {};
    ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
    std::vector<std::string> copies = arguments;
    std::vector<char*> argv;
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    std::string output;
    char buffer[4096];
    while (failed == 0) {
        const ssize_t count = ::read(ends[0], buffer, sizeof buffer);
        if (count > 0)
            output.append(buffer, static_cast<std::size_t>(count));
        else if (count == 0 || errno != EINTR)
            break;
    }
    ::close(ends[0]);
    if (failed == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return output;
}

} // namespace ZunoInstaller::Bench
