// Our program file load and S-record store on large files, each into a fresh
// memory image, with the process's peak RSS as a counter.
//
// The files come from $TARVEL_BENCH_DIR (program.s19, program.hex,
// program.bin, program.elf, as bench_gen_program_files writes them); without it they are
// generated into a temporary directory by the generator next to this program.
#include "files/program_file_readers.h"
#include "files/srecord_writer.h"
#include "project/memory_image.h"

#include <benchmark/benchmark.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// File operations without the syncs.
class CNoSync final : public CSafeFileWriter::COps {
public:
    int Fsync(int) override { return 0; }
    void WriteBack(int, uint64_t, uint64_t, bool) override {}
};

std::string gDir;
std::string gScratch; // where images and stored files go

double PeakRssMiB()
{
    struct rusage u {};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// A memory image whose backing file lives in the scratch directory.
std::unique_ptr<CMemoryImage> FreshImage()
{
    auto image = std::make_unique<CMemoryImage>();
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(gScratch);
    const int r = image->Open(0);
    std::filesystem::current_path(previous);
    return r == 0 ? std::move(image) : nullptr;
}

void Load(benchmark::State& state, decltype(&LoadSRecordFile) reader, const char* file)
{
    const std::string path = gDir + "/" + file;
    const CMemoryRange physical(0, 0x10000000, 1);
    uint64_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto image = FreshImage();
        state.ResumeTiming();
        uint32_t loaded = 0;
        CMemoryRange range;
        if (!image || reader(path, *image, loaded, range, physical, 0, nullptr) != 0) {
            state.SkipWithError(("cannot load " + path).c_str());
            break;
        }
        bytes += loaded;
        state.PauseTiming();
        image.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

void BM_LoadSRecord(benchmark::State& state)
{
    Load(state, LoadSRecordFile, "program.s19");
}
void BM_LoadIntelHex(benchmark::State& state)
{
    Load(state, LoadIntelHexFile, "program.hex");
}
void BM_LoadBinary(benchmark::State& state)
{
    Load(state, LoadBinaryFile, "program.bin");
}

void BM_LoadElf(benchmark::State& state)
{
    Load(state, LoadElfFile, "program.elf");
}

void BM_StoreSRecord64MiB(benchmark::State& state)
{
    auto image = FreshImage();
    uint32_t loaded = 0;
    CMemoryRange range;
    if (!image
        || LoadBinaryFile(gDir + "/program.bin", *image, loaded, range, CMemoryRange(0, 0x10000000, 1), 0, nullptr)
               != 0) {
        state.SkipWithError("cannot load program.bin");
        return;
    }
    const std::string out = gScratch + "/stored.s19";
    const CMemoryRange all(0, loaded, 1);
    // Arg 1: as the program stores (write-back started while writing, no
    // wait for the disk); arg 2: durable (synced before the rename, as the
    // project file is saved); arg 0: no sync calls at all.
    CNoSync noSync;
    CSafeFileWriter::COps& ops = state.range(0) ? CSafeFileWriter::SystemOps() : noSync;
    const bool durable = state.range(0) == 2;
    uint64_t fileBytes = 0;
    for (auto _ : state) {
        uint32_t stored = 0;
        CSRecordWriter writer(ops, durable);
        if (writer.Create(out) != 0 || writer.Write(*image, all, stored) != 0) {
            state.SkipWithError("cannot store");
            break;
        }
        fileBytes = std::filesystem::file_size(out);
    }
    std::filesystem::remove(out);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * loaded);
    state.counters["file_MB"] = static_cast<double>(fileBytes) / 1e6;
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

// A round trip: the S-record file loaded into a fresh image and stored again
// (synced), as a user converts or re-exports a file.
void BM_LoadStoreSRecord64MiB(benchmark::State& state)
{
    const std::string path = gDir + "/program.s19";
    const std::string out = gScratch + "/round.s19";
    const CMemoryRange physical(0, 0x10000000, 1);
    for (auto _ : state) {
        state.PauseTiming();
        auto image = FreshImage();
        state.ResumeTiming();
        uint32_t loaded = 0;
        uint32_t stored = 0;
        CMemoryRange range;
        if (!image || LoadSRecordFile(path, *image, loaded, range, physical, 0, nullptr) != 0
            || WriteSRecordFile(*image, image->GetUsedRange(1), out, stored) != 0) {
            state.SkipWithError("cannot load and store program.s19");
            break;
        }
        state.PauseTiming();
        image.reset();
        state.ResumeTiming();
    }
    std::filesystem::remove(out);
    state.counters["peak_rss_MiB"] = PeakRssMiB();
}

BENCHMARK(BM_LoadSRecord)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_LoadIntelHex)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_LoadBinary)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_LoadElf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_StoreSRecord64MiB)->Arg(1)->Arg(2)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_LoadStoreSRecord64MiB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

std::string SelfDir()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    buf[n] = '\0';
    return std::filesystem::path(buf).parent_path().string();
}

} // namespace

int main(int argc, char** argv)
{
    const std::string base = std::filesystem::temp_directory_path() / "tarvel-bench-XXXXXX";
    std::string scratch = base;
    if (!::mkdtemp(scratch.data())) {
        std::fprintf(stderr, "cannot create a scratch directory\n");
        return 1;
    }
    gScratch = scratch;
    if (const char* dir = std::getenv("TARVEL_BENCH_DIR"); dir && *dir) {
        gDir = dir;
    } else {
        gDir = gScratch;
        const std::string gen = SelfDir() + "/bench_gen_program_files '" + gDir + "' >/dev/null";
        if (std::system(gen.c_str()) != 0) {
            std::fprintf(stderr, "cannot generate the files: %s\n", gen.c_str());
            return 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(gScratch, ec);
    return 0;
}
