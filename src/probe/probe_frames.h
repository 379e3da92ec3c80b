#pragma once

#include "probe/probe_library.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Command codes of the probe's command frames. 100 is the loader's
// identification query; the others are the loader's memory and logic
// commands and the flash-programming firmware's commands.
enum EProbeCommand : uint8_t {
    kCmdLoaderIdentify = 100,
    kCmdReadProbeMemory = 101,
    kCmdEraseProbeSector = 103,
    kCmdProgramProbeMemory = 104,
    kCmdLogicAccess = 105,
    kCmdLogicReadId = 106,
    kCmdLogicReadRow = 107,
    kCmdLogicProgramRow = 108,
    kCmdLogicReadUes = 109,
    kCmdLogicProgramUes = 110,
    kCmdLogicErase = 112,
    kCmdStartFirmware = 113,
    kCmdStartProgramming = 140,
    kCmdFlashSetup = 141,
    kCmdFlashErase = 144,
    kCmdFlashEraseStatus = 145,
};

inline constexpr size_t kFrameBufferSize = 1500;
inline constexpr int kLogicRows = 134;
inline constexpr size_t kLogicRowFuses = 240;
inline constexpr size_t kLogicUesFuses = 120;
inline constexpr uint8_t kLogicDeviceCode = 19;
// Longest data of one ReadProbeMemory / ProgramProbeMemory frame: its reply
// (code, address, length, data) or its request must fit 1500 bytes.
inline constexpr uint16_t kMaxProbeMemoryData = kFrameBufferSize - 7;

// Big-endian field helpers: each writes at `pos` and returns the position
// behind what it wrote; the takers read at `pos`.
inline size_t PutU8(uint8_t* buffer, size_t pos, uint8_t v)
{
    buffer[pos] = v;
    return pos + 1;
}
inline size_t PutU16(uint8_t* buffer, size_t pos, uint16_t v)
{
    buffer[pos] = static_cast<uint8_t>(v >> 8);
    buffer[pos + 1] = static_cast<uint8_t>(v);
    return pos + 2;
}
inline size_t PutU32(uint8_t* buffer, size_t pos, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        buffer[pos + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
    return pos + 4;
}
inline size_t PutBytes(uint8_t* buffer, size_t pos, const uint8_t* data, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        buffer[pos + i] = data[i];
    return pos + length;
}
inline uint8_t TakeU8(const uint8_t* buffer, size_t pos)
{
    return buffer[pos];
}
inline uint16_t TakeU16(const uint8_t* buffer, size_t pos)
{
    return static_cast<uint16_t>((buffer[pos] << 8) | buffer[pos + 1]);
}
inline uint32_t TakeU32(const uint8_t* buffer, size_t pos)
{
    return (uint32_t(buffer[pos]) << 24) | (uint32_t(buffer[pos + 1]) << 16) | (uint32_t(buffer[pos + 2]) << 8) |
           uint32_t(buffer[pos + 3]);
}

// What the loader's identification query reports.
struct SLoaderIdentity {
    uint16_t loaderVersion = 0;
    uint16_t firmwareVersion = 0;
    uint16_t logicVersion = 0;
    std::string serialNumber;
};

// The command frames sent through LinkTransact: one function per command,
// each building its request in the request buffer from its start, sending it
// with its timeout and checking the reply. A negative transact result is
// returned unchanged; a reply of the wrong length or with the wrong first
// byte gives -1205. Nothing is retried. Caller's outputs change only on
// success (ProgramProbeMemory's value: whenever a well-formed reply came).
class CProbeFrames {
public:
    static constexpr int kLoaderIdentifyTimeoutMs = 1000;
    static constexpr int kReadProbeMemoryTimeoutMs = 1000;
    static constexpr int kEraseProbeSectorTimeoutMs = 10000;
    static constexpr int kProgramProbeMemoryTimeoutMs = 1000;
    static constexpr int kLogicShortTimeoutMs = 100;   // access, read id, read row, read UES
    static constexpr int kLogicProgramTimeoutMs = 300;  // program row, program UES
    static constexpr int kLogicEraseTimeoutMs = 600;
    static constexpr int kStartFirmwareTimeoutMs = 200;
    static constexpr int kStartProgrammingTimeoutMs = 2000;
    static constexpr int kFlashTimeoutMs = 3000;        // setup, erase, erase status

    explicit CProbeFrames(CProbeLibrary& library) : library_(library) {}

    int LoaderIdentify(SLoaderIdentity& identity);
    int ReadProbeMemory(uint32_t address, uint16_t length, uint8_t* data);
    int EraseProbeSector(uint32_t address);
    int ProgramProbeMemory(uint32_t address, uint16_t length, const uint8_t* data, uint32_t& value);
    int LogicAccess(uint8_t flag);
    int LogicReadId(uint8_t& deviceCode);
    int LogicReadRow(uint8_t row, std::string& firstRead, std::string& secondRead);
    int LogicProgramRow(uint8_t row, const std::string& fuses);
    int LogicReadUes(std::string& ues);
    int LogicProgramUes(const std::string& ues);
    int LogicErase();
    int StartFirmware();
    int StartProgramming();
    int FlashSetup(uint8_t algorithm, uint8_t busWidth, uint32_t p1, uint32_t p2, uint32_t p3);
    int FlashErase(uint8_t algorithm, uint8_t mode, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t p4);
    int FlashEraseStatus(uint8_t& state, uint32_t& value);

    // Status of a FlashSetup or FlashErase reply: 0, 1, 3, 4 as -4102, -4101,
    // -4103; anything else -1205.
    static int FlashStatus(uint8_t status);

    const uint8_t* Request() const { return request_.data(); }
    const uint8_t* Reply() const { return reply_.data(); }

private:
    // Sends request bytes 0 .. length-1; the reply length or a negative status.
    int Transact(size_t length, int timeoutMs);
    // A command whose reply is not examined.
    int SendAny(size_t length, int timeoutMs);

    CProbeLibrary& library_;
    std::array<uint8_t, kFrameBufferSize> request_{};
    std::array<uint8_t, kFrameBufferSize> reply_{};
};
