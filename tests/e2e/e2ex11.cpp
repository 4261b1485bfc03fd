#include "tests/e2e/e2ex11.h"

#include "tests/e2e/e2efiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Between two screenshots that must agree. The X server tells nothing when a window's picture
// changes, so a page change is found by looking again; HangGuard only ends a hang.
constexpr auto StepTime = 150ms;

std::uint32_t Field(const std::string& xwd, std::size_t index)
{
    const auto* p = reinterpret_cast<const unsigned char*>(xwd.data()) + index * 4;
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

// The pixels of an xwd image, without its header and colour table.
std::string Pixels(const std::string& xwd)
{
    if (xwd.size() < 100)
        return xwd;
    const std::size_t offset = Field(xwd, 0) + Field(xwd, 19) * 12;
    return offset < xwd.size() ? xwd.substr(offset) : "";
}

} // namespace

TXServer::TXServer()
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    // The write end stays open across exec for Xvfb to report its display number on.
    Server = std::make_unique<TProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                                 "1920x1200x24", "-nolisten", "tcp", "-dpi", "96"});
    close(pipeFds[1]);
    // Xvfb writes its display number once it takes connections; waiting for that line is the
    // whole wait, and the deadline only ends a hang.
    const auto deadline = std::chrono::steady_clock::now() + HangGuard;
    pollfd p{pipeFds[0], POLLIN, 0};
    std::string number;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        const int ready = poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        char c = 0;
        if (ready <= 0 || read(pipeFds[0], &c, 1) != 1 || c == '\n')
            break;
        number += c;
    }
    close(pipeFds[0]);
    if (number.empty())
        throw std::runtime_error("Xvfb did not start");
    Name = ":" + number;
}

std::vector<std::string> TXServer::Env() const
{
    return {"DISPLAY=" + Name, "QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY=",
            std::string("LSAN_OPTIONS=suppressions=") + E2E_SOURCE_DIR + "/lsan.supp",
            std::string("TSAN_OPTIONS=suppressions=") + E2E_SOURCE_DIR + "/tsan.supp"};
}

TWizardWindow::TWizardWindow(const TXServer& x, const std::string& artifactDir)
    : Env(x.Env()), ArtifactDir(artifactDir)
{
    const TRunResult search = RunProgram(
        {"xdotool", "search", "--sync", "--onlyvisible", "--name", "^Server diagnosis tool$"}, Env,
        HangGuard);
    Id = search.Output.substr(0, search.Output.find('\n'));
    if (search.ExitCode != 0 || Id.empty())
        throw std::runtime_error("the wizard's window did not appear");
    RunProgram({"xdotool", "windowfocus", "--sync", Id}, Env, HangGuard);
    std::filesystem::create_directories(ArtifactDir);
}

void TWizardWindow::Keys(const std::vector<std::string>& keys) const
{
    std::vector<std::string> argv{"xdotool", "key", "--delay", "60"};
    argv.insert(argv.end(), keys.begin(), keys.end());
    EXPECT_EQ(RunProgram(argv, Env, HangGuard).ExitCode, 0);
}

void TWizardWindow::Type(const std::string& text) const
{
    EXPECT_EQ(RunProgram({"xdotool", "type", "--delay", "20", text}, Env, HangGuard).ExitCode, 0);
}

std::string TWizardWindow::Capture() const
{
    return RunProgram({"xwd", "-id", Id, "-silent"}, Env, HangGuard).Output;
}

void TWizardWindow::Save(const std::string& image, const std::string& name) const
{
    const std::string xwd = ArtifactDir + "/" + name + ".xwd";
    WriteFile(xwd, image);
    RunProgram({"convert", "xwd:" + xwd, ArtifactDir + "/" + name + ".png"}, {}, HangGuard);
    std::filesystem::remove(xwd);
}

std::pair<int, int> TWizardWindow::ImageSize(const std::string& image)
{
    if (image.size() < 100)
        return {0, 0};
    return {static_cast<int>(Field(image, 4)), static_cast<int>(Field(image, 5))};
}

bool TWizardWindow::ProgressBarShown(const std::string& image)
{
    const auto [width, height] = ImageSize(image);
    // The window is 365 x 228 at scale 1, twice that at QT_SCALE_FACTOR=2, and so on.
    const int scale = width / 365;
    if (scale < 1 || height < 228 * scale)
        return false;
    const std::uint32_t bytesPerPixel = Field(image, 11) / 8;
    const std::uint32_t bytesPerLine = Field(image, 12);
    if (bytesPerPixel == 0)
        return false;
    const std::string pixels = Pixels(image);
    // The bar's place: 8,160 to 355,177; look inside its border.
    const auto at = [&](int x, int y) {
        return static_cast<std::size_t>(y) * scale * bytesPerLine +
               static_cast<std::size_t>(x) * scale * bytesPerPixel;
    };
    const std::string first = pixels.substr(at(12, 163), bytesPerPixel);
    for (int y = 161; y <= 176; ++y)
        for (int x = 10; x <= 352; ++x)
            if (pixels.compare(at(x, y), bytesPerPixel, first) != 0)
                return true;
    return false;
}

bool TWizardWindow::SamePage(const std::string& a, const std::string& b)
{
    const std::string pixelsA = Pixels(a), pixelsB = Pixels(b);
    if (pixelsA == pixelsB)
        return true;
    const auto [width, height] = ImageSize(a);
    if (ImageSize(b) != std::make_pair(width, height) || pixelsA.size() != pixelsB.size())
        return false;
    const std::size_t bytesPerPixel = Field(a, 11) / 8;
    const std::size_t bytesPerLine = Field(a, 12);
    if (bytesPerPixel == 0)
        return false;
    // The text cursor is one pixel wide at scale 1 and scale pixels wide at scale: pictures
    // that differ within no wider a column show the same page.
    const int scale = std::max(1, width / 365);
    int left = width, right = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * bytesPerLine +
                                   static_cast<std::size_t>(x) * bytesPerPixel;
            if (at + bytesPerPixel > pixelsA.size())
                return false;
            if (pixelsA.compare(at, bytesPerPixel, pixelsB, at, bytesPerPixel) != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    return right - left < scale;
}

std::string TWizardWindow::WaitForNewPage(const std::string& previous) const
{
    const auto deadline = std::chrono::steady_clock::now() + HangGuard;
    std::string last;
    // Two pictures alike one step apart: a page drawn in more than one piece is not taken
    // half-drawn.
    while (std::chrono::steady_clock::now() < deadline) {
        std::string image = Capture();
        if (!image.empty() && !SamePage(image, previous) && SamePage(image, last))
            return image;
        last = std::move(image);
        std::this_thread::sleep_for(StepTime);
    }
    ADD_FAILURE() << "the window showed no new page";
    return last;
}
