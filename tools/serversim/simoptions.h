#pragma once

// The simulator's options are the server model's.
#include "protocol/servermodel.h"
