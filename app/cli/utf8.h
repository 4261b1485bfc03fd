#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// One code point of UTF-8 text: its value and the length of its sequence.
struct TCodePoint
{
    std::uint32_t Value = 0;
    std::size_t Length = 0;
};

// The code point of the valid UTF-8 sequence at text[at], or Length 0 when none starts there
// (a stray or overlong byte, a surrogate, a sequence cut short): text from a device or a file
// need not be UTF-8, and such a byte is then shown as a byte.
TCodePoint DecodeUtf8(std::string_view text, std::size_t at);
