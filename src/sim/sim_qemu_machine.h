#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A QEMU machine whose parallel flash can stand behind a simulated board, as
// the machine wires it: which of QEMU's two flash models, on which bus, at
// which guest address, with which drive sizes and erase blocks, and where the
// parked guest loop goes (in the machine's RAM: a loader writing into the
// flash's window would change the flash's contents).
enum class ESimQemuFlashModel {
    Jedec, // cfi.pflash02: AMD/JEDEC command set, up to four erase regions
    Intel, // cfi.pflash01: Intel command set, uniform blocks, chips side by side
};

struct CSimQemuMachine {
    const char* name;
    ESimQemuFlashModel model;
    uint32_t busBytes;
    uint32_t flashBase;             // guest address of the flash's first byte
    std::vector<uint64_t> sizes;    // drive sizes the machine takes
    uint32_t blockBytes;            // its erase block on the bus, unless regions are given
    bool regionsSettable;           // cfi.pflash02: num-blocks0..3 / sector-length0..3
    bool deviceWidthSettable;       // cfi.pflash01: device-width (chips side by side)
    uint32_t parkAddress;           // guest RAM for the two-instruction park loop
    bool armV7;                     // the park loop uses WFI (else the ARMv5 CP15 wait)
};

// The machine of that name, or nullptr.
const CSimQemuMachine* FindSimQemuMachine(const std::string& name);
// The names, for messages.
std::string SimQemuMachineNames();

// The park loop as little-endian bytes: wait for an interrupt, branch back.
std::vector<uint8_t> SimQemuParkLoop(const CSimQemuMachine& machine);
