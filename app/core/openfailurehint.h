#pragma once

#include <string>

class EComError;

// A port the user may not open, or one another program holds, is an installation matter the
// wizard page cannot explain: the one line a host writes to standard error for it (ending in a
// line feed), or empty for other failures.
std::string OpenFailureHint(const std::string& deviceName, const EComError& error);
