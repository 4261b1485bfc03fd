#pragma once

#include <cstdint>
#include <memory>

class TComPort;
class TSerialPlatform;

// The meaning of the port's general-purpose Tag: whether the worker holds the port open.
enum TPortTag : std::intptr_t { tgPortFree = 0, tgWorkerHoldsPort = 1 };

// The port object as the window lays it out for the server: closed, 9600 baud, 8 data bits, no
// parity, 2 stop bits, DTR off and RTS on until bring-up switches them, no XON/XOFF, normal
// priority class. Device name "COM2" until discovery sets the real one. On the given platform, or
// the system's when none is given.
std::unique_ptr<TComPort> MakeServerPort(std::unique_ptr<TSerialPlatform> platform = nullptr);

// Closes the port if the worker left it open (Tag above tgPortFree) and marks it free. A close
// that fails is ignored and leaves the Tag set, so that the next caller tries again.
void ReleaseServerPort(TComPort& port);
