#include "app/cli/outputname.h"

#include "app/cli/cliargv.h"
#include "protocol/identification.h"

#include <array>
#include <regex>
#include <system_error>

namespace {

constexpr std::array<const char*, 3> Placeholders{"{id}", "{n}", "{time}"};
// The six identification characters after the compared prefix (0x11 and "VADOZIROZA").
constexpr std::size_t IdValueLength = IdentificationTextLength - IdentificationPrefixLength;

bool HoldsPlaceholder(const std::string& text)
{
    for (const char* placeholder : Placeholders)
        if (text.find(placeholder) != std::string::npos)
            return true;
    return false;
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

} // namespace

std::string OutputPatternProblem(const std::filesystem::path& pattern, bool repeat)
{
    if (HoldsPlaceholder(MessagePath(pattern.parent_path())))
        return "{id}, {n} and {time} may only stand in the file name of OUTPUT, not in its "
               "folders.";
    if (repeat && !HoldsPlaceholder(MessagePath(pattern.filename())))
        return "with --repeat, OUTPUT must hold {id}, {n} or {time}, or each dump would replace "
               "the one before.";
    return "";
}

std::string IdPlaceholderValue(const std::string& serverIdText)
{
    if (serverIdText.size() < IdentificationPrefixLength + IdValueLength)
        return "unknown";
    return serverIdText.substr(IdentificationPrefixLength, IdValueLength);
}

std::filesystem::path ExpandOutputName(const std::filesystem::path& pattern, const std::string& id,
                                       unsigned run, const std::string& time)
{
    std::string name = MessagePath(pattern.filename());
    if (!HoldsPlaceholder(name))
        return pattern;
    ReplaceAll(name, "{id}", id);
    ReplaceAll(name, "{n}", std::to_string(run));
    ReplaceAll(name, "{time}", time);
    return pattern.parent_path() / ArgumentPath(name);
}

namespace {

// A whole-name match for the names pattern (a file name) gives, the first {n} captured.
std::optional<std::regex> NumberedNames(const std::string& pattern)
{
    if (pattern.find("{n}") == std::string::npos)
        return std::nullopt;
    std::string expression;
    bool captured = false;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern.compare(i, 3, "{n}") == 0) {
            expression += captured ? "[0-9]+" : "([0-9]+)";
            captured = true;
            i += 3;
        } else if (pattern.compare(i, 4, "{id}") == 0 || pattern.compare(i, 6, "{time}") == 0) {
            expression += ".*";
            i += pattern[i + 1] == 'i' ? 4 : 6;
        } else {
            if (std::string_view("\\^$.|?*+()[]{}").find(pattern[i]) != std::string_view::npos)
                expression += '\\';
            expression += pattern[i++];
        }
    }
    return std::regex(expression);
}

} // namespace

unsigned HighestRunPresent(const std::filesystem::path& pattern)
{
    std::vector<std::regex> names;
    for (const std::filesystem::path& name :
         {pattern.filename(), TraceNameBeside(pattern).filename()})
        if (std::optional<std::regex> match = NumberedNames(MessagePath(name)))
            names.push_back(std::move(*match));
    if (names.empty())
        return 0;
    const std::filesystem::path folder = pattern.has_parent_path() ? pattern.parent_path() : ".";
    unsigned highest = 0;
    std::error_code failed;
    for (std::filesystem::directory_iterator entry(folder, failed), end; !failed && entry != end;
         entry.increment(failed)) {
        const std::string name = MessagePath(entry->path().filename());
        std::smatch found;
        for (const std::regex& match : names) {
            if (!std::regex_match(name, found, match))
                continue;
            // Numbers too long for a run count are no run of this program's.
            const std::string digits = found[1].str();
            if (digits.size() <= 9)
                highest = std::max(highest, static_cast<unsigned>(std::stoul(digits)));
        }
    }
    return highest;
}

std::filesystem::path TraceNameBeside(const std::filesystem::path& dump)
{
    std::filesystem::path trace = dump;
    if (trace.extension() == ".ERR")
        trace += ".ERR";
    else
        trace.replace_extension(".ERR");
    return trace;
}
