#include "app/core/dllsearch.h"
#include "app/win32/mainwindow.h"

#include <commctrl.h>

#ifndef SRVDIAG_CONTROL_LIST
#define SRVDIAG_CONTROL_LIST 0
#endif

namespace {

// A test build writes the window's control list on Ctrl+Shift+F12.
constexpr bool ControlListKey = SRVDIAG_CONTROL_LIST != 0;

bool IsControlListKey(const MSG& message)
{
    return ControlListKey && message.message == WM_KEYDOWN && message.wParam == VK_F12 &&
           (GetKeyState(VK_CONTROL) & 0x8000) != 0 && (GetKeyState(VK_SHIFT) & 0x8000) != 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    // Before anything loads a DLL by name.
    RestrictDllSearch();
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS;
    InitCommonControlsEx(&controls);

    TMain window(instance);
    if (!window.Create(showCommand))
        return 1;
    // A dialog's keyboard: Tab and the arrow keys move the focus, Enter clicks the default button
    // (Next) wherever the focus is, the ampersand accelerators work, Escape does nothing.
    // Wide messages: a character typed into the file box reaches it as UTF-16, whatever the code
    // page holds.
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsControlListKey(message) && window.Handle() != nullptr) {
            window.WriteControlList();
            continue;
        }
        const HWND dialog = window.Handle();
        if (dialog != nullptr && IsDialogMessageW(dialog, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
