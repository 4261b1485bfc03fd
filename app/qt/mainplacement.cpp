#include "app/qt/srvdiagmain.h"
#include "app/core/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

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
