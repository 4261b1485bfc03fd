#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

// The tests' one way to read and write a whole file, as bytes.

// The file's content, or none when it cannot be opened (it does not exist, among others).
inline std::optional<std::string> ReadFileIfExists(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The file's content; empty when it cannot be opened.
inline std::string ReadFile(const std::filesystem::path& path)
{
    return ReadFileIfExists(path).value_or(std::string());
}

// Creates the file or replaces its content.
inline void WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
