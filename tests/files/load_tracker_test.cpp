#include "files/load_tracker.h"
#include "files/program_file_readers.h"
#include "project/memory_image.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

struct SBlock {
    uint32_t address;
    std::vector<uint8_t> data;
};

// What one load leaves behind: the image's bytes around every block, the
// result, the file range and the report.
struct SOutcome {
    int result = -1;
    uint32_t bytes = 0;
    uint32_t rangeStart = 0;
    uint32_t rangeEnd = 0;
    bool overlap = false;
    uint32_t overlapAddress = 0;
    std::vector<std::pair<uint32_t, uint32_t>> spans;
    std::vector<std::vector<uint8_t>> around; // the bytes from 16 below to 16 above each block
};

// Loads the blocks into a fresh image at `base`, each either gathered (Write)
// or placed on its own (Count and Place, as before runs were gathered).
SOutcome Load(const std::vector<SBlock>& blocks, uint32_t base, bool gathered)
{
    CTempDir dir(true);
    CMemoryImage image;
    EXPECT_EQ(image.Open(base, dir.Path().string()), 0);
    SOutcome out;
    SLoadReport report;
    {
        CLoadTracker tracker(image, out.bytes, &report);
        for (const SBlock& b : blocks) {
            const auto n = static_cast<uint32_t>(b.data.size());
            bool ok;
            if (gathered) {
                ok = tracker.Write(b.address, b.data.data(), n);
            } else {
                tracker.Count(n);
                ok = tracker.Place(b.address, b.data.data(), n);
            }
            EXPECT_TRUE(ok);
        }
        CMemoryRange range;
        const CMemoryRange physical(base, base + CMemoryImage::kWindowSize - 1, 0);
        out.result = tracker.Finish(range, physical);
        out.rangeStart = range.GetStart();
        out.rangeEnd = range.GetEnd();
    }
    out.overlap = report.overlap;
    out.overlapAddress = report.overlapAddress;
    for (const CMemoryRange& span : report.spans)
        out.spans.emplace_back(span.GetStart(), span.GetEnd());
    for (const SBlock& b : blocks) {
        std::vector<uint8_t> bytes(b.data.size() + 32);
        image.ReadBlock(b.address - 16, bytes.data(), static_cast<uint32_t>(bytes.size()));
        out.around.push_back(std::move(bytes));
    }
    return out;
}

void ExpectSame(const SOutcome& a, const SOutcome& b)
{
    EXPECT_EQ(a.result, b.result);
    EXPECT_EQ(a.bytes, b.bytes);
    EXPECT_EQ(a.rangeStart, b.rangeStart);
    EXPECT_EQ(a.rangeEnd, b.rangeEnd);
    EXPECT_EQ(a.overlap, b.overlap);
    EXPECT_EQ(a.overlapAddress, b.overlapAddress);
    EXPECT_EQ(a.spans, b.spans);
    ASSERT_EQ(a.around.size(), b.around.size());
    for (size_t i = 0; i < a.around.size(); ++i)
        EXPECT_EQ(a.around[i], b.around[i]) << "around block " << i;
}

// Records as a file written upwards holds them, with the turns that make
// gathering matter: runs that cross the window's end or start below its
// base, jumps back over earlier records (with the same or other bytes),
// runs longer than one gathered run, and records at the top of the address
// space.
std::vector<SBlock> RecordsWithTurns(std::mt19937& rng, uint32_t base)
{
    const uint32_t windowEnd = base + CMemoryImage::kWindowSize;
    const uint32_t starts[] = {base, base + 0x1000, windowEnd - 700, base - 300, base + 0x20000, 0xFFFFFE00u};
    std::vector<SBlock> blocks;
    for (int run = 0; run < 8; ++run) {
        uint64_t at = starts[rng() % std::size(starts)] + rng() % 64;
        if (!blocks.empty() && rng() % 3 == 0) // back over an earlier record
            at = blocks[rng() % blocks.size()].address + rng() % 8;
        const bool sameBytes = rng() % 2 == 0;
        const int records = 1 + static_cast<int>(rng() % 3000); // up to about 3 gathered runs
        for (int r = 0; r < records && at < 0x100000000ull; ++r) {
            SBlock b;
            b.address = static_cast<uint32_t>(at);
            b.data.resize(1 + rng() % 64);
            for (size_t i = 0; i < b.data.size(); ++i)
                b.data[i] = sameBytes ? static_cast<uint8_t>(b.address + i) : static_cast<uint8_t>(rng());
            at += b.data.size();
            blocks.push_back(std::move(b));
        }
    }
    return blocks;
}

TEST(LoadTracker, GatheredRecordsLeaveWhatRecordsPlacedOneByOneLeave)
{
    std::mt19937 rng(2412);
    for (const uint32_t base : {0u, 0x08000000u, 0xF0000000u}) {
        for (int round = 0; round < 3; ++round) {
            const std::vector<SBlock> blocks = RecordsWithTurns(rng, base);
            SCOPED_TRACE(testing::Message() << "base " << std::hex << base << " round " << std::dec << round);
            ExpectSame(Load(blocks, base, true), Load(blocks, base, false));
        }
    }
}

TEST(LoadTracker, AnImageThatCannotBeWrittenStopsTheFirstWrite)
{
    CMemoryImage closed; // never opened: every write fails
    uint32_t bytes = 0;
    CLoadTracker tracker(closed, bytes);
    const uint8_t data[4] = {1, 2, 3, 4};
    EXPECT_FALSE(tracker.Write(0x100, data, 4));
    EXPECT_EQ(bytes, 4u);
}

} // namespace
