#pragma once

#include "serial/comerror.h"

#include <span>

// The table SystemComErrorKind reads on Linux, for tests that check it row by row.
std::span<const TComErrorKindRow> LinuxComErrorKinds();
