#include "app/win32/mainwindow.h"

#include <array>
#include <commdlg.h>
#include <string>

namespace {

// Three choices, the first one selected; each a description and a pattern, the list ended by an
// empty pair.
constexpr char Filter[] = "Dump file (*.DMP)\0*.DMP\0"
                          "Binary file (*.BIN)\0*.BIN\0"
                          "Any file (*.*)\0*.*\0";

} // namespace

void TMain::DoBrowse()
{
    // Room for the longest name the dialog returns; a longer text in the box starts it empty.
    std::array<char, 32768> name{};
    const std::string current = FileName();
    if (current.size() < name.size())
        current.copy(name.data(), current.size());

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Window;
    dialog.lpstrFilter = Filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name.data();
    dialog.nMaxFile = static_cast<DWORD>(name.size());
    dialog.lpstrTitle = SaveTitle.c_str();
    dialog.lpstrDefExt = "DMP";
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING |
                   OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&dialog))
        return; // cancelled (or failed): nothing changes
    SetWindowTextA(Control(ctFileCombo), name.data());
    FileComboChange();
}
