#include "payload-check/StandinCodex.h"

#include <fstream>
#include <string>

namespace ZunoInstaller::PayloadCheck {

namespace fs = std::filesystem;

namespace {

fs::path recordIn(const fs::path& home)
{
    return home / standinAppFolder() / "Contents/Resources/codex-cli/runs";
}

// A path as one word of sh, whatever it holds.
std::string quoted(const std::string& text)
{
    std::string word = "'";
    for (const char letter : text)
        word += letter == '\'' ? std::string("'\\''") : std::string(1, letter);
    return word + "'";
}

const char* bodyFor(StandinCodex variant)
{
    switch (variant) {
    case StandinCodex::broken:
        return "echo 'codex: runtime not available (stand-in)' >&2\nexit 3\n";
    case StandinCodex::hangs:
        // exec: killing the tool's process leaves nothing behind.
        return "exec sleep 86400\n";
    case StandinCodex::works:
    case StandinCodex::notExecutable:
    case StandinCodex::missing:
        break;
    }
    return "case ${1-} in\n"
           "--version) echo 'codex-cli 0.0.0-standin' ;;\n"
           "*) echo 'codex (stand-in): only --version is supported' >&2; exit 2 ;;\n"
           "esac\n";
}

std::string scriptFor(StandinCodex variant, const fs::path& record)
{
    // The record is written before anything else; a failed write (no room)
    // must not change what the tool answers.
    return "#!/bin/sh\n{ printf '%s\\n' \"$*\" >>" + quoted(record.native()) + "; } 2>/dev/null\n" +
           bodyFor(variant);
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
    fs::remove(recordIn(home), error);
    if (variant == StandinCodex::missing)
        return tool;
    {
        // Closed before the check: a write that fails only when the buffer
        // goes out (a full disk) would otherwise leave an empty tool behind.
        std::ofstream out(tool, std::ios::binary | std::ios::trunc);
        out << scriptFor(variant, recordIn(home));
        out.close();
        if (out.fail())
            return {};
    }
    const fs::perms mode = variant == StandinCodex::notExecutable ? fs::perms(0644) : fs::perms(0755);
    fs::permissions(tool, mode, error);
    return error ? fs::path() : tool;
}

bool standinWasRun(const fs::path& home)
{
    std::error_code error;
    return fs::exists(recordIn(home), error);
}

} // namespace ZunoInstaller::PayloadCheck
