#pragma once

// A simulated probe on a RAM board, listening on a free loopback port, for
// tests that reach it through the link library.

#include "probe/link/link_library.h"
#include "probe/probe_frames.h"
#include "sim/probe_sim.h"
#include "sim/probe_sim_ram_board.h"
#include "sim/sim_link.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

inline constexpr uint32_t kSimFlashBase = 0x00000000;
inline constexpr uint32_t kSimFlashSize = 0x00100000;
inline constexpr uint32_t kSimRamBase = 0x40000000;
inline constexpr uint32_t kSimRamSize = 0x00010000;

class CSimProbeUnderTest {
public:
    explicit CSimProbeUnderTest(const SProbeSimConfig& config = {}, const SSimFaults& faults = {})
    {
        board.AddRegion(kSimFlashBase, kSimFlashSize, 0xFF);
        board.AddRegion(kSimRamBase, kSimRamSize, 0x00);
        probe = std::make_unique<CProbeSim>(board, config);
        link = std::make_unique<CSimLink>(*probe, faults);
        EXPECT_EQ(link->ListenTcp("127.0.0.1", 0), 0);
        EXPECT_EQ(link->Start(), 0);
    }

    std::string Channel() const { return "NETWORK 127.0.0.1:" + std::to_string(link->Port()) + " 1"; }

    // Board bytes, read while the probe stands still.
    std::vector<uint8_t> Peek(uint32_t address, uint32_t length)
    {
        auto lock = link->LockProbe();
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(board.Peek(address, length, bytes));
        return bytes;
    }
    void Poke(uint32_t address, const std::vector<uint8_t>& bytes)
    {
        auto lock = link->LockProbe();
        EXPECT_TRUE(board.Poke(address, bytes));
    }

    CProbeSimRamBoard board;
    std::unique_ptr<CProbeSim> probe;
    std::unique_ptr<CSimLink> link;
};

// A simulator and a library with the link open to it.
class SimLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(library.LinkOpen(sim.Channel()), 0); }

    CSimProbeUnderTest sim;
    CLinkLibrary library;
    CProbeFrames frames{library};
};
