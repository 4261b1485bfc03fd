#include "app/srvdiagmain.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("srvdiag"));
    // Matches the desktop entry io.github.srvdiag.srvdiag.desktop, so that Wayland shows its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.srvdiag.srvdiag"));
    TMain window;
    window.show();
    return QApplication::exec();
}
