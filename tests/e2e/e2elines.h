#pragma once

#include <string>

// Checks the virtual server's record of DTR and RTS (srvdiag-virtualserver --lines) for one
// bring-up: opened with DTR off and RTS on, a pause of 200 ms, DTR on, then RTS off, and a pause
// of 100 ms before the first byte goes out. Adds GoogleTest failures.
void ExpectBringUpLineSequence(const std::string& record);
