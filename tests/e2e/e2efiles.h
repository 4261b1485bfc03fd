#pragma once

#include "tests/support/scratchdir.h"

#include <string>

// A fresh folder under /tmp, removed with its contents on destruction: the tests' scratch folder,
// named as the end-to-end tests join names to it.
class TTempDir
{
public:
    const std::string& Path() const { return Dir; }

private:
    TScratchDir Scratch{"/tmp"};
    std::string Dir = Scratch.Path().string();
};

// Copies a program, keeping it executable.
void CopyProgram(const std::string& from, const std::string& to);
