#include "sim/sim_board_store.h"

#include <algorithm>
#include <cstring>

CSimBoardStore::CSimBoardStore(uint64_t size, uint8_t fill)
    : size_(size), fill_(fill), chunks_((size + kChunk - 1) / kChunk)
{
}

namespace {

// The little-endian value of 1 to 4 bytes; the common widths spelt out so
// that a bus word is read without a loop.
uint32_t Gather(const uint8_t* bytes, int count)
{
    switch (count) {
    case 1:
        return bytes[0];
    case 2:
        return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8;
    case 4:
        return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    default:
        break;
    }
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= uint32_t(bytes[i]) << (8 * i);
    return value;
}

// `byte` in each of `count` (1..4) bytes.
uint32_t Repeat(uint8_t byte, int count)
{
    return count == 4 ? 0x01010101u * byte : (0x01010101u * byte) & ((1u << (8 * count)) - 1);
}

} // namespace

uint8_t CSimBoardStore::Get(uint64_t offset) const
{
    const auto& chunk = chunks_[offset / kChunk];
    return chunk ? chunk[offset % kChunk] : fill_;
}

uint8_t* CSimBoardStore::Chunk(uint64_t offset)
{
    auto& chunk = chunks_[offset / kChunk];
    if (!chunk) {
        chunk = std::make_unique<uint8_t[]>(kChunk);
        std::memset(chunk.get(), fill_, kChunk);
    }
    return chunk.get();
}

void CSimBoardStore::Set(uint64_t offset, uint8_t value)
{
    if (!chunks_[offset / kChunk] && value == fill_)
        return;
    Chunk(offset)[offset % kChunk] = value;
}

uint32_t CSimBoardStore::GetWord(uint64_t offset, int count) const
{
    // A word within one chunk (every aligned word) takes one look-up.
    if (offset % kChunk + uint64_t(count) <= kChunk) {
        const auto& chunk = chunks_[offset / kChunk];
        if (!chunk)
            return Repeat(fill_, count);
        return Gather(chunk.get() + offset % kChunk, count);
    }
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value |= uint32_t(Get(offset + i)) << (8 * i);
    return value;
}

void CSimBoardStore::SetWord(uint64_t offset, int count, uint32_t value)
{
    // Within one chunk: one look-up, and a word of fill bytes on a chunk
    // never written stays unallocated, as byte by byte.
    if (offset % kChunk + uint64_t(count) <= kChunk) {
        if (!chunks_[offset / kChunk] && value == Repeat(fill_, count))
            return;
        uint8_t* bytes = Chunk(offset) + offset % kChunk;
        for (int i = 0; i < count; ++i)
            bytes[i] = uint8_t(value >> (8 * i));
        return;
    }
    for (int i = 0; i < count; ++i)
        Set(offset + i, uint8_t(value >> (8 * i)));
}

void CSimBoardStore::Fill(uint64_t begin, uint64_t end, uint8_t value)
{
    end = std::min(end, size_);
    while (begin < end) {
        uint64_t chunkStart = begin / kChunk * kChunk;
        uint64_t stop = std::min(end, chunkStart + kChunk);
        auto& chunk = chunks_[begin / kChunk];
        if (begin == chunkStart && stop == chunkStart + kChunk && value == fill_) {
            chunk.reset();
        } else if (chunk || value != fill_) {
            std::memset(Chunk(begin) + (begin - chunkStart), value, stop - begin);
        }
        begin = stop;
    }
}
