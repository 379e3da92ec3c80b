#pragma once

#include <cstdint>

// The target board behind the simulated probe, as the probe's firmware sees
// it: bus cycles on the target's address space, core register writes, and the
// flash algorithms that the firmware runs for program, verify and on-chip
// erase. The link/firmware side of the simulator (probe_sim) calls this; the
// board model (RAM, flash devices at the bus level, chip selects, timing,
// flash faults) implements it.
class CSimBoard {
public:
    virtual ~CSimBoard() = default;

    // One bus cycle of `widthBytes` (1, 2 or 4) at `address`, value in the low
    // bits. False when nothing answers at that address (the probe reports a
    // memory access error). Little-endian byte lanes: the byte at `address`
    // is bits 0..7.
    virtual bool BusRead(uint32_t address, int widthBytes, uint32_t& value) = 0;
    virtual bool BusWrite(uint32_t address, int widthBytes, uint32_t value) = 0;

    // A core register write (register class, number, value) from an init list.
    virtual void WriteRegister(uint16_t regClass, uint16_t number, uint32_t value) = 0;

    // The firmware's flash algorithms. Statuses of Setup/Erase are the frame
    // statuses: 0 ok, 1 invalid write or erase mode, 3 no RAM for the
    // algorithm code at the workspace, 4 invalid parameter.
    // Setup(algorithm 1) selects verify; Setup with algorithm 0 ends a session.
    virtual int FlashSetup(uint8_t algorithm, uint8_t busWidth, uint32_t p1, uint32_t p2, uint32_t p3) = 0;
    // Programs (or, after Setup(1), compares) `length` bytes at `address`.
    // Returns 0, or -1206 with `failAddress` set to the first failing byte.
    virtual int FlashProgram(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress) = 0;
    // On-chip erase request and its status (state 0 done, 2 busy, other failed).
    virtual int FlashErase(uint8_t algorithm, uint8_t mode, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4) = 0;
    virtual void FlashEraseStatus(uint8_t& state, uint32_t& value) = 0;
};
