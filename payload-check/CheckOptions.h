#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

// What one invocation of zuno-payload-check asks for.
struct CheckOptions {
    std::filesystem::path payload;
    std::string expectedVersion;
    // The Codex tool to run with; none: a stand-in of the checker's own.
    std::optional<std::filesystem::path> codex;
    bool scenarios = false;
    // --scenario NAME, each once, in the order given: only these run. Empty: all.
    std::vector<std::string> onlyScenarios;
    bool json = false;
    std::chrono::seconds timeout{60};
    bool help = false;
};

// The options, or the one-line reason why they cannot be used (a usage error).
struct ParsedOptions {
    std::optional<CheckOptions> options;
    std::string error;
};

ParsedOptions parseCheckOptions(int argc, const char* const* argv);

// What --help prints.
std::string checkUsage();

} // namespace ZunoInstaller::PayloadCheck
