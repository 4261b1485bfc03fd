#pragma once

#include <string>
#include <string_view>

// Text as it may reach a terminal: every control byte (C0, DEL, and the C1 controls, raw or
// encoded in UTF-8) written as \xHH, so that a device's strings, a file's content or a crafted
// name can neither move the cursor, clear the screen nor retitle the window. Any other byte,
// letters of the single-byte code page and of UTF-8 alike, is kept.
std::string TerminalText(std::string_view text);

// The same for text of several lines: each line escaped, the line feeds between them kept.
std::string TerminalLines(std::string_view text);

// The same for a line of TAB-separated fields (--list): each field escaped, the TABs kept.
std::string TerminalFields(std::string_view text);
