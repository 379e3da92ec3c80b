#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the simulated loader reports about the probe.
struct SSimLoaderConfig {
    uint16_t loaderVersion = 105;
    uint16_t firmwareVersion = 113;
    // The logic's version is kept in its user electronic signature ("B6001E8"
    // and three digits); this is the one programmed at the start.
    uint16_t logicVersion = 112;
    std::string serialNumber = "1234560001";
    // The logic device's code as LogicReadId reports it (19: the right device).
    uint8_t logicDeviceCode = 19;
    // A fuse of the logic device that no longer programs (stays 1): row and
    // fuse; row -1 for none. A design that clears it fails verification.
    int stuckFuseRow = -1;
    int stuckFuse = 0;
    // A fuse whose second read of its row (the erased-margin read) comes
    // back flipped: row and fuse; row -1 for none. Every design fails the
    // erased verification there, the programmed one passes.
    int weakFuseRow = -1;
    int weakFuse = 0;
    // A fuse of the signature (UES) that no longer programs (stays 1); -1
    // for none. A signature that clears it fails its verification.
    int stuckUesFuse = -1;
    // A byte of the network setup sector (offset from its start) whose
    // reads come back with bit 0 flipped; -1 for none.
    int weakSetupByte = -1;
};

// The probe's loader: the identification query, the probe's own flash memory
// and the programmable logic device.
//
// Probe flash (1 MiB at 0x01000000), sectors:
//   0x01000000, 0x01004000  16 KiB each, the loader itself (write-protected)
//   0x01008000              16 KiB, the network setup record
//   0x0100C000              208 KiB, start of the firmware
//   0x01040000, 0x01080000, 0x010C0000  256 KiB each, firmware; the first word
//                           at 0x01040000 holds the start marker AA 55 55 AA
// Erasing sets a sector to 0xFF; programming only turns bits from 1 to 0 and
// fails where a byte does not come out as written.
//
// The firmware area starts with the image's header: "QX7ARMFW" and the
// firmware version (u16, big-endian). The loader reports that version when
// the start marker is in place, and 0 (no firmware that starts) otherwise.
//
// Logic device: 134 rows of 240 fuses and a 120-fuse signature (UES), device
// code 19. Fuses travel as the characters '0' and '1'. Erasing sets every
// fuse to 1; programming only clears fuses. Outside logic access the logic
// commands answer with a two-byte refusal.
class CSimLoader {
public:
    static constexpr uint32_t kFlashBase = 0x01000000;
    static constexpr uint32_t kFlashSize = 0x00100000;
    static constexpr uint32_t kSetupSector = 0x01008000;
    static constexpr uint32_t kMarkerAddress = 0x01040000;
    static constexpr uint32_t kFirmwareHeader = 0x0100C000;
    static constexpr int kRows = 134;
    static constexpr size_t kRowFuses = 240;
    static constexpr size_t kUesFuses = 120;
    static constexpr uint8_t kDeviceCode = 19;

    explicit CSimLoader(const SSimLoaderConfig& config);

    // Answers one command frame of the loader (codes 100 to 113). False when
    // `request` holds no loader command.
    bool HandleCommand(const uint8_t* request, size_t length, std::vector<uint8_t>& reply);

    // The start marker is in place: the firmware may be started.
    bool FirmwareStartable() const;
    // The version in the logic's signature, 0 when it holds none.
    uint16_t LogicVersion() const;
    // The version in the firmware's header, 0 when no firmware starts.
    uint16_t FirmwareVersion() const;
    const SSimLoaderConfig& Config() const { return config_; }

    // For tests and tools: probe flash contents and the logic's fuses.
    bool ReadFlash(uint32_t address, size_t length, std::vector<uint8_t>& bytes) const;
    std::string LogicRow(int row) const;
    std::string LogicUes() const;
    bool LogicAccessOpen() const { return logicAccess_; }

private:
    struct SSector {
        uint32_t address;
        uint32_t size;
        bool isProtected;
    };
    static const SSector* SectorAt(uint32_t address);

    void Identify(std::vector<uint8_t>& reply) const;
    void ReadMemory(const uint8_t* request, size_t length, std::vector<uint8_t>& reply) const;
    void EraseSector(const uint8_t* request, size_t length, std::vector<uint8_t>& reply);
    void ProgramMemory(const uint8_t* request, size_t length, std::vector<uint8_t>& reply);
    void Logic(const uint8_t* request, size_t length, std::vector<uint8_t>& reply);
    // ANDs '0'/'1' characters into fuses; false for any other character.
    static bool ProgramFuses(const uint8_t* chars, size_t count, uint8_t* fuses);

    SSimLoaderConfig config_;
    std::vector<uint8_t> flash_;
    bool logicAccess_ = false;
    std::array<std::array<uint8_t, kRowFuses>, kRows> rows_{};
    std::array<uint8_t, kUesFuses> ues_{};
};
