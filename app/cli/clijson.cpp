#include "app/cli/clijson.h"

#include "app/cli/utf8.h"

namespace {

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
        } else if (const std::size_t length = DecodeUtf8(bytes, i).Length; length > 0) {
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
