#pragma once

#include "protocol/servermodel.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

// The server for the stage fuzz target: the well-behaved server model (probe, wake,
// identification, link check, shutdown and block frames from a fixed memory image) whose answers
// the fuzzer's bytes spoil. Each write of the tool takes one control byte, which lets the answers
// through, drops, replaces, cuts or adds to them, unplugs the device, fails the write, or presses
// Back or closes the window at that moment. When the fuzzer's bytes run out the server behaves.
class TFuzzServer
{
public:
    TFuzzServer(const std::uint8_t* data, std::size_t size);

    // The tool wrote these bytes; returns the answers to queue for it. Sets WriteFails when this
    // write must fail.
    std::string Take(const std::string& bytes);

    bool Unplugged = false;  // every later port call fails as on a vanished device
    bool WriteFails = false; // the current write fails
    bool ToolWroteFrame = false;
    std::function<void()> OnBack, OnClose;
    // Set on the worker's thread, read by the fuzz target's own while the worker runs on.
    std::atomic<bool> BackPressed{false}, ClosePressed{false};

    static std::string Image(); // the 1536-byte memory

private:
    std::uint8_t Next(std::uint8_t otherwise); // the next fuzzer byte

    const std::uint8_t* Data;
    std::size_t Size;
    std::size_t Pos = 0;
    TServerModel Model;
};
