#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

// The file operations whose safe form differs between systems (platformfiles_linux.cpp,
// platformfiles_win32.cpp).

// The content of a regular file of at most limit bytes. No value when it is missing, cannot be
// read, is anything but a regular file (a FIFO, a device: the open never waits) or is longer.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& path, std::size_t limit);

// Writes content to a new file beside the file path leads to (through a link to a regular file:
// beside that file) and moves it over that file in one step, so that a reader sees the old or
// the new content and a failed write leaves the old file as it was. False, and nothing changed,
// when path leads to something that is not a regular file or any step fails.
bool ReplaceRegularFile(const std::filesystem::path& path, const std::string& content);
