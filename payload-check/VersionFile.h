#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace ZunoInstaller::PayloadCheck {

// The version a payload's VERSION file names, by the sample payload's own
// rule: its first line, without the line feed, 1 to 256 printable ASCII
// characters. Whatever follows the first line is not read.
struct VersionFile {
    std::optional<std::string> version;
    // Why there is no version: the file is missing or cannot be used.
    std::string refusal;
    // Something the author should know about a version that was taken
    // (lines after the first one).
    std::string note;

    static VersionFile read(const std::filesystem::path& path);
};

} // namespace ZunoInstaller::PayloadCheck
