#include "flash/erase_all_operation.h"
#include "flash/erase_sectors_operation.h"

#include "probe/target_connection.h"
#include "support/manual_clock.h"
#include "support/scripted_message_box.h"
#include "catalogue/flash_catalogue.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"
#include "support/relay_probe_library.h"

#include <algorithm>

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
    ETargetResult EraseSectorsKeepingMap(CEraseSectorsOperation& erase, const std::string& selection)
    {
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

TEST_F(EraseOperationTest, AMapWiderThanTheProjectIsChosenCountedAndErasedClipped)
{
    // A map read from a file: 4 banks of 40 sectors for a project of one bank
    // of this device (35 sectors), with only sectors beyond that selected.
    CEraseSectorsOperation erase(library, box, view, sim.ChannelText(), clock);
    Prepare(erase);
    erase.eraseMap.Resize(4, 40);
    erase.eraseMap.SelectSector(3, 0, 1);
    erase.eraseMap.SelectSector(0, 38, 1);
    erase.eraseMap.ClearModified();
    int shownBanks = -1, shownSectors = -1;
    const auto confirmAsShown = [&](CEraseMap& map) {
        map.GetSize(shownBanks, shownSectors);
        return true;
    };
    EXPECT_EQ(erase.Start(confirmAsShown), ETargetResult::NothingSelected);
    EXPECT_EQ(shownBanks, 1);
    EXPECT_EQ(shownSectors, static_cast<int>(Device().sectorCount));
    EXPECT_EQ(view.LastStatus(), "No sector selected: nothing was erased.");
    EXPECT_EQ(library.opens, 0);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_FALSE(erase.eraseMap.IsModified());

    // Choosing a real sector erases it alone; the rest of the wide map is kept.
    EXPECT_EQ(EraseSectorsKeepingMap(erase, "0/1"), ETargetResult::Done) << view.LastStatus();
    EXPECT_EQ(view.LastStatus(), "Memory successful erased !");
    EXPECT_EQ(Flash(Device().SectorStart(1)), 0xFF);
    EXPECT_EQ(Flash(0), 0x00);
    EXPECT_EQ(erase.eraseMap.GetBanks(), 4);
    EXPECT_TRUE(erase.eraseMap.IsSectorSelected(0, 1));
    EXPECT_TRUE(erase.eraseMap.IsSectorSelected(0, 38)) << "beyond the device: kept as read";
    EXPECT_TRUE(erase.eraseMap.IsSectorSelected(3, 0)) << "beyond the project's banks: kept as read";

    // A sector beyond the project cannot be chosen.
    std::string error;
    EXPECT_EQ(erase.Start([&error](CEraseMap& map) { return map.SetSelection("3/0", error); }),
              ETargetResult::Cancelled);
    EXPECT_EQ(error, "sector 3/0 lies outside the erase map (1 bank of 35 sectors)");
}

TEST_F(EraseOperationTest, AFailedReadGivesItsWholeCauseInTheBoxDetails)
{
    // The poll's reads time out: the status line holds the cause, and so do
    // the box's details, whole.
    class CReadsTimeOut final : public CRelayProbeLibrary {
    public:
        using CRelayProbeLibrary::CRelayProbeLibrary;
        int TargetRead8(uint32_t, uint8_t&) override { return kStatusTimeout; }
        int TargetRead16(uint32_t, uint16_t&) override { return kStatusTimeout; }
        int TargetRead32(uint32_t, uint32_t&) override { return kStatusTimeout; }
    } failing(library);
    CEraseSectorsOperation erase(failing, box, view, sim.ChannelText(), clock);
    erase.deviceCheck = EDeviceCheck::Off; // its reads would time out first
    EXPECT_EQ(EraseSectors(erase, "0/1"), ETargetResult::OperationFailed);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Erasing error!");
    const std::string& details = box.shown[0].details;
    EXPECT_NE(details.find(", reading at address 0x80004000: The probe did not answer in time"), std::string::npos)
        << details;
    EXPECT_NE(std::find(view.statuses.begin(), view.statuses.end(), details), view.statuses.end());
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
