#include "payload-check/TemporaryHome.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <pwd.h>
#include <string_view>
#include <unistd.h>

extern char** environ;

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

// Relative to the home; the XDG defaults, so that a payload that ignores the
// variables lands in the same places.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> folders{{
    {"TMPDIR", "tmp"},
    {"XDG_DATA_HOME", ".local/share"},
    {"XDG_CONFIG_HOME", ".config"},
    {"XDG_CACHE_HOME", ".cache"},
    {"XDG_STATE_HOME", ".local/state"},
}};

std::string_view nameOf(std::string_view entry)
{
    return entry.substr(0, entry.find('='));
}

std::string userField(const char* variable, char* passwd::*field)
{
    if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && user->*field != nullptr)
        return user->*field;
    const char* value = std::getenv(variable);
    return value != nullptr ? value : "";
}

} // namespace

TemporaryHome::TemporaryHome(fs::path where) : path_(std::move(where))
{
    std::error_code error;
    if (!fs::create_directories(path_, error) || error)
        return;
    for (const auto& [name, relative] : folders) {
        fs::create_directories(path_ / relative, error);
        if (error)
            return;
    }
    ready_ = true;
}

TemporaryHome::~TemporaryHome()
{
    removeTree(path_);
}

std::vector<std::string> TemporaryHome::environment(const std::vector<std::string>& inherited) const
{
    std::vector<std::string> entries;
    for (const std::string& entry : inherited) {
        const std::string_view name = nameOf(entry);
        const bool replaced =
            name == "HOME" || std::any_of(folders.begin(), folders.end(),
                                          [&](const auto& folder) { return folder.first == name; });
        if (!replaced)
            entries.push_back(entry);
    }
    entries.push_back("HOME=" + path_.native());
    for (const auto& [name, relative] : folders)
        entries.push_back(std::string(name) + "=" + (path_ / relative).native());
    return entries;
}

std::vector<std::string> TemporaryHome::finderEnvironment() const
{
    return {"HOME=" + path_.native(),
            "USER=" + userField("USER", &passwd::pw_name),
            "LOGNAME=" + userField("LOGNAME", &passwd::pw_name),
            "SHELL=" + userField("SHELL", &passwd::pw_shell),
            "TMPDIR=" + temporaryFolder().native(),
            "PATH=/usr/bin:/bin:/usr/sbin:/sbin"};
}

void removeTree(const fs::path& root)
{
    std::error_code error;
    if (root.empty() || !fs::exists(fs::symlink_status(root, error)))
        return;
    // Give every folder back the permissions it takes to empty it, each
    // before the walk enters it.
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, error);
    fs::recursive_directory_iterator walk(root, fs::directory_options::skip_permission_denied, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        std::error_code ignored;
        if (walk->symlink_status(ignored).type() == fs::file_type::directory)
            fs::permissions(walk->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(root, error);
}

std::vector<std::string> currentEnvironment()
{
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry)
        entries.emplace_back(*entry);
    return entries;
}

} // namespace ZunoInstaller::PayloadCheck
