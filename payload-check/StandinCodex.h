#pragma once

#include <filesystem>

namespace ZunoInstaller::PayloadCheck {

// The stand-in Codex command-line tools that runs are given.
enum class StandinCodex {
    works,         // answers --version, exit 0
    broken,        // exits with status 3 (its runtime does not start)
    notExecutable, // a working script without any execute permission
    hangs,         // never returns
    missing,       // the path names nothing
};

// Where the installer would find the tool in a Codex desktop app in `home`:
// everything below this is the stand-in's, not the payload's.
std::filesystem::path standinAppFolder();

// Writes the stand-in into `home` (replacing an earlier one and its record of
// runs) and returns the tool's path; an empty path when it cannot be written.
// Every variant that can run first notes in the record that it was run.
std::filesystem::path makeStandinCodex(const std::filesystem::path& home, StandinCodex variant);

// Whether the stand-in in `home` has been run since it was made.
bool standinWasRun(const std::filesystem::path& home);

} // namespace ZunoInstaller::PayloadCheck
