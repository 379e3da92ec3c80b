#pragma once

// The simulator's devices are told apart by the same algorithm table the
// probe firmware's flash algorithms use; these are its names on this side.
#include "probe/firmware/firmware_algorithm.h"

using CSimFlashAlgorithm = SFirmwareAlgorithm;
using ESimCommandSet = EFirmwareCommandSet;
using ESimUnlockFamily = EFirmwareUnlockFamily;
using ESimWorkspace = EFirmwareWorkspace;

inline const CSimFlashAlgorithm* FindSimFlashAlgorithm(uint32_t code)
{
    return FindFirmwareAlgorithm(code);
}

inline const CSimFlashAlgorithm* SimFlashAlgorithms(int& count)
{
    return FirmwareAlgorithms(count);
}

inline bool SimUnlockAddresses(const CSimFlashAlgorithm& algorithm, uint32_t& unlock1, uint32_t& unlock2)
{
    return FirmwareUnlockAddresses(algorithm, unlock1, unlock2);
}
