// Programming and verifying through the link at full speed: the transfers
// (ProgramRange, VerifyRange) in this process, qdx7000-sim as a separate
// process reached over TCP on loopback, with the simulator's link limited to
// a bandwidth B (bytes per second each way; 0: no limit) and a round-trip
// time T. A fresh simulator (an erased board of JEDEC flash without program
// times) is started for every run. Reports per transfer the payload rate as
// a share of B, and the CPU time per MiB of this process (the host side of
// the link) and of the simulator.
//
// The simulator program is $TARVEL_SIM when set, else the one of this build.

#include "bench_views.h"
#include "catalogue/flash_catalogue.h"
#include "flash/transfer.h"
#include "probe/link/link_library.h"
#include "probe/target_connection.h"
#include "project/memory_image.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr uint32_t kFlashBase = 0x80000000;
constexpr const char* kDevice = "AMD  Am29LV160MB (1M x 16)";
// Sixteen banks of a 2 MiB chip: 32 MiB of flash with no program time of its
// own, so that the link (or the CPU) is what limits the transfer.
constexpr const char* kBoard = "board 32 MiB of JEDEC flash\n"
                               "ram   0x40000000 256K\n"
                               "flash \"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 bus=16 banks=16\n";

double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The simulator program on its own board file, stopped when the object goes.
class CSimulatorProcess {
public:
    CSimulatorProcess(const std::string& boardFile, double bandwidth, double roundTripMs)
    {
        const char* fromEnv = std::getenv("TARVEL_SIM");
        std::vector<std::string> args = {fromEnv && *fromEnv ? fromEnv : TARVEL_BINARY_DIR "/qdx7000-sim",
                                         "--port", "0", "--board", boardFile};
        if (bandwidth > 0)
            args.insert(args.end(), {"--bandwidth", std::to_string(static_cast<long>(bandwidth))});
        if (roundTripMs > 0)
            args.insert(args.end(), {"--rtt", std::to_string(roundTripMs)});
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out_ = fds[0];
        // "listening ADDR:PORT" once the simulator is ready.
        std::string text;
        auto announced = [&text] {
            const size_t at = text.find("listening ");
            return at != std::string::npos && text.find('\n', at) != std::string::npos;
        };
        while (pid_ > 0 && !announced()) {
            pollfd pfd{out_, POLLIN, 0};
            char chunk[256];
            if (poll(&pfd, 1, 10000) <= 0)
                return;
            const ssize_t n = read(out_, chunk, sizeof chunk);
            if (n <= 0)
                return;
            text.append(chunk, static_cast<size_t>(n));
        }
        const size_t at = text.find("listening ") + 10;
        address_ = text.substr(at, text.find('\n', at) - at);
    }
    ~CSimulatorProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            close(out_);
    }
    CSimulatorProcess(const CSimulatorProcess&) = delete;
    CSimulatorProcess& operator=(const CSimulatorProcess&) = delete;

    bool Ready() const { return !address_.empty(); }
    std::string Channel() const { return "NETWORK " + address_ + " 1"; }

    // User and system time the simulator has spent so far.
    double CpuSeconds() const
    {
        std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
        std::string line;
        std::getline(stat, line);
        // The fields after the command name (which may hold spaces) in ")".
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string field;
        double ticks = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14 || i == 15)
                ticks += std::stod(field);
        }
        return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string address_;
};

struct SFigures {
    double seconds = 0;
    double hostCpu = 0;
    double simCpu = 0;
};

void BM_LinkProgramVerify(benchmark::State& state)
{
    const double bandwidth = static_cast<double>(state.range(0));
    const double roundTripMs = static_cast<double>(state.range(1)) / 1000.0;
    const uint32_t size = static_cast<uint32_t>(state.range(2)) << 20;

    char boardPath[] = "/tmp/tarvel-link-bench-XXXXXX";
    const int boardFd = mkstemp(boardPath);
    if (boardFd < 0 || write(boardFd, kBoard, std::char_traits<char>::length(kBoard)) < 0) {
        state.SkipWithError("cannot write the board file");
        return;
    }
    close(boardFd);

    CMemoryImage image;
    if (image.Open(kFlashBase) != 0) {
        unlink(boardPath);
        state.SkipWithError("cannot create the memory image");
        return;
    }
    std::vector<uint8_t> bytes(1 << 20);
    std::mt19937 random(11);
    for (uint32_t at = 0; at < size; at += 1 << 20) {
        for (auto& b : bytes)
            b = static_cast<uint8_t>(random());
        image.WriteBlock(kFlashBase + at, bytes.data(), 1 << 20);
    }
    image.Flush();

    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(kDevice);
    SProgramTarget target;
    target.programAlgorithm = device->programAlgorithm;
    target.deviceWidth = device->deviceWidth;
    target.deviceSize = device->DeviceSizeBytes();
    target.pageSize = device->pageSize;
    target.busWidthBytes = 2;
    target.flashBase = kFlashBase;
    const CMemoryRange range(kFlashBase, size, 1);

    SFigures program, verify;
    std::string programLine, verifyLine;
    for (auto _ : state) {
        CSimulatorProcess sim(boardPath, bandwidth, roundTripMs);
        if (!sim.Ready()) {
            state.SkipWithError("cannot start the simulator");
            break;
        }
        CLinkLibrary library;
        CPrintingBox box;
        CLastStatusView view;
        CTargetConnection connection(library, box, sim.Channel());
        if (!connection.ConnectTarget(&view)) {
            state.SkipWithError("cannot connect");
            break;
        }
        CTransfer transfer(connection, image, view);

        // One transfer with the time and CPU it took on both sides.
        auto measure = [&](auto run, SFigures& figures, std::string& line) {
            const double hostBefore = ProcessCpuSeconds();
            const double simBefore = sim.CpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            const bool ok = run();
            figures.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            figures.hostCpu += ProcessCpuSeconds() - hostBefore;
            figures.simCpu += sim.CpuSeconds() - simBefore;
            line = view.last;
            return ok;
        };
        const double before = program.seconds + verify.seconds;
        const bool ok = measure([&] { return transfer.ProgramRange(range, target).Ok(); }, program, programLine) &&
                        measure([&] { return transfer.VerifyRange(range).Ok(); }, verify, verifyLine);
        connection.DisconnectTarget();
        if (!ok) {
            state.SkipWithError(view.last.c_str());
            break;
        }
        state.SetIterationTime(program.seconds + verify.seconds - before);
    }
    unlink(boardPath);
    if (state.error_occurred())
        return;

    const double mib = static_cast<double>(size) / (1 << 20) * static_cast<double>(state.iterations());
    const double bytesDone = static_cast<double>(size) * static_cast<double>(state.iterations());
    auto report = [&](const char* name, const SFigures& f, const std::string& line) {
        const double rate = bytesDone / f.seconds;
        const std::string prefix = name;
        if (bandwidth > 0)
            state.counters[prefix + "_share_of_B"] = rate / bandwidth;
        state.counters[prefix + "_MBps"] = rate / 1e6;
        state.counters[prefix + "_host_ms_per_MiB"] = f.hostCpu * 1000 / mib;
        state.counters[prefix + "_sim_ms_per_MiB"] = f.simCpu * 1000 / mib;
        std::printf("  %-7s %6.2f MB/s", name, rate / 1e6);
        if (bandwidth > 0)
            std::printf(" = %5.1f %% of B", rate / bandwidth * 100.0);
        std::printf("   host %5.2f ms/MiB   sim %6.2f ms/MiB   \"%s\"\n", f.hostCpu * 1000 / mib,
                    f.simCpu * 1000 / mib, line.c_str());
    };
    std::printf("B = %s, T = %.1f ms, %u MiB\n",
                bandwidth > 0 ? (std::to_string(bandwidth / 1e6).substr(0, 5) + " MB/s").c_str() : "no limit",
                roundTripMs, size >> 20);
    report("program", program, programLine);
    report("verify", verify, verifyLine);
    std::fflush(stdout);
}

// {B in bytes per second (0: no limit), T in microseconds, MiB}
BENCHMARK(BM_LinkProgramVerify)
    ->ArgNames({"B", "T_us", "MiB"})
    ->Args({1000000, 0, 8})
    ->Args({10000000, 0, 8})
    ->Args({12500000, 0, 8})
    ->Args({0, 0, 32})
    ->Args({10000000, 1000, 8})
    ->Args({10000000, 5000, 8})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// A scattered file against the same bytes in one span: 200 records of 16
// bytes, 4 KiB apart (CTransfer::ProgramSpans, VerifySpans, DumpSpans over
// one connection), and the 3200 bytes as one range, at a round-trip time T.
// Counters: the seconds of each transfer both ways and their ratio.
void BM_ScatteredSpans(benchmark::State& state)
{
    const double roundTripMs = static_cast<double>(state.range(0)) / 1000.0;
    constexpr uint32_t kRecords = 200, kRecordBytes = 16, kStep = 4096;

    char boardPath[] = "/tmp/tarvel-link-bench-XXXXXX";
    const int boardFd = mkstemp(boardPath);
    if (boardFd < 0 || write(boardFd, kBoard, std::char_traits<char>::length(kBoard)) < 0) {
        state.SkipWithError("cannot write the board file");
        return;
    }
    close(boardFd);
    CMemoryImage image;
    if (image.Open(kFlashBase) != 0) {
        unlink(boardPath);
        state.SkipWithError("cannot create the memory image");
        return;
    }
    std::vector<CMemoryRange> spans;
    std::mt19937 random(7);
    std::vector<uint8_t> record(kRecordBytes);
    for (uint32_t i = 0; i < kRecords; ++i) {
        for (auto& b : record)
            b = static_cast<uint8_t>(random());
        spans.emplace_back(kFlashBase + i * kStep, kRecordBytes, 1);
        image.WriteBlock(kFlashBase + i * kStep, record.data(), kRecordBytes);
    }
    // The same bytes in one span, behind the scattered ones.
    const uint32_t oneStart = kFlashBase + kRecords * kStep;
    std::vector<uint8_t> one(kRecords * kRecordBytes);
    for (auto& b : one)
        b = static_cast<uint8_t>(random());
    image.WriteBlock(oneStart, one.data(), static_cast<uint32_t>(one.size()));
    image.Flush();
    const std::vector<CMemoryRange> single = {CMemoryRange(oneStart, static_cast<uint32_t>(one.size()), 1)};

    const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(kDevice);
    SProgramTarget target;
    target.programAlgorithm = device->programAlgorithm;
    target.deviceWidth = device->deviceWidth;
    target.deviceSize = device->DeviceSizeBytes();
    target.pageSize = device->pageSize;
    target.busWidthBytes = 2;
    target.flashBase = kFlashBase;

    // Seconds of program, verify, dump: scattered [0..2], one span [3..5].
    double seconds[6] = {};
    for (auto _ : state) {
        CSimulatorProcess sim(boardPath, 0, roundTripMs);
        if (!sim.Ready()) {
            state.SkipWithError("cannot start the simulator");
            break;
        }
        CLinkLibrary library;
        CPrintingBox box;
        CLastStatusView view;
        CTargetConnection connection(library, box, sim.Channel());
        if (!connection.ConnectTarget(&view)) {
            state.SkipWithError("cannot connect");
            break;
        }
        CTransfer transfer(connection, image, view);
        bool ok = true;
        auto timed = [&](double& into, auto run) {
            const auto start = std::chrono::steady_clock::now();
            ok = ok && run().Ok();
            into += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        timed(seconds[0], [&] { return transfer.ProgramSpans(spans, target); });
        timed(seconds[1], [&] { return transfer.VerifySpans(spans); });
        timed(seconds[2], [&] { return transfer.DumpSpans(spans); });
        timed(seconds[3], [&] { return transfer.ProgramSpans(single, target); });
        timed(seconds[4], [&] { return transfer.VerifySpans(single); });
        timed(seconds[5], [&] { return transfer.DumpSpans(single); });
        connection.DisconnectTarget();
        if (!ok) {
            state.SkipWithError(view.last.c_str());
            break;
        }
        double total = 0;
        for (double s : seconds)
            total += s;
        state.SetIterationTime(total);
    }
    unlink(boardPath);
    if (state.error_occurred())
        return;
    const double n = static_cast<double>(state.iterations());
    const char* names[] = {"program", "verify", "dump"};
    std::printf("T = %.0f ms, %u records of %u bytes %u bytes apart, against one span of %u bytes:\n", roundTripMs,
                kRecords, kRecordBytes, kStep, kRecords * kRecordBytes);
    for (int k = 0; k < 3; ++k) {
        const double scattered = seconds[k] / n, whole = seconds[k + 3] / n;
        state.counters[std::string(names[k]) + "_scattered_s"] = scattered;
        state.counters[std::string(names[k]) + "_one_span_s"] = whole;
        state.counters[std::string(names[k]) + "_ratio"] = scattered / whole;
        std::printf("  %-7s scattered %.3f s   one span %.3f s   ratio %.2fx\n", names[k], scattered, whole,
                    scattered / whole);
    }
    std::fflush(stdout);
}

// {T in microseconds}
BENCHMARK(BM_ScatteredSpans)
    ->ArgNames({"T_us"})
    ->Args({5000})
    ->Args({20000})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
