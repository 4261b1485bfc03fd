#pragma once

#include <memory>

class TComPort;
class TSerialPlatform;

// The port object as the window lays it out for the server: closed, 9600 baud, 8 data bits, no
// parity, 2 stop bits, DTR off and RTS on until bring-up switches them, no XON/XOFF, normal
// priority class. Device name "COM2" until discovery sets the real one. On the given platform, or
// the system's when none is given.
std::unique_ptr<TComPort> MakeServerPort(std::unique_ptr<TSerialPlatform> platform = nullptr);
