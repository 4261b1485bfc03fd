#include "app/cli/terminaltext.h"

#include <gtest/gtest.h>

TEST(TerminalText, ControlsAreEscapedLettersKept)
{
    struct TCase
    {
        std::string In, Out;
    };
    const TCase cases[] = {
        {"plain /dev/ttyACM0", "plain /dev/ttyACM0"},
        {std::string("a\0b", 3), "a\\x00b"},
        {"\x1b[2J\r\t\x7f", "\\x1b[2J\\x0d\\x09\\x7f"},
        {"line\nnext", "line\\x0anext"},
        {"Dani\xc3\xabl \xe2\x82\xac", "Dani\xc3\xabl \xe2\x82\xac"}, // UTF-8 letters
        {"caf\xe9", "caf\xe9"},                                       // a code-page letter
        {"\xc2\x9b"
         "1m",
         "\\xc2\\x9b1m"}, // C1 control in UTF-8
        {"\x9b"
         "1m\x85",
         "\\x9b1m\\x85"}, // raw eight-bit controls
        {"C:\\dumps\\out.DMP", "C:\\dumps\\out.DMP"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TerminalText(c.In), c.Out) << c.In;
    EXPECT_EQ(TerminalLines("one\x1b\ntwo\n"), "one\\x1b\ntwo\n");
    EXPECT_EQ(TerminalFields("/dev/tty\x1b\t1-1\n"), "/dev/tty\\x1b\t1-1\\x0a");
}
