#include "engine/ScriptEnvironment.h"

#include <array>
#include <string_view>

namespace ZunoInstaller {

namespace {

constexpr std::string_view codexName = "ZUNO_CODEX_BIN";
constexpr std::string_view bytecodeName = "PYTHONDONTWRITEBYTECODE";

bool isReplaced(std::string_view entry)
{
    // An entry without "=" is all name.
    const std::string_view name = entry.substr(0, entry.find('='));
    return name == codexName || name == bytecodeName;
}

} // namespace

std::vector<std::string> scriptEnvironment(const char* const* inherited, const std::filesystem::path& codex)
{
    std::vector<std::string> entries;
    if (inherited != nullptr) {
        for (const char* const* entry = inherited; *entry != nullptr; ++entry) {
            if (!isReplaced(*entry))
                entries.emplace_back(*entry);
        }
    }
    entries.push_back(std::string(codexName) + "=" + codex.native());
    entries.push_back(std::string(bytecodeName) + "=1");
    return entries;
}

} // namespace ZunoInstaller
