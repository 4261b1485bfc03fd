#include "app/qt/windowstart.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr const char* NoDisplayLine =
    "srvdiag: no display found; srvdiag-cli reads a server in a terminal\n";

constexpr const char* HelpText =
    "Usage: srvdiag [--help | --version]\n"
    "Reads out the memory of a server attached through USB and stores it in a dump file, led by\n"
    "a wizard in one window. Without a display, srvdiag-cli does the same in a terminal.\n"
    "\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Exit status: 0 when the window was closed, 69 when no display could be opened.\n";

// What the message handler collects while the application starts. Qt takes the handler as a
// plain function, so this lives for the whole process; it is used only during the start.
struct TStartMessages
{
    std::mutex Lock;
    std::vector<std::string> Held;
};

TStartMessages& StartMessages()
{
    static TStartMessages messages;
    return messages;
}

// The only fatal message while the application starts is the one for a platform that cannot
// be initialised: no display to connect to.
void HoldStartMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fputs(NoDisplayLine, stderr);
        std::fflush(stderr);
        std::_Exit(NoDisplayExit);
    }
    TStartMessages& messages = StartMessages();
    std::lock_guard guard(messages.Lock);
    messages.Held.push_back(qFormatLogMessage(type, context, message).toLocal8Bit().toStdString());
}

} // namespace

std::optional<int> AnswerInfoRequest(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(HelpText, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("srvdiag " PROJECT_VERSION "\n", stdout);
            return 0;
        }
    }
    return std::nullopt;
}

std::unique_ptr<QApplication> StartWindowApplication(int& argc, char** argv)
{
    const QtMessageHandler previous = qInstallMessageHandler(HoldStartMessage);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    TStartMessages& messages = StartMessages();
    std::lock_guard guard(messages.Lock);
    for (const std::string& line : messages.Held)
        std::fprintf(stderr, "%s\n", line.c_str());
    messages.Held.clear();
    return app;
}
