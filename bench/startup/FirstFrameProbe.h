#pragma once

class QApplication;

namespace ZunoInstaller {

// Watches for the first paint of a top-level widget; once that frame has been
// flushed (the next turn of the event loop) prints the phases of start-up and
// ends the process at once. Each line is a phase's name, a tab and the
// CLOCK_MONOTONIC nanoseconds at which it ended; the last, "first paint", is
// the flushed frame. Under callgrind each phase also dumps its counts.
void installFirstFrameProbe(QApplication& application);

// Records the end of a phase, the first time it is named.
void markPhase(const char* phase);

} // namespace ZunoInstaller
