#include "engine/TranscriptSink.h"

namespace ZunoInstaller {

void TranscriptSink::line(std::string_view text)
{
    if (const std::optional<InstallStage> stage = transcript_.receiveDecoded(decoder_.decodePadded(text)))
        report(*stage);
}

void TranscriptSink::overlong(std::string_view)
{
    transcript_.receiveDecoded(DecodedLine::refused(LineFault::tooLong));
}

void TranscriptSink::last(std::string_view text)
{
    transcript_.receiveDecoded(decoder_.decodePadded(text));
}

void TranscriptSink::report(InstallStage stage)
{
    if (!progress_)
        return;
    // The callback only informs the caller; its failure does not end the run.
    try {
        progress_(stage);
    } catch (...) {
    }
}

} // namespace ZunoInstaller
