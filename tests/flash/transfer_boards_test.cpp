// Every flash of the sample boards (one device per program algorithm code the
// catalogue uses) is programmed, verified and dumped through the transfers
// against the simulated board, and holds the bytes afterwards.
#include "flash/transfer.h"

#include "probe/target_connection.h"
#include "project/memory_image.h"
#include "support/manual_clock.h"
#include "support/scripted_message_box.h"
#include "project/code_list.h"
#include "catalogue/flash_catalogue.h"
#include "support/recording_library.h"
#include "support/sim_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace {

std::string ReadBoard(const std::string& name)
{
    std::ifstream in(std::string(TARVEL_TEST_DATA_DIR) + "/../../boards/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(TransferBoards, EveryProgramAlgorithmOfTheSampleBoardsProgramsVerifiesAndDumps)
{
    std::set<uint32_t> covered;
    for (const char* name : {"demo.board", "jedec.board", "intel.board", "onchip.board"}) {
        const std::string text = ReadBoard(name);
        ASSERT_FALSE(text.empty()) << name;
        CBoardFile file;
        std::string error;
        ASSERT_TRUE(CBoardFile::Parse(text, file, error)) << name << ": " << error;
        CSimFixture sim(text, CSimFixture::Tcp());
        uint32_t workspace = 0xFFFFFFFF;
        for (const auto& ram : file.rams)
            workspace = ram.base;
        for (const auto& flash : file.flashes) {
            SCOPED_TRACE(std::string(name) + ": " + flash.device);
            const SFlashDevice* device = CFlashCatalogue::FindFlashDevice(flash.device);
            ASSERT_NE(device, nullptr);
            SProgramTarget target;
            target.programAlgorithm = device->programAlgorithm;
            target.deviceWidth = device->deviceWidth;
            target.deviceSize = device->DeviceSizeBytes();
            target.pageSize = device->pageSize;
            target.busWidthBytes = flash.busBits / 8;
            target.flashBase = flash.base;
            target.workspace = workspace;

            CRecordingLibrary library;
            CScriptedMessageBox box;
            CRecordingOperationView view;
            CManualClock clock(1);
            CTargetConnection connection(library, box, sim.ChannelText(), clock);
            ASSERT_TRUE(connection.ConnectTarget(&view)) << view.LastStatus();
            if (flash.chipSelect.used) {
                CCodeList select;
                select.Add(CCodeItem(CCodeItem::Wm32, flash.chipSelect.address, flash.chipSelect.value, ""));
                ASSERT_TRUE(connection.RunInitList(select, &view)) << view.LastStatus();
            }
            // 600 bytes from base + 0x300: the first block is cut short for
            // every block size (64 to 1024), and later blocks cross 0x400.
            const uint32_t start = flash.base + 0x300;
            std::vector<uint8_t> bytes(600);
            for (size_t i = 0; i < bytes.size(); ++i)
                bytes[i] = static_cast<uint8_t>(i * 31 + device->programAlgorithm);
            CMemoryImage image;
            ASSERT_EQ(image.Open(flash.base), 0);
            ASSERT_EQ(image.WriteBlock(start, bytes.data(), 600), 0);
            CTransfer transfer(connection, image, view);
            const CMemoryRange range(start, 600, 1);
            ASSERT_TRUE(transfer.ProgramRange(range, target)) << view.LastStatus();
            EXPECT_EQ(sim.Peek(start, 600), bytes);
            EXPECT_TRUE(transfer.VerifyRange(range)) << view.LastStatus();
            image.Clear();
            EXPECT_TRUE(transfer.DumpRange(range)) << view.LastStatus();
            std::vector<uint8_t> dumped(600);
            image.ReadBlock(start, dumped.data(), 600);
            EXPECT_EQ(dumped, bytes);
            connection.DisconnectTarget();
            covered.insert(device->programAlgorithm);
        }
    }
    // Every program algorithm code that a catalogue row uses has a sample device.
    for (int i = 1; i < CFlashCatalogue::FlashDeviceCount(); ++i)
        EXPECT_EQ(covered.count(CFlashCatalogue::FlashDeviceAt(i)->programAlgorithm), 1u)
            << "no sample board for program algorithm " << CFlashCatalogue::FlashDeviceAt(i)->programAlgorithm
            << " (" << CFlashCatalogue::FlashDeviceAt(i)->name << ")";
}

} // namespace
