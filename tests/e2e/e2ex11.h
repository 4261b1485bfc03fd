#pragma once

#include "tests/e2e/e2eprocess.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// An Xvfb server on a display that it picks itself (-displayfd), for one test.
class TXServer
{
public:
    TXServer();
    const std::string& Display() const { return Name; }
    // The environment for a program that should show its windows there.
    std::vector<std::string> Env() const;

private:
    std::unique_ptr<TProcess> Server;
    std::string Name;
};

// The wizard's window on a TXServer, driven the way a user does: key presses only (xdotool), and
// watched through screenshots (xwd). Screenshots are raw xwd images; Save turns one into a PNG.
class TWizardWindow
{
public:
    // Waits for the window titled "Server diagnosis tool" and gives it the input focus, which
    // is also what activates it (there is no window manager).
    TWizardWindow(const TXServer& x, const std::string& artifactDir);

    void Keys(const std::vector<std::string>& keys) const;
    void Type(const std::string& text) const;
    std::string Capture() const;
    void Save(const std::string& image, const std::string& name) const;

    // Width and height of a screenshot.
    static std::pair<int, int> ImageSize(const std::string& image);
    // Whether the progress bar's place on the window is drawn (page 6) or blank.
    static bool ProgressBarShown(const std::string& image);
    // Whether two screenshots show the same page: alike but for the text cursor of a line edit,
    // which blinks by itself.
    static bool SamePage(const std::string& a, const std::string& b);
    // Waits until the window shows a picture of another page than previous that holds still for
    // a moment: the next page after a key press.
    std::string WaitForNewPage(const std::string& previous) const;

private:
    std::vector<std::string> Env;
    std::string Id;
    std::string ArtifactDir;
};
