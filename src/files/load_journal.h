#pragma once

#include "project/memory_image.h"

#include <cstdint>
#include <string>
#include <vector>

// Takes a load back. At construction it marks the image; before every write
// of the load, Save() keeps the image bytes that the write will overwrite and
// that were in use at the mark, once per 64 KiB chunk, in an unnamed
// temporary file beside the image's backing file. Rollback() shrinks the
// image back to the mark and writes the kept chunks back, so the image holds
// exactly what it held before the load.
//
// A load into an image that was empty, or that writes beside what the image
// held, keeps nothing at all: the common case costs one comparison per write.
class CLoadJournal {
public:
    static constexpr uint32_t kChunk = 64 * 1024;

    explicit CLoadJournal(CMemoryImage& image);
    ~CLoadJournal();
    CLoadJournal(const CLoadJournal&) = delete;
    CLoadJournal& operator=(const CLoadJournal&) = delete;

    // False when the mark could not be taken (the image failed to flush).
    bool Marked() const { return marked_; }

    // True when a write of `count` bytes at `address` touches bytes that
    // were in use at the mark.
    bool Touches(uint32_t address, uint32_t count) const
    {
        if (markLength_ == 0 || count == 0)
            return false;
        const int64_t rel = int64_t{address} - base_;
        return rel < markEnd_ && rel + count > int64_t{markFirst_};
    }
    // Keeps the bytes such a write would overwrite; false when they could
    // not be kept (the write must not happen).
    [[nodiscard]] bool Save(uint32_t address, uint32_t count);
    // Puts the image back as it was at the mark; false when the image failed
    // while the kept bytes went back.
    [[nodiscard]] bool Rollback();

private:
    struct SSaved {
        uint32_t offset; // image offset of the chunk's first kept byte
        uint32_t length;
        uint64_t at;     // position in the temporary file
    };
    bool OpenFile();

    CMemoryImage& image_;
    CMemoryImage::SExtent mark_;
    bool marked_ = false;
    int64_t base_ = 0;
    uint32_t markFirst_ = 0;
    uint32_t markLength_ = 0;
    int64_t markEnd_ = 0;
    std::vector<uint64_t> savedChunks_; // one bit per chunk of the mark's extent
    std::vector<SSaved> saved_;
    std::vector<uint8_t> buffer_;
    int fd_ = -1;
    uint64_t fileLength_ = 0;
};
