// Streaming 4 MiB to the simulated probe over a link limited to a bandwidth B
// (bytes per second each way) and a round-trip time T, in 1 KiB blocks as the
// program transfer sends them. Reports the payload rate as a fraction of B:
// pipelined blocks keep the link busy, so the rate is bounded by B, not by T.

#include "probe/link/link_library.h"
#include "probe/probe_frames.h"
#include "sim/probe_sim.h"
#include "sim/probe_sim_ram_board.h"
#include "sim/sim_link.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kImageSize = 4 * 1024 * 1024;
constexpr uint32_t kBlock = 1024;

void BM_StreamToProbe(benchmark::State& state)
{
    const double bandwidth = static_cast<double>(state.range(0));
    const double roundTripMs = static_cast<double>(state.range(1)) / 1000.0;
    const size_t window = static_cast<size_t>(state.range(2));

    CProbeSimRamBoard board;
    board.AddRegion(0, kImageSize, 0xFF);
    board.AddRegion(0x40000000, 0x10000, 0x00);
    CProbeSim probe(board);
    SSimFaults faults;
    faults.bandwidth = bandwidth;
    faults.roundTripMs = roundTripMs;
    CSimLink link(probe, faults);
    if (link.ListenTcp("127.0.0.1", 0) != 0 || link.Start() != 0) {
        state.SkipWithError("cannot start the simulated probe");
        return;
    }
    CLinkLibrary library;
    if (library.LinkOpen("NETWORK 127.0.0.1:" + std::to_string(link.Port()) + " 1") != 0) {
        state.SkipWithError("cannot open the link");
        return;
    }
    library.SetStreamWindow(window);
    CProbeFrames frames(library);

    std::vector<uint8_t> image(kImageSize);
    std::mt19937 random(7);
    for (auto& b : image)
        b = static_cast<uint8_t>(random());

    double seconds = 0;
    for (auto _ : state) {
        {
            auto lock = link.LockProbe();
            board.FlashErase(0, 0, 0, 0, 0, 0);  // back to 0xFF
        }
        if (frames.FlashSetup(12, 4, ~(kImageSize - 1), 0x40000000, 0) != 0) {
            state.SkipWithError("FlashSetup failed");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        int status = library.StreamBegin(kStreamProgram, 1);
        for (uint32_t at = 0; at < kImageSize && status == 0; at += kBlock)
            status = library.StreamBlock(at, kBlock, image.data() + at);
        uint32_t failAddress = 0;
        if (status == 0)
            status = library.StreamEnd(failAddress);
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (status != 0) {
            state.SkipWithError("the stream failed");
            return;
        }
        state.SetIterationTime(elapsed);
        seconds += elapsed;
    }
    const double bytes = static_cast<double>(kImageSize) * static_cast<double>(state.iterations());
    const double fraction = bytes / seconds / bandwidth;
    state.counters["payload_MBps"] = bytes / seconds / 1e6;
    state.counters["fraction_of_B"] = fraction;
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    std::printf("B = %.0f bytes/s, T = %.1f ms, window %s: %.1f %% of B\n", bandwidth, roundTripMs,
                window ? "of one block" : "default", fraction * 100.0);
}

// {B in bytes per second, T in microseconds, stream window in bytes (0: the
// library's default)}. The last row, one block on its way at a time, shows
// what the round trip costs without pipelining.
BENCHMARK(BM_StreamToProbe)
    ->Args({1000000, 2000, 0})
    ->Args({10000000, 1000, 0})
    ->Args({1000000, 2000, 1100})
    ->UseManualTime()
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
