#pragma once

#include <cstdint>
#include <string>

// The read-out's progress as text. On a terminal one line is redrawn in place (a carriage
// return, a bar and the percentage); elsewhere (a pipe, a log file) a plain line is printed at
// each tenth, so that a log holds eleven lines rather than a hundred redraws.
class TProgressLine
{
public:
    explicit TProgressLine(bool terminal) : Terminal(terminal) {}

    // The text to print for a new percentage (0 to 100); empty when nothing changes on screen.
    std::string Update(std::uint8_t percent);
    // The text that ends the progress display before other output: a line end after a bar that
    // is still on screen, else nothing.
    std::string Finish();

private:
    bool Terminal;
    bool BarShown = false;
    int LastShown = -1;
};
