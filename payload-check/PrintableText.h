#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ZunoInstaller::PayloadCheck {

// Bytes from a payload, made safe to show: valid UTF-8 that prints as itself;
// a byte that is not part of valid UTF-8, a control character, and the
// invisible characters that can reorder or hide text (bidirectional
// controls, zero-width characters, line and paragraph separators, the byte
// order mark) as \xNN or \u{NNNN}; tab and carriage return as \t and \r. The
// result is always valid UTF-8.
struct PrintableText {
    // Shown at most; the rest is left out and a marker names its size.
    std::size_t limit = std::string_view::npos;
    // Line feeds stay as they are (for multi-line text such as standard error).
    bool keepLineFeeds = false;

    std::string operator()(std::string_view bytes) const;
};

} // namespace ZunoInstaller::PayloadCheck
