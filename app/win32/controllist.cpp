#include "app/win32/mainwindow.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace {

constexpr struct
{
    TMain::TControl Id;
    const char* Name;
} Names[] = {
    {TMain::ctInstrTxt, "InstrTxt"},   {TMain::ctLangGrp, "LangGrp"},
    {TMain::ctFileTxt, "FileTxt"},     {TMain::ctLangCombo, "LangCombo"},
    {TMain::ctShutdnChk, "ShutdnChk"}, {TMain::ctFileCombo, "FileCombo"},
    {TMain::ctBrowseBut, "BrowseBut"}, {TMain::ctPrcBar, "PrcBar"},
    {TMain::ctBevel1, "Bevel1"},       {TMain::ctEndBut, "EndBut"},
    {TMain::ctPrevBut, "PrevBut"},     {TMain::ctNextBut, "NextBut"},
};

const char* NameOf(int id)
{
    for (const auto& entry : Names) {
        if (entry.Id == id)
            return entry.Name;
    }
    return "?";
}

} // namespace

void TMain::WriteControlList() const
{
    const std::filesystem::path path = WithLastThreeReplaced(Wizard.FilePaths().IniPath, "CTL");
    std::error_code ignored; // the per-user folder of an installed copy may not exist yet
    std::filesystem::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary);
    RECT client{};
    RECT frame{};
    GetClientRect(Window, &client);
    GetWindowRect(Window, &frame);
    out << "dpi " << Dpi << "\r\n";
    out << "client " << client.right << ' ' << client.bottom << "\r\n";
    out << "window " << frame.left << ' ' << frame.top << ' ' << frame.right - frame.left << ' '
        << frame.bottom - frame.top << "\r\n";
    // The edit field of the output-file box has the focus for the box.
    HWND focus = GetFocus();
    if (focus != nullptr && GetParent(focus) != Window && GetParent(focus) != nullptr)
        focus = GetParent(focus);
    out << "focus " << (focus == Window ? "none" : NameOf(GetDlgCtrlID(focus))) << "\r\n";
    // Children in Z-order, which is the tab order.
    for (HWND child = GetWindow(Window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        // A combo box's window is its closed size; the drop-down list is a window of its own.
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, Window, reinterpret_cast<POINT*>(&rect), 2);
        const auto style = static_cast<DWORD>(GetWindowLongPtrA(child, GWL_STYLE));
        std::string caption(256, '\0');
        caption.resize(static_cast<std::size_t>(
            GetWindowTextA(child, caption.data(), static_cast<int>(caption.size()))));
        // One line per control: the label's line breaks (CR LF) as "|".
        std::erase(caption, '\n');
        std::replace(caption.begin(), caption.end(), '\r', '|');
        out << NameOf(id) << ' ' << rect.left << ' ' << rect.top << ' ' << rect.right - rect.left
            << ' ' << rect.bottom - rect.top << ' ' << (IsWindowVisible(child) ? 1 : 0) << ' '
            << ((style & WS_TABSTOP) != 0 ? 1 : 0) << ' ' << (IsWindowEnabled(child) ? 1 : 0) << ' '
            << caption << "\r\n";
    }
}
