#include "app/cli/argsuggest.h"

#include <algorithm>
#include <array>
#include <sstream>

namespace {

// Words a user types where OUTPUT stands when meaning something else, and what they mean.
struct TCommandWord
{
    std::string_view Word, Meant;
};
constexpr std::array<TCommandWord, 5> CommandWords = {{
    {"explain", "explain"},
    {"list", "--list"},
    {"help", "--help"},
    {"version", "--version"},
    {"identify", "--list --identify"},
}};

std::size_t Tolerance(std::string_view word)
{
    return word.size() < 6 ? 1 : 2;
}

bool IsWholeNumber(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::size_t EditDistance(std::string_view a, std::string_view b, std::size_t limit)
{
    const std::size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
    if (gap > limit)
        return limit + 1;
    // Optimal string alignment distance over three rows.
    std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), current(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j)
        previous[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        before.swap(previous);
        previous.swap(current);
    }
    return std::min(previous[b.size()], limit + 1);
}

std::optional<std::string> NearestWord(std::string_view word,
                                       const std::vector<std::string>& candidates)
{
    const std::size_t tolerance = Tolerance(word);
    std::optional<std::string> best;
    std::size_t bestDistance = tolerance + 1;
    bool tie = false;
    for (const std::string& candidate : candidates) {
        const std::size_t distance = EditDistance(word, candidate, tolerance);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
            tie = false;
        } else if (distance == bestDistance && best && *best != candidate) {
            tie = true;
        }
    }
    if (tie)
        return std::nullopt;
    return best;
}

std::optional<std::string> CommandMeantByOutput(std::string_view output)
{
    if (output.empty() || output.find_first_of("/\\.") != std::string_view::npos)
        return std::nullopt;
    std::string lower(output);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    std::vector<std::string> words;
    words.reserve(CommandWords.size());
    for (const TCommandWord& command : CommandWords)
        words.emplace_back(command.Word);
    const std::optional<std::string> nearest = NearestWord(lower, words);
    if (!nearest)
        return std::nullopt;
    for (const TCommandWord& command : CommandWords)
        if (command.Word == *nearest)
            return std::string(command.Meant);
    return std::nullopt;
}

std::optional<std::string> UnknownOption(const std::vector<std::string>& arguments,
                                         const std::vector<std::string>& known)
{
    for (const std::string& argument : arguments) {
        if (argument == "--")
            return std::nullopt;
        if (argument.size() < 2 || argument[0] != '-')
            continue;
        const std::string name = argument.substr(0, argument.find('='));
        if (name.rfind("--", 0) == 0) {
            if (std::find(known.begin(), known.end(), name) == known.end())
                return name;
            continue;
        }
        // Short options may be bundled ("-qv"): each letter must be one.
        for (std::size_t i = 1; i < name.size(); ++i) {
            const std::string single = std::string("-") + name[i];
            if (std::find(known.begin(), known.end(), single) == known.end())
                return name.size() == 2 ? single : name;
        }
    }
    return std::nullopt;
}

std::optional<std::string> NonNumericValue(const std::vector<std::string>& arguments,
                                           std::string_view option)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--")
            break;
        std::optional<std::string> value;
        if (argument == option)
            value = i + 1 < arguments.size() ? arguments[i + 1] : std::string();
        else if (argument.size() > option.size() &&
                 argument.compare(0, option.size(), option) == 0 && argument[option.size()] == '=')
            value = argument.substr(option.size() + 1);
        if (value && !IsWholeNumber(*value))
            return value;
    }
    return std::nullopt;
}

namespace {

// The words of text appended to out, on lines of at most width columns that start with indent
// spaces; the first of them continues out's last line, which is used columns long. A word longer
// than a line stands alone on its line.
void AppendWrapped(std::string& out, std::size_t used, const std::string& text, std::size_t indent,
                   std::size_t width)
{
    std::istringstream words(text);
    bool lineHasWord = false;
    for (std::string word; words >> word;) {
        if (lineHasWord && used + 1 + word.size() > width) {
            out += '\n' + std::string(indent, ' ');
            used = indent;
            lineHasWord = false;
        }
        if (lineHasWord) {
            out += ' ';
            ++used;
        }
        out += word;
        used += word.size();
        lineHasWord = true;
    }
}

} // namespace

std::string WrapText(const std::string& text, std::size_t width)
{
    if (width == 0)
        return text;
    width = std::max<std::size_t>(width, 40);
    std::string out;
    std::istringstream lines(text);
    bool first = true;
    for (std::string line; std::getline(lines, line);) {
        if (!first)
            out += '\n';
        first = false;
        if (line.size() <= width) {
            out += line;
            continue;
        }
        const std::size_t lead = line.find_first_not_of(' ');
        if (lead == std::string::npos)
            continue; // blanks only: an empty line
        // An indented line with a gap is an option and its description: the description keeps
        // its column, or moves below the option when that column leaves it too little room.
        const std::size_t gap = lead > 0 ? line.find("  ", lead) : std::string::npos;
        const std::size_t description =
            gap == std::string::npos ? std::string::npos : line.find_first_not_of(' ', gap);
        if (description == std::string::npos) {
            out += line.substr(0, lead);
            AppendWrapped(out, lead, line.substr(lead), lead, width);
        } else if (description <= width / 2) {
            out += line.substr(0, description);
            AppendWrapped(out, description, line.substr(description), description, width);
        } else {
            const std::size_t indent = lead + 4;
            out += line.substr(0, gap) + '\n' + std::string(indent, ' ');
            AppendWrapped(out, indent, line.substr(description), indent, width);
        }
    }
    if (!text.empty() && text.back() == '\n')
        out += '\n';
    return out;
}
