#include "engine/InstallerRunner.h"

#include "engine/InstallTranscript.h"
#include "engine/ScriptInvocation.h"
#include "engine/ScriptRun.h"
#include "engine/TranscriptSink.h"

#include <unistd.h>

extern char** environ;

namespace ZunoInstaller {

namespace {

// Both fit the small-string buffer, so returning them cannot fail to allocate.
constexpr const char* startFailedCode = "START_FAILED";
constexpr const char* checkFailedCode = "CHECK_FAILED";

InstallResult startFailed()
{
    return {false, startFailedCode, -1};
}

} // namespace

InstallResult runInstaller(const std::filesystem::path& package, const std::filesystem::path& codex,
                           const std::string& version, const std::function<void(InstallStage)>& progress)
{
    bool started = false;
    std::int32_t status = unknownExitStatus;
    try {
        const std::optional<ScriptInvocation> invocation = scriptInvocation(package, codex, environ);
        ScriptRun run;
        // Why it could not start is the checker's to say; the installer's
        // summary is the code and -1.
        if (!invocation || !run.start(*invocation))
            return startFailed();
        started = true;
        InstallTranscript transcript;
        try {
            TranscriptSink sink(transcript, progress);
            run.follow(sink);
        } catch (...) {
            // Out of memory while decoding: the output cannot be judged any more.
            transcript.malformed = true;
        }
        status = run.finish();
        return transcript.result(status, version);
    } catch (...) {
        // The child, if any, has been reaped by now.
        if (!started)
            return startFailed();
        return {false, checkFailedCode, status};
    }
}

} // namespace ZunoInstaller
