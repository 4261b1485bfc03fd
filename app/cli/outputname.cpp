#include "app/cli/outputname.h"

#include "app/cli/cliargv.h"
#include "protocol/identification.h"

#include <array>

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

std::filesystem::path TraceNameBeside(const std::filesystem::path& dump)
{
    std::filesystem::path trace = dump;
    if (trace.extension() == ".ERR")
        trace += ".ERR";
    else
        trace.replace_extension(".ERR");
    return trace;
}
