#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// Sparse bytes of one memory (a RAM region or one flash device): 4 KiB
// chunks are allocated on first write, so a board with many large devices
// costs only what has been written. Bytes never written read as the fill
// value (0xFF for flash, 0x00 for RAM). Offsets are checked by the callers.
class CSimBoardStore {
public:
    CSimBoardStore(uint64_t size, uint8_t fill);

    uint64_t Size() const { return size_; }
    uint8_t Get(uint64_t offset) const;
    void Set(uint64_t offset, uint8_t value);
    // Little-endian value of `count` (1..4) bytes from `offset`, and back.
    uint32_t GetWord(uint64_t offset, int count) const;
    void SetWord(uint64_t offset, int count, uint32_t value);
    // Sets [begin, end) to `value`; chunks filled back to the fill value are freed.
    void Fill(uint64_t begin, uint64_t end, uint8_t value);

private:
    static constexpr uint64_t kChunk = 4096;
    uint8_t* Chunk(uint64_t offset);

    uint64_t size_;
    uint8_t fill_;
    std::vector<std::unique_ptr<uint8_t[]>> chunks_;
};
