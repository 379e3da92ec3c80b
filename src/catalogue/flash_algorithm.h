#pragma once

#include <array>
#include <cstdint>

// The program and erase algorithm codes of the catalogue, and what the host
// needs to know of each: one table, looked up by code, is the only place
// where codes are told apart.

// Which family of command sequences erases a device.
enum class EEraseFamily {
    None,          // nothing is erased (0 and the codes without a family)
    JedecX8,       // unlock at 0x5555 / 0x2AAA
    JedecByteWord, // 0xAAAA / 0x5555 (x8), 0xAAAA / 0x5554 (x16)
    JedecX16X32,   // 0x5554 / 0xAAA8 (x16), 0x15554 / 0xAAA8 (x32)
    IntelBlock,    // block erase, status register under a lane mask
    IntelBank0,    // 16-bit block erase, the sectors selected in bank 0 for every bank
    OnChip,        // erased by the probe's firmware through FlashErase requests
};

// How a JEDEC erase pass learns that its device is done.
enum class EJedecPoll {
    FailureBit,   // all ones, or DQ5 set in a lane: failed
    NoFailureBit, // all ones, or the timeout
    DummyRead,    // as NoFailureBit, with a dropped read of the sector address XOR 4 before each poll
};

// The FlashErase requests of the on-chip families.
enum class EOnChipErase {
    None,
    SectorRequests,    // one request per sector, polled once, times summed
    SectorMask,        // one request with a bit per sector, polled while busy
    SectorMaskTimed,   // as SectorMask, the last time reported; devices of fewer than 3 sectors use bits 16 up
    SectorRequestsBusy, // one request per sector (or one for all), polled while busy
};

// "Use target algorithm" in the target memory setup for a program algorithm.
enum class ETargetAlgorithm { Unavailable, Optional, Required };

// What the target memory setup does to bus width, banks and base for a program algorithm.
struct SBusRule {
    int busWidth = -1;        // forced bus width index (0 8, 1 16, 2 32 bit), or -1: the device width decides
    bool banksToOne = false;  // the number of banks becomes 1
    bool baseToZero = false;  // the base address becomes 0
    bool baseEnabled = true;
    bool banksEnabled = true;

    constexpr bool operator==(const SBusRule&) const = default;
};

struct SFlashAlgorithm {
    uint32_t code = 0;
    // Width of the devices of this program algorithm in bytes (1, 2, 4); 0 for codes no catalogue row programs with.
    uint32_t deviceWidth = 0;
    // As an erase algorithm code.
    EEraseFamily eraseFamily = EEraseFamily::None;
    EJedecPoll jedecPoll = EJedecPoll::FailureBit;
    EOnChipErase onChipErase = EOnChipErase::None;
    // As a program algorithm code.
    SBusRule busRule;
    ETargetAlgorithm targetAlgorithm = ETargetAlgorithm::Unavailable;
    bool pageWrite = false;          // 256-byte page writes, no separate erase
    bool sizeInSetup = false;        // FlashSetup (and FlashErase) take the device size instead of the bank mask
    bool securityBits = false;       // the security bits live at kSecurityAddress
    bool pageWorkspace = false;      // the workspace holds one bus-wide page plus 512 bytes
    bool clockReminder = false;      // the flash clock divider must be set by an init list entry
    bool smallBlocks = false;        // programmed in blocks of 64 bytes
    bool eraseWithoutSelection = false; // as an erase code: Erase Sectors needs no sector chosen
    bool eraseAllInOneRequest = false;  // SectorRequests: Erase All is one request for the whole array
};

namespace flash_algorithm_detail {

constexpr uint32_t kCodeCount = 50;

constexpr std::array<SFlashAlgorithm, kCodeCount> BuildTable()
{
    using enum EEraseFamily;
    using enum EJedecPoll;
    using enum ETargetAlgorithm;
    constexpr SBusRule kByteBusOneBank{0, true, false, true, false};
    constexpr SBusRule kLongBus{2, false, false, true, true};
    constexpr SBusRule kLongBusFixedBanks{2, false, false, true, false};
    constexpr SBusRule kWordBusFixedBanks{1, false, false, true, false};
    constexpr SBusRule kByteBusAtZero{0, false, true, false, false};

    std::array<SFlashAlgorithm, kCodeCount> t{};
    for (uint32_t code = 0; code < t.size(); ++code)
        t[code].code = code;
    // Device widths of the program algorithms the catalogue uses.
    for (uint32_t c : {2u, 5u, 11u, 22u, 23u, 27u, 29u, 31u, 32u, 42u})
        t[c].deviceWidth = 1;
    for (uint32_t c : {6u, 12u, 24u, 28u, 30u, 33u, 35u, 41u, 44u, 49u})
        t[c].deviceWidth = 2;
    for (uint32_t c : {36u, 40u, 43u, 45u, 46u})
        t[c].deviceWidth = 4;

    // Erase families.
    for (uint32_t c : {2u, 31u, 22u})
        t[c].eraseFamily = JedecX8;
    for (uint32_t c : {11u, 12u, 32u, 33u, 23u, 24u})
        t[c].eraseFamily = JedecByteWord;
    for (uint32_t c : {35u, 36u, 37u, 38u})
        t[c].eraseFamily = JedecX16X32;
    for (uint32_t c : {5u, 6u, 29u, 30u, 34u})
        t[c].eraseFamily = IntelBlock;
    t[49].eraseFamily = IntelBank0;
    for (uint32_t c = 40; c <= 46; ++c)
        t[c].eraseFamily = OnChip;
    for (uint32_t c : {22u, 23u, 24u})
        t[c].jedecPoll = NoFailureBit;
    for (uint32_t c : {37u, 38u})
        t[c].jedecPoll = DummyRead;
    t[40].onChipErase = t[41].onChipErase = EOnChipErase::SectorRequests;
    t[40].eraseAllInOneRequest = true;
    t[42].onChipErase = EOnChipErase::SectorMask;
    t[43].onChipErase = t[45].onChipErase = EOnChipErase::SectorMaskTimed;
    t[44].onChipErase = t[46].onChipErase = EOnChipErase::SectorRequestsBusy;
    t[16].eraseWithoutSelection = true;
    t[16].smallBlocks = true;

    // Program algorithms: the target memory setup's rules and the transfer's.
    for (uint32_t c : {16u, 17u, 25u, 26u})
        t[c].busRule = kByteBusOneBank;
    for (uint32_t c : {21u, 39u})
        t[c].busRule = kLongBus;
    for (uint32_t c : {40u, 43u, 45u, 46u})
        t[c].busRule = kLongBusFixedBanks;
    for (uint32_t c : {41u, 44u, 49u})
        t[c].busRule = kWordBusFixedBanks;
    t[42].busRule = kByteBusAtZero;
    for (uint32_t c : {7u, 9u, 16u, 17u, 27u, 28u, 42u})
        t[c].targetAlgorithm = Required;
    for (uint32_t c : {2u, 5u, 6u, 11u, 12u, 21u, 22u, 23u, 24u, 25u, 26u, 29u, 30u, 31u, 32u, 33u, 34u, 35u, 36u,
                       37u, 38u, 39u, 40u, 41u, 43u, 44u, 45u, 47u, 48u, 49u})
        t[c].targetAlgorithm = Optional;
    t[27].pageWrite = t[28].pageWrite = true;
    t[42].sizeInSetup = t[46].sizeInSetup = true;
    t[40].securityBits = true;
    t[7].pageWorkspace = t[9].pageWorkspace = true;
    t[40].clockReminder = t[41].clockReminder = true;
    return t;
}

inline constexpr std::array<SFlashAlgorithm, kCodeCount> kTable = BuildTable();
inline constexpr SFlashAlgorithm kUnknown{};

// The table against itself.
consteval bool TableIsConsistent()
{
    for (const SFlashAlgorithm& a : kTable) {
        if ((a.eraseFamily == EEraseFamily::OnChip) != (a.onChipErase != EOnChipErase::None))
            return false;
        if (a.pageWrite && a.eraseFamily != EEraseFamily::None)
            return false;
        // A device code without a device width would make every row using it fail.
        if ((a.eraseFamily != EEraseFamily::None || a.pageWrite) && a.code != 34 && a.code != 37 && a.code != 38 &&
            a.deviceWidth == 0)
            return false;
    }
    return true;
}
static_assert(TableIsConsistent(), "the algorithm table contradicts itself");

} // namespace flash_algorithm_detail

class CFlashAlgorithms {
public:
    // Devices whose algorithm has security bits keep them in the two low bits
    // of the byte at this address; 10 binary is "not secured".
    static constexpr uint32_t kSecurityAddress = 0xFC100417;
    static constexpr uint32_t kCodeCount = flash_algorithm_detail::kCodeCount;

    // The row of `code`; a row of defaults (no family, no device width,
    // "Use target algorithm" unavailable) for a code outside the table.
    static constexpr const SFlashAlgorithm& Find(uint32_t code)
    {
        return code < kCodeCount ? flash_algorithm_detail::kTable[code] : flash_algorithm_detail::kUnknown;
    }
};
