#pragma once

#include "sim/sim_flash_timing.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A simulated board as written in a board file (docs/boards.md): RAM regions,
// flash devices by catalogue name, optional chip-select registers, busy times
// and injected flash faults. Parsing checks each line on its own (syntax,
// numbers, known device names); CSimBoardModel checks how the lines fit
// together (overlaps, bus widths, alignment) and names the line at fault.
class CBoardFile {
public:
    // The region answers only while (register & mask) == (value & mask); the
    // 32-bit register at `address` reads 0 at power-up.
    struct CChipSelectDef {
        bool used = false;
        uint32_t address = 0;
        uint32_t value = 0;
        uint32_t mask = 0xFFFFFFFF;
    };

    struct CRamDef {
        uint32_t base = 0;
        uint64_t size = 0;
        CChipSelectDef chipSelect;
        int line = 0;
    };

    struct CFlashDef {
        std::string device; // exact catalogue name
        uint32_t base = 0;
        uint32_t busBits = 0; // 8, 16 or 32
        uint32_t banks = 1;
        CChipSelectDef chipSelect;
        uint64_t sectorEraseMicros = 0;
        std::optional<uint64_t> chipEraseMicros; // default: sector erase time x sector count
        uint64_t programMicrosPerByte = 0;
        int line = 0;
    };

    // A flash whose cells and command set are those of a QEMU machine's flash
    // model (qemu-flash statement): every bus cycle in the region goes to
    // QEMU, at the machine's flash base plus the offset in the region.
    struct CQemuFlashDef {
        std::string machine;
        std::string device; // exact catalogue name: sizes, sectors, lanes
        uint32_t base = 0;
        uint32_t busBits = 0;
        uint32_t banks = 1;
        // Erase regions of QEMU's JEDEC model (count, bytes), at most four;
        // empty: the machine's own blocks.
        std::vector<std::pair<uint32_t, uint32_t>> regions;
        std::string drive; // QEMU's drive file; empty: a temporary one
        bool readOnly = false;
        int line = 0;
    };

    enum class EFaultKind {
        EraseFail, // erasing the sector at the address fails (DQ5, Intel status bit 5, on-chip status)
        EraseHang, // erasing the sector at the address never finishes
        StuckBit,  // one bit of the byte at the address always reads `value`
    };

    struct CFaultDef {
        EFaultKind kind = EFaultKind::EraseFail;
        uint32_t address = 0; // a bus address inside a flash; it picks the device lane too
        int bit = 0;
        int value = 0;
        int line = 0;
    };

    std::string name;
    std::vector<CRamDef> rams;
    std::vector<CFlashDef> flashes;
    std::vector<CFaultDef> faults;
    std::vector<CQemuFlashDef> qemuFlashes;

    // Parses board file text. On failure returns false and sets `error` to
    // "line N: reason"; `out` is then left as it was.
    static bool Parse(const std::string& text, CBoardFile& out, std::string& error);
    // Reads and parses a file; a file that cannot be read is an error too.
    // A board file holds a few lines; a larger one (or a device that never
    // ends) is refused.
    static constexpr size_t kMaxFileBytes = 1 << 20;
    static bool Read(const std::string& path, CBoardFile& out, std::string& error);

    // The board the simulator uses when none is named: the same board as
    // boards/demo.board (RAM at 0x40000000, a 2 MiB x16 JEDEC chip at
    // 0x80000000 on a 16-bit bus).
    static const char* DefaultText();
    static CBoardFile Default();
};
