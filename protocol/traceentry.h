#pragma once

#include <cstdint>
#include <string>

// The trace entries the worker writes: one per byte or frame sent or received, each ended by a
// single carriage return, numbers in decimal 0..255 without sign or leading zeros, -1 for no
// byte. A "!" stands in front of a byte whose write failed, and behind a frame whose write or
// read failed (instead of its frame-received entry). protocol/traceparser.h reads them back.

namespace TraceMark {
inline constexpr char AttemptStart[] = "USB";
inline constexpr char Sent = '<';
inline constexpr char Received = '>';
inline constexpr char Failed = '!';
inline constexpr char End = '\r';
} // namespace TraceMark

// "USB", the port's device name, carriage return: it begins the record of an attempt.
std::string AttemptStartEntry(const std::string& device);
// "<" and the byte's value.
std::string ByteSentEntry(std::uint8_t value);
// ">" and the value received, or -1 for none.
std::string ByteReceivedEntry(int value);
// "<" or ">", then each byte's value followed by a space.
std::string FrameSentEntry(const std::string& frame);
std::string FrameReceivedEntry(const std::string& bytes);
// The failure mark: before a byte-sent entry, or after a frame-sent entry.
std::string FailureMark();
