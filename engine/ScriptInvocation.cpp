#include "engine/ScriptInvocation.h"

#include "engine/ScriptEnvironment.h"

#include <system_error>

namespace ZunoInstaller {

namespace {

// A NUL would cut the path short and make the child use another one.
bool holdsNul(const std::filesystem::path& path)
{
    return path.native().find('\0') != std::string::npos;
}

// The child runs in the package folder: a relative path, meant from the
// caller's working directory, would point elsewhere there.
std::filesystem::path fromHere(const std::filesystem::path& path, bool& ok)
{
    if (path.empty() || path.is_absolute())
        return path;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    ok = ok && !error;
    return absolute;
}

} // namespace

std::optional<ScriptInvocation> scriptInvocation(const std::filesystem::path& package,
                                                 const std::filesystem::path& codex,
                                                 const char* const* inherited)
{
    if (holdsNul(package) || holdsNul(codex))
        return std::nullopt;
    bool pathsOk = true;
    const std::filesystem::path directory = fromHere(package, pathsOk);
    const std::filesystem::path codexPath = fromHere(codex, pathsOk);
    if (!pathsOk || directory.empty())
        return std::nullopt;
    const std::filesystem::path script = directory / "Install.command";
    return ScriptInvocation{"/bin/sh",
                            {"/bin/sh", script.native(), "--headless"},
                            directory.native(),
                            scriptEnvironment(inherited, codexPath)};
}

} // namespace ZunoInstaller
