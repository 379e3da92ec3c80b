// Programming and verifying 8 MiB through the transfers (ProgramRange,
// VerifyRange) against the simulated probe and board over loopback, with the
// link limited to a bandwidth B (bytes per second each way) and a round-trip
// time T. Reports each transfer's payload rate as a fraction of B and the
// transfer's own result line.

#include "bench_views.h"
#include "probe/link/link_library.h"
#include "probe/target_connection.h"
#include "project/memory_image.h"
#include "sim/board_file.h"
#include "sim/probe_sim.h"
#include "sim/sim_board_model.h"
#include "sim/sim_link.h"
#include "catalogue/flash_catalogue.h"
#include "flash/transfer.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kFlashBase = 0x80000000;
constexpr uint32_t kSize = 8 * 1024 * 1024;
constexpr const char* kDevice = "AMD  Am29LV160MB (1M x 16)";
// Four banks of a 2 MiB chip: 8 MiB of flash, with no program time of its
// own, so that the link is what limits the transfer.
constexpr const char* kBoard = "board 8 MiB of JEDEC flash\n"
                               "ram   0x40000000 256K\n"
                               "flash \"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 bus=16 banks=4\n";

// One simulated probe with a fresh (erased) board.
struct SSimulator {
    explicit SSimulator(const SSimFaults& faults)
    {
        CBoardFile file;
        std::string error;
        ok = CBoardFile::Parse(kBoard, file, error) && board.Build(file, error);
        probe = std::make_unique<CProbeSim>(board);
        link = std::make_unique<CSimLink>(*probe, faults);
        ok = ok && link->ListenTcp("127.0.0.1", 0) == 0 && link->Start() == 0;
        if (!error.empty())
            std::fprintf(stderr, "board: %s\n", error.c_str());
    }
    ~SSimulator() { link->Stop(); }
    std::string Channel() const { return "NETWORK 127.0.0.1:" + std::to_string(link->Port()) + " 1"; }

    CSimBoardModel board;
    std::unique_ptr<CProbeSim> probe;
    std::unique_ptr<CSimLink> link;
    bool ok = false;
};

void BM_ProgramAndVerify8MiB(benchmark::State& state)
{
    const double bandwidth = static_cast<double>(state.range(0));
    SSimFaults faults;
    faults.bandwidth = bandwidth;
    faults.roundTripMs = static_cast<double>(state.range(1)) / 1000.0;

    CMemoryImage image;
    if (image.Open(kFlashBase) != 0) {
        state.SkipWithError("cannot create the memory image");
        return;
    }
    std::vector<uint8_t> bytes(kSize);
    std::mt19937 random(11);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(random());
    image.WriteBlock(kFlashBase, bytes.data(), kSize);
    image.Flush();

    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(kDevice);
    SProgramTarget target;
    target.programAlgorithm = device->programAlgorithm;
    target.deviceWidth = device->deviceWidth;
    target.deviceSize = device->DeviceSizeBytes();
    target.pageSize = device->pageSize;
    target.busWidthBytes = 2;
    target.flashBase = kFlashBase;
    const CMemoryRange range(kFlashBase, kSize, 1);

    double programSeconds = 0, verifySeconds = 0;
    std::string programLine, verifyLine;
    for (auto _ : state) {
        SSimulator sim(faults);
        if (!sim.ok) {
            state.SkipWithError("cannot start the simulated probe");
            return;
        }
        CLinkLibrary library;
        CPrintingBox box;
        CLastStatusView view;
        CTargetConnection connection(library, box, sim.Channel());
        if (!connection.ConnectTarget(&view)) {
            state.SkipWithError("cannot connect");
            return;
        }
        CTransfer transfer(connection, image, view);

        auto start = std::chrono::steady_clock::now();
        const bool programmed = transfer.ProgramRange(range, target).Ok();
        const double programElapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        programLine = view.last;
        start = std::chrono::steady_clock::now();
        const bool verified = programmed && transfer.VerifyRange(range).Ok();
        const double verifyElapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        verifyLine = view.last;
        connection.DisconnectTarget();
        if (!programmed || !verified) {
            state.SkipWithError(view.last.c_str());
            return;
        }
        state.SetIterationTime(programElapsed + verifyElapsed);
        programSeconds += programElapsed;
        verifySeconds += verifyElapsed;
    }
    const double bytesDone = static_cast<double>(kSize) * static_cast<double>(state.iterations());
    const double programFraction = bytesDone / programSeconds / bandwidth;
    const double verifyFraction = bytesDone / verifySeconds / bandwidth;
    state.counters["program_fraction_of_B"] = programFraction;
    state.counters["verify_fraction_of_B"] = verifyFraction;
    state.SetBytesProcessed(static_cast<int64_t>(2 * bytesDone));
    std::printf("B = %.0f bytes/s, T = %.1f ms\n", bandwidth, faults.roundTripMs);
    std::printf("  program: %.1f %% of B   \"%s\"\n", programFraction * 100.0, programLine.c_str());
    std::printf("  verify:  %.1f %% of B   \"%s\"\n", verifyFraction * 100.0, verifyLine.c_str());
}

// {B in bytes per second, T in microseconds}
BENCHMARK(BM_ProgramAndVerify8MiB)->Args({1000000, 2000})->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
