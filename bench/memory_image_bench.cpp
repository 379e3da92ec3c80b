// Memory image speed: checksums over a full 256 MiB image and loader-style
// sequential writes in small blocks. Every benchmark reports the process's
// peak resident memory, which must stay far below the image size.

#include "project/memory_image.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr uint32_t kMiB = 1024 * 1024;
constexpr uint32_t kImageSize = 256 * kMiB;
constexpr uint32_t kLoadSize = 64 * kMiB;

// The benchmarks run in a temporary directory of their own (the image keeps
// its backing file in the current directory), removed at exit.
class CWorkDir {
public:
    CWorkDir()
    {
        std::string templ = (std::filesystem::temp_directory_path() / "tarvel-bench-XXXXXX").string();
        if (!mkdtemp(templ.data()))
            throw std::runtime_error("mkdtemp failed");
        path_ = templ;
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~CWorkDir()
    {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        std::filesystem::remove_all(path_, ec);
    }

private:
    std::filesystem::path path_, previous_;
};

CWorkDir& WorkDir()
{
    static CWorkDir dir;
    return dir;
}

// Deterministic bytes that are neither constant nor 0xFF.
std::vector<uint8_t> Pattern(size_t n)
{
    std::vector<uint8_t> v(n);
    uint32_t x = 0x12345678;
    for (auto& b : v) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(x >> 24);
    }
    return v;
}

// One image of 256 MiB, filled once and shared by the checksum benchmarks.
CMemoryImage& FullImage()
{
    static std::unique_ptr<CMemoryImage> img = [] {
        WorkDir();
        auto m = std::make_unique<CMemoryImage>();
        if (m->Open(0) != 0)
            throw std::runtime_error("cannot create the image file");
        const auto block = Pattern(kMiB);
        for (uint32_t a = 0; a < kImageSize; a += kMiB) {
            if (m->WriteBlock(a, block.data(), kMiB) != 0)
                throw std::runtime_error("cannot fill the image");
        }
        if (m->Flush() != 0)
            throw std::runtime_error("cannot fill the image");
        return m;
    }();
    return *img;
}

void ReportPeakRss(benchmark::State& state)
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    state.counters["peak_rss_MiB"] = static_cast<double>(u.ru_maxrss) / 1024.0;
}

void RunChecksum(benchmark::State& state, int unit, bool littleEndian)
{
    CMemoryImage& img = FullImage();
    const CMemoryRange range(0, kImageSize, 1);
    for (auto _ : state)
        benchmark::DoNotOptimize(img.Checksum(range, unit, littleEndian));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kImageSize);
    ReportPeakRss(state);
}

void BM_ChecksumBytes256MiB(benchmark::State& state)
{
    RunChecksum(state, 1, true);
}

// Longs and words, in the byte order given by the second argument (1 little).
void BM_ChecksumUnits256MiB(benchmark::State& state)
{
    RunChecksum(state, static_cast<int>(state.range(0)), state.range(1) != 0);
}

// 64 MiB written the way a loader does, `blockSize` bytes per call, leaving
// a 64 KiB gap (filled with 0xFF) after every 4 MiB; timed up to the point
// where the file holds everything.
void RunSequentialWrite(benchmark::State& state, uint32_t blockSize)
{
    WorkDir();
    CMemoryImage img;
    if (img.Open(0) != 0) {
        state.SkipWithError("cannot create the image file");
        return;
    }
    const auto source = Pattern(kMiB);
    for (auto _ : state) {
        state.PauseTiming();
        img.Clear();
        state.ResumeTiming();
        uint32_t address = 0;
        for (uint32_t written = 0; written < kLoadSize; written += blockSize) {
            if (written % (4 * kMiB) == 0 && written != 0)
                address += 64 * 1024;
            if (img.WriteBlock(address, source.data() + written % kMiB, blockSize) != 0) {
                state.SkipWithError("write failed");
                return;
            }
            address += blockSize;
        }
        if (img.Flush() != 0) {
            state.SkipWithError("flush failed");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLoadSize);
    state.counters["calls_per_s"] =
        benchmark::Counter(static_cast<double>(kLoadSize / blockSize), benchmark::Counter::kIsIterationInvariantRate);
    ReportPeakRss(state);
}

void BM_SequentialWrite64MiB_32(benchmark::State& state)
{
    RunSequentialWrite(state, 32);
}

void BM_SequentialWrite64MiB_16(benchmark::State& state)
{
    RunSequentialWrite(state, 16);
}

} // namespace

BENCHMARK(BM_ChecksumBytes256MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChecksumUnits256MiB)->Args({4, 1})->Args({4, 0})->Args({2, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SequentialWrite64MiB_32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SequentialWrite64MiB_16)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
