#include "app/win32/mainwindow.h"
#include "app/win32/widepath.h"

#include <array>
#include <commdlg.h>
#include <string>

namespace {

// Three choices, the first one selected; each a description and a pattern, the list ended by an
// empty pair.
constexpr wchar_t Filter[] = L"Dump file (*.DMP)\0*.DMP\0"
                             L"Binary file (*.BIN)\0*.BIN\0"
                             L"Any file (*.*)\0*.*\0";

} // namespace

void TMain::DoBrowse()
{
    // Room for the longest name the dialog returns; a longer text in the box starts it empty.
    // Wide throughout, so that the name the user picks is the name the file gets.
    std::array<wchar_t, 32768> name{};
    const std::wstring current = FileText();
    if (current.size() < name.size())
        current.copy(name.data(), current.size());

    const std::wstring title = WideFromAnsi(SaveTitle);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Window;
    dialog.lpstrFilter = Filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrTitle = title.c_str();
    dialog.lpstrDefExt = L"DMP";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING |
                   OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&dialog))
        return; // cancelled (or failed): nothing changes
    SetWindowTextW(Control(ctFileCombo), name.data());
    FileComboChange();
}
