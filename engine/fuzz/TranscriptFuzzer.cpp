// Feeds arbitrary output to InstallTranscript, line by line and as one line,
// and through LineSplitter in chunks of varying size, and aborts when an
// invariant breaks. Every line is decoded three ways that must agree: by
// simdjson (copied, and where it lies in the output with the rest of the
// output behind it), by nlohmann/json's event parser, and by an independent
// nlohmann/json document parse with a callback.

#include "engine/EventLineDecoder.h"
#include "engine/EventLineReader.h"
#include "engine/InstallTranscript.h"
#include "engine/LineSplitter.h"
#include "engine/TranscriptSink.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace ZunoInstaller;
using Json = nlohmann::json;

void check(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

std::optional<InstallEvent> referenceDecode(std::string_view line)
{
    if (line.empty() || line.size() > maxEventLineBytes || line.find('\0') != std::string_view::npos)
        return std::nullopt;
    bool tooDeep = false;
    std::set<std::string> seen;
    const Json::parser_callback_t callback = [&](int depth, Json::parse_event_t event, Json& parsed) {
        if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
            depth >= 512) {
            tooDeep = true;
            return false;
        }
        if (event == Json::parse_event_t::key && depth == 1)
            return seen.insert(parsed.get<std::string>()).second;
        return true;
    };
    const Json document = Json::parse(line.begin(), line.end(), callback, false);
    if (tooDeep || document.is_discarded() || !document.is_object())
        return std::nullopt;

    InstallEvent event;
    const auto found = document.find("event");
    if (found == document.end() || !found->is_string())
        return std::nullopt;
    event.event = found->get<std::string>();
    for (const char* name : {"stage", "code", "version"}) {
        const auto value = document.find(name);
        if (value == document.end() || value->is_null())
            continue;
        if (!value->is_string())
            return std::nullopt;
        const std::string text = value->get<std::string>();
        if (name == std::string_view("stage")) {
            event.stage = installStage(text);
            if (!event.stage)
                return std::nullopt;
        } else if (name == std::string_view("code")) {
            event.code = text;
        } else {
            event.version = text;
        }
    }
    return event;
}

bool isPrefixOfAllStages(const std::vector<InstallStage>& stages)
{
    return stages.size() <= allInstallStages.size() &&
           std::equal(stages.begin(), stages.end(), allInstallStages.begin());
}

// `line` lies inside a buffer with at least EventLineDecoder::paddingBytes behind it.
void receiveChecked(InstallTranscript& transcript, std::string_view line)
{
    const std::optional<InstallEvent> decoded = InstallEvent::decode(line);
    const DecodedLine reference = EventLineReader::decode(line);
    check(decoded == reference.event, "simdjson agrees with nlohmann/json's event parser");
    check(reference.event == referenceDecode(line), "the event parser agrees with a document parse");
    check(reference.event.has_value() == (reference.fault == LineFault::none),
          "a fault exactly when refused");
    static EventLineDecoder inPlace;
    const DecodedLine padded = inPlace.decodePadded(line);
    check(padded.event == decoded, "a line decodes alike where it lies");
    check(padded.event.has_value() == (padded.fault == LineFault::none), "a fault exactly when refused");

    const InstallTranscript before = transcript;
    const std::optional<InstallStage> accepted = transcript.receive(line);

    // The explaining way in does exactly what receive does, and says so.
    InstallTranscript explained = before;
    FaultDetail detail;
    DecodedLine explainedLine = inPlace.explainPadded(line, detail);
    check(explainedLine.event == padded.event && explainedLine.fault == padded.fault,
          "explaining decodes as a run does");
    const LineExplanation explanation = explained.explain(std::move(explainedLine), std::move(detail));
    const LineVerdict& verdict = explanation.verdict;
    check(explained == transcript, "explain changes the transcript as receive does");
    check(accepted == (verdict.kind == LineVerdict::Kind::stage ? verdict.stage : std::nullopt),
          "explain accepts the stage that receive returns");
    check((verdict.kind == LineVerdict::Kind::malformed) == (verdict.reason != LineReason::none) &&
              (verdict.kind != LineVerdict::Kind::malformed || transcript.malformed),
          "a reason exactly for a malformed line");
    check((verdict.reason != LineReason::none && verdict.reason <= LineReason::noMemory) == !padded.event,
          "a decoding reason exactly for a line that does not decode");
    if (verdict.kind == LineVerdict::Kind::error)
        check(explanation.code == transcript.failure &&
                  explanation.normalised == (padded.event->code != transcript.failure),
              "an error names the code recorded and whether it was the line's own");

    check(isPrefixOfAllStages(transcript.stages), "stages is a prefix of the stage order");
    if (accepted) {
        check(transcript.stages.size() == before.stages.size() + 1 && transcript.stages.back() == *accepted,
              "a returned stage was appended");
        check(!before.completedVersion && !before.failure,
              "stages are added only before completion or failure");
        check(decoded && decoded->event == "progress", "only progress lines add stages");
    } else {
        check(transcript.stages == before.stages, "stages change only with a returned stage");
    }
    check(!before.malformed || transcript.malformed, "malformed is never cleared");
    if (transcript.completedVersion != before.completedVersion)
        check(transcript.stages.size() == allInstallStages.size() && !before.completedVersion &&
                  !before.failure,
              "completion only after all stages, once");
    if (transcript.failure)
        check(transcript.failure == "CODEX_MISSING" || transcript.failure == "RUNTIME_UNAVAILABLE" ||
                  transcript.failure == "INSTALL_FAILED" || transcript.failure == "CHECK_FAILED",
              "failure is one of the reportable codes");
    if (!decoded)
        check(transcript.malformed && transcript.failure == before.failure &&
                  transcript.completedVersion == before.completedVersion,
              "an undecodable line only sets malformed");
}

void checkResult(const InstallTranscript& transcript, std::int32_t exitCode, std::string_view expected)
{
    static constexpr std::array<std::string_view, 6> codes{
        "OK", "CHECK_FAILED", "INSTALL_FAILED", "RUNTIME_UNAVAILABLE", "CODEX_MISSING", "START_FAILED"};
    const InstallTranscript before = transcript;
    const InstallResult result = transcript.result(exitCode, expected);
    check(std::find(codes.begin(), codes.end(), result.code) != codes.end(), "code is one of the six");
    check(result.exitCode == exitCode, "exit status passed through");
    check(result.success == (result.code == "OK"), "success exactly with OK");
    if (result.success)
        check(exitCode == 0 && !transcript.malformed && !transcript.failure &&
                  transcript.completedVersion == expected && transcript.stages.size() == 3,
              "success only for a complete, clean run");
    if (transcript.failure)
        check(result.code == *transcript.failure, "a recorded failure wins");
    check(transcript == before, "result does not change the transcript");
}

// The same output through LineSplitter and the runner's sink, cut into chunks
// whose sizes the input chooses: the same transcript as line by line.
void splitChecked(std::string_view input, const InstallTranscript& lineByLine)
{
    InstallTranscript transcript;
    std::vector<InstallStage> reported;
    const std::function<void(InstallStage)> progress = [&](InstallStage stage) { reported.push_back(stage); };
    LineSplitter splitter;
    TranscriptSink sink(transcript, progress);
    std::uint32_t state = static_cast<std::uint32_t>(input.size()) * 2654435761u + 1;
    for (std::size_t done = 0; done < input.size();) {
        state = state * 1664525u + 1013904223u;
        // Mostly small chunks, now and then one past the length limit.
        const std::size_t wanted = (state >> 8) % 8 == 0 ? (state >> 12) % 9000 + 1 : (state >> 12) % 64 + 1;
        const std::size_t count = std::min(wanted, input.size() - done);
        std::copy_n(input.data() + done, count, splitter.space().data());
        splitter.commit(count, sink);
        done += count;
    }
    if (const std::optional<std::string_view> last = splitter.rest())
        sink.last(*last);
    check(transcript == lineByLine, "chunks give the transcript of whole lines");
    check(reported.size() <= transcript.stages.size() &&
              std::equal(reported.begin(), reported.end(), transcript.stages.begin()),
          "reported stages are the accepted ones, in order");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The output with the decoder's padding behind it, holding more output.
    std::vector<char> buffer(size + EventLineDecoder::paddingBytes);
    std::copy_n(reinterpret_cast<const char*>(data), size, buffer.begin());
    for (std::size_t i = size; i < buffer.size(); ++i)
        buffer[i] = size > 0 ? buffer[i % size] : '}';
    const std::string_view input(buffer.data(), size);

    InstallTranscript lines;
    std::size_t start = 0;
    while (start < input.size()) {
        const std::size_t end = std::min(input.find('\n', start), input.size());
        receiveChecked(lines, input.substr(start, end - start));
        start = end + 1;
    }

    splitChecked(input, lines);

    InstallTranscript whole;
    receiveChecked(whole, input);

    for (const InstallTranscript* transcript : {&lines, &whole}) {
        checkResult(*transcript, 0, transcript->completedVersion.value_or("1.0.0"));
        checkResult(*transcript, 0, "1.0.0");
        checkResult(*transcript, size > 0 ? static_cast<std::int8_t>(data[0]) : -1, "");
    }
    return 0;
}
