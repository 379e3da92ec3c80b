#include "cli/cli_flash_plan.h"

#include "catalogue/flash_catalogue.h"
#include "cli/cli_session.h"

#include <algorithm>
#include <cstdio>

SFlashArray CliFlashArray(CCliSession& session)
{
    const CQpgDoc& doc = session.Doc();
    return SFlashArray{CFlashCatalogue::FindFlashDevice(doc.memoryType), doc.physicalRange.GetStart(),
                       doc.BusWidthBytes(), static_cast<uint32_t>(doc.bankCount)};
}

std::vector<CMemoryRange> CliPiecesIn(const SFlashSector& sector, const std::vector<CMemoryRange>& ranges)
{
    std::vector<CMemoryRange> pieces;
    const uint64_t lo = sector.start, hi = sector.start + sector.size;
    for (const CMemoryRange& r : ranges) {
        const uint64_t start = std::max<uint64_t>(lo, r.GetStart());
        const uint64_t end = std::min<uint64_t>(hi, uint64_t{r.GetStart()} + r.GetSize());
        if (start < end)
            pieces.emplace_back(static_cast<uint32_t>(start), static_cast<uint32_t>(end - start), 1);
    }
    return pieces;
}

std::vector<CMemoryRange> CliGapsIn(const SFlashSector& sector, const std::vector<CMemoryRange>& ranges)
{
    std::vector<CMemoryRange> gaps;
    uint64_t at = sector.start;
    const uint64_t hi = std::min<uint64_t>(sector.start + sector.size, 0x100000000ull);
    for (const CMemoryRange& piece : CliPiecesIn(sector, ranges)) {
        if (piece.GetStart() > at)
            gaps.emplace_back(static_cast<uint32_t>(at), static_cast<uint32_t>(piece.GetStart() - at), 1);
        at = uint64_t{piece.GetStart()} + piece.GetSize();
    }
    if (at < hi)
        gaps.emplace_back(static_cast<uint32_t>(at), static_cast<uint32_t>(hi - at), 1);
    return gaps;
}

void CliPrintDryRun(const char* step, const std::vector<SFlashSector>& erase, const std::vector<CMemoryRange>& program)
{
    for (const SFlashSector& s : erase)
        std::printf("%s: would erase bank %u sector %u (%08X..%08X)\n", step, static_cast<unsigned>(s.bank),
                    static_cast<unsigned>(s.sector), static_cast<unsigned>(s.start),
                    static_cast<unsigned>(s.start + s.size - 1));
    unsigned long long bytes = 0;
    for (const CMemoryRange& r : program) {
        std::printf("%s: would program %08X..%08X (%u bytes)\n", step, static_cast<unsigned>(r.GetStart()),
                    static_cast<unsigned>(r.GetEnd()), static_cast<unsigned>(r.GetSize()));
        bytes += r.GetSize();
    }
    std::printf("%s: dry run: %zu sector(s) to erase, %zu span(s) of %llu bytes to program; nothing was sent to the "
                "probe\n",
                step, erase.size(), program.size(), bytes);
}
