#pragma once

#include "engine/InstallProtocol.h"

#include <filesystem>
#include <functional>
#include <string>

class QObject;
class QThreadPool;

namespace ZunoInstaller {

// The install runs: each runs the payload's installer script through the
// engine on a thread of a pool of their own and reports back to the thread
// of the object that started it.
class InstallRun {
public:
    // What a run works on: copies, whatever happens to their source meanwhile.
    struct Request {
        std::filesystem::path package;
        std::filesystem::path codex;
        std::string version;
    };

    // Starts one run. Each stage reported, then the result, is handed to
    // `onStage` and `onEnd` on `receiver`'s thread as a queued call, in that
    // order, and only while `receiver` exists: a receiver deleted during the
    // run is simply not told.
    static void start(QObject& receiver, Request request, std::function<void(InstallStage)> onStage,
                      std::function<void(const InstallResult&)> onEnd);

    // Blocks until every run has ended (false on timeout). Delivering what
    // the runs posted is still up to the event loop. For tests and orderly
    // shutdown; the application never waits for a run.
    static bool waitForRuns(int msecs = -1);

private:
    static QThreadPool& pool();
};

} // namespace ZunoInstaller
