// The binary reader: the last resort, it takes every file it can open.
#include "files/load_tracker.h"

#include "common/text_format.h"
#include "common/unique_fd.h"
#include "files/program_file_readers.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kChunk = size_t{1} << 20;
// Blocks that do not lie wholly inside the image window are written in the
// pieces the file was always read in, so that the same bytes land.
constexpr uint32_t kPiece = 1024;

} // namespace

int LoadBinaryFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded,
                   CMemoryRange& fileRange, const CMemoryRange& physical, uint32_t loadOffset,
                SLoadReport* report)
{
    bytesLoaded = 0;
    CUniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || S_ISDIR(st.st_mode))
        return kLoadCannotOpen;
    // Every byte has an address: the file's position plus the load offset. A
    // file that runs past 0xFFFFFFFF from there has bytes without one (they
    // would wrap onto the image's start), so it is refused whole. A regular
    // file is judged by its size before anything is written; a pipe while
    // it is read (the tracker then takes back what was written).
    const uint64_t addressRoom = uint64_t{0x100000000} - loadOffset;
    const auto refuse = [&report, loadOffset, addressRoom] {
        if (report) {
            report->line = 0;
            report->reason = Format("the file is longer than the %llu bytes from offset %08lX to the end of the "
                                    "address space",
                                    static_cast<unsigned long long>(addressRoom),
                                    static_cast<unsigned long>(loadOffset));
        }
        return kLoadRefused;
    };
    if (S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) > addressRoom)
        return refuse();
    CLoadTracker tracker(image, bytesLoaded, report);
    uint64_t position = 0;
    uint32_t highest = 0;
    // A regular file that lies inside the image window is copied from file
    // to file as it is; the loop below reads only what it may have grown by
    // since, or the whole file when it cannot be copied so.
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        uint32_t placed = 0;
        const auto size = static_cast<uint32_t>(st.st_size); // at most 4 GiB - loadOffset, see above
        switch (tracker.PlaceFromFile(loadOffset, fd.Get(), 0, size, placed)) {
        case CLoadTracker::ECopied::ImageFailed: return kLoadImageFailed;
        case CLoadTracker::ECopied::ReadFailed: return kLoadCannotOpen;
        case CLoadTracker::ECopied::Plain: break;
        case CLoadTracker::ECopied::Done:
            tracker.Count(placed);
            position = placed;
            highest = static_cast<uint32_t>(uint64_t{loadOffset} + position - 1);
            if (placed < size) // the file ended early
                return tracker.Finish(loadOffset, highest, fileRange, physical);
            if (::lseek(fd.Get(), static_cast<off_t>(position), SEEK_SET) < 0)
                return kLoadCannotOpen;
            break;
        }
    }
    auto buffer = std::make_unique<uint8_t[]>(kChunk);
    for (;;) {
        size_t filled = 0;
        while (filled < kChunk) {
            const ssize_t n = ::read(fd.Get(), buffer.get() + filled, kChunk - filled);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return kLoadCannotOpen;
            if (n == 0)
                break;
            filled += static_cast<size_t>(n);
        }
        if (filled == 0)
            break;
        if (position + filled > addressRoom)
            return refuse();
        const uint32_t address = loadOffset + static_cast<uint32_t>(position);
        if (!tracker.WriteInPieces(address, buffer.get(), static_cast<uint32_t>(filled), kPiece))
            return kLoadImageFailed;
        position += filled;
        // The last address written, held at the top of the address space
        // when the file runs past it.
        const uint64_t last = uint64_t{loadOffset} + position - 1;
        highest = last > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(last);
        if (filled < kChunk)
            break;
    }
    return tracker.Finish(loadOffset, highest, fileRange, physical);
}
