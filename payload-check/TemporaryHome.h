#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

// A home folder for one scenario, made fresh and removed afterwards, with its
// own folder for temporary files and the four XDG folders inside it, so that
// a payload that finds its home through the environment stays out of the
// real one (one that looks it up otherwise does not).
class TemporaryHome {
public:
    // Makes `where` (which must not exist yet) and the folders inside it.
    explicit TemporaryHome(std::filesystem::path where);
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    bool ready() const { return ready_; }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path temporaryFolder() const { return path_ / "tmp"; }

    // `inherited` with HOME, TMPDIR, XDG_DATA_HOME, XDG_CONFIG_HOME,
    // XDG_CACHE_HOME and XDG_STATE_HOME pointed here (every copy replaced).
    std::vector<std::string> environment(const std::vector<std::string>& inherited) const;
    // What an application opened from the Finder gets: only HOME, USER,
    // LOGNAME, SHELL, TMPDIR and a fixed PATH.
    std::vector<std::string> finderEnvironment() const;

private:
    std::filesystem::path path_;
    bool ready_ = false;
};

// Removes a folder a payload may have made hard to remove (folders without
// write or search permission).
void removeTree(const std::filesystem::path& root);

// The program's own environment, as a list.
std::vector<std::string> currentEnvironment();

} // namespace ZunoInstaller::PayloadCheck
