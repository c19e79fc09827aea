#pragma once

namespace ZunoInstaller::PayloadCheck {

// Sets the checker's process up before any run: SIGPIPE ignored, SIGCHLD at
// its default, the runs' leftovers adopted where the system allows
// (RunProcesses), and the signals that would end it caught. Such a signal
// from a run's own processes (a payload's `kill -TERM $PPID`) is that run's
// fault and the check goes on; from anyone else (Ctrl-C, a CI's time limit)
// it stops every run as soon as it can (stopRequested()).
void watchSignals();

} // namespace ZunoInstaller::PayloadCheck
