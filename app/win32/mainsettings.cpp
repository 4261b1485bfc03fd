#include "app/core/recentfiles.h"
#include "app/win32/mainwindow.h"
#include "app/win32/widepath.h"

// FileCombo's items are the recent files, as bytes of the system's single-byte code page as the
// settings file keeps them; its edit field is the output file name in UTF-16 (a name the code
// page cannot hold is used, but not kept among the recent files).

std::wstring TMain::FileText() const
{
    return WideWindowText(Control(ctFileCombo));
}

std::string TMain::FileName() const
{
    // Empty for a name the code page cannot hold: it is used, but not kept among the recent files.
    return AnsiName(FileText()).value_or(std::string());
}

std::filesystem::path TMain::FilePath() const
{
    return std::filesystem::path(FileText());
}

void TMain::SetRecentFiles(const TRecentFiles& items)
{
    const HWND box = Control(ctFileCombo);
    SendMessageA(box, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : items)
        SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    if (!items.empty())
        SendMessageA(box, CB_SETCURSEL, 0, 0);
}

// Without regard to letter case, as the system compares file names in its code page.
bool TMain::SameFileName(const std::string& a, const std::string& b) const
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.data(),
                          static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

void TMain::SetShutdownChecked(bool checked)
{
    CheckDlgButton(Window, ctShutdnChk, checked ? BST_CHECKED : BST_UNCHECKED);
}

TWindowPos TMain::Position() const
{
    RECT frame{};
    GetWindowRect(Window, &frame);
    return {frame.left, frame.top};
}

void TMain::RestorePosition(std::optional<int> left, std::optional<int> top)
{
    // Applied as stored; KeepOnScreen then brings a window back that no screen shows.
    if (left || top) {
        const TWindowPos now = Position();
        SetWindowPos(Window, nullptr, left.value_or(now.Left), top.value_or(now.Top), 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    KeepOnScreen();
}
