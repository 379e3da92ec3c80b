// The in-process simulator fixture that the erase tests stand on: a board
// from text, a link that carries library calls to it, programming through the
// firmware, and a clear error for a board that cannot be built.
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

namespace {

TEST(SimFixture, CarriesLibraryCallsToTheBoardAndProgramsFlash)
{
    CSimFixture sim("ram 0x40000000 4K\nflash \"AMD  Am29F040\" base=0x01000000 bus=8\n");
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    EXPECT_EQ(sim.Library().TargetWrite32(0x40000010, 0x12345678), 0);
    uint32_t value = 0;
    EXPECT_EQ(sim.Library().TargetRead32(0x40000010, value), 0);
    EXPECT_EQ(value, 0x12345678u);

    EXPECT_EQ(sim.Program(2, 1, 0xFFF80000, 0x01000100, {0x12, 0x34}), 0);
    EXPECT_EQ(sim.PeekByte(0x01000100), 0x12);
    EXPECT_EQ(sim.PeekByte(0x01000101), 0x34);
    EXPECT_TRUE(sim.AllBytesAre(0x01000102, 64, 0xFF));
    EXPECT_GT(CSimFixture::HandshakeRequests(), 0u);
}

TEST(SimFixture, ABoardThatCannotBeBuiltIsAnError)
{
    CSimFixture sim("flash \"AMD  Am29F040\" base=0x01000000 bus=12\n");
    EXPECT_FALSE(sim.Ok());
    EXPECT_NE(sim.Error().find("line 1"), std::string::npos) << sim.Error();
}

} // namespace
