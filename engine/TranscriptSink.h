#pragma once

#include "engine/EventLineDecoder.h"
#include "engine/InstallTranscript.h"
#include "engine/ScriptOutput.h"

#include <functional>
#include <string_view>

namespace ZunoInstaller {

// Where the installer's run hands its lines: each is decoded where it lies,
// with the run's one decoder, and goes to the transcript; an accepted stage
// is reported at once.
class TranscriptSink final : public ScriptOutput {
public:
    TranscriptSink(InstallTranscript& transcript, const std::function<void(InstallStage)>& progress)
        : transcript_(transcript), progress_(progress)
    {
    }

    // A line from LineSplitter, padding behind it included.
    void line(std::string_view text) override;
    // A line longer than the protocol allows, whatever it held.
    void overlong(std::string_view head) override;
    // The last line without a line feed: its stage is not reported.
    void last(std::string_view text) override;

private:
    void report(InstallStage stage);

    InstallTranscript& transcript_;
    const std::function<void(InstallStage)>& progress_;
    EventLineDecoder decoder_;
};

} // namespace ZunoInstaller
