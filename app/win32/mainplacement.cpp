#include "app/core/windowplacement.h"
#include "app/win32/mainwindow.h"

#include <vector>

namespace {

struct TScreens
{
    std::vector<TScreenRect> Areas;
    std::size_t Primary = 0;
};

BOOL CALLBACK AddScreen(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    auto* screens = reinterpret_cast<TScreens*>(data);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoA(monitor, &info)) {
        if ((info.dwFlags & MONITORINFOF_PRIMARY) != 0)
            screens->Primary = screens->Areas.size();
        const RECT& work = info.rcWork; // without the task bar
        screens->Areas.push_back(
            {work.left, work.top, work.right - work.left, work.bottom - work.top});
    }
    return TRUE;
}

} // namespace

void TMain::KeepOnScreen()
{
    TScreens screens;
    EnumDisplayMonitors(nullptr, nullptr, &AddScreen, reinterpret_cast<LPARAM>(&screens));
    RECT frame{};
    RECT client{};
    GetWindowRect(Window, &frame);
    GetClientRect(Window, &client);
    POINT origin{0, 0};
    ClientToScreen(Window, &origin);
    // The strip above the client area is the title bar the user grabs.
    const int titleBar = origin.y - frame.top;
    const TWindowPos place = PlaceWindow(
        {frame.left, frame.top}, {frame.right - frame.left, frame.bottom - frame.top, titleBar},
        screens.Areas, screens.Primary);
    if (place.Left != frame.left || place.Top != frame.top)
        SetWindowPos(Window, nullptr, place.Left, place.Top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
