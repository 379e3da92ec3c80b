#pragma once

#include "sim/board_file.h"
#include "sim/qemu_qtest_client.h"
#include "sim/sim_qemu_machine.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A flash region of a simulated board whose cells and command set are those
// of a QEMU machine's flash model (a qemu-flash board file statement). The
// region is the catalogue device's banks on the board's bus, as for a flash
// statement; every bus cycle in it is handed to QEMU at the machine's flash
// base plus the offset in the region, so QEMU's model decides what each
// command does and its own timers decide how long an erase takes.
//
// Check refuses what QEMU's models cannot stand for, rather than letting a
// board pretend: another bus than the machine's, a command set the model does
// not speak (byte-mode unlock, x16/x32 addressing, page-write and on-chip
// flash), JEDEC chips side by side, and erase blocks that differ from the
// catalogue's sectors (an erase of one sector would then take less or more).
//
// Cycles narrower than the bus go to QEMU at their width; wider ones become
// bus-wide cycles, lowest address first. QEMU ends with the object.
class CSimQemuFlash {
public:
    ~CSimQemuFlash();

    // Checks the statement against the catalogue and the machine. On failure
    // returns nullptr with the reason (without a line prefix); nothing is
    // started.
    static std::unique_ptr<CSimQemuFlash> Check(const CBoardFile::CQemuFlashDef& def, std::string& error);
    // Creates or opens the drive file and starts QEMU.
    bool Start(std::string& error);

    uint32_t Base() const { return def_.base; }
    uint64_t Size() const { return bankSize_ * def_.banks; }
    uint32_t BusBytes() const { return machine_->busBytes; }
    const std::string& DrivePath() const { return drivePath_; }
    uint64_t DriveSize() const { return driveSize_; }
    const CSimQemuMachine& Machine() const { return *machine_; }

    // Bus cycles at `offset` from the region's base, already checked to lie
    // inside it and to be aligned to their width. False when QEMU does not
    // answer.
    bool Read(uint64_t offset, int widthBytes, uint32_t& value);
    bool Write(uint64_t offset, int widthBytes, uint32_t value);
    // The byte QEMU has stored at `offset` (its drive file), without a cycle.
    bool Peek(uint64_t offset, uint8_t& value);

    // What QEMU is started with (for messages and tests).
    std::vector<std::string> Arguments() const;

private:
    CSimQemuFlash() = default;
    bool PrepareDrive(std::string& error);

    CBoardFile::CQemuFlashDef def_;
    const CSimQemuMachine* machine_ = nullptr;
    uint32_t deviceWidth_ = 0;
    uint64_t bankSize_ = 0;
    uint64_t driveSize_ = 0;
    std::string folder_;    // park loop and a temporary drive
    std::string drivePath_;
    int driveFd_ = -1;
    CQemuQtestClient client_;
};
