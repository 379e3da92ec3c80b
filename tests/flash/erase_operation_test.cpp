#include "flash/erase_all_operation.h"
#include "flash/erase_sectors_operation.h"

#include "probe/target_connection.h"
#include "support/manual_clock.h"
#include "support/scripted_message_box.h"
#include "catalogue/flash_catalogue.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

namespace {

CCodeList OneWrite(uint32_t address, uint32_t value)
{
    CCodeList list;
    list.Add(CCodeItem(CCodeItem::Wm32, address, value, ""));
    return list;
}

// Erase commands against the demo board, whose flash starts programmed with
// zeros in its first three sectors (boot sectors of 16, 8 and 8 KiB).
class EraseOperationTest : public ::testing::Test {
protected:
    EraseOperationTest()
    {
        CTargetConnection connection(library, box, sim.ChannelText(), clock);
        EXPECT_TRUE(connection.ConnectTarget(&view));
        EXPECT_EQ(connection.Frames().FlashSetup(static_cast<uint8_t>(Device().programAlgorithm), 2,
                                                 0u - kDemoFlashSize, 0xFFFFFFFF, 0),
                  0);
        EXPECT_EQ(library.StreamBegin(kStreamProgram, 1), 0);
        const std::vector<uint8_t> zeros(0x8000, 0);
        EXPECT_EQ(library.StreamBlock(kDemoFlashBase, 0x8000, zeros.data()), 0);
        uint32_t failAddress = 0;
        EXPECT_EQ(library.StreamEnd(failAddress), 0);
        connection.DisconnectTarget();
        library.writes.clear();
        library.opens = 0;
    }

    static const SFlashDevice& Device() { return *CFlashCatalogue::FindFlashDevice(kDemoDevice); }

    template <class TOperation>
    void Prepare(TOperation& operation)
    {
        operation.flashDevice = kDemoDevice;
        operation.mainList = OneWrite(kDemoRamBase, 1);
        operation.preList = OneWrite(kDemoRamBase + 0x10, 0x11111111);
        operation.postList = OneWrite(kDemoRamBase + 0x20, 0x22222222);
        operation.flashBase = kDemoFlashBase;
        operation.busWidthBytes = 2;
        operation.banks = 1;
        operation.eraseMap.Resize(1, static_cast<int>(Device().sectorCount));
    }
    ETargetResult EraseSectors(CEraseSectorsOperation& erase, const std::string& selection)
    {
        Prepare(erase);
        return erase.Start([&selection](CEraseMap& map) {
            std::string error;
            return map.SetSelection(selection, error);
        });
    }
    uint8_t Flash(uint32_t offset) { return sim.Peek(kDemoFlashBase + offset, 1)[0]; }
    uint8_t Ram(uint32_t offset) { return sim.Peek(kDemoRamBase + offset, 1)[0]; }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : box.shown)
            texts.push_back(shown.caption + ": " + shown.text);
        return texts;
    }

    CSimFixture sim{CSimFixture::Tcp()};
    CRecordingLibrary library;
    CScriptedMessageBox box;
    CRecordingOperationView view;
    CManualClock clock{1};
};

TEST_F(EraseOperationTest, EraseAllErasesTheChipBetweenTheLists)
{
    ASSERT_EQ(Flash(0), 0x00);
    CEraseAllOperation erase(library, box, view, sim.ChannelText(), clock);
    Prepare(erase);
    EXPECT_EQ(erase.Start(), ETargetResult::Done) << view.LastStatus();
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(Flash(0), 0xFF);
    EXPECT_EQ(Flash(0x7FFF), 0xFF);
    EXPECT_EQ(Ram(0x10), 0x11);
    EXPECT_EQ(Ram(0x20), 0x22);
    EXPECT_NE(std::find(view.statuses.begin(), view.statuses.end(), "Erasing ..."), view.statuses.end());
    EXPECT_EQ(view.LastStatus(), "Memory successful erased !");
    EXPECT_FALSE(library.linkOpen);
    EXPECT_EQ(view.cursorDepth, 0);
}

TEST_F(EraseOperationTest, FailingPostListFailsAnEraseThatWorked)
{
    CEraseAllOperation erase(library, box, view, sim.ChannelText(), clock);
    Prepare(erase);
    erase.postList = OneWrite(0x10000000, 1);
    EXPECT_EQ(erase.Start(), ETargetResult::OperationFailed);
    EXPECT_EQ(Flash(0), 0xFF) << "the flash was erased";
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Error: Erasing error!"});
    EXPECT_FALSE(library.linkOpen);
}

TEST_F(EraseOperationTest, EraseSectorsErasesOnlyTheChosenSectors)
{
    CEraseSectorsOperation erase(library, box, view, sim.ChannelText(), clock);
    EXPECT_EQ(EraseSectors(erase, "0/1"), ETargetResult::Done) << view.LastStatus();
    const uint32_t sector1 = Device().SectorStart(1) * 1; // x16 device on a 16-bit bus: one lane
    const uint32_t sector2 = Device().SectorStart(2);
    EXPECT_EQ(Flash(sector1 - 1), 0x00);
    EXPECT_EQ(Flash(sector1), 0xFF);
    EXPECT_EQ(Flash(sector2 - 1), 0xFF);
    EXPECT_EQ(Flash(sector2), 0x00);
    EXPECT_TRUE(erase.eraseMap.IsSectorSelected(0, 1));
}

TEST_F(EraseOperationTest, SectorsErasedOneAfterTheOtherLeaveTheSectorBetweenThem)
{
    // Sector 0's reset and sector 2's unlock cycles go out in one batch
    // over the link; the simulated chip must take them as two sequences.
    CEraseSectorsOperation erase(library, box, view, sim.ChannelText(), clock);
    EXPECT_EQ(EraseSectors(erase, "0/0,0/2"), ETargetResult::Done) << view.LastStatus();
    const uint32_t sector1 = Device().SectorStart(1);
    const uint32_t sector2 = Device().SectorStart(2);
    EXPECT_EQ(Flash(0), 0xFF);
    EXPECT_EQ(Flash(sector1 - 1), 0xFF);
    EXPECT_EQ(Flash(sector1), 0x00);
    EXPECT_EQ(Flash(sector2 - 1), 0x00);
    EXPECT_EQ(Flash(sector2), 0xFF);
    EXPECT_EQ(Flash(sector2 + 0x1FFF), 0xFF);
    EXPECT_EQ(view.LastStatus(), "Memory successful erased !");
}

TEST_F(EraseOperationTest, EraseSectorsStopsSilentlyWithoutASelectionOrOnCancel)
{
    CEraseSectorsOperation erase(library, box, view, sim.ChannelText(), clock);
    Prepare(erase);
    EXPECT_EQ(erase.Start([](CEraseMap&) { return true; }), ETargetResult::NothingSelected);
    EXPECT_EQ(erase.Start([](CEraseMap& map) {
        map.SelectSector(0, 0, 1);
        return false;
    }),
              ETargetResult::Cancelled);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(library.opens, 0);
    EXPECT_EQ(Flash(0), 0x00);
}

TEST_F(EraseOperationTest, NoDeviceStopsBothCommandsBeforeAnyTraffic)
{
    CEraseAllOperation all(library, box, view, sim.ChannelText(), clock);
    CEraseSectorsOperation sectors(library, box, view, sim.ChannelText(), clock);
    Prepare(all);
    Prepare(sectors);
    all.flashDevice = sectors.flashDevice = "NONE";
    bool asked = false;
    EXPECT_EQ(all.Start(), ETargetResult::NoDevice);
    EXPECT_EQ(sectors.Start([&](CEraseMap&) { return asked = true; }), ETargetResult::NoDevice);
    EXPECT_FALSE(asked);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>(2, "Error: No valid memory device selected!"));
    EXPECT_EQ(library.opens, 0);
}

} // namespace
