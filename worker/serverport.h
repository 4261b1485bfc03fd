#pragma once

#include <memory>

class TComPort;

// The port object as the window lays it out for the server: closed, 9600 baud, 8 data bits, no
// parity, 2 stop bits, DTR off and RTS on until bring-up switches them, no XON/XOFF, normal
// priority class. Device name "COM2" until discovery sets the real one.
std::unique_ptr<TComPort> MakeServerPort();
