#include "serial/comtypes.h"

#include <array>
#include <utility>

TLineErrors DecodeLineErrors(std::uint32_t errorBits)
{
    static constexpr std::array<std::pair<TLineError, std::uint32_t>, 11> table{{
        {leBreak, CommError::Break},
        {leDeviceNotSelected, CommError::Dns},
        {leFrame, CommError::Frame},
        {leIO, CommError::IOE},
        {leMode, CommError::Mode},
        {leOutOfPaper, CommError::Oop},
        {leOverrun, CommError::Overrun},
        {leDeviceTimeOut, CommError::Pto},
        {leRxOverflow, CommError::RxOver},
        {leParity, CommError::RxParity},
        {leTxFull, CommError::TxFull},
    }};
    TLineErrors set;
    for (const auto& [value, bit] : table)
        if (errorBits & bit)
            set.Include(value);
    return set;
}

TModemStatus DecodeModemStatus(std::uint32_t statusBits)
{
    TModemStatus set;
    if (statusBits & ModemBit::Cts)
        set.Include(msCTS);
    if (statusBits & ModemBit::Dsr)
        set.Include(msDSR);
    if (statusBits & ModemBit::Ring)
        set.Include(msRing);
    if (statusBits & ModemBit::Rlsd)
        set.Include(msRLSD);
    return set;
}
