#pragma once

#include <cstdint>
#include <optional>

// The wizard's pages, owned by the worker: its loop moves the wizard on from the pages where it
// works and carries out Back.
enum TPage : std::uint8_t {
    pgNotStarted, // before the first activation
    pgLanguage,
    pgOutputFile,
    pgOptions,
    pgConnect, // the connect instruction
    pgConnecting,
    pgReading,
    pgSuccess,
    pgFileError,
    pgNotFound,
    pgCommError
};

// The result of the worker's current stage; a failure leads to page result + 7 (FailurePage).
enum TStageResult : std::uint8_t { srSuccess, srFileError, srNotFound, srCommError };

constexpr TPage FailurePage(TStageResult result)
{
    return static_cast<TPage>(result + 7);
}

// The result a page shown after a pass on page 5 or 6 stands for.
constexpr TStageResult PageResult(TPage page)
{
    return page >= pgFileError ? static_cast<TStageResult>(page - 7) : srSuccess;
}

// Where Next leads: from a failure page back to the connect instruction for a retry, from any
// other page one page on. None on the success page: there Next closes the window.
constexpr std::optional<TPage> WizardNext(TPage page)
{
    if (page == pgSuccess)
        return std::nullopt;
    return page >= pgFileError ? pgConnect : static_cast<TPage>(page + 1);
}

// Where Back leads: one page back, but no further back than the options. Back is not offered on
// the language page; should it come there anyway the page stays.
constexpr TPage WizardBack(TPage page)
{
    if (page > pgLanguage)
        page = static_cast<TPage>(page - 1);
    return page > pgOptions ? pgOptions : page;
}
