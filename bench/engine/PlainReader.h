#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ZunoInstaller::Bench {

// The yardstick: starts "/bin/sh <package>/Install.command --headless" with
// standard output on a pipe, reads it to the end counting bytes and throws
// them away, then waits for the exit. None of the installer's own work.
std::uint64_t spawnAndDiscard(const std::filesystem::path& package);

// The peak resident memory of this process so far, in KiB.
std::uint64_t peakResidentKiB();

// Starts `program` with `arguments` (argv[0] included), reads its standard
// output to the end and returns it.
std::string outputOf(const std::string& program, const std::vector<std::string>& arguments);

} // namespace ZunoInstaller::Bench
