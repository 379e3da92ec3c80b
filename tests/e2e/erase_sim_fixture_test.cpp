// The in-process simulator fixture that the tests stand on: a board from
// text or the RAM board, each transport carrying library calls to it,
// programming through the firmware, and a clear error for a board that
// cannot be built.
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

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

TEST(SimFixture, EveryTransportCarriesLibraryCallsToTheRamBoard)
{
    using ETransport = CSimFixture::ETransport;
    for (const ETransport transport : {ETransport::SocketPair, ETransport::SerialPair, ETransport::Tcp}) {
        SCOPED_TRACE(static_cast<int>(transport));
        CSimFixture::SOptions options;
        options.transport = transport;
        CSimFixture sim = CSimFixture::OnRamBoard(options);
        ASSERT_TRUE(sim.Ok()) << sim.Error();
        EXPECT_EQ(sim.ChannelText().empty(), transport != ETransport::Tcp);
        if (transport == ETransport::Tcp) {
            EXPECT_FALSE(sim.Library().IsOpen()) << "the probe's one TCP host is the test's to open";
            ASSERT_EQ(sim.Library().LinkOpen(sim.ChannelText()), 0);
        }
        EXPECT_EQ(sim.Library().TargetWrite32(kSimRamBase + 8, 0xCAFEF00D), 0);
        EXPECT_EQ(sim.Peek(kSimRamBase + 8, 4), (std::vector<uint8_t>{0x0D, 0xF0, 0xFE, 0xCA}));
        sim.Poke(kSimFlashBase, {0x5A});
        uint8_t value = 0;
        EXPECT_EQ(sim.Library().TargetRead8(kSimFlashBase, value), 0);
        EXPECT_EQ(value, 0x5A);
        EXPECT_THROW(sim.Board(), std::logic_error);
    }
}

TEST(SimFixture, ABoardThatCannotBeBuiltIsAnError)
{
    CSimFixture::SOptions options;
    options.failTestOnError = false;
    CSimFixture sim("flash \"AMD  Am29F040\" base=0x01000000 bus=12\n", options);
    EXPECT_FALSE(sim.Ok());
    EXPECT_NE(sim.Error().find("line 1"), std::string::npos) << sim.Error();

    CSimFixture overlapping = CSimFixture::OnRamBoard(options, {{0x1000, 0x1000, 0}, {0x1800, 0x1000, 0}});
    EXPECT_FALSE(overlapping.Ok());
    EXPECT_NE(overlapping.Error().find("overlap"), std::string::npos) << overlapping.Error();
}

} // namespace
