// Stopping tarvel-cli against separate qdx7000-sim processes: a job
// controller's SIGTERM or SIGHUP stops a gang as Ctrl-C does, the --json
// stream ends with its records and summary whatever phase of flash a
// signal comes in, and flash --keep-unwritten never loses a kept byte
// (a stop waits for the restore; a run killed before it leaves a restore
// file that the next run names and that brings the bytes back).
#include "cli_json_records.h"
#include "cli_runner.h"
#include "logged_sim.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kSetup = "setup --device \"AMD  Am29LV160MB (1M x 16)\" --bus 16 --base 80000000";
const std::string kBin = TARVEL_BINARY_DIR;

// Starts tarvel-cli with `arguments` in the background of a shell, waits
// until `trigger` shows `count` times in its stderr, sends `signals` (a
// list of kill arguments, 0.3 s apart) and answers the exit status.
std::string RunAndSignal(const CTempDir& dir, const std::string& arguments, const std::string& trigger,
                         const std::vector<std::string>& signals, int count = 1)
{
    std::string kills;
    for (const std::string& s : signals)
        kills += "kill -" + s + " $p; sleep 0.3; ";
    const std::string script =
        "cd '" + dir.Path().string() + "' && export TMPDIR='" + dir.Path().string() + "' TARVEL_STATE_DIR='" +
        dir.Path().string() + "/state'; '" + kBin + "/tarvel-cli' " + arguments +
        " </dev/null >out.txt 2>err.txt & p=$!; "
        "for i in $(seq 600); do [ $(grep -c '" + trigger + "' err.txt 2>/dev/null) -ge " + std::to_string(count) +
        " ] && break; sleep 0.05; done; " + kills + "wait $p; echo $?";
    return ShellOutput(script);
}

std::vector<fs::path> RestoreFiles(const CTempDir& dir)
{
    std::vector<fs::path> found;
    if (fs::exists(dir.Path() / "state"))
        for (const auto& e : fs::directory_iterator(dir.Path() / "state"))
            found.push_back(e.path());
    return found;
}

std::string Pattern(size_t size, int seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 13 + static_cast<size_t>(seed)) & 0x7F);
    return bytes;
}

TEST(CliStop, SigTermAndSigHupStopAGangInOrderWithItsSummary)
{
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        CTempDir dir;
        CLoggedSim a(dir, "a", {"--bandwidth", "100000"}), b(dir, "b", {"--bandwidth", "100000"});
        const std::string exit = RunAndSignal(
            dir,
            "--probe " + a.Probe() + " --probe " + b.Probe() + " --json out.json " + kSetup +
                " fill --range 80000000+100000 --pattern 00 --unit byte program verify",
            "Programming 1048576", {signal == SIGTERM ? "TERM" : "HUP"}, 2);
        EXPECT_EQ(exit, std::to_string(128 + signal) + "\n") << ReadFileBytes(dir.File("err.txt"));
        const std::string err = ReadFileBytes(dir.File("err.txt"));
        EXPECT_EQ(Count(err, "] Programming cancelled at address 80"), 2u) << err;
        EXPECT_FALSE(Has(err, "Verifying")) << err;
        // Every link was closed, once.
        for (const CLoggedSim* sim : {&a, &b}) {
            EXPECT_EQ(sim->Connections(), 1u) << sim->Log();
            EXPECT_EQ(Count(sim->Log(), " disconnected"), 1u) << sim->Log();
        }
        const std::vector<nlohmann::json> records = Records(ReadFileBytes(dir.File("out.json")));
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back()["type"], "summary");
        EXPECT_EQ(records.back()["status"], "stopped");
        EXPECT_EQ(records.back()["exit_code"], 128 + signal);
        size_t stopped = 0;
        for (const nlohmann::json& r : records)
            stopped += r["type"] == "step" && r["step"] == "program" && r["status"] == "stopped";
        EXPECT_EQ(stopped, 2u);
        // A retry finds both probes free at once (zeros program over zeros or ones).
        const SCliRun retry = RunCli(dir, "--probe " + a.Probe() + " --probe " + b.Probe() + " " + kSetup +
                                              " fill --range 80000000+10 --pattern 00 --unit byte program");
        EXPECT_EQ(retry.exitCode, 0) << retry.err;
    }
}

TEST(CliStop, TheJsonEndsWithItsSummaryWhateverPhaseOfFlashASignalComesIn)
{
    struct SCase {
        const char* phase;
        const char* trigger; // the line of stderr after which the signal comes
        bool gang;
    };
    const SCase cases[] = {
        {"erase", "Erasing", false},
        {"program", "Programming", false},
        {"verify", "Verifying", false},
        {"erase in a gang", "Erasing", true},
        {"program in a gang", "Programming", true},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.phase);
        CTempDir dir;
        WriteFileBytes(dir.File("slow.board"), std::string("board Slow\nram 0x40000000 256K\n"
                                                           "flash \"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 "
                                                           "bus=16 sector-erase=400ms\n"));
        WriteFileBytes(dir.File("image.bin"), Pattern(0x30000, 3));
        CLoggedSim a(dir, "a", {"--bandwidth", "100000", "--board", dir.File("slow.board")});
        CLoggedSim b(dir, "b", {"--bandwidth", "100000", "--board", dir.File("slow.board")});
        const std::string probes = "--probe " + a.Probe() + (c.gang ? " --probe " + b.Probe() : std::string());
        const std::string exit = RunAndSignal(
            dir, probes + " --json out.json " + kSetup + " flash image.bin --offset 80000000 verify", c.trigger,
            {"INT"}, c.gang ? 2 : 1);
        EXPECT_EQ(exit, "130\n") << ReadFileBytes(dir.File("err.txt"));
        const std::vector<nlohmann::json> records = Records(ReadFileBytes(dir.File("out.json")));
        ASSERT_GE(records.size(), c.gang ? 4u : 3u) << ReadFileBytes(dir.File("out.json"));
        EXPECT_EQ(records.back()["type"], "summary");
        EXPECT_EQ(records.back()["exit_code"], 130);
        EXPECT_EQ(records.back()["records"], records.size() - 1);
        for (size_t i = 1; i + 1 < records.size(); ++i) {
            EXPECT_EQ(records[i]["step"], "flash");
            EXPECT_EQ(records[i]["status"], "stopped");
        }
        EXPECT_FALSE(Has(ReadFileBytes(dir.File("err.txt")), "Verifying") && std::string(c.phase) != "verify");
    }
}

// Sector 3 of the demo chip: 32 KiB from 0x80008000; the new image is 16
// bytes inside it, the old contents around it are to be kept.
const std::string kOld = " load old.bin --offset 80008000";
const std::string kNewFlash = " flash new.bin --offset 80008100 --keep-unwritten";

void WriteImages(const CTempDir& dir)
{
    WriteFileBytes(dir.File("old.bin"), Pattern(0x8000, 5));
    WriteFileBytes(dir.File("new.bin"), std::string(16, '\x11'));
}

// The old bytes around the new ones are in flash.
bool OldBytesKept(const CTempDir& dir, const CLoggedSim& sim)
{
    const SCliRun before = RunCli(dir, "--probe " + sim.Probe() + " " + kSetup + kOld + " verify --range 80008000+100");
    const SCliRun after =
        RunCli(dir, "--probe " + sim.Probe() + " " + kSetup + kOld + " verify --range 80008110..80008FFF");
    return before.exitCode == 0 && after.exitCode == 0;
}

TEST(CliStop, KeepUnwrittenWaitsForTheKeptBytesOnAStop)
{
    CTempDir dir;
    WriteImages(dir);
    CLoggedSim sim(dir, "sim", {"--bandwidth", "40000"});
    ASSERT_EQ(RunCli(dir, "--probe " + sim.Probe() + " " + kSetup + kOld + " erase --range 80008000+8000 program")
                  .exitCode,
              0);
    const std::string exit =
        RunAndSignal(dir, "--probe " + sim.Probe() + " --json out.json " + kSetup + kNewFlash, "Programming", {"INT"});
    const std::string err = ReadFileBytes(dir.File("err.txt"));
    EXPECT_EQ(exit, "130\n") << err;
    EXPECT_TRUE(Has(err, "waiting until the kept bytes are back in flash")) << err;
    EXPECT_TRUE(Has(err, "the kept bytes are back in flash and verified")) << err;
    const std::vector<fs::path> left = RestoreFiles(dir);
    EXPECT_TRUE(left.empty()) << left.front();
    EXPECT_TRUE(OldBytesKept(dir, sim));
    const std::vector<nlohmann::json> records = Records(ReadFileBytes(dir.File("out.json")));
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back()["status"], "stopped");
}

TEST(CliStop, AKeepUnwrittenRunKilledBeforeTheRestoreLeavesAFileThatBringsTheBytesBack)
{
    struct SCase {
        const char* how;
        std::vector<std::string> signals;
        int exit;
    };
    const SCase cases[] = {
        {"SIGKILL", {"KILL"}, 128 + SIGKILL},
        {"a second Ctrl-C", {"INT", "INT"}, 130},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.how);
        CTempDir dir;
        WriteImages(dir);
        CLoggedSim sim(dir, "sim", {"--bandwidth", "40000"});
        const std::string probe = "--probe " + sim.Probe() + " ";
        ASSERT_EQ(RunCli(dir, probe + kSetup + kOld + " erase --range 80008000+8000 program").exitCode, 0);
        const std::string exit = RunAndSignal(dir, probe + kSetup + kNewFlash, "Programming", c.signals);
        EXPECT_EQ(exit, std::to_string(c.exit) + "\n") << ReadFileBytes(dir.File("err.txt"));
        const std::vector<fs::path> files = RestoreFiles(dir);
        ASSERT_EQ(files.size(), 1u);
        const std::string file = files[0].string();
        const std::string err = ReadFileBytes(dir.File("err.txt"));
        EXPECT_TRUE(Has(err, "kept in " + file)) << err;
        if (c.signals.size() == 2) {
            EXPECT_TRUE(Has(err, "they are in " + file + "; put them back with: tarvel-cli --probe")) << err;
        }

        // The same command again refuses to read the erased bytes as neighbours.
        SCliRun again = RunCli(dir, probe + kSetup + kNewFlash);
        EXPECT_EQ(again.exitCode, 1);
        EXPECT_TRUE(Has(again.err, "an earlier --keep-unwritten run did not end")) << again.err;
        EXPECT_TRUE(Has(again.err, file + " and may be missing from flash; put them back with: tarvel-cli --probe " +
                                       sim.Probe() + " load " + file + " program verify"))
            << again.err;

        // Its restore brings the old bytes back; then the run goes through.
        ASSERT_EQ(RunCli(dir, probe + kSetup + " load " + file + " program verify").exitCode, 0);
        fs::remove(file);
        SCliRun done = RunCli(dir, probe + kSetup + kNewFlash);
        EXPECT_EQ(done.exitCode, 0) << done.err;
        EXPECT_TRUE(OldBytesKept(dir, sim));
        EXPECT_TRUE(RestoreFiles(dir).empty());
    }
}

TEST(CliStop, KeepUnwrittenWithSeveralProbesIsRefusedByName)
{
    CTempDir dir;
    WriteImages(dir);
    const SCliRun run =
        RunCli(dir, "--probe 127.0.0.1:1 --probe 127.0.0.1:2 " + kSetup + kNewFlash);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_TRUE(Has(run.err, "flash --keep-unwritten works with one probe here")) << run.err;
}

TEST(CliStop, ADryRunInAGangPrintsEachProbesPlan)
{
    CTempDir dir;
    WriteImages(dir);
    const SCliRun run = RunCli(dir, "--probe 127.0.0.1:1 --probe 127.0.0.1:2 " + kSetup +
                                        " flash new.bin --offset 80008100 --dry-run");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Count(run.out, "[127.0.0.1:1] flash: would "), 2u) << run.out;
    EXPECT_EQ(Count(run.out, "[127.0.0.1:2] flash: would "), 2u) << run.out;
    EXPECT_TRUE(Has(run.out, "[127.0.0.1:1] ")) << run.out;
    EXPECT_TRUE(Has(run.out, "[127.0.0.1:2] ")) << run.out;
}

} // namespace
