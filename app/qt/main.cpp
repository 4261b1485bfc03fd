#include "app/qt/srvdiagmain.h"
#include "app/qt/windowstart.h"

#include <QApplication>

int main(int argc, char** argv)
{
    if (const std::optional<int> status = AnswerInfoRequest(argc, argv))
        return *status;
    const std::unique_ptr<QApplication> app = StartWindowApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("srvdiag"));
    // Matches the desktop entry io.github.srvdiag.srvdiag.desktop, so that Wayland shows its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.srvdiag.srvdiag"));
    TMain window;
    window.show();
    return QApplication::exec();
}
