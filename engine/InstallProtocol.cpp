#include "engine/InstallProtocol.h"

#include <cstring>
#include <nlohmann/json.hpp>

namespace ZunoInstaller {

std::string_view rawValue(InstallStage stage)
{
    switch (stage) {
    case InstallStage::validated:
        return "validated";
    case InstallStage::registered:
        return "registered";
    case InstallStage::checking:
        return "checking";
    }
    return {};
}

std::optional<InstallStage> installStage(std::string_view rawValue)
{
    for (InstallStage stage : allInstallStages) {
        if (ZunoInstaller::rawValue(stage) == rawValue)
            return stage;
    }
    return std::nullopt;
}

namespace {

using Json = nlohmann::json;

// Reads one event line straight from the parser's events: no document tree is
// built, values of ignored keys are never stored, and a line that breaks a rule
// stops the parser at once. Only the line's own object (depth 1) is looked at;
// everything nested below an ignored key is skipped.
class EventLineReader {
public:
    explicit EventLineReader(InstallEvent& event) : m_event(event) {}

    bool sawEvent() const { return (m_seen & bit(Field::event)) != 0; }

    bool null() { return scalar(Kind::null); }
    bool boolean(bool) { return scalar(Kind::other); }
    bool number_integer(Json::number_integer_t) { return scalar(Kind::other); }
    bool number_unsigned(Json::number_unsigned_t) { return scalar(Kind::other); }
    bool number_float(Json::number_float_t, const Json::string_t&) { return scalar(Kind::other); }
    bool binary(Json::binary_t&) { return scalar(Kind::other); }

    bool string(Json::string_t& value)
    {
        if (m_depth != 1)
            return m_depth > 1;
        switch (m_field) {
        case Field::none:
            return true;
        case Field::event:
            m_event.event = value;
            return true;
        case Field::stage:
            m_event.stage = installStage(value);
            return m_event.stage.has_value();
        case Field::code:
            m_event.code = value;
            return true;
        case Field::version:
            m_event.version = value;
            return true;
        }
        return false;
    }

    bool start_object(std::size_t) { return open(true); }
    bool start_array(std::size_t) { return open(false); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(Json::string_t& name)
    {
        if (m_depth != 1)
            return true;
        Field field = fieldNamed(name);
        // The first occurrence of a key counts; later ones are ignored like unknown keys.
        if (field != Field::none && (m_seen & bit(field)) != 0)
            field = Field::none;
        m_seen |= bit(field);
        m_field = field;
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    // Nesting beyond this many levels (the line's object being the first) is refused.
    static constexpr int maxDepth = 512;

    enum class Field : unsigned { none, event, stage, code, version };
    enum class Kind { null, other };

    static constexpr unsigned bit(Field field)
    {
        return field == Field::none ? 0u : 1u << static_cast<unsigned>(field);
    }

    static Field fieldNamed(const Json::string_t& name)
    {
        if (name == "event")
            return Field::event;
        if (name == "stage")
            return Field::stage;
        if (name == "code")
            return Field::code;
        if (name == "version")
            return Field::version;
        return Field::none;
    }

    bool scalar(Kind kind)
    {
        if (m_depth != 1)
            return m_depth > 1; // depth 0: the line is a bare scalar, not an object
        switch (m_field) {
        case Field::none:
            return true;
        case Field::event:
            return false;
        case Field::stage:
        case Field::code:
        case Field::version:
            return kind == Kind::null;
        }
        return false;
    }

    bool open(bool isObject)
    {
        if (m_depth == 0 && !isObject)
            return false;
        if (m_depth == 1 && m_field != Field::none)
            return false; // none of the four keys may hold a container
        return ++m_depth <= maxDepth;
    }

    bool close()
    {
        --m_depth;
        return true;
    }

    InstallEvent& m_event;
    int m_depth = 0;
    Field m_field = Field::none;
    unsigned m_seen = 0;
};

} // namespace

std::optional<InstallEvent> InstallEvent::decode(std::string_view line)
{
    if (line.empty() || line.size() > maxEventLineBytes)
        return std::nullopt;
    // The parser takes a NUL byte for the end of input and would accept "{...}\0garbage".
    if (std::memchr(line.data(), '\0', line.size()) != nullptr)
        return std::nullopt;

    try {
        InstallEvent event;
        EventLineReader reader(event);
        const char* begin = line.data();
        if (!Json::sax_parse(begin, begin + line.size(), &reader) || !reader.sawEvent())
            return std::nullopt;
        return event;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace ZunoInstaller
