#include "files/load_tracker.h"

#include "project/memory_image.h"

CLoadTracker::CLoadTracker(CMemoryImage& image, uint32_t& bytesLoaded)
    : image_(image), bytesLoaded_(bytesLoaded), journal_(image)
{
    bytesLoaded_ = 0;
}

CLoadTracker::~CLoadTracker()
{
    if (!kept_)
        (void)journal_.Rollback();
}

bool CLoadTracker::Place(uint32_t address, const uint8_t* data, uint32_t count)
{
    if (count == 0)
        return true; // an empty record writes nothing and covers no address
    if (address < lowest_)
        lowest_ = address;
    // A block that runs past 0xFFFFFFFF ends the range at the top of the
    // address space rather than wrapping it to a low address.
    const uint64_t last64 = uint64_t{address} + count - 1;
    const uint32_t last = last64 > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(last64);
    if (last > highest_)
        highest_ = last;
    if (!journal_.Marked() || (journal_.Touches(address, count) && !journal_.Save(address, count)))
        return false;
    const int r = image_.WriteBlock(address, data, count);
    if (r == 3)
        return false;
    if (r == 2)
        outside_ = true;
    return true;
}

bool CLoadTracker::WriteInPieces(uint32_t address, const uint8_t* data, uint32_t count, uint32_t piece)
{
    const uint32_t base = image_.GetBase();
    const uint64_t last = uint64_t{address} + count - 1;
    const bool inside = count > 0 && address >= base && last <= 0xFFFFFFFFull &&
                        last - base < CMemoryImage::kWindowSize;
    if (inside || count <= piece)
        return Write(address, data, count);
    for (uint32_t done = 0; done < count; done += piece) {
        const uint32_t n = count - done < piece ? count - done : piece;
        if (!Write(address + done, data + done, n))
            return false;
    }
    return true;
}

int CLoadTracker::Finish(CMemoryRange& fileRange, const CMemoryRange& physical)
{
    return Finish(lowest_, highest_, fileRange, physical);
}

int CLoadTracker::Finish(uint32_t lowest, uint32_t highest, CMemoryRange& fileRange,
                         const CMemoryRange& physical)
{
    kept_ = true;
    fileRange.Set(lowest, highest, 0);
    const bool inside = fileRange.GetSize() == 0 || fileRange.CheckInside(physical, "", nullptr);
    return outside_ || !inside ? 3 : 0;
}
