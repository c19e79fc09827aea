#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ZunoInstaller {

// The three stages an installer script reports, in the only order it may report them.
enum class InstallStage { validated, registered, checking };

inline constexpr std::array<InstallStage, 3> allInstallStages{InstallStage::validated, InstallStage::registered,
                                                              InstallStage::checking};

std::string_view rawValue(InstallStage stage);
// Exact, case-sensitive; nullopt for any other text.
std::optional<InstallStage> installStage(std::string_view rawValue);

// The longest event line, line feed not counted, that is read at all.
inline constexpr std::size_t maxEventLineBytes = 4096;

// One decoded event line of the script's standard output.
struct InstallEvent {
    std::string event;
    std::optional<InstallStage> stage;
    std::optional<std::string> code;
    std::optional<std::string> version;

    // nullopt: the line cannot be decoded (never a partial event).
    static std::optional<InstallEvent> decode(std::string_view line);

    bool operator==(const InstallEvent&) const = default;
};

// The outcome of one installer run.
struct InstallResult {
    bool success;
    std::string code;
    std::int32_t exitCode;

    bool operator==(const InstallResult&) const = default;
};

// The screen that follows a finished run, in the installer and in what the
// payload checker reports: complete after a success, prerequisite for
// "CODEX_MISSING", error for any other failure.
enum class ResultScreen { complete, prerequisite, error };

ResultScreen resultScreen(const InstallResult& result);
// "complete", "prerequisite", "error": the installer's names of these screens.
std::string_view rawValue(ResultScreen screen);

} // namespace ZunoInstaller
