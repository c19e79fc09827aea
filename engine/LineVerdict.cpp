#include "engine/LineVerdict.h"

namespace ZunoInstaller {

std::string_view rawValue(LineReason reason)
{
    switch (reason) {
    case LineReason::none:
        return {};
    case LineReason::emptyLine:
        return "empty-line";
    case LineReason::tooLong:
        return "too-long";
    case LineReason::nulByte:
        return "nul-byte";
    case LineReason::invalidUtf8:
        return "invalid-utf8";
    case LineReason::invalidJson:
        return "invalid-json";
    case LineReason::notAnObject:
        return "not-an-object";
    case LineReason::tooDeep:
        return "too-deep";
    case LineReason::eventMissing:
        return "event-missing";
    case LineReason::wrongType:
        return "wrong-type";
    case LineReason::unknownStage:
        return "unknown-stage";
    case LineReason::noMemory:
        return "no-memory";
    case LineReason::extraStage:
        return "extra-stage";
    case LineReason::stageOutOfOrder:
        return "stage-out-of-order";
    case LineReason::afterEnd:
        return "after-end";
    case LineReason::completeTooEarly:
        return "complete-too-early";
    case LineReason::completeAgain:
        return "complete-again";
    case LineReason::progressWithoutStage:
        return "progress-without-stage";
    case LineReason::unknownEvent:
        return "unknown-event";
    }
    return {};
}

std::string_view rawValue(LineVerdict::Kind kind)
{
    switch (kind) {
    case LineVerdict::Kind::stage:
        return "stage";
    case LineVerdict::Kind::complete:
        return "complete";
    case LineVerdict::Kind::error:
        return "error";
    case LineVerdict::Kind::malformed:
        return "malformed";
    }
    return {};
}

} // namespace ZunoInstaller
