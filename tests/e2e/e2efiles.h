#pragma once

#include "tests/support/testfiles.h"

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

// Copies a program, keeping it executable.
void CopyProgram(const std::string& from, const std::string& to);
