// The main of the window test programs: GoogleTest inside a QApplication on the offscreen platform.
#include <QApplication>
#include <gtest/gtest.h>

// Read by ThreadSanitizer at start-up (ignored without it). Qt's libraries are not built with the
// sanitizer: their helper threads (the file dialog's file-info gatherer, the GUI thread pool)
// synchronise through atomics and futexes it cannot see, so their own allocations look racy.
// What Qt's code does itself is ignored; races in our code are still reported.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n";
}

int main(int argc, char** argv)
{
    // The window is tested for real, without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
