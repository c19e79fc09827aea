#include "payload-check/PrintableText.h"

#include <cstdint>
#include <cstdio>

namespace ZunoInstaller::PayloadCheck {

namespace {

// The code point of the valid UTF-8 sequence at `at` and its length, or a
// length of 0 when the bytes there are not one (an overlong form, a
// surrogate, beyond U+10FFFF, cut short).
struct Decoded {
    char32_t point;
    std::size_t length;
};

Decoded decodeAt(std::string_view bytes, std::size_t at)
{
    const auto byte = [&](std::size_t index) { return static_cast<unsigned char>(bytes[index]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return {lead, 1};
    // Lead bytes C0, C1 and F5-FF never start a valid sequence.
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return {0, 0};
    constexpr char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    char32_t point = lead & (0x7F >> length);
    if (at + length > bytes.size())
        return {0, 0};
    for (std::size_t index = 1; index < length; ++index) {
        if ((byte(at + index) & 0xC0) != 0x80)
            return {0, 0};
        point = (point << 6) | (byte(at + index) & 0x3F);
    }
    if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return {0, 0};
    return {point, length};
}

bool isHidden(char32_t point)
{
    return point < 0x20 || point == 0x7F || (point >= 0x80 && point < 0xA0) || point == 0x061C ||
           (point >= 0x200B && point <= 0x200F) || (point >= 0x2028 && point <= 0x202E) ||
           (point >= 0x2066 && point <= 0x2069) || point == 0xFEFF;
}

} // namespace

std::string PrintableText::operator()(std::string_view bytes) const
{
    std::string shown;
    shown.reserve(std::min(bytes.size(), limit) + 16);
    std::size_t at = 0;
    char escape[16];
    while (at < bytes.size() && at < limit) {
        const Decoded decoded = decodeAt(bytes, at);
        if (decoded.length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(bytes[at]));
            shown += escape;
            ++at;
            continue;
        }
        const char32_t point = decoded.point;
        if (point == '\n' && keepLineFeeds)
            shown += '\n';
        else if (point == '\t')
            shown += "\\t";
        else if (point == '\r')
            shown += "\\r";
        else if (isHidden(point)) {
            std::snprintf(escape, sizeof escape, point < 0x80 ? "\\x%02X" : "\\u{%04X}",
                          static_cast<unsigned>(point));
            shown += escape;
        } else {
            shown.append(bytes.substr(at, decoded.length));
        }
        at += decoded.length;
    }
    if (at < bytes.size())
        shown += " \xE2\x80\xA6 (" + std::to_string(bytes.size() - at) + " more bytes)";
    return shown;
}

} // namespace ZunoInstaller::PayloadCheck
