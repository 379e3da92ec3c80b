#pragma once

#include "project/memory_range.h"

#include <cstdint>
#include <string>

// The local copy of the bytes that go into target flash: a 256 MiB window
// above `base`, kept in a backing file ("memimage.qpg" in the current
// directory) so that it never has to sit in memory. The byte at address A is
// at file offset A - base; the used extent [firstOffset, firstOffset +
// usedLength) covers every byte written since the last Clear, never-written
// bytes inside it hold 0xFF, and every address outside it reads as 0xFF.
class CMemoryImage {
public:
    static constexpr uint32_t kWindowSize = 0x10000000;
    static constexpr const char* kFileName = "memimage.qpg";

    CMemoryImage() = default;
    ~CMemoryImage();
    CMemoryImage(const CMemoryImage&) = delete;
    CMemoryImage& operator=(const CMemoryImage&) = delete;

    // Creates (or empties) the backing file: 0 on success, 1 when it cannot be created.
    int Open(uint32_t base);

    // 0 written; 2 the block lies wholly or partly outside the image window
    // (only the part at and above base is written); 3 the backing file failed.
    int WriteBlock(uint32_t address, const uint8_t* data, uint32_t count);
    void ReadBlock(uint32_t address, uint8_t* buffer, uint32_t count);

    int WriteByte(uint32_t address, uint8_t value);
    int WriteWord(uint32_t address, uint16_t value, bool littleEndian);
    int WriteLong(uint32_t address, uint32_t value, bool littleEndian);
    uint8_t ReadByte(uint32_t address);
    uint16_t ReadWord(uint32_t address, bool littleEndian);
    uint32_t ReadLong(uint32_t address, bool littleEndian);

    // The used extent widened outward to `alignment` (a power of two), length mode.
    CMemoryRange GetUsedRange(uint32_t alignment) const;
    void SetBase(uint32_t newBase);
    void Clear();
    // Sum over `range` in units of 4 (longs), 2 (words) or bytes (any other unit).
    uint32_t Checksum(const CMemoryRange& range, int unit, bool littleEndian);

    uint32_t GetBase() const { return base_; }
    uint32_t GetFirstOffset() const { return firstOffset_; }
    uint32_t GetUsedLength() const { return usedLength_; }
    bool IsEmpty() const { return usedLength_ == 0; }
    bool IsOpen() const { return isOpen_; }
    // Absolute path of the backing file (empty before Open).
    const std::string& GetPath() const { return fullPath_; }

private:
    bool PadWithFF(uint64_t from, uint64_t to);

    int fd_ = -1;
    std::string fullPath_;
    uint32_t base_ = 0;
    uint32_t firstOffset_ = 0;
    uint32_t usedLength_ = 0;
    bool isOpen_ = false;
};
