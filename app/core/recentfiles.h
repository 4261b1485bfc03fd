#pragma once

#include <functional>
#include <string>
#include <vector>

// The recent output files, most recent first, as stored on the settings file's fourth line. The
// names are byte strings, kept as the settings file, the command line or the window gave them.
using TRecentFiles = std::vector<std::string>;

// Whether two names are the same recent file.
using TSameName = std::function<bool(const std::string&, const std::string&)>;

// Equal apart from the letter case of A to Z.
bool SameNameIgnoringAsciiCase(const std::string& a, const std::string& b);

// The items joined with one TAB between neighbours.
std::string ListToStr(const TRecentFiles& items);

// Appends every non-empty TAB-separated piece of text to items (no clearing, no de-duplication,
// no limit).
void StrToList(TRecentFiles& items, const std::string& text);

// Puts text at the top: an item the same as it (by same) moves to the top (the one already at
// the top stays as it is), otherwise text is inserted there; then at most 10 items are kept.
void AddRecent(TRecentFiles& items, const std::string& text,
               const TSameName& same = SameNameIgnoringAsciiCase);
