#pragma once

#include "sim/board_file.h"
#include "sim/sim_board.h"
#include "common/clock.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CSimFlashArray;
class CSimFlashProgrammer;
class CSimQemuFlash;
class CSimRam;

// The simulated target board: RAM regions, flash arrays modelled at the bus
// level, chip-select registers, timing and flash faults, plus the probe
// firmware's flash algorithms that run against them.
//
// Bus rules: an access must lie wholly inside one region; flash and register
// accesses must be aligned to their width (the external bus issues no
// unaligned cycles), RAM takes any alignment. A region behind a chip select
// answers no access (BusRead/BusWrite return false: the probe reports a
// memory access error) until its register holds the value it waits for.
//
// The model is safe to call from several threads; one lock serialises all
// calls.
class CSimBoardModel final : public CSimBoard {
public:
    // A null clock means the steady clock.
    explicit CSimBoardModel(std::shared_ptr<CClock> clock = nullptr);
    ~CSimBoardModel() override;

    // Adds everything a board file describes. On failure returns false with
    // "line N: reason"; regions added before the failing line stay.
    bool Build(const CBoardFile& file, std::string& error);
    bool AddRam(const CBoardFile::CRamDef& ram, std::string& error);
    bool AddFlash(const CBoardFile::CFlashDef& flash, std::string& error);
    // A flash region whose cycles go to a QEMU machine's flash model; QEMU
    // is started here and ends with the board.
    bool AddQemuFlash(const CBoardFile::CQemuFlashDef& flash, std::string& error);
    // The QEMU-backed regions in the order they were added.
    std::vector<CSimQemuFlash*> QemuFlashes();
    // Arms a fault at a bus address inside a flash (the device lane that
    // drives that byte).
    bool AddFault(const CBoardFile::CFaultDef& fault, std::string& error);
    void ClearFaults();

    const std::string& Name() const { return name_; }
    CClock& Clock() { return *clock_; }

    // Inspection without bus cycles: the byte stored at `address` in RAM or
    // flash (a busy flash still shows its cells), and core registers written.
    bool Peek(uint32_t address, uint8_t& value);
    bool RegisterValue(uint16_t regClass, uint16_t number, uint32_t& value) const;

    // For the firmware's algorithms: whether [address, address + size) is
    // answering RAM, and the answering flash array holding `address`.
    bool IsRam(uint32_t address, uint32_t size);
    CSimFlashArray* FlashAt(uint32_t address);
    // The flash arrays in the order they were added.
    std::vector<CSimFlashArray*> FlashArrays();

    bool BusRead(uint32_t address, int widthBytes, uint32_t& value) override;
    bool BusWrite(uint32_t address, int widthBytes, uint32_t value) override;
    void WriteRegister(uint16_t regClass, uint16_t number, uint32_t value) override;
    int FlashSetup(uint8_t algorithm, uint8_t busWidth, uint32_t p1, uint32_t p2, uint32_t p3) override;
    int FlashProgram(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress) override;
    int FlashErase(uint8_t algorithm, uint8_t mode, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4) override;
    void FlashEraseStatus(uint8_t& state, uint32_t& value) override;

private:
    // The firmware's flash algorithms run inside FlashSetup, FlashProgram
    // and FlashErase, which hold the lock: their bus cycles (eight and more
    // per programmed word) do not take it again.
    friend class CSimFlashProgrammer;
    bool HeldBusRead(uint32_t address, int widthBytes, uint32_t& value);
    bool HeldBusWrite(uint32_t address, int widthBytes, uint32_t value);

    enum class EKind { Ram, Flash, Register, Qemu };

    struct CRegion {
        CRegion(EKind k, uint32_t b, uint64_t s, size_t i) : kind(k), base(b), size(s), index(i) {}
        EKind kind;
        uint32_t base;
        uint64_t size;
        size_t index;        // into rams_, flashes_ or registers_
        int chipSelect = -1; // index into registers_, or -1
        uint32_t csValue = 0;
        uint32_t csMask = 0;
        int line = 0;
        std::string what;
    };

    bool AddRegion(CRegion region, const CBoardFile::CChipSelectDef& chipSelect, std::string& error);
    CRegion* Find(uint32_t address, uint64_t size);
    bool Answers(const CRegion& region) const;
    // The answering region under a bus access of 1, 2 or 4 bytes at
    // `address`; null for another width or where nothing answers.
    CRegion* BusRegion(uint32_t address, int widthBytes);

    std::recursive_mutex mutex_;
    std::shared_ptr<CClock> clock_;
    std::string name_;
    std::vector<CRegion> regions_;
    size_t lastFound_ = 0; // the region Find answered last: bus cycles come in runs on one region
    std::vector<std::unique_ptr<CSimRam>> rams_;
    std::vector<std::unique_ptr<CSimFlashArray>> flashes_;
    std::vector<std::unique_ptr<CSimQemuFlash>> qemuFlashes_;
    std::vector<uint32_t> registers_; // chip-select register values
    std::map<std::pair<uint16_t, uint16_t>, uint32_t> coreRegisters_;
    std::unique_ptr<CSimFlashProgrammer> programmer_;
};
