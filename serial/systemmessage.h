#pragma once

#include <string>

// A system error text as the port reports it: trailing blanks, control characters and full
// stops cut off, nothing added.
std::string TrimSystemMessage(std::string text);
