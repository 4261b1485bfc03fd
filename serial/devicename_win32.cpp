#include "serial/devicename.h"

#include <string>

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

wchar_t Upper(wchar_t c)
{
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// True when text begins with prefix, ignoring the letter case of ASCII letters.
bool StartsWithNoCase(const std::wstring& text, std::size_t at, const wchar_t* prefix)
{
    for (std::size_t i = 0; prefix[i] != L'\0'; ++i) {
        if (at + i >= text.size() || Upper(text[at + i]) != prefix[i])
            return false;
    }
    return true;
}

// The part of a path after "\\?\" or "\??\" names a file only when it is a drive ("C:\...") or
// a share ("UNC\host\..."); anything else there is an object of the system's namespace.
bool VerbatimNamesAFile(const std::wstring& rest)
{
    const bool drive = rest.size() >= 2 && rest[1] == L':';
    const bool share =
        rest.size() >= 4 && StartsWithNoCase(rest, 0, L"UNC") && IsSeparator(rest[3]);
    return drive || share;
}

// "\\host\pipe\..." and "\\host\mailslot\...": another program's end of a pipe or mailslot.
bool NamesAPipeShare(const std::wstring& full)
{
    if (full.size() < 3 || !IsSeparator(full[0]) || !IsSeparator(full[1]))
        return false;
    std::size_t share = 2;
    while (share < full.size() && !IsSeparator(full[share]))
        ++share;
    while (share < full.size() && IsSeparator(full[share]))
        ++share;
    for (const wchar_t* folder : {L"PIPE", L"MAILSLOT"}) {
        const std::size_t length = std::wstring_view(folder).size();
        if (StartsWithNoCase(full, share, folder) &&
            (share + length == full.size() || IsSeparator(full[share + length])))
            return true;
    }
    return false;
}

// The last part of the name, as Windows compares it with the reserved device names: up to the
// first full stop (an extension) or colon (a stream, or the colon of "COM1:"), trailing blanks
// and full stops dropped, in capitals.
std::wstring DeviceStem(const std::wstring& full)
{
    std::size_t start = full.size();
    while (start > 0 && !IsSeparator(full[start - 1]))
        --start;
    // "C:CON" is CON on drive C's current folder.
    if (start == 0 && full.size() >= 2 && full[1] == L':')
        start = 2;
    std::wstring stem = full.substr(start);
    stem = stem.substr(0, stem.find_first_of(L".:"));
    while (!stem.empty() && (stem.back() == L' ' || stem.back() == L'.'))
        stem.pop_back();
    for (wchar_t& c : stem)
        c = Upper(c);
    return stem;
}

} // namespace

bool NamesADevice(const std::filesystem::path& name)
{
    const std::wstring& full = name.native();
    // "\\.\..." and "//./...": the device namespace itself.
    if (full.size() >= 4 && IsSeparator(full[0]) && IsSeparator(full[1]) && full[2] == L'.' &&
        IsSeparator(full[3]))
        return true;
    // "\\?\..." (also with forward slashes) and "\??\..." pass the rest to the system unchanged.
    const bool verbatim =
        full.size() >= 4 && IsSeparator(full[0]) && IsSeparator(full[3]) &&
        ((IsSeparator(full[1]) && full[2] == L'?') || (full[1] == L'?' && full[2] == L'?'));
    if (verbatim && !VerbatimNamesAFile(full.substr(4)))
        return true;
    if (NamesAPipeShare(full))
        return true;

    const std::wstring stem = DeviceStem(full);
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" || stem == L"CONIN$" ||
        stem == L"CONOUT$")
        return true;
    // COM and LPT with one digit, also the superscript digits 1 to 3 Windows accepts there.
    if (stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0))
        return (stem[3] >= L'0' && stem[3] <= L'9') || stem[3] == L'\u00B9' ||
               stem[3] == L'\u00B2' || stem[3] == L'\u00B3';
    return false;
}
