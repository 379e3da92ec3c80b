// The ELF reader: 32-bit executables, either byte order. The file bytes of
// every loadable segment go to its physical address plus the load offset;
// the zero-filled rest of a segment (.bss) is not flash content and is left
// out.
#include "common/text_format.h"
#include "common/unique_fd.h"
#include "files/load_tracker.h"
#include "files/program_file_readers.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kHeaderSize = 52;     // a 32-bit ELF header
constexpr size_t kSegmentSize = 32;    // a 32-bit program header
constexpr uint32_t kLoadable = 1;      // PT_LOAD
constexpr uint32_t kPiece = 64 * 1024; // segment bytes are copied in pieces of this size

// Reads exactly `count` bytes at `offset`: 1 read, 0 the file ends first, -1 a read error.
int ReadAt(int fd, uint8_t* out, size_t count, uint64_t offset)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            return 0;
        done += static_cast<size_t>(n);
    }
    return 1;
}

// Numbers in the file's byte order.
struct SOrder {
    bool big = false;
    uint32_t U16(const uint8_t* p) const { return big ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]); }
    uint32_t U32(const uint8_t* p) const
    {
        return big ? (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3])
                   : (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0]);
    }
};

} // namespace

int LoadElfFile(const std::string& fileName, CMemoryImage& image, uint32_t& bytesLoaded, CMemoryRange& fileRange,
                const CMemoryRange& physical, uint32_t loadOffset, SLoadReport* report)
{
    bytesLoaded = 0;
    CUniqueFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || S_ISDIR(st.st_mode))
        return kLoadCannotOpen;
    const auto refuse = [report](std::string why) {
        if (report) {
            report->line = 0;
            report->reason = std::move(why);
        }
        return kLoadRefused;
    };

    uint8_t h[kHeaderSize];
    const int got = ReadAt(fd.Get(), h, 4, 0);
    if (got < 0)
        return kLoadCannotOpen;
    if (got == 0 || std::memcmp(h, "\x7F" "ELF", 4) != 0)
        return kLoadNotFormat;
    const int header = ReadAt(fd.Get(), h, kHeaderSize, 0);
    if (header < 0)
        return kLoadCannotOpen;
    if (header == 0)
        return refuse("the ELF header is cut short");
    if (h[4] == 2)
        return refuse("a 64-bit ELF file: only 32-bit ELF files can be loaded");
    if (h[4] != 1)
        return refuse(Format("an ELF file of unknown class %u", h[4]));
    if (h[5] != 1 && h[5] != 2)
        return refuse(Format("an ELF file of unknown byte order %u", h[5]));
    const SOrder order{h[5] == 2};
    const uint32_t type = order.U16(h + 16);
    if (type == 1)
        return refuse("a relocatable object file: only linked executables can be loaded");
    if (type != 2 && type != 3)
        return refuse(Format("an ELF file of type %u: only executables can be loaded", type));
    const uint32_t phOffset = order.U32(h + 28);
    const uint32_t phEntrySize = order.U16(h + 42);
    const uint32_t phCount = order.U16(h + 44);
    if (phCount == 0)
        return refuse("the ELF file has no program headers");
    if (phEntrySize < kSegmentSize)
        return refuse(Format("program headers of %u bytes (32 expected)", phEntrySize));
    if (uint64_t{phOffset} + uint64_t{phEntrySize} * phCount > static_cast<uint64_t>(st.st_size))
        return refuse("the program header table runs past the end of the file");

    CLoadTracker tracker(image, bytesLoaded, report);
    auto piece = std::make_unique<uint8_t[]>(kPiece);
    unsigned loadable = 0;
    for (uint32_t i = 0; i < phCount; ++i) {
        uint8_t ph[kSegmentSize];
        if (ReadAt(fd.Get(), ph, kSegmentSize, uint64_t{phOffset} + uint64_t{i} * phEntrySize) != 1)
            return kLoadCannotOpen;
        if (order.U32(ph) != kLoadable)
            continue;
        const uint32_t offset = order.U32(ph + 4);
        const uint32_t physicalAddress = order.U32(ph + 12);
        const uint32_t fileSize = order.U32(ph + 16);
        if (fileSize == 0)
            continue;
        if (uint64_t{offset} + fileSize > static_cast<uint64_t>(st.st_size))
            return refuse(Format("segment %u (%u bytes at file offset 0x%X) runs past the end of the file", i,
                                 fileSize, offset));
        ++loadable;
        const uint32_t address = physicalAddress + loadOffset;
        tracker.Count(fileSize);
        for (uint32_t done = 0; done < fileSize;) {
            const uint32_t n = fileSize - done < kPiece ? fileSize - done : kPiece;
            if (ReadAt(fd.Get(), piece.get(), n, uint64_t{offset} + done) != 1)
                return kLoadCannotOpen;
            if (!tracker.Place(address + done, piece.get(), n))
                return kLoadImageFailed;
            done += n;
        }
    }
    if (loadable == 0)
        return refuse("the ELF file has no loadable segment with file bytes");
    return tracker.Finish(fileRange, physical);
}
