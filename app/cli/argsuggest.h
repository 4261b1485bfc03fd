#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the command line makes of arguments that are almost right: a command word mistyped where
// OUTPUT stands, an option name mistyped, a number that is not one. Each gives the message of
// the refusal; nothing here touches a server or a file.

// The edit distance (insertions, deletions, substitutions and swaps of neighbours) between two
// words, counted up to limit + 1.
std::size_t EditDistance(std::string_view a, std::string_view b, std::size_t limit);

// The nearest of candidates to word within the distance a word of that length tolerates (one
// edit below six letters, two from six on); none when no candidate is that near or two are
// equally near.
std::optional<std::string> NearestWord(std::string_view word,
                                       const std::vector<std::string>& candidates);

// When OUTPUT, a bare name without folder and extension, is a command word mistyped (or one
// that needs its dashes), the word meant ("explain", "--list"); else none.
std::optional<std::string> CommandMeantByOutput(std::string_view output);

// The first argument that looks like an option but is none of known (long names with their
// dashes, short ones with one: "--list", "-q"), with "=value" left off; none when every option
// is known. Arguments after "--" are no options.
std::optional<std::string> UnknownOption(const std::vector<std::string>& arguments,
                                         const std::vector<std::string>& known);

// The value given to option (as "--timeout 12" or "--timeout=12") when it is not a whole number;
// none when it is one or the option is not given.
std::optional<std::string> NonNumericValue(const std::vector<std::string>& arguments,
                                           std::string_view option);

// Text wrapped at width columns between words; a line that continues takes the indent of its
// description (the text after the first gap of two spaces or more in an indented line) or its
// own leading spaces. A width below 40 is taken as 40; 0 leaves the text as it is.
std::string WrapText(const std::string& text, std::size_t width);
