#include "engine/CodexDesktop.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace ZunoInstaller {

namespace {

// The home folder in the user database; empty when there is none.
std::filesystem::path homeFromUserDatabase()
{
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::size_t size = suggested > 0 ? static_cast<std::size_t>(suggested) : 4096;
    for (int attempt = 0; attempt < 8; ++attempt, size *= 2) {
        std::vector<char> buffer(size);
        passwd entry{};
        passwd* found = nullptr;
        const int error = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE)
            continue;
        if (error != 0 || found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/')
            return {};
        return found->pw_dir;
    }
    return {};
}

// A regular file (after links) that the current user may execute. access()
// alone also passes directories, and passes any file with an x bit for root.
bool isExecutableFile(const std::filesystem::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

std::filesystem::path currentUserHome()
{
    try {
        const char* home = std::getenv("HOME");
        if (home != nullptr && home[0] == '/')
            return home;
        return homeFromUserDatabase();
    } catch (...) {
        return {};
    }
}

std::optional<std::filesystem::path> findCodexDesktop(const std::filesystem::path& home,
                                                      const std::filesystem::path& applications)
{
    try {
        static constexpr std::array<const char*, 2> bundles{"Codex.app", "ChatGPT.app"};
        // No known home folder means no second folder (an empty one would
        // search the working directory).
        std::array<std::filesystem::path, 2> folders{applications,
                                                     home.empty() ? home : home / "Applications"};
        for (const std::filesystem::path& folder : folders) {
            if (folder.empty())
                continue;
            for (const char* bundle : bundles) {
                std::filesystem::path tool = folder / bundle / "Contents/Resources/codex-cli/bin/codex";
                if (isExecutableFile(tool))
                    return tool;
            }
        }
    } catch (...) {
        // Out of memory while forming a path: as if nothing were found.
    }
    return std::nullopt;
}

} // namespace ZunoInstaller
