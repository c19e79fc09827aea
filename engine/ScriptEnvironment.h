#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ZunoInstaller {

// The environment the installer script runs with: every inherited entry
// except those named "ZUNO_CODEX_BIN" or "PYTHONDONTWRITEBYTECODE" (an
// environment may hold a name twice: all copies go), in their order, then
// "ZUNO_CODEX_BIN" set to `codex` and "PYTHONDONTWRITEBYTECODE" set to "1".
// `inherited` is a null-terminated array of "NAME=value" strings, as environ.
std::vector<std::string> scriptEnvironment(const char* const* inherited, const std::filesystem::path& codex);

} // namespace ZunoInstaller
