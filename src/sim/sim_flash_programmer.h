#pragma once

#include "probe/firmware/flash_program_cycles.h"
#include "sim/sim_flash_algorithm.h"

#include <cstdint>

class CSimBoardModel;
class CSimFlashArray;
class CSimFlashOnChip;

// The probe firmware's flash algorithms, run against the simulated board.
// Program and verify go through the board's bus exactly as target code
// would, with the firmware's program loops (CFlashProgramCycles, shared with
// the GDB server's probe library); on-chip flash is programmed in place.
//
// FlashSetup(algorithm, busWidth, p1, p2, p3):
//   algorithm 0 ends the session, 1 starts a verify session;
//   an unknown code gives 1;
//   a bus width the device cannot sit on gives 4 (1, 2 or 4 bytes, at least
//     the device width, the fixed width of on-chip flash);
//   p1 is the two's complement of the bank size (JEDEC and page-write codes
//     find a bank's start as address & p1, so it must be a power-of-two mask)
//     or, for 42 and 46, the device size (nonzero); otherwise 4;
//   p2 is the workspace: codes 27, 28 and 42 need 2048 bytes of RAM there,
//     the others accept 0xFFFFFFFF (no workspace) or RAM, 46 ignores it;
//     else 3. A workspace in use is overwritten with the algorithm's code.
// FlashProgram outside a session gives -4102 ("Invalid write or erase mode.").
//
// FlashErase(algorithm, mode, p1, p2, p3, p4) for on-chip codes (others: 1):
//   40, 41  mode 0 whole device, mode 1 the sector starting at p2; the
//           request waits for the erase (at most 2 s) and the status then
//           answers state 0 with the time in ms, or state 1 / 2 (failed /
//           still busy) with the sector's address;
//   42, 43, 45  mode 0, p1 the device size, p2 a mask of sectors (bit i for
//           sector i; bit i+16 for 43 and 45 on devices of fewer than 3 sectors);
//   44, 46  mode 0 whole device, mode 1 the sector starting at p2 (46: p1 the
//           device size);
//   p3 the workspace as for FlashSetup. A mode other than these gives 1, a
//   parameter that names no sector or device gives 4, as does a request
//   while an erase still runs.
// FlashEraseStatus: state 0 done (value: erase time in ms), 2 busy, 1 failed
// (value: bus address of the first failing sector); 0 and 0 before any erase.
class CSimFlashProgrammer {
public:
    explicit CSimFlashProgrammer(CSimBoardModel& board) : board_(board) {}

    int Setup(uint8_t algorithm, uint8_t busWidth, uint32_t p1, uint32_t p2, uint32_t p3);
    int Program(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress);
    int Erase(uint8_t algorithm, uint8_t mode, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4);
    void EraseStatus(uint8_t& state, uint32_t& value);

    static constexpr uint32_t kWorkspaceSize = 2048;
    static constexpr uint32_t kNoWorkspace = 0xFFFFFFFF;

private:
    enum class ESession { None, Program, Verify };

    // Bus cycles of the session's bus width on the board: the route every
    // algorithm can take. A JEDEC program call whose cycles all fall in one
    // bank of one flash array takes that bank's CSimFlashBankPort instead;
    // both give the same Read(address, value) and Write(address, value).
    class CBoardCycles {
    public:
        CBoardCycles(CSimFlashProgrammer& programmer, int widthBytes) : programmer_(programmer), width_(widthBytes) {}
        bool Read(uint32_t address, uint32_t& value) { return programmer_.BusRead(address, width_, value); }
        bool Write(uint32_t address, uint32_t value) { return programmer_.BusWrite(address, width_, value); }

    private:
        CSimFlashProgrammer& programmer_;
        int width_;
    };

    int CheckWorkspace(ESimWorkspace rule, uint32_t workspace);
    int Verify(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress);
    int ProgramJedec(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress);
    int ProgramIntel(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress);
    int ProgramPages(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress);
    int ProgramOnChip(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress);

    // Bus cycles on the board, whose lock is held: every call of the
    // programmer comes through the board's Flash* calls.
    bool BusRead(uint32_t address, int widthBytes, uint32_t& value);
    bool BusWrite(uint32_t address, int widthBytes, uint32_t value);

    // The shared program loops for this session's algorithm and bus.
    CFlashProgramCycles Cycles();

    CSimBoardModel& board_;
    ESession session_ = ESession::None;
    const CSimFlashAlgorithm* algorithm_ = nullptr;
    uint32_t busBytes_ = 0;
    uint32_t p1_ = 0;

    // The running or last on-chip erase.
    CSimFlashArray* eraseArray_ = nullptr;
    uint32_t eraseAddress_ = 0;
};
