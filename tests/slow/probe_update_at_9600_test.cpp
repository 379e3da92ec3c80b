// A whole probe update (firmware and logic) at the loader's default rate,
// 9600 baud, as a user runs it: qdx7000-sim in its loader on a
// pseudo-terminal whose line carries 960 bytes a second each way, tarvel-cli
// in a process of its own on that terminal. It takes over two minutes.

#include "../e2e/cli_runner.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(ProbeUpdateAt9600Baud, FirmwareAndLogicGoInOverThePseudoTerminal)
{
    // 9600 baud, eight data bits, a start and a stop bit: 960 bytes a second.
    CSimProcess sim({"--no-tcp", "--pty", "--loader", "--bandwidth", "960"});
    ASSERT_TRUE(sim.Running());
    const std::string pty = Announced(sim, "pty");
    ASSERT_FALSE(pty.empty());
    CTempDir dir;

    // The sample files next to tarvel-cli: firmware 1.14 and logic 1.13
    // over the probe's 1.13 and 1.12.
    const std::string probe = "--probe " + pty + "@9600";
    SCliRun run = RunCli(dir, probe + " probe-update");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Has(run.err, "Firmware: Programming Flash ... passed!\n")) << run.err;
    EXPECT_TRUE(Has(run.err, "Logic: Verifying ...\n")) << run.err;
    EXPECT_FALSE(Has(run.err, "verif")) << "no verification failed: " << run.err;
    EXPECT_TRUE(Has(run.err, "Updating firmware and logic passed!\n")) << run.err;
    EXPECT_TRUE(Has(run.out, "Firmware  1.14      1.14\nLogic     1.13      1.13\n")) << run.out;

    // The next run on the same terminal finds the new versions in place.
    run = RunCli(dir, probe + " probe-update");
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_TRUE(Has(run.out, "Firmware and logic are up to date.")) << run.out;
    EXPECT_EQ(sim.Stop(), 0);
}

} // namespace
