// The binary reader: the last resort, it takes every file it can open.
#include "files/load_tracker.h"

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
    CLoadTracker tracker(image, bytesLoaded, report);
    auto buffer = std::make_unique<uint8_t[]>(kChunk);
    uint64_t position = 0;
    uint32_t highest = 0;
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
