#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <windows.h>

// The window's file names as UTF-16, the system's own form: a name typed into the file box or
// returned by the save dialog reaches the file it names in any script, and is never changed into
// another name by the single-byte code page ("Ł" into "L", a full-width backslash into "\").

// A window's text as UTF-16.
std::wstring WideWindowText(HWND window);

// The name in the system's single-byte code page, as the settings file keeps it; none when the
// code page cannot hold it exactly (no character replaced, none mapped to a look-alike).
std::optional<std::string> AnsiName(const std::wstring& name);

// A text of the single-byte code page (the language table's) as UTF-16.
std::wstring WideFromAnsi(const std::string& text);
