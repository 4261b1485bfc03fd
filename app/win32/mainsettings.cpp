#include "app/core/recentfiles.h"
#include "app/win32/mainwindow.h"
#include "app/win32/widepath.h"

// FileCombo's items are the recent files, as bytes of the system's single-byte code page as the
// settings file keeps them; its edit field is the output file name in UTF-16 (a name the code
// page cannot hold is used, but not kept among the recent files).

namespace {

std::string ItemText(HWND box, WPARAM item)
{
    const LRESULT length = SendMessageA(box, CB_GETLBTEXTLEN, item, 0);
    if (length == CB_ERR || length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT got =
        SendMessageA(box, CB_GETLBTEXT, item, reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<std::size_t>(got));
    return text;
}

TRecentFiles Items(HWND box)
{
    TRecentFiles items;
    const LRESULT count = SendMessageA(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
        items.push_back(ItemText(box, static_cast<WPARAM>(i)));
    return items;
}

void AddItems(HWND box, const TRecentFiles& items)
{
    for (const std::string& name : items)
        SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

// Without regard to letter case, as the system compares file names in its code page.
bool SameName(const std::string& a, const std::string& b)
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, a.data(),
                          static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

} // namespace

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

TRecentFiles TMain::RecentFiles() const
{
    return Items(Control(ctFileCombo));
}

void TMain::SetRecentFiles(const TRecentFiles& items)
{
    const HWND box = Control(ctFileCombo);
    SendMessageA(box, CB_RESETCONTENT, 0, 0);
    AddItems(box, items);
    if (!items.empty())
        SendMessageA(box, CB_SETCURSEL, 0, 0);
}

bool TMain::SameFileName(const std::string& a, const std::string& b) const
{
    return SameName(a, b);
}

bool TMain::ShutdownChecked() const
{
    return IsDlgButtonChecked(Window, ctShutdnChk) == BST_CHECKED;
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
