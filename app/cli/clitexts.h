#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

// The command line's own short messages, in English (0) and Dutch (1). Each one is a line for
// standard error without the program's name; {1}, {2} ... stand for the values given to CliText.
enum TCliMessage : std::uint8_t {
    cmDone,              // {1} bytes, {2} file
    cmConnecting,        // progress on a terminal
    cmCannotWrite,       // {1} file, {2} the system's reason
    cmNoServerDevice,    // {1} the devices found instead
    cmNoUsbDevices,      // the list of cmNoServerDevice when it is empty
    cmMoreDevices,       // {1} how many more
    cmServerWithoutPort, // {1} the device's name
    cmListingFailed,
    cmNotFoundOn,      // {1} port, {2} why
    cmPortRefused,     // {1} port, {2} the system's reason
    cmPortBusy,        // {1} port, {2} the system's reason
    cmCommunication,   // {1} where it stopped
    cmInterruptedKept, // {1} file
    cmInterruptedNone,
    cmInterruptedPartial, // {1} bytes, {2} file
    cmTraceWritten,       // {1} path
    cmTraceFailed,        // {1} path, {2} reason
    cmCannotWriteKept,    // {1} file, {2} the system's reason, {3} where the read-out is
    cmMessageCount
};

// The message in language langIndex (English for any index but 1) with its values filled in.
std::string CliText(TCliMessage message, std::uint8_t langIndex,
                    std::initializer_list<std::string> values = {});

// The language of the texts when --lang is not given: Dutch (1) when the first of LC_ALL,
// LC_MESSAGES and LANG that is set and not empty starts with "nl", else English (0). lookup gives
// an environment variable's value, or null when it is not set.
std::uint8_t LanguageFromLocale(const std::function<const char*(const char*)>& lookup);
