#pragma once

#include "engine/DecodedLine.h"

#include <string_view>

namespace ZunoInstaller {

// The rules for the members of a line's own object, shared by every JSON
// reader: the four keys, exact and case-sensitive, each read at its first
// occurrence only; "event" a string; "stage", "code" and "version" a string
// or null; "stage" one of the three. A reader hands over the object's
// members in order and stops at the first fault.
class EventBuilder {
public:
    // Builds the event inside `line` itself; a fault leaves `line` without
    // one, and says more in `detail` when it is given.
    explicit EventBuilder(DecodedLine& line, FaultDetail* detail = nullptr)
        : line_(line), event_(line.event.emplace()), detail_(detail)
    {
    }

    // Starts a member of the line's object. false: the member is ignored (an
    // unknown key, or a key seen before) and its value need not be handed on.
    bool member(std::string_view key);

    // The value of the member just started.
    LineFault string(std::string_view value);
    LineFault null() { return current_ == Field::event ? wrongType() : LineFault::none; }
    // A number, a boolean, an array or an object.
    LineFault other() { return wrongType(); }

    // Once the whole object has been read: true when it held an event.
    bool finish();
    // A member broke a rule: the line holds no event.
    void refuse(LineFault fault);

private:
    enum class Field : unsigned { none, event, stage, code, version };

    static constexpr unsigned bit(Field field) { return 1u << static_cast<unsigned>(field); }

    // Names the key of the member just started.
    LineFault wrongType();

    DecodedLine& line_;
    InstallEvent& event_;
    FaultDetail* detail_;
    Field current_ = Field::none;
    unsigned seen_ = 0;
};

} // namespace ZunoInstaller
