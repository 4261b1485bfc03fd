#pragma once

#include <cstdint>
#include <optional>

// The wizard's moves between pages, shared by every front end and by the worker, which carries
// out Back. Page 1 language, 2 output file, 3 options, 4 connect instruction, 5 connecting,
// 6 reading, 7 success, 8 output-file error, 9 server not found, 10 communication error (0 before
// the first activation). Plain C++ in one header so that the worker needs no front-end library.

// Where Next leads from page: from a failure page (8 to 10) back to the connect instruction for a
// retry, from any other page one page on. None on page 7: there Next closes the window.
constexpr std::optional<std::uint8_t> WizardNext(std::uint8_t page)
{
    if (page == 7)
        return std::nullopt;
    if (page >= 8)
        return std::uint8_t{4};
    return static_cast<std::uint8_t>(page + 1);
}

// Where Back leads from page: one page back, but no further back than the options (page 3), so
// that every page from 4 on returns to the options. Back is not offered on page 1; should it come
// there anyway the page stays.
constexpr std::uint8_t WizardBack(std::uint8_t page)
{
    if (page > 1)
        --page;
    return page > 3 ? std::uint8_t{3} : page;
}
