#include "engine/EventLineDecoder.h"

#include "engine/EventBuilder.h"
#include "engine/EventLineReader.h"

#include <new>
#include <optional>
#include <simdjson.h>

namespace ZunoInstaller {

static_assert(EventLineDecoder::paddingBytes >= simdjson::SIMDJSON_PADDING);

namespace {

// Nesting beyond this many levels (the line's object being the first) is
// refused; simdjson counts the levels the same way.
constexpr std::size_t maxDepth = 512;

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// Whether the first thing on the line, after white space, opens an object.
bool opensObject(std::string_view text)
{
    const std::size_t at = text.find_first_not_of(" \t\n\r");
    return at != std::string_view::npos && text[at] == '{';
}

// The fault of a line simdjson refused, or of one that holds no object, in
// the documented order: invalid UTF-8 before invalid JSON (simdjson reports
// an unclosed string before bad UTF-8), and a document that is JSON but not
// an object before one nested too deep. None: the reference reader decides.
std::optional<LineFault> parseFault(simdjson::error_code error, std::string_view text, bool object)
{
    switch (error) {
    case simdjson::SUCCESS:
        return object ? LineFault::none : LineFault::notAnObject;
    case simdjson::UTF8_ERROR:
        return LineFault::invalidUtf8;
    case simdjson::DEPTH_ERROR:
        return object ? LineFault::tooDeep : LineFault::notAnObject;
    case simdjson::TAPE_ERROR:
    case simdjson::STRING_ERROR:
    case simdjson::T_ATOM_ERROR:
    case simdjson::F_ATOM_ERROR:
    case simdjson::N_ATOM_ERROR:
    case simdjson::EMPTY:
    case simdjson::UNESCAPED_CHARS:
    case simdjson::UNCLOSED_STRING:
        return simdjson::validate_utf8(text.data(), text.size()) ? LineFault::invalidJson : LineFault::invalidUtf8;
    default:
        // Above all NUMBER_ERROR: simdjson refuses integers beyond 64 bits
        // (above 2^64 - 1, below -2^63), which nlohmann/json reads as doubles.
        return std::nullopt;
    }
}

} // namespace

struct EventLineDecoder::State {
    simdjson::dom::parser parser{maxEventLineBytes};
    // Where decode() copies a line, with the padding behind it.
    char copy[maxEventLineBytes + paddingBytes];
};

EventLineDecoder::EventLineDecoder() : state_(new (std::nothrow) State)
{
    // Everything the parser needs is taken now; without it, decoding falls
    // back to the reference reader.
    if (state_ && state_->parser.allocate(maxEventLineBytes, maxDepth) != simdjson::SUCCESS)
        state_.reset();
}

EventLineDecoder::~EventLineDecoder() = default;

EventLineDecoder& EventLineDecoder::forThisThread()
{
    thread_local EventLineDecoder decoder;
    return decoder;
}

DecodedLine EventLineDecoder::decode(std::string_view line)
{
    if (const LineFault fault = byteFault(line); fault != LineFault::none)
        return DecodedLine::refused(fault);
    if (!state_)
        return EventLineReader::decode(line);
    std::memcpy(state_->copy, line.data(), line.size());
    return read(std::string_view(state_->copy, line.size()), nullptr);
}

DecodedLine EventLineDecoder::decodePadded(std::string_view line)
{
    if (const LineFault fault = byteFault(line); fault != LineFault::none)
        return DecodedLine::refused(fault);
    if (!state_)
        return EventLineReader::decode(line);
    return read(line, nullptr);
}

DecodedLine EventLineDecoder::explainPadded(std::string_view line, FaultDetail& detail)
{
    if (const LineFault fault = byteFault(line); fault != LineFault::none)
        return DecodedLine::refused(fault);
    DecodedLine decoded = state_ ? read(line, &detail) : EventLineReader::decode(line, &detail);
    if (decoded.fault == LineFault::invalidJson && detail.position == 0) {
        FaultDetail reference;
        if (EventLineReader::decode(line, &reference).fault == LineFault::invalidJson)
            detail.position = reference.position;
    }
    return decoded;
}

DecodedLine EventLineDecoder::read(std::string_view line, FaultDetail* detail)
{
    // nlohmann/json skips a byte order mark at the very start; simdjson does not.
    std::string_view text = line;
    if (text.starts_with(byteOrderMark))
        text.remove_prefix(byteOrderMark.size());
    // A line that holds no object is refused whatever it holds: it is
    // parsed all the same, only to name the first rule it breaks.
    const bool isObject = opensObject(text);
    simdjson::dom::element root;
    const std::optional<LineFault> fault =
        parseFault(state_->parser.parse(text.data(), text.size(), false).get(root), text, isObject);
    if (!fault)
        return EventLineReader::decode(line, detail);
    if (*fault != LineFault::none)
        return DecodedLine::refused(*fault);

    simdjson::dom::object object;
    if (root.get(object) != simdjson::SUCCESS)
        return DecodedLine::refused(LineFault::notAnObject);
    DecodedLine decoded;
    try {
        EventBuilder builder(decoded, detail);
        for (const simdjson::dom::key_value_pair member : object) {
            if (!builder.member(member.key))
                continue;
            LineFault fault = LineFault::none;
            switch (member.value.type()) {
            case simdjson::dom::element_type::STRING:
                fault = builder.string(member.value.get_string().value_unsafe());
                break;
            case simdjson::dom::element_type::NULL_VALUE:
                fault = builder.null();
                break;
            default:
                fault = builder.other();
                break;
            }
            if (fault != LineFault::none) {
                builder.refuse(fault);
                return decoded;
            }
        }
        builder.finish();
    } catch (const std::bad_alloc&) {
        return DecodedLine::refused(LineFault::noMemory);
    }
    return decoded;
}

} // namespace ZunoInstaller
