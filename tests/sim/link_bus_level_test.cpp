// Flash command sequences written cycle by cycle through the link library
// into the simulated probe: the unlock addresses of each family, with one, two
// and four devices side by side on 8-, 16- and 32-bit buses. The right
// sequence erases the sector; a wrong unlock address leaves it untouched.

#include "sim/sim_flash_geometry.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kBase = 0x01000000;

struct SBus {
    CLinkLibrary& lib;
    int bytes;

    int Write(uint32_t address, uint32_t value)
    {
        switch (bytes) {
        case 1: return lib.TargetWrite8(address, value & 0xFF);
        case 2: return lib.TargetWrite16(address, value & 0xFFFF);
        default: return lib.TargetWrite32(address, value);
        }
    }
    int Read(uint32_t address, uint32_t& value)
    {
        int status;
        if (bytes == 1) {
            uint8_t v = 0;
            status = lib.TargetRead8(address, v);
            value = v;
        } else if (bytes == 2) {
            uint16_t v = 0;
            status = lib.TargetRead16(address, v);
            value = v;
        } else {
            status = lib.TargetRead32(address, value);
        }
        return status;
    }
    uint32_t AllOnes() const { return bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1; }
    // A command byte in every byte lane of the bus.
    uint32_t Replicate(uint8_t v) const { return v * (AllOnes() / 0xFF); }
};

struct SJedecCase {
    const char* device;
    int busBits;
    int algorithm;
    uint32_t u1; // unlock offsets from the bank start, as the host's erase uses them
    uint32_t u2;
};

std::string Describe(const SJedecCase& c)
{
    return std::string(c.device) + " on a " + std::to_string(c.busBits) + "-bit bus";
}

class JedecThroughLink : public ::testing::TestWithParam<SJedecCase> {};

// Writes a pattern into sector 0 the way the firmware programs it.
void ProgramPattern(CSimFixture& sim, const SJedecCase& c, uint32_t bankSize)
{
    std::vector<uint8_t> pattern(64);
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<uint8_t>(i * 7 + 1);
    ASSERT_EQ(sim.Program(static_cast<uint8_t>(c.algorithm), static_cast<uint8_t>(c.busBits / 8), 0u - bankSize,
                         kBase, pattern),
              0);
    ASSERT_FALSE(sim.AllBytesAre(kBase, 64, 0xFF));
}

// The six-cycle sector erase, then DQ7 polling until every lane reads all ones.
bool SectorErase(SBus& bus, uint32_t u1, uint32_t u2, uint32_t sector)
{
    const uint8_t sequence[] = {0xAA, 0x55, 0x80, 0xAA, 0x55};
    const uint32_t targets[] = {u1, u2, u1, u1, u2};
    for (int i = 0; i < 5; ++i)
        if (bus.Write(kBase + targets[i], bus.Replicate(sequence[i])) != 0)
            return false;
    if (bus.Write(sector, bus.Replicate(0x30)) != 0)
        return false;
    // A busy device toggles DQ6 on every read; two equal reads that are not
    // all ones mean the device is reading its array: no erase is running.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    uint32_t previous = 0;
    if (bus.Read(sector, previous) != 0)
        return false;
    do {
        if (previous == bus.AllOnes())
            return true;
        uint32_t value = 0;
        if (bus.Read(sector, value) != 0 || value == previous)
            return value == bus.AllOnes();
        previous = value;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

TEST_P(JedecThroughLink, RightUnlockErasesWrongUnlockDoesNot)
{
    const SJedecCase& c = GetParam();
    SCOPED_TRACE(Describe(c));
    CSimFixture sim("ram 0x40000000 64K\nflash \"" + std::string(c.device) + "\" base=0x01000000 bus=" +
                    std::to_string(c.busBits) + " sector-erase=2ms program=0us\n");
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    CSimFlashGeometry geometry;
    ASSERT_TRUE(LookupSimFlashGeometry(c.device, geometry));
    const uint32_t lanes = static_cast<uint32_t>(c.busBits / 8) / geometry.deviceWidth;
    const uint32_t bankSize = geometry.size * lanes;
    ProgramPattern(sim, c, bankSize);

    SBus bus{sim.Library(), c.busBits / 8};
    // Wrong: the two unlock addresses swapped, and the right ones without the
    // lane factor (when there is more than one lane). Neither may erase.
    EXPECT_FALSE(SectorErase(bus, c.u2, c.u1, kBase));
    bus.Write(kBase, bus.Replicate(0xF0));
    EXPECT_FALSE(sim.AllBytesAre(kBase, 64, 0xFF)) << "swapped unlock addresses erased the sector";
    if (lanes > 1) {
        EXPECT_FALSE(SectorErase(bus, c.u1 / lanes, c.u2 / lanes, kBase));
        bus.Write(kBase, bus.Replicate(0xF0));
        EXPECT_FALSE(sim.AllBytesAre(kBase, 64, 0xFF)) << "unlock addresses without the lane factor erased";
    }
    // Right: the sector erases in every lane.
    EXPECT_TRUE(SectorErase(bus, c.u1, c.u2, kBase));
    EXPECT_TRUE(sim.AllBytesAre(kBase, 64, 0xFF));
}

INSTANTIATE_TEST_SUITE_P(
    Families, JedecThroughLink,
    ::testing::Values(
        // x8 addressing (code 2): 0x5555 / 0x2AAA times the lanes.
        SJedecCase{"AMD  Am29F040", 8, 2, 0x5555, 0x2AAA},
        SJedecCase{"AMD  Am29F040", 16, 2, 0x5555 * 2, 0x2AAA * 2},
        SJedecCase{"AMD  Am29F040", 32, 2, 0x5555 * 4, 0x2AAA * 4},
        // byte/word addressing, x8 devices (code 11): 0xAAAA / 0x5555 times the lanes.
        SJedecCase{"AMD  Am29LV400B (512K x 8)", 8, 11, 0xAAAA, 0x5555},
        SJedecCase{"AMD  Am29LV400B (512K x 8)", 32, 11, 0xAAAA * 4, 0x5555 * 4},
        // byte/word addressing, x16 devices (code 12): 0xAAAA / 0x5554 times the lanes.
        SJedecCase{"AMD  Am29LV400B (256K x 16)", 16, 12, 0xAAAA, 0x5554},
        SJedecCase{"AMD  Am29LV400B (256K x 16)", 32, 12, 0x15554, 0xAAA8},
        // x16/x32 addressing (codes 35, 36).
        SJedecCase{"AMD  Am29PL320DB (2M x 16)", 32, 35, 0x5554 * 2, 0xAAA8 * 2},
        SJedecCase{"AMD  Am29PL320DB (1M x 32)", 32, 36, 0x15554, 0xAAA8}),
    [](const ::testing::TestParamInfo<SJedecCase>& info) {
        std::string name = std::string("Code") + std::to_string(info.param.algorithm) + "Bus" +
                           std::to_string(info.param.busBits);
        return name;
    });

// Intel block erase: 0x20 then 0xD0 to the block erases it; 0x20 followed by
// anything else is refused with the erase and sequence error bits and
// changes nothing. Status bit 7 reports ready in each lane.
TEST(IntelThroughLink, BlockEraseNeedsItsConfirmCycle)
{
    struct SCase {
        const char* device;
        int busBits;
        int algorithm;
    } cases[] = {
        {"Intel  28F320J3 (2M x 16)", 16, 30}, // one x16 device
        {"Intel  28F004B5-T", 16, 5},          // two x8 devices side by side
        {"Intel  28F320J3 (2M x 16)", 32, 30}, // two x16 devices
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(std::string(c.device) + " on a " + std::to_string(c.busBits) + "-bit bus");
        CSimFixture sim("ram 0x40000000 64K\nflash \"" + std::string(c.device) + "\" base=0x01000000 bus=" +
                        std::to_string(c.busBits) + " sector-erase=2ms program=0us\n");
        ASSERT_TRUE(sim.Ok()) << sim.Error();
        CSimFlashGeometry geometry;
        ASSERT_TRUE(LookupSimFlashGeometry(c.device, geometry));
        const uint32_t lanes = static_cast<uint32_t>(c.busBits / 8) / geometry.deviceWidth;
        ASSERT_EQ(sim.Program(static_cast<uint8_t>(c.algorithm), static_cast<uint8_t>(c.busBits / 8),
                              0u - geometry.size * lanes, kBase, std::vector<uint8_t>(32, 0x00)),
                  0);
        SBus bus{sim.Library(), c.busBits / 8};
        const uint32_t cmdMask = geometry.deviceWidth == 1 ? bus.AllOnes() : (bus.bytes == 4 ? 0x00FF00FFu : 0x00FFu);
        const uint32_t readyBits = 0x80808080u & cmdMask;

        // Wrong confirm: refused, error bits set in every lane, nothing erased.
        ASSERT_EQ(bus.Write(kBase, bus.Replicate(0x20) & cmdMask), 0);
        ASSERT_EQ(bus.Write(kBase, bus.Replicate(0x00) & cmdMask), 0);
        uint32_t status = 0;
        ASSERT_EQ(bus.Read(kBase, status), 0);
        EXPECT_EQ(status & readyBits, readyBits);
        EXPECT_NE(status & (0x30303030u & cmdMask), 0u);
        bus.Write(kBase, bus.Replicate(0x50) & cmdMask);
        bus.Write(kBase, cmdMask);
        EXPECT_TRUE(sim.AllBytesAre(kBase, 32, 0x00));

        // Right: 20/D0, poll bit 7 in every lane, no error bits, block erased.
        ASSERT_EQ(bus.Write(kBase, bus.Replicate(0x20) & cmdMask), 0);
        ASSERT_EQ(bus.Write(kBase, bus.Replicate(0xD0) & cmdMask), 0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        do {
            ASSERT_EQ(bus.Read(kBase, status), 0);
            if ((status & readyBits) == readyBits)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < deadline);
        EXPECT_EQ(status & readyBits, readyBits);
        EXPECT_EQ(status & (0x78787878u & cmdMask), 0u);
        bus.Write(kBase, cmdMask);
        EXPECT_TRUE(sim.AllBytesAre(kBase, 32, 0xFF));
    }
}

} // namespace
