#include "engine/EventLineDecoder.h"

#include "engine/EventBuilder.h"
#include "engine/EventLineReader.h"

#include <new>
#include <simdjson.h>

namespace ZunoInstaller {

static_assert(EventLineDecoder::paddingBytes >= simdjson::SIMDJSON_PADDING);

namespace {

// Nesting beyond this many levels (the line's object being the first) is
// refused; simdjson counts the levels the same way.
constexpr std::size_t maxDepth = 512;

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

bool isJsonWhitespace(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r';
}

// Only an object can be an event: what starts otherwise needs no parser.
LineFault startFault(std::string_view text)
{
    std::size_t at = 0;
    while (at < text.size() && isJsonWhitespace(text[at]))
        ++at;
    if (at == text.size())
        return LineFault::invalidJson;
    if (text[at] == '{')
        return LineFault::none;
    return std::string_view("[\"-0123456789tfn").find(text[at]) != std::string_view::npos
               ? LineFault::notAnObject
               : LineFault::invalidJson;
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
    if (const LineFault fault = startFault(text); fault != LineFault::none)
        return DecodedLine::refused(fault);

    simdjson::dom::element root;
    switch (state_->parser.parse(text.data(), text.size(), false).get(root)) {
    case simdjson::SUCCESS:
        break;
    case simdjson::UTF8_ERROR:
        return DecodedLine::refused(LineFault::invalidUtf8);
    case simdjson::DEPTH_ERROR:
        return DecodedLine::refused(LineFault::tooDeep);
    case simdjson::TAPE_ERROR:
    case simdjson::STRING_ERROR:
    case simdjson::T_ATOM_ERROR:
    case simdjson::F_ATOM_ERROR:
    case simdjson::N_ATOM_ERROR:
    case simdjson::EMPTY:
    case simdjson::UNESCAPED_CHARS:
    case simdjson::UNCLOSED_STRING:
        return DecodedLine::refused(LineFault::invalidJson);
    default:
        // Above all NUMBER_ERROR: simdjson refuses integers beyond 64 bits
        // (above 2^64 - 1, below -2^63), which nlohmann/json reads as
        // doubles. The reference reader decides.
        return EventLineReader::decode(line, detail);
    }

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
