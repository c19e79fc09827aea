#pragma once

#include <atomic>

namespace ZunoInstaller {

// Where each phase of start-up ends, told to a listener if one is set: the
// start-up benchmark sets one, the application never does. Without one a
// mark costs a load and a branch.
using StartupListener = void (*)(const char* phase);

inline std::atomic<StartupListener> startupListener{nullptr};

inline void markStartup(const char* phase)
{
    if (const StartupListener listener = startupListener.load(std::memory_order_relaxed))
        listener(phase);
}

} // namespace ZunoInstaller
