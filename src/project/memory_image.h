#pragma once

#include "project/image_file.h"
#include "project/memory_range.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The local copy of the bytes that go into target flash: a 256 MiB window
// above `base`, kept in a backing file ("memimage.qpg" in the directory
// given to Open) so that it never has to sit in memory. The byte at address A is
// at file offset A - base; the used extent [firstOffset, firstOffset +
// usedLength) covers every byte written since the last Clear, never-written
// bytes inside it hold 0xFF, and every address outside it reads as 0xFF.
//
// Backing file: see CImageFile. A second image in the same directory (another
// program, or a second object) finds "memimage.qpg" locked and uses a
// numbered name of its own, "memimage.<n>.qpg", so neither corrupts the other.
//
// Write-back cache: loaders write millions of small sequential blocks, so
// WriteBlock keeps one contiguous run of pending bytes in memory (at most the
// cache size, kCacheSize by default) and writes it to the file in one piece
// when a write does not continue it, when it is full, and on Flush(). Writes
// that skip a small gap above everything on disk continue the run with 0xFF
// filler. Reads and Checksum see pending bytes at once; nothing is ever lost
// to the cache: a run that could not be written stays in memory, readable,
// and the write that needed the room fails with 3 (a later Flush() retries).
// The file's length equals firstOffset + usedLength after Flush() returns 0;
// between flushes the file may lag behind by the pending run. The destructor
// does not flush: it deletes the file.
class CMemoryImage {
public:
    static constexpr uint32_t kWindowSize = 0x10000000;
    static constexpr const char* kFileName = CImageFile::kFileName;
    static constexpr size_t kCacheSize = 4 * 1024 * 1024;
    // Checksum reads the image in pieces of this size.
    static constexpr size_t kChecksumChunk = 256 * 1024;

    CMemoryImage() = default;
    // An image with a write-back cache of `cacheSize` bytes (at least 1).
    explicit CMemoryImage(size_t cacheSize) : cacheSize_(cacheSize < 1 ? 1 : cacheSize) {}
    ~CMemoryImage() = default;
    CMemoryImage(const CMemoryImage&) = delete;
    CMemoryImage& operator=(const CMemoryImage&) = delete;

    // Creates (or empties) the backing file in `directory` (the current
    // directory when empty): 0 on success, 1 when it cannot be created.
    // Called again on an open image, it empties the image and keeps its file.
    int Open(uint32_t base, const std::string& directory = {});

    // 0 written; 2 the block lies wholly or partly outside the image window
    // (only the part at and above base is written); 3 the backing file
    // failed (the image then keeps what it held before the call, except that
    // bytes of this block may have been partly written).
    int WriteBlock(uint32_t address, const uint8_t* data, uint32_t count);
    // Copies `count` bytes of the open file `fd` from `fileOffset` to
    // `address` straight into the backing file (in the kernel where it can,
    // see CImageFile::CopyFrom), for loaders of files that hold the image's
    // bytes as they are. The block must lie wholly inside the window: 2 and
    // nothing written otherwise. 0 copied (`copied` < count only when the
    // file ended first); 3 the backing file failed, 4 the file could not be
    // read (as with WriteBlock's 3, the bytes copied before may stay).
    int CopyFromFile(uint32_t address, int fd, uint64_t fileOffset, uint32_t count, uint32_t& copied);
    // Bytes past 0xFFFFFFFF read as 0xFF; addresses do not wrap.
    void ReadBlock(uint32_t address, uint8_t* buffer, uint32_t count);

    int WriteByte(uint32_t address, uint8_t value);
    int WriteWord(uint32_t address, uint16_t value, bool littleEndian);
    int WriteLong(uint32_t address, uint32_t value, bool littleEndian);
    uint8_t ReadByte(uint32_t address);
    uint16_t ReadWord(uint32_t address, bool littleEndian);
    uint32_t ReadLong(uint32_t address, bool littleEndian);

    // The used extent widened outward to `alignment` (a power of two), length mode.
    CMemoryRange GetUsedRange(uint32_t alignment) const;
    // Moves the content with the base; clears the image when its last byte
    // would pass 0xFFFFFFFF.
    void SetBase(uint32_t newBase);
    void Clear();
    // Sum over `range` in units of 4 (longs), 2 (words) or bytes (any other
    // unit); a partial group at the end is ignored, and bytes outside the
    // used extent count as 0xFF.
    uint32_t Checksum(const CMemoryRange& range, int unit, bool littleEndian);

    // Writes the pending run to the backing file: 0 done (the file now holds
    // exactly the used extent), 3 the file failed (the run stays pending).
    int Flush();

    // The used extent at one moment, so that the writes after it can be
    // undone (a program file that turns out bad half-way is taken back).
    struct SExtent {
        uint32_t firstOffset = 0;
        uint32_t usedLength = 0;
    };
    // Flushes the pending run, so that everything written so far lies in the
    // file, and answers the extent: 0, or 3 when the flush failed.
    [[nodiscard]] int Mark(SExtent& mark);
    // Forgets every byte written since Mark(): the extent shrinks back to
    // `mark`, bytes outside it read as 0xFF again, and the pending run (which
    // holds only bytes written since the mark) is dropped. Bytes inside the
    // mark that were overwritten must be written back by the caller.
    void ShrinkTo(const SExtent& mark);

    uint32_t GetBase() const { return base_; }
    uint32_t GetFirstOffset() const { return firstOffset_; }
    uint32_t GetUsedLength() const { return usedLength_; }
    bool IsEmpty() const { return usedLength_ == 0; }
    bool IsOpen() const { return isOpen_; }
    // Absolute path of the backing file (empty while none is open).
    const std::string& GetPath() const { return file_.Path(); }
    // Deletes the backing file's name while the image keeps using the file
    // (see CImageFile::Unlink).
    bool UnlinkBackingFile() { return file_.Unlink(); }

private:
    bool Store(uint64_t offset, const uint8_t* data, size_t count);
    bool WriteThrough(uint64_t offset, const uint8_t* data, size_t count);
    bool FileHolds() const { return fileEnd_ > fileFirst_; }
    // Widens the used extent over [offset, end).
    void Widen(uint64_t offset, uint64_t end);
    void ReadExtent(uint64_t lo, uint64_t hi, uint8_t* out);
    uint8_t* Scratch();

    CImageFile file_;
    uint32_t base_ = 0;
    uint32_t firstOffset_ = 0;
    uint32_t usedLength_ = 0;
    bool isOpen_ = false;

    // What the file holds: [fileFirst_, fileEnd_) is written, gaps included.
    uint64_t fileFirst_ = 0;
    uint64_t fileEnd_ = 0;
    // The pending run: cache_[0, pendingLength_) belongs at pendingStart_.
    size_t cacheSize_ = kCacheSize;
    std::unique_ptr<uint8_t[]> cache_;
    uint64_t pendingStart_ = 0;
    size_t pendingLength_ = 0;
    std::unique_ptr<uint8_t[]> scratch_;
};
