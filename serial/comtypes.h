#pragma once

#include <cstdint>
#include <initializer_list>

// Enumerations, sets and handler-independent constants of the serial port component. A value
// ending in Default leaves the device's own setting alone.

enum TBaudRate : std::uint8_t {
    brDefault,
    br50,
    br75,
    br110,
    br150,
    br300,
    br600,
    br1200,
    br1800,
    br2000,
    br2400,
    br3600,
    br4800,
    br7200,
    br9600,
    br10400,
    br14400,
    br15625,
    br19200,
    br28800,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
    brCustom
};
enum TDataBits : std::uint8_t { dbDefault, db4, db5, db6, db7, db8 };
enum TParity : std::uint8_t { paDefault, paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits : std::uint8_t { sbDefault, sb1, sb1_5, sb2 };
enum TDTRControl : std::uint8_t { dcDefault, dcDisable, dcEnable, dcHandshake };
enum TRTSControl : std::uint8_t { rcDefault, rcDisable, rcEnable, rcHandshake, rcToggle };
enum TXOnXOffControl : std::uint8_t { xcDefault, xcDisable, xcInput, xcOutput, xcInputOutput };
enum TPriorityClass : std::uint8_t { pcDefault, pcIdle, pcNormal, pcHigh, pcRealTime };
enum TThreadPriority : std::uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};
enum TComAction : std::uint8_t { caFail, caAbort };

enum TOption : std::uint8_t {
    opCheckParity,
    opOutputCTSFlow,
    opOutputDSRFlow,
    opDSRSensitivity,
    opTXContinueOnXOff,
    opUseErrorChar,
    opDiscardNullBytes,
    opAbortOnError
};
enum TLineError : std::uint8_t {
    leBreak,
    leDeviceNotSelected,
    leFrame,
    leIO,
    leMode,
    leOutOfPaper,
    leOverrun,
    leDeviceTimeOut,
    leRxOverflow,
    leParity,
    leTxFull
};
enum TModemStatusValue : std::uint8_t { msCTS, msDSR, msRing, msRLSD };

// A set of enumeration values, one bit per value.
template <typename E, typename Bits> class TEnumSet
{
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> values)
    {
        for (E v : values)
            Include(v);
    }
    constexpr bool Contains(E v) const { return (bits_ >> static_cast<unsigned>(v)) & 1U; }
    constexpr void Include(E v) { bits_ = static_cast<Bits>(bits_ | (Bits{1} << v)); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    Bits bits_ = 0;
};

using TOptions = TEnumSet<TOption, std::uint8_t>;
using TLineErrors = TEnumSet<TLineError, std::uint16_t>;
using TModemStatus = TEnumSet<TModemStatusValue, std::uint8_t>;

// Line error bits as ClearCommError reports them.
namespace CommError {
inline constexpr std::uint32_t RxOver = 0x1;
inline constexpr std::uint32_t Overrun = 0x2;
inline constexpr std::uint32_t RxParity = 0x4;
inline constexpr std::uint32_t Frame = 0x8;
inline constexpr std::uint32_t Break = 0x10;
inline constexpr std::uint32_t TxFull = 0x100;
inline constexpr std::uint32_t Pto = 0x200;
inline constexpr std::uint32_t IOE = 0x400;
inline constexpr std::uint32_t Dns = 0x800;
inline constexpr std::uint32_t Oop = 0x1000;
inline constexpr std::uint32_t Mode = 0x8000;
} // namespace CommError

// Modem status bits as GetCommModemStatus reports them.
namespace ModemBit {
inline constexpr std::uint32_t Cts = 0x10;
inline constexpr std::uint32_t Dsr = 0x20;
inline constexpr std::uint32_t Ring = 0x40;
inline constexpr std::uint32_t Rlsd = 0x80;
} // namespace ModemBit

// Comm event bits as SetCommMask and WaitCommEvent use them.
namespace CommEvent {
inline constexpr std::uint32_t RxChar = 0x1;
inline constexpr std::uint32_t RxFlag = 0x2;
inline constexpr std::uint32_t TxEmpty = 0x4;
inline constexpr std::uint32_t Cts = 0x8;
inline constexpr std::uint32_t Dsr = 0x10;
inline constexpr std::uint32_t Rlsd = 0x20;
inline constexpr std::uint32_t Break = 0x40;
inline constexpr std::uint32_t Err = 0x80;
inline constexpr std::uint32_t Ring = 0x100;
inline constexpr std::uint32_t PErr = 0x200;
inline constexpr std::uint32_t Rx80Full = 0x400;
inline constexpr std::uint32_t Event1 = 0x800;
inline constexpr std::uint32_t Event2 = 0x1000;
} // namespace CommEvent

TLineErrors DecodeLineErrors(std::uint32_t errorBits);
TModemStatus DecodeModemStatus(std::uint32_t statusBits);
