// The Communication Setup's rules: what OK accepts and the link test.
#include "probe/comm_setup.h"

#include "probe/channel_text.h"
#include "support/manual_clock.h"
#include "support/scripted_message_box.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

namespace {

TEST(CommSetup, AcceptChecksTheAddressOrThePort)
{
    CRecordingLibrary library;
    CScriptedMessageBox box;
    CCommSetup setup(library, box);
    EXPECT_TRUE(setup.Accept({4, 0, "192.168.1.20"}));
    EXPECT_FALSE(setup.Accept({4, 0, "192.168.1"}));
    EXPECT_FALSE(setup.Accept({4, 0, "300.1.1.1"}));
    library.link.Settings().Set(ESetting::SerialDevice2, "/nonexistent/tty-for-test");
    EXPECT_FALSE(setup.Accept({1, 4, ""}));
    ASSERT_EQ(box.shown.size(), 3u);
    EXPECT_EQ(box.shown[0].text, "Invalid IP address!");
    EXPECT_EQ(box.shown[1].text, "Invalid IP address!");
    EXPECT_EQ(box.shown[2].text, "Cannot open communication port!");
    for (const auto& shown : box.shown)
        EXPECT_EQ(shown.icon, EMsgIcon::Exclamation);

    EXPECT_TRUE(CCommSetup::ControlsValid({4, 4, "255.255.255.255"}));
    EXPECT_FALSE(CCommSetup::ControlsValid({5, 0, ""}));
    EXPECT_FALSE(CCommSetup::ControlsValid({0, 5, ""}));
    EXPECT_FALSE(CCommSetup::ControlsValid({4, 0, "1234567890123456"}));
}

TEST(CommSetup, LinkTestOpensClosesAndRebuildsTheChannelText)
{
    CSimFixture sim{CSimFixture::Tcp()};
    CManualClock clock; // the test of a stopped probe times out at once
    CRecordingLibrary library(clock);
    CScriptedMessageBox box;
    CRecordingOperationView view;
    CCommSetup setup(library, box);
    const std::string port = std::to_string(sim.Port());

    EXPECT_TRUE(setup.TestLink({4, 0, "127.0.0.1:" + port}, view));
    EXPECT_EQ(GetChannelText(), "NETWORK 127.0.0.1:" + port + " 1");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Link to QDX successful tested!");
    EXPECT_EQ(box.shown[0].caption, "Communication Test");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Information);
    EXPECT_FALSE(library.linkOpen);
    EXPECT_EQ(view.cursorDepth, 0);
    EXPECT_EQ(view.cursor, (std::vector<bool>{true, false}));

    // A probe named on the command line is tested instead of the channel;
    // the channel text still follows the settings.
    EXPECT_TRUE(setup.TestLink({0, 2, ""}, view, "NETWORK 127.0.0.1:" + port + " 1"));
    EXPECT_EQ(GetChannelText(), "COM1 38400");

    sim.Link().Stop();
    EXPECT_FALSE(setup.TestLink({4, 0, "127.0.0.1:" + port}, view));
    ASSERT_EQ(box.shown.size(), 3u);
    EXPECT_EQ(box.shown[2].text.rfind("Link test failed with error -", 0), 0u) << box.shown[2].text;
    EXPECT_EQ(box.shown[2].caption, "Communication Test");
    EXPECT_EQ(box.shown[2].icon, EMsgIcon::Exclamation);
    EXPECT_FALSE(library.linkOpen);
}

} // namespace
