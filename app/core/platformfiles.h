#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

// The file operations whose safe form differs between systems (platformfiles_linux.cpp,
// platformfiles_win32.cpp).

// The start of a regular file: its first bytes, at most limit of them, and whether they are the
// whole file. No value when it is missing, cannot be read or is anything but a regular file (a
// FIFO, a device: the open never waits).
struct TFileStart
{
    std::string Content;
    bool Whole = false;
};
std::optional<TFileStart> ReadRegularFileStart(const std::filesystem::path& path,
                                               std::size_t limit);

// Writes content to a new file beside the file path leads to (through a link to a regular file:
// beside that file) and moves it over that file in one step, so that a reader sees the old or
// the new content and a failed write leaves the old file as it was. False, and nothing changed,
// when path leads to something that is not a regular file, to a link the system would not follow
// (see BeginFileReplacement), or any step fails.
bool ReplaceRegularFile(const std::filesystem::path& path, const std::string& content);

// The new file of a replacement, open from its creation to its move (platform-defined).
struct TReplacementFile;

// A new file that is to take the place of the file a name leads to once its content is complete,
// so that an earlier file is replaced only by a whole new one (a read-out's dump).
struct TFileReplacement
{
    std::filesystem::path Target; // the file replaced: the name given, or the file a link leads to
    std::filesystem::path Temporary; // the new file, beside Target, until it is moved over it
    bool TargetExisted = false;      // whether Target existed when the new file was made
    std::shared_ptr<TReplacementFile> File; // shared by the copies of one replacement
};

// Creates the new, empty file beside the file path leads to, under a name no other program can
// foresee, with that file's permissions (never its set-user or set-group bit) when it exists. No
// value, the system's reason in error and nothing changed, when path leads to a folder or to
// anything else that is not a regular file, when the file there may not be written, or when no
// file can be created beside it (its folder is missing or may not be written). On Linux a
// symbolic link in a sticky folder that others may write is followed only when it belongs to the
// user or to the folder's owner, as the system itself follows links there. Never waits for
// another program.
std::optional<TFileReplacement> BeginFileReplacement(const std::filesystem::path& path,
                                                     std::string& error);

// Writes the new file's whole content (replacing what it held) through the file made by
// BeginFileReplacement and gives the number of bytes written, or -1 with the reason in error.
long WriteFileReplacement(const TFileReplacement& replacement, const char* data, std::size_t count,
                          std::string& error);

// Moves the new file over the target in one step, once its content reached the disk. False,
// with the reason in error, when it could not; the new file then still exists, with its content.
bool CompleteFileReplacement(const TFileReplacement& replacement, std::string& error);

// Removes the new file; the target stays as it was.
void AbandonFileReplacement(const TFileReplacement& replacement);
