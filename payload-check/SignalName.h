#pragma once

#include <string>
#include <string_view>

namespace ZunoInstaller::PayloadCheck {

// "SIGTERM" for 15 on this system; empty for a number it has no name for.
std::string_view signalName(int signal);

// "SIGTERM (15)", or "signal 77" for a number without a name.
std::string signalText(int signal);

} // namespace ZunoInstaller::PayloadCheck
