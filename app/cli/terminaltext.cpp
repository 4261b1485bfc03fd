#include "app/cli/terminaltext.h"

#include "app/cli/utf8.h"

#include <cstdint>

namespace {

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
