#pragma once

#include <filesystem>
#include <optional>

namespace ZunoInstaller {

// $HOME when set and absolute, else the home folder in the user database.
std::filesystem::path currentUserHome();

// The Codex command-line tool inside the first Codex desktop app found, or none.
std::optional<std::filesystem::path> findCodexDesktop(const std::filesystem::path& home = currentUserHome(),
                                                      const std::filesystem::path& applications = "/Applications");

} // namespace ZunoInstaller
