#pragma once

#include "engine/InstallProtocol.h"

#include <filesystem>
#include <functional>
#include <string>

namespace ZunoInstaller {

// Runs <package>/Install.command headless through /bin/sh, to its end, on the
// calling thread. Never throws: a failure to start is "START_FAILED" with -1.
InstallResult runInstaller(const std::filesystem::path& package, const std::filesystem::path& codex,
                           const std::string& version, const std::function<void(InstallStage)>& progress);

} // namespace ZunoInstaller
