#pragma once

#include "catalogue/flash_algorithm.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// One row of the flash device catalogue: a flash memory type that the program
// can erase and program. Rows are constant data built into the program; every
// pointer into them stays valid for the whole run.
struct SFlashDevice {
    // The name as shown in the "Memory Type:" list and stored in projects.
    // Compared exactly: external chips put two spaces between maker and part
    // ("AMD  Am29F010"), the SST rows one ("SST 39VF1601 (1M x 16)").
    const char* name;
    // Data width of one device in bytes: 1 (x8), 2 (x16) or 4 (x32); implied
    // by the program algorithm code (CFlashCatalogue::AlgorithmWidth).
    uint32_t deviceWidth;
    // Size of one device in KiB (DeviceSizeBytes() gives bytes).
    uint32_t deviceSizeKiB;
    // Write page in bytes for page-write devices (256 for the AT29 rows), else 0.
    uint32_t pageSize;
    // Code of the algorithm that programs and verifies the device; also picks
    // the target memory setup rules.
    uint32_t programAlgorithm;
    // Code of the algorithm that erases the device; 0: no separate erase (the
    // AT29 page-write rows), so no sectors can be chosen.
    uint32_t eraseAlgorithm;
    // Sectors of one device.
    uint32_t sectorCount;
    // sectorCount start offsets in device bytes, ascending from 0; the last
    // sector ends at the device size. Arrays are shared between rows, and a row
    // may use only the first sectorCount entries of a longer array, so never
    // read past sectorCount. nullptr for "NONE".
    const uint32_t* sectorTable;

    uint32_t DeviceSizeBytes() const { return deviceSizeKiB * 1024u; }
    std::span<const uint32_t> Sectors() const { return {sectorTable, sectorCount}; }
    // Start and size of sector k in device bytes; 0 when k >= sectorCount.
    uint32_t SectorStart(uint32_t k) const { return k < sectorCount ? sectorTable[k] : 0; }
    uint32_t SectorSize(uint32_t k) const;
};

// The flash device catalogue: row 0 is "NONE" (no device, every field 0), rows
// 1 to 354 are the devices in the order of the "Memory Type:" list.
//
// The Get... lookups and IsFlashName are the system's own operations: a name
// is compared whole and case-sensitively against rows 1..354 in order, the
// first equal row wins, and row 0 ("NONE") is never found by them (only
// IsFlashName accepts it). Each returns true on success; on failure it
// returns false and leaves its out-parameters untouched. Callers report
// "No valid memory device selected!" when a lookup fails.
//
// FindFlashDevicesLoose / FindFlashDevicesNormalised are for people typing
// names on the command line; nothing stored or sent to a probe may use them.
class CFlashCatalogue {
public:
    static constexpr const char* kNoDeviceName = "NONE";
    static constexpr int kRowCount = 355;   // "NONE" and 354 devices

    // ---- Rows --------------------------------------------------------------

    // Number of rows, "NONE" included (355).
    static int FlashDeviceCount();
    // Row `index` (0 is "NONE"); nullptr outside 0..354.
    static const SFlashDevice* FlashDeviceAt(int index);
    // The device row with exactly this name (rows 1..354); nullptr when there
    // is none, "NONE" included.
    static const SFlashDevice* FindFlashDevice(std::string_view name);
    // Row number of a record returned by this class; -1 for any other pointer.
    static int FlashDeviceIndex(const SFlashDevice* device);

    // ---- The lookups -------------------------------------------------------

    // Name of row `index` (0 gives "NONE"); false at the end of the table
    // (355 and beyond) and for negative indexes. Lists fill themselves with
    // `for (int i = 0; GetFlashName(i, name); ++i)`.
    static bool GetFlashName(int index, std::string& name);
    // Every field of the device row; the size in bytes (KiB x 1024).
    static bool GetFlashInfo(std::string_view name, uint32_t& deviceWidth, uint32_t& sizeBytes,
                             uint32_t& pageSize, uint32_t& programAlgorithm, uint32_t& eraseAlgorithm,
                             uint32_t& sectorCount, const uint32_t*& sectorTable);
    static bool GetFlashWidth(std::string_view name, uint32_t& deviceWidth);
    static bool GetFlashSize(std::string_view name, uint32_t& sizeBytes);
    static bool GetFlashPageSize(std::string_view name, uint32_t& pageSize);
    static bool GetFlashProgramAlgorithm(std::string_view name, uint32_t& code);
    static bool GetFlashEraseAlgorithm(std::string_view name, uint32_t& code);
    static bool GetFlashSectorCount(std::string_view name, uint32_t& sectorCount);
    // True when the name equals any row's name exactly, "NONE" included. A
    // project whose memory type fails this is set back to "NONE".
    static bool IsFlashName(std::string_view name);

    // ---- Derived quantities ------------------------------------------------
    // The same wherever they are used (erase, transfers, erase map, setup).
    // busWidthBytes is the target's data bus in bytes (1, 2 or 4). A device
    // width of 0 ("NONE") gives 0 everywhere instead of dividing by zero.

    // 1, 2 or 4 for the project's busWidth 0, 1 or 2 (8, 16, 32 bit); 0 otherwise.
    static uint32_t BusWidthBytes(int busWidth);
    // Devices side by side on the bus: busWidthBytes / deviceWidth.
    static uint32_t Lanes(uint32_t busWidthBytes, uint32_t deviceWidth);
    // Bytes of one bank: deviceSizeBytes x busWidthBytes / deviceWidth. Bank k
    // starts at base + k x bank size.
    static uint32_t BankSize(uint32_t busWidthBytes, uint32_t deviceWidth, uint32_t deviceSizeBytes);
    // Bytes of the whole flash array: busWidthBytes x deviceSizeBytes x
    // bankCount / deviceWidth, exact (64-bit, no intermediate wrap-around). A
    // caller placing it in the address space must refuse 0 ("Code size is 0 !")
    // and any array whose end passes 0xFFFFFFFF; an array of 4 GiB or more
    // never fits a CMemoryRange.
    static uint64_t FlashArraySize(uint32_t busWidthBytes, uint32_t deviceWidth, uint32_t deviceSizeBytes,
                                   uint32_t bankCount);
    // Offset on the bus, within its bank, of a sector starting at
    // `sectorStart` device bytes: sectorStart x busWidthBytes / deviceWidth.
    static uint32_t BusOffset(uint32_t sectorStart, uint32_t busWidthBytes, uint32_t deviceWidth);
    // Size of sector k of a table of `sectorCount` starts: the next start minus
    // its own, the last one running to the device size; 0 when k is outside.
    static uint32_t SectorSize(const uint32_t* sectorTable, uint32_t sectorCount, uint32_t deviceSizeBytes,
                               uint32_t k);

    // The same for a catalogue row.
    static uint32_t Lanes(const SFlashDevice& device, uint32_t busWidthBytes);
    static uint32_t BankSize(const SFlashDevice& device, uint32_t busWidthBytes);
    static uint64_t FlashArraySize(const SFlashDevice& device, uint32_t busWidthBytes, uint32_t bankCount);
    // Bus offset of sector k within a bank; 0 when k >= sectorCount.
    static uint32_t SectorBusOffset(const SFlashDevice& device, uint32_t k, uint32_t busWidthBytes);

    // ---- Algorithm codes ---------------------------------------------------

    // The device width (1, 2 or 4) that a program algorithm code used by the
    // catalogue implies; 0 for codes no row uses (see CFlashAlgorithms).
    static constexpr uint32_t AlgorithmWidth(uint32_t code) { return CFlashAlgorithms::Find(code).deviceWidth; }

    // ---- Names typed by people ---------------------------------------------

    // The name folded for comparison: ASCII letters in lower case, every run
    // of spaces or tabs made one space, none at either end.
    static std::string NormaliseName(std::string_view text);
    // Device rows (1..354, in table order) whose folded name contains the
    // folded text; every device for an empty text (tarvel-cli devices TEXT).
    static std::vector<const SFlashDevice*> FindFlashDevicesLoose(std::string_view text);
    // Device rows whose folded name equals the folded text (setup --device,
    // which accepts exactly one). No two catalogue names fold alike, so a
    // match is unique; "NONE" is not a device and is never returned.
    static std::vector<const SFlashDevice*> FindFlashDevicesNormalised(std::string_view text);

private:
    // All rows, "NONE" first (defined with the tables in flash_catalogue_data.cpp).
    static std::span<const SFlashDevice> Rows();
};
