#include "app/core/recentfiles.h"
#include "app/core/settingsfile.h"
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

void TMain::LoadSettings()
{
    const std::optional<TSettings> settings = LoadSettingsFile(Paths.IniPath);
    if (!settings)
        return;
    // Applied as stored; KeepOnScreen then brings a window back that no screen shows.
    RECT frame{};
    GetWindowRect(Window, &frame);
    SetWindowPos(Window, nullptr, settings->Left.value_or(frame.left),
                 settings->Top.value_or(frame.top), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    CheckDlgButton(Window, ctShutdnChk, settings->Shutdown ? BST_CHECKED : BST_UNCHECKED);
    ShutdownOn.store(settings->Shutdown);
    AddItems(Control(ctFileCombo), settings->RecentFiles);
}

void TMain::SaveSettings()
{
    RECT frame{};
    GetWindowRect(Window, &frame);
    // A settings file that cannot be written is given up silently; closing goes on.
    SaveSettingsFile(Paths.IniPath,
                     FormatSettings(frame.left, frame.top,
                                    IsDlgButtonChecked(Window, ctShutdnChk) == BST_CHECKED,
                                    Items(Control(ctFileCombo))));
}

void TMain::AddRecent()
{
    const std::optional<std::string> name = AnsiName(FileText());
    if (!name)
        return; // the settings file could not hold it: the list stays as it is
    const HWND box = Control(ctFileCombo);
    TRecentFiles items = Items(box);
    ::AddRecent(items, *name, SameName);
    SendMessageA(box, CB_RESETCONTENT, 0, 0);
    AddItems(box, items);
    SendMessageA(box, CB_SETCURSEL, 0, 0);
}
