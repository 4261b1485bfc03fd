#pragma once

#include <cstdint>
#include <optional>

// The wizard's pages. The worker owns them because its loop moves the wizard on from the pages
// where it works and carries out Back; every front end shows them.
enum TPage : std::uint8_t {
    pgNotStarted = 0, // before the first activation
    pgLanguage = 1,
    pgOutputFile = 2,
    pgOptions = 3,
    pgConnect = 4, // the connect instruction
    pgConnecting = 5,
    pgReading = 6,
    pgSuccess = 7,
    pgFileError = 8,
    pgNotFound = 9,
    pgCommError = 10
};

// The result of the worker's current stage.
enum TStageResult : std::uint8_t {
    srSuccess = 0,
    srFileError = 1, // the dump file was not written in full, or the read-out was cut short
    srNotFound = 2,  // no server found, or it could not be brought up
    srCommError = 3  // the link was lost
};

// The page a failed stage leads to: 8, 9 or 10 for the results 1, 2 and 3.
constexpr TPage FailurePage(TStageResult result)
{
    return static_cast<TPage>(result + 7);
}

// The result a page after a pass on page 5 or 6 stands for: success for pages 6 and 7, the
// failure for pages 8 to 10.
constexpr TStageResult PageResult(TPage page)
{
    return page >= pgFileError ? static_cast<TStageResult>(page - 7) : srSuccess;
}

// The page after a successful pass on page (5 to 6, 6 to 7).
constexpr TPage PageAfter(TPage page)
{
    return static_cast<TPage>(page + 1);
}

// Where Next leads from page: from a failure page back to the connect instruction for a retry,
// from any other page one page on. None on the success page: there Next closes the window.
constexpr std::optional<TPage> WizardNext(TPage page)
{
    if (page == pgSuccess)
        return std::nullopt;
    if (page >= pgFileError)
        return pgConnect;
    return PageAfter(page);
}

// Where Back leads from page: one page back, but no further back than the options, so that every
// page from the connect instruction on returns to the options. Back is not offered on the
// language page; should it come there anyway the page stays.
constexpr TPage WizardBack(TPage page)
{
    if (page > pgLanguage)
        page = static_cast<TPage>(page - 1);
    return page > pgOptions ? pgOptions : page;
}
