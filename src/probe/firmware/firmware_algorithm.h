#pragma once

#include <cstdint>

// How the devices of one program algorithm code behave on the bus and what
// the probe's firmware needs to program them. One table, looked up by code,
// is the only place where codes are told apart.
enum class EFirmwareCommandSet {
    Jedec,     // unlock cycles, A0 program, 80/10 chip and 80/30 sector erase, DQ7/DQ6/DQ5
    Intel,     // 40 program, 20/D0 block erase, status register
    PageWrite, // unlock cycles and 256-byte page loads; no separate erase
    OnChip,    // a microcontroller's flash: programmed and erased by the firmware
};

// Which unlock addresses a JEDEC device expects (the simulator models each in CSimFlashJedec).
enum class EFirmwareUnlockFamily { None, X8, ByteWord, X16X32 };

// Whether programming needs target RAM at the workspace address.
enum class EFirmwareWorkspace {
    NotUsed,  // the workspace parameter is not used
    Optional, // none (0xFFFFFFFF) or RAM
    Required, // must be RAM
};

struct SFirmwareAlgorithm {
    uint32_t code;
    EFirmwareCommandSet commandSet;
    EFirmwareUnlockFamily family;
    bool failureBit;        // JEDEC: the device reports a failed operation on DQ5
    uint32_t deviceWidth;   // bytes
    uint32_t fixedBusWidth; // bytes; 0 when any bus at least as wide as the device will do
    EFirmwareWorkspace workspace;
    bool sizeInP1;          // FlashSetup's p1 is the device size instead of the bank mask
};

// The row of a program algorithm code, or nullptr for a code no device uses.
const SFirmwareAlgorithm* FindFirmwareAlgorithm(uint32_t code);

// Every row, for tests that walk them all.
const SFirmwareAlgorithm* FirmwareAlgorithms(int& count);

// The unlock cycle addresses a host or the firmware writes for this family,
// as device byte addresses: on the bus they lie at the bank start plus these
// values times the number of devices side by side. False for families
// without unlock cycles.
bool FirmwareUnlockAddresses(const SFirmwareAlgorithm& algorithm, uint32_t& unlock1, uint32_t& unlock2);
