#include "engine/EventBuilder.h"

namespace ZunoInstaller {

bool EventBuilder::member(std::string_view key)
{
    Field field = Field::none;
    if (key == "event")
        field = Field::event;
    else if (key == "stage")
        field = Field::stage;
    else if (key == "code")
        field = Field::code;
    else if (key == "version")
        field = Field::version;
    if (field == Field::none || (seen_ & bit(field)) != 0) {
        current_ = Field::none;
        return false;
    }
    seen_ |= bit(field);
    current_ = field;
    return true;
}

LineFault EventBuilder::string(std::string_view value)
{
    switch (current_) {
    case Field::none:
        break;
    case Field::event:
        event_.event = value;
        break;
    case Field::stage:
        event_.stage = installStage(value);
        if (!event_.stage) {
            if (detail_ != nullptr)
                detail_->text.assign(value);
            return LineFault::unknownStage;
        }
        break;
    case Field::code:
        event_.code.emplace(value);
        break;
    case Field::version:
        event_.version.emplace(value);
        break;
    }
    return LineFault::none;
}

LineFault EventBuilder::wrongType()
{
    static constexpr std::string_view names[] = {"", "event", "stage", "code", "version"};
    if (detail_ != nullptr)
        detail_->text.assign(names[static_cast<unsigned>(current_)]);
    return LineFault::wrongType;
}

bool EventBuilder::finish()
{
    if ((seen_ & bit(Field::event)) != 0)
        return true;
    refuse(LineFault::eventMissing);
    return false;
}

void EventBuilder::refuse(LineFault fault)
{
    line_.event.reset();
    line_.fault = fault;
}

} // namespace ZunoInstaller
