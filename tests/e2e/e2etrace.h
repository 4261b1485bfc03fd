#pragma once

#include <string>

// The trace file that the tool writes against the server simulator, built independently from
// the byte protocol so that the end-to-end tests can compare the file byte for byte.

// Attempt start on /dev/ttyACM0, the first probe answered with 0x00, one wake exchange, and the
// 19 identification steps answered from identification (17 bytes).
std::string ConnectTrace(const std::string& identification);
// The two link-check bytes: the first unanswered (or echoed), the second echoed. An echoed first
// byte fails the check, and the second byte is then not sent.
std::string LinkCheckTrace(bool echoFirst);
// The shutdown frame and its acknowledgement.
std::string ShutdownTrace();
// The read request for a block as sent (header, request, checksum, poll bytes).
std::string BlockRequestEntry(int block);
// The request for a block and the server's whole answer from memory.
std::string BlockTrace(int block, const std::string& memory);
// A read-out from the simulator with its default identification and memory: the connect, a
// passed link check and blocks 0 to blocks - 1 (all 128 by default), nothing after them.
std::string ReadOutTrace(int blocks = 128);
