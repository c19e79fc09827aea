#include "engine/EventLineReader.h"

#include "engine/EventBuilder.h"

#include <new>
#include <nlohmann/json.hpp>

namespace ZunoInstaller {

namespace {

using Json = nlohmann::json;

// Reads one line straight from the parser's events: no document tree is
// built, values of ignored keys are never stored, and a line that breaks a
// rule stops the parser at once. Only the line's own object (depth 1) is
// looked at; everything nested below it is skipped.
class Handler {
public:
    Handler(DecodedLine& line, FaultDetail* detail) : builder_(line, detail), detail_(detail) {}

    bool null() { return scalar(Kind::null); }
    bool boolean(bool) { return scalar(Kind::other); }
    bool number_integer(Json::number_integer_t) { return scalar(Kind::other); }
    bool number_unsigned(Json::number_unsigned_t) { return scalar(Kind::other); }
    bool number_float(Json::number_float_t, const Json::string_t&) { return scalar(Kind::other); }
    bool binary(Json::binary_t&) { return scalar(Kind::other); }
    bool string(Json::string_t& value) { return scalar(Kind::string, &value); }

    bool start_object(std::size_t) { return open(true); }
    bool start_array(std::size_t) { return open(false); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(Json::string_t& name)
    {
        if (depth_ == 1)
            active_ = builder_.member(name);
        return true;
    }

    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&)
    {
        if (detail_ != nullptr)
            detail_->position = position;
        return fail(LineFault::invalidJson);
    }

    void finish() { builder_.finish(); }
    void refuse() { builder_.refuse(fault_ == LineFault::none ? LineFault::invalidJson : fault_); }

private:
    // Nesting beyond this many levels (the line's object being the first) is refused.
    static constexpr int maxDepth = 512;

    enum class Kind { null, string, other };

    bool fail(LineFault fault)
    {
        fault_ = fault;
        return false;
    }

    bool check(LineFault fault) { return fault == LineFault::none || fail(fault); }

    bool scalar(Kind kind, const Json::string_t* text = nullptr)
    {
        if (depth_ == 0)
            return fail(LineFault::notAnObject);
        if (depth_ > 1 || !active_)
            return true;
        active_ = false;
        if (kind == Kind::string)
            return check(builder_.string(*text));
        return check(kind == Kind::null ? builder_.null() : builder_.other());
    }

    bool open(bool isObject)
    {
        if (depth_ == 0 && !isObject)
            return fail(LineFault::notAnObject);
        if (depth_ == 1 && active_)
            return check(builder_.other()); // none of the four keys may hold a container
        if (++depth_ > maxDepth)
            return fail(LineFault::tooDeep);
        return true;
    }

    bool close()
    {
        --depth_;
        return true;
    }

    EventBuilder builder_;
    FaultDetail* detail_;
    int depth_ = 0;
    bool active_ = false;
    LineFault fault_ = LineFault::none;
};

} // namespace

DecodedLine EventLineReader::decode(std::string_view line, FaultDetail* detail)
{
    if (const LineFault fault = byteFault(line); fault != LineFault::none)
        return DecodedLine::refused(fault);
    DecodedLine decoded;
    try {
        Handler handler(decoded, detail);
        const char* begin = line.data();
        if (Json::sax_parse(begin, begin + line.size(), &handler))
            handler.finish();
        else
            handler.refuse();
        return decoded;
    } catch (const std::bad_alloc&) {
        return DecodedLine::refused(LineFault::noMemory);
    } catch (...) {
        return DecodedLine::refused(LineFault::invalidJson);
    }
}

} // namespace ZunoInstaller
