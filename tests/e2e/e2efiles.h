#pragma once

#include <optional>
#include <string>

// A fresh folder under /tmp, removed with its contents on destruction.
class TTempDir
{
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return Dir; }

private:
    std::string Dir;
};

// The whole file as bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);
std::optional<std::string> ReadFileIfExists(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// Copies a program, keeping it executable.
void CopyProgram(const std::string& from, const std::string& to);
