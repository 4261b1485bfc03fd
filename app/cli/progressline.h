#pragma once

#include <cstdint>
#include <string>

// The read-out's progress on a terminal: one line redrawn in place (a carriage return, a bar and
// the percentage).
class TProgressLine
{
public:
    // The text to print for a new percentage (0 to 100); empty when nothing changes on screen.
    std::string Update(std::uint8_t percent);
    // The text that ends the progress display before other output: a line end after a bar that
    // is still on screen, else nothing.
    std::string Finish();

private:
    bool BarShown = false;
    int LastShown = -1;
};
