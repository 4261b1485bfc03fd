#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One JSON object, written field by field in the order given.
class TJsonObject
{
public:
    TJsonObject& Add(std::string_view name, std::string_view value);
    TJsonObject& Add(std::string_view name, const char* value)
    {
        return Add(name, std::string_view(value));
    }
    TJsonObject& Add(std::string_view name, std::int64_t value);
    TJsonObject& Add(std::string_view name, const TJsonObject& value);
    TJsonObject& AddNull(std::string_view name);
    std::string Text() const { return "{" + Fields + "}"; }

private:
    TJsonObject& AddRaw(std::string_view name, const std::string& json);
    std::string Fields;
};

// A JSON string for bytes: valid UTF-8 passes through, control characters are escaped, and any
// byte that is not part of valid UTF-8 (a file name in another code page, a control byte of the
// identification text) stands for the character of that number (Latin-1), so the result is
// always valid JSON.
std::string JsonString(std::string_view bytes);
