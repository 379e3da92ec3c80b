#include "probe/target_connection.h"

#include "probe/probe_status.h"
#include "support/manual_clock.h"
#include "support/scripted_message_box.h"
#include "project/code_list.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

namespace {

CCodeList ListOf(std::initializer_list<CCodeItem> items)
{
    CCodeList list;
    for (const CCodeItem& item : items)
        list.Add(item);
    return list;
}

class TargetConnectionTest : public ::testing::Test {
protected:
    CRecordingLibrary library;
    CScriptedMessageBox box;
    CRecordingOperationView view;
    CManualClock clock;
};

TEST_F(TargetConnectionTest, ConnectsStartsProgrammingAndDisconnectsClosingTheLink)
{
    CSimFixture sim{CSimFixture::Tcp()};
    CTargetConnection connection(library, box, sim.ChannelText(), clock);
    ASSERT_TRUE(connection.ConnectTarget(&view));
    EXPECT_EQ(view.LastStatus(), "Connecting to QDX ... (" + sim.ChannelText() + ")");
    EXPECT_TRUE(box.shown.empty());
    ASSERT_EQ(library.commands.size(), 1u);
    EXPECT_EQ(library.commands[0], kCmdStartProgramming);
    EXPECT_TRUE(connection.IsConnected());
    EXPECT_TRUE(connection.DisconnectTarget());
    EXPECT_EQ(library.disconnects, 1);
    EXPECT_FALSE(library.linkOpen);
    EXPECT_FALSE(connection.IsConnected());
}

TEST_F(TargetConnectionTest, WrongFirmwareFailsTheConnectAndLeavesNothingOpen)
{
    SProbeSimConfig config;
    config.firmwareKind = 9;
    CSimFixture sim(CSimFixture::Tcp({}, config));
    CTargetConnection connection(library, box, sim.ChannelText(), clock);
    EXPECT_FALSE(connection.ConnectTarget(&view));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Invalid firmware loaded!");
    EXPECT_EQ(box.shown[0].caption, "Error");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Stop);
    EXPECT_EQ(view.LastStatus(), "Connecting to QDX failed!");
    EXPECT_TRUE(library.commands.empty()) << "StartProgramming must not be sent";
    EXPECT_FALSE(library.linkOpen);
    EXPECT_FALSE(library.targetConnected);
    EXPECT_FALSE(connection.IsConnected());
}

TEST_F(TargetConnectionTest, RefusedLinkShowsTheLibraryText)
{
    SSimFaults faults;
    faults.refuseConnection = true;
    CSimFixture sim(CSimFixture::Tcp(faults));
    CTargetConnection connection(library, box, sim.ChannelText(), clock);
    EXPECT_FALSE(connection.ConnectTarget(nullptr));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_FALSE(box.shown[0].text.empty());
    EXPECT_NE(box.shown[0].text, "Invalid firmware loaded!");
    EXPECT_FALSE(library.linkOpen);
}

TEST_F(TargetConnectionTest, MainListOf128IsHandedOverAnd129IsRefusedUnsent)
{
    CSimFixture sim{CSimFixture::Tcp()};
    CTargetConnection connection(library, box, sim.ChannelText(), clock);
    ASSERT_TRUE(connection.ConnectTarget(&view));
    CCodeList list;
    for (int i = 0; i < 128; ++i)
        list.Add(CCodeItem(CCodeItem::Wm32, kDemoRamBase + 4 * i, i, ""));
    EXPECT_TRUE(connection.LoadInitList(0x00010203, list, &view));
    ASSERT_EQ(library.loadedLists.size(), 1u);
    EXPECT_EQ(library.loadedLists[0].size(), 128u);
    EXPECT_EQ(library.loadedLists[0][127].address, kDemoRamBase + 4 * 127);
    EXPECT_EQ(library.loadedOptions, 0x00010203u);

    list.Add(CCodeItem(CCodeItem::Nop, 0, 0, ""));
    EXPECT_FALSE(connection.LoadInitList(0, list, &view));
    EXPECT_EQ(view.LastStatus(), "Init list is to long!");
    EXPECT_EQ(library.loadedLists.size(), 1u) << "nothing reaches the probe";
}

TEST_F(TargetConnectionTest, LoopRepeatsTheTwoEntriesBeforeItWithGrowingOffsets)
{
    struct SCase {
        uint32_t count;
        std::vector<uint32_t> addresses;
    };
    const uint32_t a = kDemoRamBase, b = kDemoRamBase + 0x100;
    const SCase cases[] = {
        {3, {a, b, a + 0x10, b + 0x10, a + 0x20, b + 0x20}},
        {1, {a, b}},
        {0, {a, b}},
    };
    CSimFixture sim{CSimFixture::Tcp()};
    for (const SCase& c : cases) {
        library.writes.clear();
        CTargetConnection connection(library, box, sim.ChannelText(), clock);
        ASSERT_TRUE(connection.ConnectTarget(&view));
        const CCodeList list = ListOf({CCodeItem(CCodeItem::Wm32, a, 0x11111111 * (c.count + 1), ""),
                                       CCodeItem(CCodeItem::Wm32, b, 0x22222222, ""),
                                       CCodeItem(CCodeItem::Loop, 0x10, c.count, ""),
                                       CCodeItem(CCodeItem::Wm16, a + 0x80, 0xBEEF, "after the loop")});
        EXPECT_TRUE(connection.RunInitList(list, &view)) << view.LastStatus();
        std::vector<uint32_t> addresses;
        for (const auto& w : library.writes)
            addresses.push_back(w.address);
        std::vector<uint32_t> expected = c.addresses;
        expected.push_back(a + 0x80); // the offset is cleared after the loop
        EXPECT_EQ(addresses, expected) << "LOOP " << c.count;
        connection.DisconnectTarget();
    }
    // The writes reached the board's RAM.
    EXPECT_EQ(sim.Peek(a + 0x20, 4), (std::vector<uint8_t>{0x44, 0x44, 0x44, 0x44}));
    EXPECT_EQ(sim.Peek(b + 0x20, 4), (std::vector<uint8_t>{0x22, 0x22, 0x22, 0x22}));
}

TEST_F(TargetConnectionTest, LoopBeforeTheStartOfTheListIsRefusedBeforeAnythingRuns)
{
    CSimFixture sim{CSimFixture::Tcp()};
    CTargetConnection connection(library, box, sim.ChannelText(), clock);
    ASSERT_TRUE(connection.ConnectTarget(&view));
    for (int position = 0; position < 2; ++position) {
        CCodeList list;
        for (int i = 0; i < position; ++i)
            list.Add(CCodeItem(CCodeItem::Wm32, kDemoRamBase, 1, ""));
        list.Add(CCodeItem(CCodeItem::Loop, 4, 3, ""));
        list.Add(CCodeItem(CCodeItem::Wm32, kDemoRamBase + 8, 1, ""));
        library.writes.clear();
        EXPECT_FALSE(connection.RunInitList(list, &view)) << position;
        EXPECT_TRUE(library.writes.empty()) << position;
        // The status line names the loop that was refused.
        EXPECT_EQ(view.LastStatus(), "Init list, entry " + std::to_string(position + 1) +
                                         " (LOOP 0x00000004 0x00000003): " +
                                         library.LinkErrorText(kStatusInvalidArgument));
    }
    // Adjacent loops that would never end are refused the same way.
    const CCodeList endless = ListOf({CCodeItem(CCodeItem::Wm32, kDemoRamBase, 1, ""),
                                      CCodeItem(CCodeItem::Wm32, kDemoRamBase + 4, 1, ""),
                                      CCodeItem(CCodeItem::Loop, 0, 2, ""), CCodeItem(CCodeItem::Loop, 0, 2, "")});
    library.writes.clear();
    EXPECT_FALSE(connection.RunInitList(endless, &view));
    EXPECT_TRUE(library.writes.empty());
}

TEST_F(TargetConnectionTest, RegistersReadsAndDelaysRunOnTheHost)
{
    CSimFixture sim{CSimFixture::Tcp()};
    CTargetConnection connection(library, box, sim.ChannelText(), clock);
    ASSERT_TRUE(connection.ConnectTarget(&view));
    const CCodeList list = ListOf({CCodeItem(CCodeItem::Wgpr, 0x10003, 0xAB, "r3"),
                                   CCodeItem(CCodeItem::Wcpsr, 0x55, 0xD3, ""),
                                   CCodeItem(CCodeItem::Wcp15, 0x0001, 0x00050078, "control register"),
                                   CCodeItem(CCodeItem::Delay, 0, 250, ""),
                                   CCodeItem(CCodeItem::Rm32, kDemoRamBase, 0, ""),
                                   CCodeItem(CCodeItem::Exec, 0, 1000, "not run on the host")});
    EXPECT_TRUE(connection.RunInitList(list, &view)) << view.LastStatus();
    ASSERT_EQ(library.registerWrites.size(), 3u);
    const uint16_t expected[][2] = {{kRegClassGeneral, 3}, {kRegClassCpsr, 0}, {kRegClassCp15, 1}};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(library.registerWrites[i].id.regClass, expected[i][0]) << i;
        EXPECT_EQ(library.registerWrites[i].id.number, expected[i][1]) << i;
    }
    EXPECT_EQ(library.registerWrites[2].value, 0x00050078u);
    uint32_t value = 0;
    EXPECT_TRUE(sim.Board().RegisterValue(kRegClassCp15, 1, value));
    EXPECT_EQ(value, 0x00050078u);
    EXPECT_EQ(clock.slept, 250u);
}

TEST_F(TargetConnectionTest, OverlongDelaysAreRefusedBeforeAnythingRunsOrSleeps)
{
    CSimFixture sim{CSimFixture::Tcp()};
    CTargetConnection connection(library, box, sim.ChannelText(), clock);
    ASSERT_TRUE(connection.ConnectTarget(&view));
    const CCodeList cases[] = {
        ListOf({CCodeItem(CCodeItem::Wm8, kDemoRamBase, 1, ""), CCodeItem(CCodeItem::Delay, 0, 0xFFFFFFFF, "")}),
        ListOf({CCodeItem(CCodeItem::Exec, 0, 30000, "")}),
        // within the editor's bound each, but 20 passes of 29999 ms + 29999 ms
        ListOf({CCodeItem(CCodeItem::Delay, 0, 29999, ""), CCodeItem(CCodeItem::Delay, 0, 29999, ""),
                CCodeItem(CCodeItem::Loop, 0, 11, "")}),
    };
    for (const CCodeList& list : cases) {
        library.writes.clear();
        EXPECT_FALSE(connection.RunInitList(list, &view));
        EXPECT_EQ(view.LastStatus(), "Init list: " + library.LinkErrorText(kStatusInitListDelay));
        EXPECT_FALSE(connection.LoadInitList(2, list, &view));
        EXPECT_EQ(view.LastStatus(), "Main init list: " + library.LinkErrorText(kStatusInitListDelay));
        EXPECT_TRUE(library.writes.empty());
        EXPECT_EQ(clock.slept, 0u);
    }
    const CCodeList longest = ListOf({CCodeItem(CCodeItem::Delay, 0, 29999, "")});
    EXPECT_TRUE(connection.RunInitList(longest, &view)) << view.LastStatus();
    EXPECT_EQ(clock.slept, 29999u);
}

TEST_F(TargetConnectionTest, AStopRequestEndsAStoppableListWithoutWaitingOutItsDelay)
{
    CSimFixture sim{CSimFixture::Tcp()};
    CTargetConnection connection(library, box, sim.ChannelText(), clock);
    ASSERT_TRUE(connection.ConnectTarget(&view));
    const CCodeList list = ListOf({CCodeItem(CCodeItem::Delay, 0, 29999, ""), CCodeItem(CCodeItem::Wm8, kDemoRamBase, 1, "")});
    CRecordingOperationView stopping;
    stopping.cancelAfterEvents = 0; // the stop is asked for from the start
    EXPECT_FALSE(connection.RunInitList(list, &stopping, true));
    EXPECT_EQ(stopping.LastStatus(), library.LinkErrorText(kStatusStopped));
    EXPECT_EQ(clock.slept, 0u);
    EXPECT_TRUE(library.writes.empty());
    // A list that is not stoppable (a post-list) runs to its end all the same.
    EXPECT_TRUE(connection.RunInitList(list, &stopping)) << stopping.LastStatus();
    EXPECT_EQ(clock.slept, 29999u);
    EXPECT_FALSE(library.writes.empty());
}

TEST_F(TargetConnectionTest, FailingEntryStopsTheRunAndIsNamedWithItsList)
{
    CSimFixture sim{CSimFixture::Tcp()};
    CTargetConnection connection(library, box, sim.ChannelText(), clock);
    ASSERT_TRUE(connection.ConnectTarget(&view));
    const std::string reason = library.LinkErrorText(kStatusTargetAccessError);
    // The position counts the list's empty slots, as the editor shows them.
    CCodeList list = ListOf({CCodeItem(CCodeItem::Wm32, kDemoRamBase, 1, "")});
    list.Add(std::unique_ptr<CCodeItem>());
    list.Add(CCodeItem(CCodeItem::Wm32, 0x10000000, 1, "no  memory\there"));
    list.Add(CCodeItem(CCodeItem::Wm32, kDemoRamBase + 4, 1, ""));
    EXPECT_FALSE(connection.RunInitList(list, &view, false, "Pre-program init list"));
    EXPECT_EQ(library.writes.size(), 2u) << "nothing after the failing entry";
    EXPECT_EQ(view.LastStatus(),
              "Pre-program init list, entry 3 (WM32 0x10000000 0x00000001 no memory here): " + reason);

    // A write that a loop's offset moves past the end of the RAM (256 KiB).
    const CCodeList looped = ListOf({CCodeItem(CCodeItem::Wm32, kDemoRamBase + 0x3FFF8, 1, ""),
                                     CCodeItem(CCodeItem::Nop, 0, 0, ""), CCodeItem(CCodeItem::Loop, 8, 3, "")});
    EXPECT_FALSE(connection.RunInitList(looped, &view));
    EXPECT_EQ(view.LastStatus(), "Init list, entry 1 (WM32 0x4003FFF8 0x00000001) with loop offset 0x8: " + reason);
}

TEST_F(TargetConnectionTest, StatusTexts)
{
    CTargetConnection connection(library, box, "NETWORK 127.0.0.1 1", clock);
    const struct {
        int code;
        uint32_t address;
        std::string text;
    } cases[] = {
        {kStatusProgramFailedAt, 0x80001234, "Programming target memory failed at address 0x80001234."},
        {kStatusProgramFailedAt, 0, "Programming target memory failed!"},
        {kStatusPageDataFailed, 0, "Loading page data failed."},
        {kStatusInvalidParameter, 0, "Invalid parameter."},
        {kStatusInvalidMode, 0, "Invalid write or erase mode."},
        {kStatusNoAlgorithmRam, 0, "RAM for algorithm code not present."},
        {kStatusTimeout, 0, library.LinkErrorText(kStatusTimeout)},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(connection.ReportStatus(&view, c.code, c.address));
        EXPECT_EQ(view.LastStatus(), c.text);
        EXPECT_FALSE(connection.ReportStatus(nullptr, c.code, c.address)); // no status line: no crash
    }
    view.statuses.clear();
    EXPECT_TRUE(connection.ReportStatus(&view, 0, 0x1234));
    EXPECT_TRUE(view.statuses.empty());
}

} // namespace
