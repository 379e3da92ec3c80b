// Gang programming: tarvel-cli programs 8 MiB into N boards at once (N = 1,
// 2, 4, 8), each behind its own qdx7000-sim process whose link carries
// 10 MB/s each way over loopback. Reports the aggregate rate (the bytes of
// all boards over the run's wall time), each link's share of its bandwidth
// (the program transfer's own rate from --json over 10 MB/s; the lowest and
// the mean of the N), and the CPU time tarvel-cli and its probe processes
// spent per MiB programmed. The simulators' own CPU time is not counted.

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kBandwidth = 10e6; // bytes per second, each way, per link
constexpr uint32_t kSize = 8 * 1024 * 1024;
// Four banks of a 2 MiB chip, no program time: the link limits the transfer.
constexpr const char* kBoard = "board 8 MiB of JEDEC flash\n"
                               "ram   0x40000000 256K\n"
                               "flash \"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 bus=16 banks=4\n";

std::string BinaryDir()
{
    const char* dir = std::getenv("TARVEL_BUILD_DIR");
    return std::string(dir ? dir : TARVEL_BENCH_BUILD_DIR);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

double CpuSeconds(const rusage& u)
{
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct SSim {
    pid_t pid = -1;
    std::string address;
};

// Starts qdx7000-sim on a free port; its "listening ADDR:PORT" line names it.
SSim StartSim(const std::string& dir, int n)
{
    SSim sim;
    const std::string out = dir + "/sim" + std::to_string(n) + ".out";
    sim.pid = ::fork();
    if (sim.pid == 0) {
        std::freopen(out.c_str(), "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        const std::string bin = BinaryDir() + "/qdx7000-sim";
        const std::string board = dir + "/bench.board";
        const std::string bandwidth = std::to_string(static_cast<long>(kBandwidth));
        ::execl(bin.c_str(), bin.c_str(), "--port", "0", "--board", board.c_str(), "--bandwidth", bandwidth.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 200 && sim.address.empty(); ++i) {
        const std::string text = ReadFile(out);
        const size_t at = text.find("listening ");
        if (at != std::string::npos && text.find('\n', at) != std::string::npos)
            sim.address = text.substr(at + 10, text.find('\n', at) - at - 10);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return sim;
}

void BM_GangProgram(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    char pattern[] = "/tmp/tarvel-gang-bench-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    std::ofstream(dir + "/bench.board") << kBoard;
    std::vector<SSim> sims;
    std::string probes;
    for (int i = 0; i < n; ++i) {
        sims.push_back(StartSim(dir, i));
        if (sims.back().address.empty()) {
            state.SkipWithError("qdx7000-sim did not start");
            break;
        }
        probes += " --probe " + sims.back().address;
    }
    const std::string command = "cd '" + dir + "' && '" + BinaryDir() + "/tarvel-cli'" + probes +
                                " --json out.json --quiet setup --device \"AMD  Am29LV160MB (1M x 16)\" --bus 16"
                                " --base 80000000 --banks 4 fill --range 80000000+800000 --pattern 5A --unit byte"
                                " program >/dev/null 2>err.txt";
    double minShare = 1e9, sumShare = 0, aggregate = 0, cpuPerMiB = 0;
    for (auto _ : state) {
        if (sims.size() != static_cast<size_t>(n))
            break;
        rusage before{}, after{};
        ::getrusage(RUSAGE_CHILDREN, &before);
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ::getrusage(RUSAGE_CHILDREN, &after);
        state.SetIterationTime(seconds);
        if (status != 0) {
            state.SkipWithError(("tarvel-cli failed: " + ReadFile(dir + "/err.txt")).c_str());
            break;
        }
        minShare = 1e9;
        sumShare = 0;
        std::istringstream lines(ReadFile(dir + "/out.json"));
        std::string line;
        int links = 0;
        while (std::getline(lines, line)) {
            const nlohmann::json r = nlohmann::json::parse(line, nullptr, false);
            if (r.is_discarded() || r.value("step", "") != "program")
                continue;
            for (const nlohmann::json& o : r["operations"])
                if (o.value("operation", "") == "program" && o.value("seconds", 0.0) > 0) {
                    const double share = o.value("bytes", 0.0) / o.value("seconds", 0.0) / kBandwidth;
                    minShare = std::min(minShare, share);
                    sumShare += share;
                    ++links;
                }
        }
        if (links != n) {
            state.SkipWithError("the --json records do not name every probe's program transfer");
            break;
        }
        aggregate = static_cast<double>(kSize) * n / seconds;
        cpuPerMiB = (CpuSeconds(after) - CpuSeconds(before)) / (static_cast<double>(kSize) * n / (1024.0 * 1024.0));
    }
    state.counters["aggregate_MBps"] = aggregate / 1e6;
    state.counters["link_share_min_pct"] = minShare * 100;
    state.counters["link_share_mean_pct"] = sumShare / n * 100;
    state.counters["cpu_ms_per_MiB"] = cpuPerMiB * 1000;
    for (const SSim& sim : sims) {
        ::kill(sim.pid, SIGTERM);
        ::waitpid(sim.pid, nullptr, 0);
    }
    std::system(("rm -rf '" + dir + "'").c_str());
}

BENCHMARK(BM_GangProgram)->Arg(1)->Arg(2)->Arg(4)->Arg(8)->UseManualTime()->Iterations(2)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
