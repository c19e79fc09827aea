#pragma once

#include "engine/ChildProcess.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ZunoInstaller {

// How a payload's installer script is started: "/bin/sh" with the script's
// path and "--headless", in the payload folder, with the inherited
// environment plus ZUNO_CODEX_BIN and PYTHONDONTWRITEBYTECODE. The installer
// and the payload checker both start scripts through this one description.
struct ScriptInvocation {
    std::string program;
    std::vector<std::string> arguments; // argv[0] included
    std::string directory;
    std::vector<std::string> environment;

    bool start(ChildProcess& child, const ChildOptions& options = {}) const
    {
        return child.start(program, arguments, directory, environment, options);
    }
};

// The invocation for the payload in `package` with the tool `codex`; relative
// paths are taken from the caller's working directory. `inherited` is a
// null-terminated "NAME=value" array, as environ. nullopt: the paths cannot
// reach a child intact (a NUL byte, no absolute form, an empty package path).
std::optional<ScriptInvocation> scriptInvocation(const std::filesystem::path& package,
                                                 const std::filesystem::path& codex,
                                                 const char* const* inherited);

} // namespace ZunoInstaller
