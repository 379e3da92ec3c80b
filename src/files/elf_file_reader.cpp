// The ELF reader: 32-bit ARM executables, either byte order. What reaches
// the image is the bytes of the allocated sections that hold data, each at
// its load address (the physical address of its segment plus its place in
// it) plus the load offset: the alignment padding between sections and the
// ELF headers a segment may cover are no flash content, so they stay 0xFF,
// as the toolchain's own converter leaves them. A file without section
// headers falls back to the file bytes of its loadable segments. The
// zero-filled rest of a segment (.bss) is never loaded.
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
#include <vector>

namespace {

constexpr size_t kHeaderSize = 52;     // a 32-bit ELF header
constexpr size_t kSegmentSize = 32;    // a 32-bit program header
constexpr size_t kSectionSize = 40;    // a 32-bit section header
constexpr uint32_t kLoadable = 1;      // PT_LOAD
constexpr uint32_t kNoBits = 8;        // SHT_NOBITS: a section without file bytes (.bss)
constexpr uint32_t kAllocated = 2;     // SHF_ALLOC: the section occupies target memory
constexpr uint32_t kMachineArm = 40;   // EM_ARM
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

struct SSegment {
    uint32_t offset;
    uint32_t physicalAddress;
    uint32_t fileSize;
};

// A block of file bytes to load: where it lies in the file and where it goes.
struct SBlock {
    uint32_t offset;
    uint32_t address;
    uint32_t size;
};

// "x86 (machine 3)" for the machine numbers a wrong file commonly has,
// "machine 4660" for the others.
std::string MachineName(uint32_t machine)
{
    const char* name = nullptr;
    switch (machine) {
    case 0: name = "no machine"; break;
    case 3: name = "x86"; break;
    case 8: name = "MIPS"; break;
    case 20: name = "PowerPC"; break;
    case 62: name = "x86-64"; break;
    case 183: name = "64-bit ARM"; break;
    case 243: name = "RISC-V"; break;
    default: return Format("machine %u", machine);
    }
    return Format("%s (machine %u)", name, machine);
}

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
    const uint32_t machine = order.U16(h + 18);
    if (machine != kMachineArm)
        return refuse(Format("an ELF file for %s: only ARM ELF files can be loaded", MachineName(machine).c_str()));
    if (report) {
        report->elf = true;
        report->elfBigEndian = order.big;
    }
    const uint64_t fileSize = static_cast<uint64_t>(st.st_size);
    const uint32_t phOffset = order.U32(h + 28);
    const uint32_t phEntrySize = order.U16(h + 42);
    const uint32_t phCount = order.U16(h + 44);
    if (phCount == 0)
        return refuse("the ELF file has no program headers");
    if (phEntrySize < kSegmentSize)
        return refuse(Format("program headers of %u bytes (32 expected)", phEntrySize));
    if (uint64_t{phOffset} + uint64_t{phEntrySize} * phCount > fileSize)
        return refuse("the program header table runs past the end of the file");

    std::vector<SSegment> segments;
    for (uint32_t i = 0; i < phCount; ++i) {
        uint8_t ph[kSegmentSize];
        if (ReadAt(fd.Get(), ph, kSegmentSize, uint64_t{phOffset} + uint64_t{i} * phEntrySize) != 1)
            return kLoadCannotOpen;
        if (order.U32(ph) != kLoadable)
            continue;
        const SSegment segment{order.U32(ph + 4), order.U32(ph + 12), order.U32(ph + 16)};
        if (segment.fileSize == 0)
            continue;
        if (uint64_t{segment.offset} + segment.fileSize > fileSize)
            return refuse(Format("segment %u (%u bytes at file offset 0x%X) runs past the end of the file", i,
                                 segment.fileSize, segment.offset));
        segments.push_back(segment);
    }
    if (segments.empty())
        return refuse("the ELF file has no loadable segment with file bytes");

    // The section header table; its count is in section 0 when it does not
    // fit the header's field.
    const uint32_t shOffset = order.U32(h + 32);
    const uint32_t shEntrySize = order.U16(h + 46);
    uint32_t shCount = order.U16(h + 48);
    std::vector<SBlock> blocks;
    if (shOffset != 0) {
        if (shEntrySize < kSectionSize)
            return refuse(Format("section headers of %u bytes (40 expected)", shEntrySize));
        if (shCount == 0) {
            uint8_t sh[kSectionSize];
            if (uint64_t{shOffset} + kSectionSize > fileSize)
                return refuse("the section header table runs past the end of the file");
            if (ReadAt(fd.Get(), sh, kSectionSize, shOffset) != 1)
                return kLoadCannotOpen;
            shCount = order.U32(sh + 20);
        }
        if (uint64_t{shOffset} + uint64_t{shEntrySize} * shCount > fileSize)
            return refuse("the section header table runs past the end of the file");
    } else {
        shCount = 0;
    }
    for (uint32_t i = 0; i < shCount; ++i) {
        uint8_t sh[kSectionSize];
        if (ReadAt(fd.Get(), sh, kSectionSize, uint64_t{shOffset} + uint64_t{i} * shEntrySize) != 1)
            return kLoadCannotOpen;
        const uint32_t type = order.U32(sh + 4);
        const uint32_t flags = order.U32(sh + 8);
        const uint32_t address = order.U32(sh + 12);
        const uint32_t offset = order.U32(sh + 16);
        const uint32_t size = order.U32(sh + 20);
        if (type == 0 || type == kNoBits || (flags & kAllocated) == 0 || size == 0)
            continue;
        if (uint64_t{offset} + size > fileSize)
            return refuse(Format("section %u (%u bytes at file offset 0x%X) runs past the end of the file", i, size,
                                 offset));
        // The load address: the segment that holds the section's bytes
        // decides; a section outside every segment loads at its own address.
        SBlock block{offset, address, size};
        for (const SSegment& segment : segments) {
            if (offset >= segment.offset && uint64_t{offset} + size <= uint64_t{segment.offset} + segment.fileSize) {
                block.address = segment.physicalAddress + (offset - segment.offset);
                break;
            }
        }
        blocks.push_back(block);
    }
    if (shCount == 0) {
        for (const SSegment& segment : segments)
            blocks.push_back({segment.offset, segment.physicalAddress, segment.fileSize});
    } else if (blocks.empty()) {
        return refuse("the ELF file has no allocated section with data");
    }

    CLoadTracker tracker(image, bytesLoaded, report);
    auto piece = std::make_unique<uint8_t[]>(kPiece);
    for (const SBlock& block : blocks) {
        const uint32_t address = block.address + loadOffset;
        tracker.Count(block.size);
        // Copied from file to file where the image can take the block so.
        uint32_t placed = 0;
        switch (tracker.PlaceFromFile(address, fd.Get(), block.offset, block.size, placed)) {
        case CLoadTracker::ECopied::ImageFailed: return kLoadImageFailed;
        case CLoadTracker::ECopied::ReadFailed: return kLoadCannotOpen;
        case CLoadTracker::ECopied::Done:
            if (placed < block.size)
                return kLoadCannotOpen; // the file ended before the size it had when opened
            continue;
        case CLoadTracker::ECopied::Plain: break;
        }
        for (uint32_t done = 0; done < block.size;) {
            const uint32_t n = block.size - done < kPiece ? block.size - done : kPiece;
            if (ReadAt(fd.Get(), piece.get(), n, uint64_t{block.offset} + done) != 1)
                return kLoadCannotOpen;
            if (!tracker.Place(address + done, piece.get(), n))
                return kLoadImageFailed;
            done += n;
        }
    }
    return tracker.Finish(fileRange, physical);
}
