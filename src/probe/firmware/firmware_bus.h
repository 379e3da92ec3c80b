#pragma once

#include <cstdint>

// The target as the probe firmware's operations reach it: bus cycles, core
// registers and code that runs. The simulated board and a board behind a
// GDB server each give one, so that init lists and flash algorithms are
// carried out the same way on both.
class CFirmwareBus {
public:
    virtual ~CFirmwareBus() = default;

    // One bus cycle of `widthBytes` (1, 2 or 4), value in the low bits; false
    // when nothing answers at `address`.
    virtual bool BusRead(uint32_t address, int widthBytes, uint32_t& value) = 0;
    virtual bool BusWrite(uint32_t address, int widthBytes, uint32_t value) = 0;
    // A core register write (class and number as in TargetWriteRegisters):
    // 0 or a link status (e.g. kStatusNotSupported for a coprocessor the
    // target's debugger cannot reach).
    virtual int WriteRegister(uint16_t regClass, uint16_t number, uint32_t value) = 0;
    // An EXEC entry: the code at `address` runs for `ms` milliseconds (a
    // board without a core just waits). 0 or a link status.
    virtual int Execute(uint32_t address, uint32_t ms) = 0;
    // A DELAY entry: waits `ms` milliseconds, ending early when the probe is
    // being stopped.
    virtual void Delay(uint32_t ms) = 0;
    // True once the probe is being stopped: a running list ends.
    virtual bool Stopping() const { return false; }
};
