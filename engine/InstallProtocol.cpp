#include "engine/InstallProtocol.h"

#include "engine/EventLineDecoder.h"

namespace ZunoInstaller {

std::string_view rawValue(InstallStage stage)
{
    switch (stage) {
    case InstallStage::validated:
        return "validated";
    case InstallStage::registered:
        return "registered";
    case InstallStage::checking:
        return "checking";
    }
    return {};
}

std::optional<InstallStage> installStage(std::string_view rawValue)
{
    // Literals rather than a loop over rawValue(): each compare is inlined,
    // and this runs for every progress line.
    if (rawValue == "validated")
        return InstallStage::validated;
    if (rawValue == "registered")
        return InstallStage::registered;
    if (rawValue == "checking")
        return InstallStage::checking;
    return std::nullopt;
}

ResultScreen resultScreen(const InstallResult& result)
{
    if (result.success)
        return ResultScreen::complete;
    return result.code == "CODEX_MISSING" ? ResultScreen::prerequisite : ResultScreen::error;
}

std::string_view rawValue(ResultScreen screen)
{
    switch (screen) {
    case ResultScreen::complete:
        return "complete";
    case ResultScreen::prerequisite:
        return "prerequisite";
    case ResultScreen::error:
        return "error";
    }
    return {};
}

std::optional<InstallEvent> InstallEvent::decode(std::string_view line)
{
    return EventLineDecoder::forThisThread().decode(line).event;
}

} // namespace ZunoInstaller
