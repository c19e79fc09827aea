#include "payload-check/StandinCodex.h"

#include <fstream>

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

const char* scriptFor(StandinCodex variant)
{
    switch (variant) {
    case StandinCodex::broken:
        return "#!/bin/sh\necho 'codex: runtime not available (stand-in)' >&2\nexit 3\n";
    case StandinCodex::hangs:
        // exec: killing the tool's process leaves nothing behind.
        return "#!/bin/sh\nexec sleep 86400\n";
    case StandinCodex::works:
    case StandinCodex::notExecutable:
    case StandinCodex::missing:
        break;
    }
    return "#!/bin/sh\n"
           "case ${1-} in\n"
           "--version) echo 'codex-cli 0.0.0-standin' ;;\n"
           "*) echo 'codex (stand-in): only --version is supported' >&2; exit 2 ;;\n"
           "esac\n";
}

} // namespace

fs::path standinAppFolder()
{
    return "Applications/Codex.app";
}

fs::path makeStandinCodex(const fs::path& home, StandinCodex variant)
{
    const fs::path tool = home / standinAppFolder() / "Contents/Resources/codex-cli/bin/codex";
    std::error_code error;
    fs::create_directories(tool.parent_path(), error);
    fs::remove(tool, error);
    if (variant == StandinCodex::missing)
        return tool;
    {
        // Closed before the check: a write that fails only when the buffer
        // goes out (a full disk) would otherwise leave an empty tool behind.
        std::ofstream out(tool, std::ios::binary | std::ios::trunc);
        out << scriptFor(variant);
        out.close();
        if (out.fail())
            return {};
    }
    const fs::perms mode = variant == StandinCodex::notExecutable ? fs::perms(0644) : fs::perms(0755);
    fs::permissions(tool, mode, error);
    return error ? fs::path() : tool;
}

} // namespace ZunoInstaller::PayloadCheck
