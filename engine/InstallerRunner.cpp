#include "engine/InstallerRunner.h"

#include "engine/ChildProcess.h"
#include "engine/InstallTranscript.h"
#include "engine/LineSplitter.h"
#include "engine/ScriptInvocation.h"
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

void stream(ChildProcess& child, InstallTranscript& transcript,
            const std::function<void(InstallStage)>& progress)
{
    LineSplitter splitter;
    TranscriptSink sink(transcript, progress);
    for (;;) {
        const std::span<char> space = splitter.space();
        const std::size_t count = child.read(space.data(), space.size());
        if (count == 0)
            break;
        splitter.commit(count, sink);
    }
    if (const std::optional<std::string_view> last = splitter.rest())
        sink.last(*last);
}

} // namespace

InstallResult runInstaller(const std::filesystem::path& package, const std::filesystem::path& codex,
                           const std::string& version, const std::function<void(InstallStage)>& progress)
{
    bool started = false;
    std::int32_t status = unknownExitStatus;
    try {
        const std::optional<ScriptInvocation> invocation = scriptInvocation(package, codex, environ);
        ChildProcess child;
        if (!invocation || !invocation->start(child))
            return startFailed();
        started = true;
        InstallTranscript transcript;
        try {
            stream(child, transcript, progress);
        } catch (...) {
            // Out of memory while decoding: the output cannot be judged any more.
            transcript.malformed = true;
        }
        status = child.wait();
        return transcript.result(status, version);
    } catch (...) {
        // The child, if any, has been reaped by now.
        if (!started)
            return startFailed();
        return {false, checkFailedCode, status};
    }
}

} // namespace ZunoInstaller
