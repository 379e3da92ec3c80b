// tarvel-cli for production lines, against separate qdx7000-sim processes:
// one connection per step for a scattered file, several probes at once
// (--probe given more than once), the --json records read back with a JSON
// library, and Ctrl-C in the middle of a gang.
#include "cli_json_records.h"
#include "cli_runner.h"
#include "logged_sim.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kSetup = "setup --device \"AMD  Am29LV160MB (1M x 16)\" --bus 16 --base 80000000";
const std::string kBin = TARVEL_BINARY_DIR;

// Intel HEX: `count` records of 16 bytes, 0x400 apart from 0x80000000.
std::string ScatteredHex(int count)
{
    auto record = [](uint32_t address, int type, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> b = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                                  static_cast<uint8_t>(address), static_cast<uint8_t>(type)};
        b.insert(b.end(), data.begin(), data.end());
        unsigned sum = 0;
        std::string line = ":";
        char hex[3];
        for (uint8_t x : b) {
            sum += x;
            std::snprintf(hex, sizeof hex, "%02X", x);
            line += hex;
        }
        std::snprintf(hex, sizeof hex, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
        return line + hex + "\n";
    };
    std::string text = record(0, 4, {0x80, 0x00});
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> data(16);
        for (int k = 0; k < 16; ++k)
            data[static_cast<size_t>(k)] = static_cast<uint8_t>(i * 3 + k);
        text += record(static_cast<uint32_t>(i) * 0x400, 0, data);
    }
    return text + record(0, 1, {});
}

TEST(CliProduction, AScatteredFileProgramsAndVerifiesOverOneConnectionPerStep)
{
    CTempDir dir;
    CLoggedSim sim(dir, "sim", {});
    WriteFileBytes(dir.File("scattered.hex"), ScatteredHex(60));
    SCliRun run = RunCli(dir, "--probe " + sim.Probe() + " " + kSetup +
                                  " load scattered.hex erase --range 80000000..8001FFFF program verify");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(sim.Connections(), 3u) << sim.Log(); // erase, program, verify: one each for 60 spans
    EXPECT_TRUE(Has(run.err, "60 spans: 960 bytes successful programmed")) << run.err;
    EXPECT_TRUE(Has(run.err, "60 spans: 960 bytes successful verified")) << run.err;
    // One line for the step, none for each span.
    EXPECT_TRUE(Has(run.err, "Programming 960 bytes in 60 spans...")) << run.err;
    EXPECT_FALSE(Has(run.err, "16 bytes")) << run.err;

    // The flash step: erase, program and verify, one connection each; with
    // --verbose a line for each span as well.
    run = RunCli(dir, "--probe " + sim.Probe() + " --verbose " + kSetup + " flash scattered.hex");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(sim.Connections(), 6u) << sim.Log();
    EXPECT_TRUE(Has(run.err, "  Programming span 60 of 60: 8000EC00..8000EC0F (16 bytes)")) << run.err;
    EXPECT_TRUE(Has(run.err, "  Verifying span 1 of 60: 80000000..8000000F (16 bytes)")) << run.err;
}

TEST(CliProduction, AGangFlashesTheGoodBoardsAndNamesEachFailure)
{
    CTempDir dir;
    // A bit stuck at 0 keeps its sector from erasing; the fourth probe refuses every connection.
    WriteFileBytes(dir.File("stuck.board"),
                   std::string("board Stuck\nram 0x40000000 256K\n"
                               "flash \"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 bus=16\n"
                               "fault stuck 0x80000123 bit=1 value=0\n"));
    CLoggedSim good1(dir, "good1", {}), good2(dir, "good2", {}),
        stuck(dir, "stuck", {"--board", dir.File("stuck.board")}), refusing(dir, "refusing", {"--refuse"});
    std::string image(0x3000, '\0');
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 7 + 1);
    WriteFileBytes(dir.File("image.bin"), image);
    const std::string probes = " --probe " + good1.Probe() + " --probe " + good2.Probe() + " --probe " +
                               stuck.Probe() + " --probe " + refusing.Probe();

    SCliRun run = RunCli(dir, probes + " --json - " + kSetup + " flash image.bin --offset 80000000");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    const std::vector<nlohmann::json> records = Records(run.out);
    ASSERT_EQ(records.size(), 1u + 4 + 1) << run.out; // setup, flash on each probe, the summary
    EXPECT_EQ(records[0]["step"], "setup");
    EXPECT_TRUE(records[0]["probe"].is_null());
    std::map<std::string, nlohmann::json> flash;
    for (size_t i = 1; i < 5; ++i) {
        EXPECT_EQ(records[i]["type"], "step");
        EXPECT_EQ(records[i]["step"], "flash");
        flash[records[i]["probe"]] = records[i];
    }
    ASSERT_EQ(flash.size(), 4u);
    for (const CLoggedSim* good : {&good1, &good2}) {
        const nlohmann::json& r = flash[good->Probe()];
        EXPECT_EQ(r["status"], "passed") << r;
        EXPECT_EQ(r["bytes"], 0x3000);
        EXPECT_EQ(r["range"][0]["start"], 0x80000000u);
        EXPECT_EQ(r["range"][0]["end"], 0x80002FFFu);
        ASSERT_EQ(r["operations"].size(), 3u);
        EXPECT_EQ(r["operations"][2]["operation"], "verify");
        EXPECT_EQ(r["operations"][2]["passed"], true);
    }
    const nlohmann::json& s = flash[stuck.Probe()];
    EXPECT_EQ(s["status"], "failed");
    EXPECT_EQ(s["exit_code"], 1);
    EXPECT_TRUE(Has(s["message"], "Erasing failed at bank  0 sector  0")) << s;
    const nlohmann::json& f = flash[refusing.Probe()];
    EXPECT_EQ(f["status"], "failed");
    EXPECT_TRUE(Has(f["message"], "The probe refused the connection (" + refusing.Probe() + ").")) << f;

    // The summary, the human lines and the table say the same.
    const nlohmann::json& summary = records.back();
    EXPECT_EQ(summary["type"], "summary");
    EXPECT_EQ(summary["exit_code"], 1);
    ASSERT_EQ(summary["probes"].size(), 4u);
    size_t failed = 0;
    for (const nlohmann::json& p : summary["probes"]) {
        const std::string name = p["probe"];
        EXPECT_EQ(p["status"], flash[name]["status"]) << name;
        if (p["status"] == "failed") {
            ++failed;
            EXPECT_EQ(p["failed_step"], "flash");
            EXPECT_EQ(p["message"], flash[name]["message"]);
            // The table row: name, the step's cell, the first failure.
            const std::string message = p["message"];
            EXPECT_TRUE(Has(run.err, name + "  FAILED")) << run.err;
            EXPECT_TRUE(Has(run.err, "flash: " + message)) << run.err;
        } else {
            EXPECT_TRUE(Has(run.err, name + "  passed")) << run.err;
            EXPECT_TRUE(Has(run.err, "[" + name + "] 12288 bytes successful verified")) << run.err;
        }
    }
    EXPECT_EQ(failed, 2u);
    EXPECT_TRUE(Has(run.err, "[" + refusing.Probe() + "] Error: The probe refused the connection (" + refusing.Probe() + ")."))
        << run.err;
    EXPECT_TRUE(Has(run.err, "[" + stuck.Probe() + "] Error: Erasing error!")) << run.err;

    // The two good boards hold the image: a second gang verifies them.
    run = RunCli(dir, " --probe " + good1.Probe() + " --probe " + good2.Probe() + " " + kSetup +
                          " load image.bin --offset 80000000 verify");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // Every probe's link was closed: each host that connected hung up.
    for (const CLoggedSim* sim : {&good1, &good2, &stuck})
        EXPECT_EQ(Count(sim->Log(), " connected"), Count(sim->Log(), " disconnected")) << sim->Log();
}

TEST(CliProduction, AFailedVerifyExplainsItselfInTheLogAndTheJson)
{
    CTempDir dir;
    WriteFileBytes(dir.File("stuck.board"),
                   std::string("board Stuck\nram 0x40000000 256K\n"
                               "flash \"AMD  Am29LV160MB (1M x 16)\" base=0x80000000 bus=16\n"
                               "fault stuck 0x80000010 bit=0 value=0\n"
                               "fault stuck 0x80000301 bit=7 value=0\n"));
    CLoggedSim sim(dir, "sim", {"--board", dir.File("stuck.board")});
    // A blank check: the erased board against an image of 0xFF.
    SCliRun run = RunCli(dir, "--probe " + sim.Probe() + " --json out.json " + kSetup +
                                  " fill --range 80000000+1000 --pattern FF --unit byte verify");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(Has(run.err, "Verify failed at address 80000010. Image = FF, Target = FE")) << run.err;
    EXPECT_TRUE(Has(run.err, "Read back 4080 of 4080 bytes from address 80000010: 2 bytes differ."))
        << run.err;
    EXPECT_TRUE(Has(run.err, "  80000301  Image = FF, Target = 7F")) << run.err;
    EXPECT_TRUE(Has(run.err, "Bits reading 0 where the image has 1: 2 (not erased)")) << run.err;
    const std::vector<nlohmann::json> records = Records(ReadFileBytes(dir.File("out.json")));
    ASSERT_EQ(records.size(), 4u); // setup, fill, verify, summary
    const nlohmann::json& v = records[2];
    EXPECT_EQ(v["failing_address"], 0x80000010u);
    EXPECT_EQ(v["image_byte"], 0xFF);
    EXPECT_EQ(v["target_byte"], 0xFE);
    EXPECT_EQ(v["verify"]["differing_bytes"], 2);
    EXPECT_EQ(v["verify"]["bits_read_0_image_1"], 2);
    EXPECT_EQ(v["verify"]["bits_read_1_image_0"], 0);
    EXPECT_EQ(v["verify"]["first_differences"][1]["address"], 0x80000301u);
    ASSERT_EQ(v["verify"]["sectors"].size(), 1u);
    EXPECT_EQ(v["verify"]["sectors"][0]["sector"], 0);
    EXPECT_EQ(records[3]["status"], "failed");
}

TEST(CliProduction, CtrlCStopsEveryProbeOfAGangAndClosesEachLink)
{
    CTempDir dir;
    // Slow links: 1 MiB at 100 kB/s takes ten seconds; the stop comes long before.
    CLoggedSim a(dir, "a", {"--bandwidth", "100000"}), b(dir, "b", {"--bandwidth", "100000"}),
        c(dir, "c", {"--bandwidth", "100000"});
    const std::string script =
        "cd '" + dir.Path().string() + "' && export TMPDIR='" + dir.Path().string() + "'; '" + kBin +
        "/tarvel-cli' --probe " + a.Probe() + " --probe " + b.Probe() + " --probe " + c.Probe() +
        " --json out.json " + kSetup +
        " fill --range 80000000+100000 --pattern 00 --unit byte program verify </dev/null >out.txt "
        "2>err.txt & p=$!; "
        "for i in $(seq 400); do [ $(grep -c 'Programming 1048576' err.txt 2>/dev/null) = 3 ] && break; "
        "sleep 0.05; done; sleep 0.5; kill -INT $p; wait $p; echo $?";
    EXPECT_EQ(ShellOutput(script), "130\n") << ReadFileBytes(dir.File("err.txt"));
    const std::string err = ReadFileBytes(dir.File("err.txt"));
    EXPECT_EQ(Count(err, "] Programming cancelled at address 80"), 3u) << err;
    EXPECT_FALSE(Has(err, "Verifying")) << err;
    for (const CLoggedSim* sim : {&a, &b, &c}) {
        EXPECT_EQ(sim->Connections(), 1u) << sim->Log();
        EXPECT_EQ(Count(sim->Log(), " disconnected"), 1u) << sim->Log();
    }
    const std::vector<nlohmann::json> records = Records(ReadFileBytes(dir.File("out.json")));
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back()["status"], "stopped");
    EXPECT_EQ(records.back()["exit_code"], 130);
    size_t stopped = 0;
    for (const nlohmann::json& r : records)
        stopped += r["type"] == "step" && r["step"] == "program" && r["status"] == "stopped";
    EXPECT_EQ(stopped, 3u);
}

// Sectors 0..2 of the demo chip: 16 KiB, 8 KiB, 8 KiB from 0x80000000.
std::string Pattern(size_t size, int seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 13 + static_cast<size_t>(seed)) & 0x7F);
    return bytes;
}

TEST(CliProduction, ChangedOnlySkipsTheSectorsThatAlreadyHoldTheImage)
{
    CTempDir dir;
    CLoggedSim sim(dir, "sim", {});
    const std::string flash = "--probe " + sim.Probe() + " " + kSetup + " flash image.bin --offset 80000000";
    std::string image = Pattern(0x8000, 1);
    WriteFileBytes(dir.File("image.bin"), image);
    ASSERT_EQ(RunCli(dir, flash).exitCode, 0);

    SCliRun run = RunCli(dir, flash + " --changed-only");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "flash: 3 of 3 sector(s) already hold the image: skipped")) << run.err;
    EXPECT_FALSE(Has(run.err, "Erasing")) << run.err;
    EXPECT_FALSE(Has(run.err, "Programming")) << run.err;

    image[0x4100] = static_cast<char>(image[0x4100] ^ 0x40); // one byte of sector 1
    WriteFileBytes(dir.File("image.bin"), image);
    run = RunCli(dir, flash + " --changed-only");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "flash: 2 of 3 sector(s) already hold the image: skipped")) << run.err;
    EXPECT_EQ(Count(run.err, "Erasing  bank  0 sector "), 1u) << run.err;
    EXPECT_TRUE(Has(run.err, "Erasing  bank  0 sector  1")) << run.err;
    EXPECT_TRUE(Has(run.err, "8192 bytes successful programmed")) << run.err;
    EXPECT_TRUE(Has(run.err, "32768 bytes successful verified")) << run.err;
}

TEST(CliProduction, KeepUnwrittenKeepsTheRestOfTheSectorAndDryRunSendsNothing)
{
    CTempDir dir;
    CLoggedSim sim(dir, "sim", {});
    const std::string probe = "--probe " + sim.Probe() + " " + kSetup;
    WriteFileBytes(dir.File("sector.bin"), Pattern(0x4000, 3));
    WriteFileBytes(dir.File("small.bin"), std::string(16, '\xA5'));
    ASSERT_EQ(RunCli(dir, probe + " flash sector.bin --offset 80000000").exitCode, 0);
    const size_t connections = sim.Connections();

    SCliRun run = RunCli(dir, probe + " flash small.bin --offset 80001FF8 --keep-unwritten --dry-run");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "flash: would erase bank 0 sector 0 (80000000..80003FFF)\n"
                       "flash: would program 80000000..80003FFF (16384 bytes)\n"
                       "flash: dry run: 1 sector(s) to erase, 1 span(s) of 16384 bytes to program; nothing was "
                       "sent to the probe\n");
    EXPECT_EQ(sim.Connections(), connections);
    // The erase and program steps' dry runs.
    const struct {
        const char* steps;
        const char* out;
    } dryRuns[] = {
        {"erase --sectors 0/1,0/3 --dry-run",
         "erase: would erase bank 0 sector 1 (80004000..80005FFF)\n"
         "erase: would erase bank 0 sector 3 (80008000..8000FFFF)\n"
         "erase: dry run: 2 sector(s) to erase, 0 span(s) of 0 bytes to program; nothing was sent to the probe\n"},
        {"erase --range 80003FFF+2 --dry-run",
         "erase: would erase bank 0 sector 0 (80000000..80003FFF)\n"
         "erase: would erase bank 0 sector 1 (80004000..80005FFF)\n"
         "erase: dry run: 2 sector(s) to erase, 0 span(s) of 0 bytes to program; nothing was sent to the probe\n"},
        {"load small.bin --offset 80000010 load small.bin --offset 80001000 program --dry-run",
         "program: would program 80000010..8000001F (16 bytes)\n"
         "program: would program 80001000..8000100F (16 bytes)\n"
         "program: dry run: 0 sector(s) to erase, 2 span(s) of 32 bytes to program; nothing was sent to the "
         "probe\n"},
    };
    for (const auto& d : dryRuns) {
        run = RunCli(dir, probe + " " + d.steps);
        EXPECT_EQ(run.exitCode, 0) << d.steps << run.err;
        EXPECT_EQ(run.out, d.out) << d.steps;
    }
    EXPECT_EQ(sim.Connections(), connections);

    ASSERT_EQ(RunCli(dir, probe + " flash small.bin --offset 80001FF8 --keep-unwritten").exitCode, 0);
    // The sector holds the first file with the 16 bytes laid over it.
    run = RunCli(dir, probe + " load sector.bin --offset 80000000 load small.bin --offset 80001FF8 verify");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Has(run.err, "16384 bytes successful verified")) << run.err;
    // Without it the rest of the sector is erased.
    ASSERT_EQ(RunCli(dir, probe + " flash small.bin --offset 80001FF8").exitCode, 0);
    run = RunCli(dir, probe + " load sector.bin --offset 80000000 load small.bin --offset 80001FF8 verify");
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_TRUE(Has(run.err, "Verify failed at address 80000000.")) << run.err;
}

} // namespace
