#pragma once

// Tests of the simulated probe through the link library: the RAM board on a
// loopback port, and a library with its link open to it.

#include "probe/probe_frames.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

class SimLinkTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(library.LinkOpen(sim.ChannelText()), 0); }

    CSimFixture sim = CSimFixture::OnRamBoard(CSimFixture::Tcp());
    CLinkLibrary& library = sim.Library();
    CProbeFrames frames{library};
};
