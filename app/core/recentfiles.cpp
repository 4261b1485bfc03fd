#include "app/core/recentfiles.h"

#include <algorithm>

namespace {

char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

bool SameNameIgnoringAsciiCase(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}

std::string ListToStr(const TRecentFiles& items)
{
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += '\t';
        text += items[i];
    }
    return text;
}

void StrToList(TRecentFiles& items, const std::string& text)
{
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\t', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

void AddRecent(TRecentFiles& items, const std::string& text, const TSameName& same)
{
    const auto found = std::find_if(items.begin(), items.end(),
                                    [&](const auto& item) { return same(item, text); });
    const auto index = found == items.end() ? -1 : found - items.begin();
    if (index > 0)
        items.erase(found);
    if (index != 0)
        items.insert(items.begin(), text);
    if (items.size() > 10)
        items.resize(10);
}
