#pragma once

class QApplication;

namespace ZunoInstaller {

// Watches for the first paint of a top-level widget; once that frame has been
// flushed (the next turn of the event loop) prints CLOCK_MONOTONIC in
// nanoseconds on standard output and ends the process at once.
void installFirstFrameProbe(QApplication& application);

} // namespace ZunoInstaller
