#include "app/cli/clijson.h"

namespace {

// The length of the valid UTF-8 sequence at text[at], or 0 when none starts there.
std::size_t Utf8Length(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned min = 0;
    unsigned code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0u) != 0x80u)
            return 0;
        code = code << 6 | (byte(at + i) & 0x3Fu);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

void AppendCodePoint(std::string& out, unsigned code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

std::string JsonString(std::string_view bytes)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\u00";
            out += Hex[c >> 4];
            out += Hex[c & 0xF];
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const std::size_t length = Utf8Length(bytes, i); length > 0) {
            out.append(bytes.substr(i, length));
            i += length - 1;
        } else {
            AppendCodePoint(out, c);
        }
    }
    return out + "\"";
}

TJsonObject& TJsonObject::AddRaw(std::string_view name, const std::string& json)
{
    if (!Fields.empty())
        Fields += ',';
    Fields += JsonString(name) + ":" + json;
    return *this;
}

TJsonObject& TJsonObject::Add(std::string_view name, std::string_view value)
{
    return AddRaw(name, JsonString(value));
}

TJsonObject& TJsonObject::Add(std::string_view name, std::int64_t value)
{
    return AddRaw(name, std::to_string(value));
}

TJsonObject& TJsonObject::Add(std::string_view name, const TJsonObject& value)
{
    return AddRaw(name, value.Text());
}

TJsonObject& TJsonObject::AddNull(std::string_view name)
{
    return AddRaw(name, "null");
}
