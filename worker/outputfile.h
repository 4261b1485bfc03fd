#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

// Writes a file of the worker (the dump, the trace) in one piece: creates it, or replaces the
// content of an existing regular file (also one a link leads to). A name that leads to anything
// else (a FIFO, a device, a folder) is refused, and opening never waits for another program.
// Gives the number of bytes written, or -1 when the file could not be created or written, with
// the reason in `error` when given. On Linux the bytes are synced to the disk first, and a
// failing close is a failed write.
long WriteOutputFile(const std::filesystem::path& name, const char* data, std::size_t count,
                     std::string* error = nullptr);
