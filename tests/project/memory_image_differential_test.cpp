// CMemoryImage against a plain model of the image over thousands of random
// operations: the model keeps written bytes in a map and follows the image's
// rules step by step, so any slip of the write-back cache, the gap filling or
// the chunked checksum shows up as a difference. Some writes copy their
// bytes from a file instead (CopyFromFile).

#include "project/memory_image.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <array>
#include <unordered_map>
#include <random>
#include <vector>

namespace {

class CImageModel {
public:
    int Write(uint32_t a, const uint8_t* d, uint32_t n)
    {
        if (n == 0)
            return 0;
        const uint32_t last = a + n - 1;
        if (last < a || last < base || last - base >= CMemoryImage::kWindowSize)
            return 2;
        int result = 0;
        if (a < base) {
            d += base - a;
            n -= base - a;
            a = base;
            result = 2;
        }
        const uint32_t offset = a - base;
        for (uint32_t i = 0; i < n; ++i)
            Page(offset + i)[(offset + i) % kPage] = d[i];
        const uint64_t end = uint64_t{offset} + n;
        if (used == 0) {
            first = offset;
            used = n;
        } else {
            const uint64_t lo = std::min<uint64_t>(first, offset);
            const uint64_t hi = std::max<uint64_t>(uint64_t{first} + used, end);
            first = static_cast<uint32_t>(lo);
            used = static_cast<uint32_t>(hi - lo);
        }
        return result;
    }

    // Addresses do not wrap: a byte past 0xFFFFFFFF reads as 0xFF.
    uint8_t At(uint64_t address) const
    {
        const int64_t rel = static_cast<int64_t>(address) - base;
        if (address > 0xFFFFFFFFull || used == 0 || rel < first || rel >= int64_t{first} + used)
            return 0xFF;
        const auto it = pages.find(static_cast<uint32_t>(rel) / kPage);
        return it == pages.end() ? 0xFF : it->second[rel % kPage];
    }

    void SetBase(uint32_t b)
    {
        base = b;
        if (used != 0 && uint64_t{b} + first + used - 1 > 0xFFFFFFFFull)
            Clear();
    }

    void Clear()
    {
        pages.clear();
        first = used = 0;
    }

    // The checksum as the image describes it: 4096-byte chunks, whole
    // groups only.
    uint32_t Checksum(const CMemoryRange& r, int unit, bool little) const
    {
        const uint32_t u = (unit == 4 || unit == 2) ? static_cast<uint32_t>(unit) : 1;
        uint32_t sum = 0;
        uint64_t a = r.start;
        uint32_t remaining = r.size;
        while (remaining >= u) {
            const uint32_t chunk = std::min<uint32_t>(remaining, 4096);
            for (uint32_t g = 0; g + u <= chunk; g += u) {
                uint32_t v = 0;
                for (uint32_t k = 0; k < u; ++k)
                    v |= uint32_t{At(a + g + k)} << (8 * (little ? k : u - 1 - k));
                sum += v;
            }
            remaining -= chunk;
            a += chunk;
        }
        return sum;
    }

    uint32_t base = 0, first = 0, used = 0;

private:
    // Written bytes by offset from base, in pages that start as 0xFF: a
    // byte never written reads as 0xFF like a gap does.
    static constexpr uint32_t kPage = 4096;
    uint8_t* Page(uint32_t offset)
    {
        auto [it, added] = pages.try_emplace(offset / kPage);
        if (added)
            it->second.fill(0xFF);
        return it->second.data();
    }
    std::unordered_map<uint32_t, std::array<uint8_t, kPage>> pages;
};

class MemoryImageDifferential : public ::testing::TestWithParam<size_t> {};

} // namespace

TEST_P(MemoryImageDifferential, MatchesTheModel)
{
    CTempDir dir(true);
    CMemoryImage img(GetParam());
    ASSERT_EQ(img.Open(0), 0);
    CImageModel model;
    std::mt19937 rng(20240611u + static_cast<unsigned>(GetParam()));
    auto pick = [&rng](uint64_t lo, uint64_t hi) { return std::uniform_int_distribution<uint64_t>(lo, hi)(rng); };
    const uint32_t bases[] = {0, 0x1000, 0x08000000, 0x7FFFFFF0, 0xF0000000, 0xFFFF0000, 0xFFFFFF00};
    uint32_t cursor = 0; // where sequential writes go on
    std::vector<uint8_t> data, got;
    const std::string source = dir.File("source.bin");

    for (int step = 0; step < 4000; ++step) {
        SCOPED_TRACE(step);
        const uint64_t lo = uint64_t{model.base} + model.first;
        const uint64_t hi = lo + model.used;
        const uint32_t kind = static_cast<uint32_t>(pick(0, 99));
        if (kind < 55) {
            // A write: mostly continuing the last one in small blocks, as a
            // loader does, else somewhere near the extent, below the base,
            // after a big gap, at the window's end or wrapping past the top.
            uint32_t n = static_cast<uint32_t>(pick(1, 48));
            if (pick(0, 9) == 0)
                n = static_cast<uint32_t>(pick(1, 9000));
            if (pick(0, 199) == 0)
                n = static_cast<uint32_t>(pick(1, 3 * GetParam() + 70000));
            uint32_t a;
            const uint32_t where = static_cast<uint32_t>(pick(0, 99));
            if (where < 50)
                a = cursor + static_cast<uint32_t>(pick(0, 3) == 0 ? pick(0, 40) : 0);
            else if (where < 80)
                a = static_cast<uint32_t>(pick(lo > 5000 ? lo - 5000 : 0, hi + 5000));
            else if (where < 88)
                a = model.base - static_cast<uint32_t>(pick(0, 64));
            else if (where < 92)
                a = static_cast<uint32_t>(hi + pick(1, 3 << 20));
            else if (where < 96 && (model.used == 0 || model.first >= 0x0FF00000))
                a = model.base + 0x10000000 - static_cast<uint32_t>(pick(1, 300));
            else
                a = 0xFFFFFFFF - static_cast<uint32_t>(pick(0, 100));
            data.resize(n);
            for (auto& b : data)
                b = static_cast<uint8_t>(rng());
            if (pick(0, 3) == 0) {
                // The same bytes copied from a file, as the binary and ELF
                // loaders place them: after a few other bytes, and now and
                // then in a file that ends before the block does.
                const uint32_t skip = static_cast<uint32_t>(pick(0, 5000));
                const uint32_t stored = pick(0, 5) == 0 ? static_cast<uint32_t>(pick(0, n)) : n;
                std::string bytes(skip, 'x');
                bytes.append(reinterpret_cast<const char*>(data.data()), stored);
                WriteFileBytes(source, bytes);
                const int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
                ASSERT_GE(fd, 0);
                uint32_t copied = 12345;
                const int r = img.CopyFromFile(a, fd, skip, n, copied);
                ::close(fd);
                const bool inside = a >= model.base && uint64_t{a} - model.base + n <= CMemoryImage::kWindowSize
                                    && uint64_t{a} + n <= 0x100000000ull;
                ASSERT_EQ(r, inside ? 0 : 2) << std::hex << a << " " << n;
                ASSERT_EQ(copied, inside ? stored : 0u);
                if (inside)
                    model.Write(a, data.data(), stored);
                cursor = a + copied;
            } else {
                ASSERT_EQ(img.WriteBlock(a, data.data(), n), model.Write(a, data.data(), n))
                    << std::hex << a << " " << n;
                cursor = a + n;
            }
        } else if (kind < 80) {
            const uint32_t n = static_cast<uint32_t>(pick(0, pick(0, 3) == 0 ? 70000 : 300));
            uint32_t a = static_cast<uint32_t>(pick(lo > 400 ? lo - 400 : 0, hi + 400));
            if (pick(0, 19) == 0)
                a = 0xFFFFFFFF - static_cast<uint32_t>(pick(0, 200));
            got.assign(n, 0);
            img.ReadBlock(a, got.data(), n);
            for (uint32_t i = 0; i < n; ++i)
                ASSERT_EQ(got[i], model.At(uint64_t{a} + i)) << std::hex << a << " + " << i;
        } else if (kind < 88) {
            const int units[] = {1, 2, 4, 3, 0};
            const int unit = units[pick(0, 4)];
            const bool little = pick(0, 1) != 0;
            const uint32_t a = static_cast<uint32_t>(pick(lo > 300 ? lo - 300 : 0, hi + 300));
            const CMemoryRange r(a, static_cast<uint32_t>(pick(0, pick(0, 4) == 0 ? 200000 : 9000)), 1);
            ASSERT_EQ(img.Checksum(r, unit, little), model.Checksum(r, unit, little))
                << std::hex << r.start << " " << r.size << " unit " << unit << " le " << little;
        } else if (kind < 92) {
            const uint32_t b = pick(0, 2) == 0 ? bases[pick(0, std::size(bases) - 1)]
                                               : model.base + static_cast<uint32_t>(pick(0, 0x20000)) - 0x10000;
            img.SetBase(b);
            model.SetBase(b);
        } else if (kind < 94) {
            img.Clear();
            model.Clear();
        } else {
            // The file holds exactly the used extent once flushed.
            ASSERT_EQ(img.Flush(), 0);
            std::ifstream f(img.GetPath(), std::ios::binary | std::ios::ate);
            const uint64_t size = static_cast<uint64_t>(f.tellg());
            ASSERT_EQ(size, model.used == 0 ? 0 : uint64_t{model.first} + model.used);
            if (model.used != 0) {
                const uint32_t n = std::min<uint32_t>(model.used, 4096);
                const uint32_t at = model.first + static_cast<uint32_t>(pick(0, model.used - n));
                std::string bytes(n, '\0');
                f.seekg(at);
                f.read(bytes.data(), n);
                for (uint32_t i = 0; i < n; ++i)
                    ASSERT_EQ(static_cast<uint8_t>(bytes[i]), model.At(uint64_t{model.base} + at + i)) << at + i;
            }
        }
        ASSERT_EQ(img.GetBase(), model.base);
        ASSERT_EQ(img.GetFirstOffset(), model.first);
        ASSERT_EQ(img.GetUsedLength(), model.used);
        const uint32_t align = 1u << pick(0, 3);
        const CMemoryRange used = img.GetUsedRange(align);
        const uint32_t ulo = model.base + model.first, uhi = ulo + model.used;
        ASSERT_EQ(used.start, ulo & ~(align - 1));
        ASSERT_EQ(used.size, ((uhi + align - 1) & ~(align - 1)) - used.start);
    }
}

// A one-byte cache writes almost everything through; small caches fill and
// flush often; the default one holds long runs.
INSTANTIATE_TEST_SUITE_P(CacheSizes, MemoryImageDifferential,
                         ::testing::Values(size_t{1}, size_t{64}, size_t{4096}, CMemoryImage::kCacheSize));
