#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ZunoInstaller::PayloadCheck {

// How the report is printed on standard output.
enum class ReportFormat { text, json, github };

// What one invocation of zuno-payload-check asks for.
struct CheckOptions {
    std::filesystem::path payload;
    std::string expectedVersion;
    // Something the author should know about the version taken from VERSION.
    std::string versionNote;
    // The Codex tool to run with; none: a stand-in of the checker's own.
    std::optional<std::filesystem::path> codex;
    bool scenarios = false;
    // --scenario NAME, each once, in the order given: only these run. Empty: all.
    std::vector<std::string> onlyScenarios;
    // None: github under GitHub Actions (GITHUB_ACTIONS=true), text elsewhere.
    std::optional<ReportFormat> format;
    // --junit FILE: a JUnit XML report there too.
    std::optional<std::filesystem::path> junit;
    std::chrono::seconds timeout{60};
    bool help = false;
    bool version = false;
    bool listScenarios = false;
};

// The options, or the one-line reason why they cannot be used (a usage error).
struct ParsedOptions {
    std::optional<CheckOptions> options;
    std::string error;
};

ParsedOptions parseCheckOptions(int argc, const char* const* argv);

// The format asked for, or the one the environment calls for.
ReportFormat reportFormat(const CheckOptions& options);

// What --help prints.
std::string checkUsage();

// "zuno-payload-check 1.0.0", what --version prints.
std::string checkVersion();

} // namespace ZunoInstaller::PayloadCheck
