#include "app/core/windowplacement.h"
#include "app/qt/srvdiagmain.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

void TMain::RestorePosition(std::optional<int> left, std::optional<int> top)
{
    // Applied as stored; KeepOnScreen then brings a window back that no screen shows.
    if (left)
        move(*left, y());
    if (top)
        move(x(), *top);
    KeepOnScreen();
}

void TMain::KeepOnScreen()
{
    std::vector<TScreenRect> screens;
    std::size_t primary = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen == QGuiApplication::primaryScreen())
            primary = screens.size();
        const QRect area = screen->availableGeometry();
        screens.push_back({area.x(), area.y(), area.width(), area.height()});
    }
    const QRect frame = frameGeometry();
    // Without decorations yet (or at all) the top strip of the window is what the user grabs.
    const int decoration = geometry().y() - frame.y();
    const int titleBar = decoration > 0
                             ? decoration
                             : style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
    const TWindowPos place =
        PlaceWindow({x(), y()}, {frame.width(), frame.height(), titleBar}, screens, primary);
    if (place.Left != x() || place.Top != y())
        move(place.Left, place.Top);
}
