#include "probe/firmware/firmware_algorithm.h"

#include <iterator>

namespace {

using enum EFirmwareCommandSet;
using enum EFirmwareUnlockFamily;
using enum EFirmwareWorkspace;

const SFirmwareAlgorithm kAlgorithms[] = {
    // code, command set, unlock family, DQ5, width, fixed bus, workspace, size in p1
    {2, Jedec, X8, true, 1, 0, Optional, false},
    {5, Intel, None, false, 1, 0, Optional, false},
    {6, Intel, None, false, 2, 0, Optional, false},
    {11, Jedec, ByteWord, true, 1, 0, Optional, false},
    {12, Jedec, ByteWord, true, 2, 0, Optional, false},
    {22, Jedec, X8, false, 1, 0, Optional, false},
    {23, Jedec, ByteWord, false, 1, 0, Optional, false},
    {24, Jedec, ByteWord, false, 2, 0, Optional, false},
    {27, PageWrite, None, false, 1, 0, Required, false},
    {28, PageWrite, None, false, 2, 0, Required, false},
    {29, Intel, None, false, 1, 0, Optional, false},
    {30, Intel, None, false, 2, 0, Optional, false},
    {31, Jedec, X8, true, 1, 0, Optional, false},
    {32, Jedec, ByteWord, true, 1, 0, Optional, false},
    {33, Jedec, ByteWord, true, 2, 0, Optional, false},
    {35, Jedec, X16X32, true, 2, 0, Optional, false},
    {36, Jedec, X16X32, true, 4, 0, Optional, false},
    {40, OnChip, None, false, 4, 4, Optional, false},
    {41, OnChip, None, false, 2, 2, Optional, false},
    {42, OnChip, None, false, 1, 1, Required, true},
    {43, OnChip, None, false, 4, 4, Optional, false},
    {44, OnChip, None, false, 2, 2, Optional, false},
    {45, OnChip, None, false, 4, 4, Optional, false},
    {46, OnChip, None, false, 4, 4, NotUsed, true},
    // The STR91xF flash sits on a 16-bit bus and takes Intel-style commands.
    {49, Intel, None, false, 2, 2, Optional, false},
};

} // namespace

const SFirmwareAlgorithm* FindFirmwareAlgorithm(uint32_t code)
{
    for (const auto& a : kAlgorithms)
        if (a.code == code)
            return &a;
    return nullptr;
}

const SFirmwareAlgorithm* FirmwareAlgorithms(int& count)
{
    count = int(std::size(kAlgorithms));
    return kAlgorithms;
}

bool FirmwareUnlockAddresses(const SFirmwareAlgorithm& algorithm, uint32_t& unlock1, uint32_t& unlock2)
{
    const uint32_t w = algorithm.deviceWidth;
    if (algorithm.commandSet == PageWrite) {
        // 0x5555 / 0x2AAA in device words.
        unlock1 = w == 1 ? 0x5555 : 0xAAAA;
        unlock2 = w == 1 ? 0x2AAA : 0x5554;
        return true;
    }
    if (algorithm.commandSet != Jedec)
        return false;
    switch (algorithm.family) {
    case X8:
        unlock1 = 0x5555;
        unlock2 = 0x2AAA;
        return true;
    case ByteWord:
        unlock1 = 0xAAAA;
        unlock2 = w == 1 ? 0x5555 : 0x5554;
        return true;
    case X16X32:
        unlock1 = w == 2 ? 0x5554 : 0x15554;
        unlock2 = 0xAAA8;
        return true;
    case None:
        break;
    }
    return false;
}
