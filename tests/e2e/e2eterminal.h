#pragma once

#include <chrono>
#include <optional>
#include <string>

class TProcess;

// A pseudo-terminal to give a program as its standard error (TProcess's stderrFile), so that it
// writes there as to a technician's terminal; the test reads what it wrote.
class TTerminal
{
public:
    TTerminal();
    ~TTerminal();
    TTerminal(const TTerminal&) = delete;
    TTerminal& operator=(const TTerminal&) = delete;

    const std::string& DeviceName() const { return Device; }
    // Gives the terminal a width, as a terminal window of that many columns has.
    void SetColumns(unsigned short columns);
    // Types text on the terminal's keyboard: a Ctrl+C ("\x03") signals the foreground process
    // group of a program that has it as its controlling terminal, and shows as ^C.
    void Type(const std::string& text);
    // Holds the program's output as a terminal's Ctrl+S does: its next write to the terminal
    // waits until ResumeOutput, however long that is.
    void PauseOutput();
    void ResumeOutput();
    // Reads until the output holds text (true), the process ended or limit passed (false).
    bool WaitFor(const std::string& text, TProcess& process, std::chrono::milliseconds limit);
    // Reads on until the process ends (at most limit long), so that it never waits for the
    // terminal to take its output; its exit code, or nothing.
    std::optional<int> WaitForExit(TProcess& process, std::chrono::milliseconds limit);
    const std::string& Output() const { return Text; }

private:
    void ReadAvailable(std::chrono::milliseconds wait);
    int Master = -1;
    std::string Device;
    std::string Text;
};
