#include "app/cli/terminaltext.h"

#include <cstdint>

namespace {

// The code point of the valid UTF-8 sequence at text[at] and its length, or length 0.
struct TCodePoint
{
    std::uint32_t Value = 0;
    std::size_t Length = 0;
};

TCodePoint DecodeUtf8(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    std::uint32_t min = 0;
    std::uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code = lead & 0x07u;
    } else {
        return {};
    }
    if (at + length > text.size())
        return {};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u)
            return {};
        code = code << 6 | (byte(at + i) & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {};
    return {code, length};
}

void AppendEscaped(std::string& out, unsigned char byte)
{
    static constexpr char Hex[] = "0123456789abcdef";
    out += "\\x";
    out += Hex[byte >> 4];
    out += Hex[byte & 0xF];
}

} // namespace

std::string TerminalText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            AppendEscaped(out, byte);
            continue;
        }
        if (byte < 0x80) {
            out += static_cast<char>(byte);
            continue;
        }
        const TCodePoint code = DecodeUtf8(text, i);
        if (code.Length == 0) {
            // A byte of the single-byte code page; 0x80 to 0x9F would be a C1 control to a
            // terminal that reads eight-bit controls.
            if (byte <= 0x9F)
                AppendEscaped(out, byte);
            else
                out += static_cast<char>(byte);
            continue;
        }
        for (std::size_t k = 0; k < code.Length; ++k) {
            const auto part = static_cast<unsigned char>(text[i + k]);
            if (code.Value <= 0x9F)
                AppendEscaped(out, part);
            else
                out += static_cast<char>(part);
        }
        i += code.Length - 1;
    }
    return out;
}

namespace {

std::string EscapedBetween(std::string_view text, char separator)
{
    std::string out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find(separator, start);
        out += TerminalText(text.substr(start, end - start));
        if (end == std::string_view::npos)
            break;
        out += separator;
        start = end + 1;
    }
    return out;
}

} // namespace

std::string TerminalLines(std::string_view text)
{
    return EscapedBetween(text, '\n');
}

std::string TerminalFields(std::string_view text)
{
    return EscapedBetween(text, '\t');
}
