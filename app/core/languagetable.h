#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Every text of the window that follows the user-interface language: 16 entries per language
// (0 English, 1 Nederlands), each ended by a NUL byte, 1249 bytes in all. Entry n of a language:
// 1 its name, 2 to 6 the captions of Next, Back, Exit, the shutdown option and the file label,
// 7 the save dialog's title, 8 and 9 the group captions of pages 2 and 3, 10 to 16 the
// instruction texts of pages 4 to 10. Line breaks are single carriage returns.
extern const std::string_view LanguageTable;

// The entries of one language by their use.
enum TLangEntry : std::uint8_t {
    leName = 1,
    leNextBut,
    lePrevBut,
    leEndBut,
    leShutdnChk,
    leFileTxt,
    leSaveDlg,
    leOutputFilePage, // the group caption of page 2; the entries of later pages follow
};

// The entry of a page's text: the group captions of pages 2 and 3, the instruction texts of
// pages 4 to 10.
constexpr TLangEntry PageTextEntry(std::uint8_t page)
{
    return static_cast<TLangEntry>(page + 6);
}

// Entry n (1 to 16) of language langIndex, without its NUL; empty when the table has no such
// entry (langIndex 2 and above).
std::string LangStr(std::uint8_t langIndex, std::uint8_t n);
