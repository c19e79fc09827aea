#include "engine/InstallerRunner.h"

#include "engine/ChildProcess.h"
#include "engine/InstallTranscript.h"
#include "engine/LineSplitter.h"
#include "engine/ScriptEnvironment.h"
#include "engine/TranscriptSink.h"

#include <system_error>
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

// A NUL would cut the path short and make the child use another one.
bool holdsNul(const std::filesystem::path& path)
{
    return path.native().find('\0') != std::string::npos;
}

// The child runs in the package folder: a relative path, meant from the
// caller's working directory, would point elsewhere there.
std::filesystem::path fromHere(const std::filesystem::path& path, bool& ok)
{
    if (path.empty() || path.is_absolute())
        return path;
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    ok = ok && !error;
    return absolute;
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
        if (holdsNul(package) || holdsNul(codex))
            return startFailed();
        bool pathsOk = true;
        const std::filesystem::path directory = fromHere(package, pathsOk);
        const std::filesystem::path codexPath = fromHere(codex, pathsOk);
        if (!pathsOk || directory.empty())
            return startFailed();
        const std::filesystem::path script = directory / "Install.command";
        const std::vector<std::string> arguments{"/bin/sh", script.native(), "--headless"};
        const std::vector<std::string> environment = scriptEnvironment(environ, codexPath);

        ChildProcess child;
        if (!child.start("/bin/sh", arguments, directory.native(), environment))
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
