#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The read-out's progress on a terminal: one line redrawn in place (a carriage return, a bar and
// the percentage).
class TProgressLine
{
public:
    // columns: the terminal's width, so that the line never wraps (0: unknown, the full bar).
    explicit TProgressLine(std::size_t columns = 0);

    // The text to print for a new percentage (0 to 100); empty when nothing changes on screen.
    std::string Update(std::uint8_t percent);
    // The text that ends the progress display before other output: a line end after a bar that
    // is still on screen, else nothing.
    std::string Finish();
    // A bar is drawn and its line not yet ended.
    bool Shown() const { return BarShown; }

private:
    std::size_t BarWidth; // the bar's cells between its brackets; 0: the percentage alone
    bool BarShown = false;
    int LastShown = -1;
};
