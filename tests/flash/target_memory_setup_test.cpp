// The target memory setup rules: what the controls become for each kind of
// device, the checks of OK with their messages, and what OK does to the project.
#include "project/qpg_doc.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"
#include "catalogue/flash_catalogue.h"
#include "flash/target_memory_setup.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using CSetup = CTargetMemorySetup;

int Row(const char* name)
{
    const int row = CFlashCatalogue::FlashDeviceIndex(CFlashCatalogue::FindFlashDevice(name));
    EXPECT_GT(row, 0) << name;
    return row;
}

// A dialog opened on a new project's record, with no list file written.
CSetup OpenNew()
{
    CSetup setup{CSetup::SRecord()};
    setup.Open("");
    return setup;
}

const CScriptedMessageBox::Shown* Only(const CScriptedMessageBox& box)
{
    EXPECT_EQ(box.shown.size(), 1u);
    return box.shown.empty() ? nullptr : &box.shown[0];
}

} // namespace

TEST(TargetMemorySetup, NewProjectOpensWithTheDefaultsAndWritesTheDeviceList)
{
    CTempDir dir(true);
    CSetup setup{CSetup::SRecord()};
    EXPECT_TRUE(setup.Open());
    EXPECT_EQ(setup.memoryIndex, 0);
    EXPECT_EQ(setup.BusWidth(), 1);
    EXPECT_EQ(setup.banksText, "1");
    EXPECT_EQ(setup.baseField.text, "00000000");
    EXPECT_EQ(setup.workspaceField.text, "00000000");
    EXPECT_EQ(setup.cpuIndex, 0);
    EXPECT_STREQ(CSetup::kCpuTypes[setup.cpuIndex], "ARM7TDMI");
    EXPECT_STREQ(CSetup::kJtagClocks[setup.clockIndex], "8 MHz");
    EXPECT_FALSE(setup.bigEndianChecked);
    EXPECT_FALSE(setup.enabled.targetAlgorithm);
    EXPECT_FALSE(setup.targetAlgorithmChecked);
    EXPECT_FALSE(setup.enabled.workspace);
    EXPECT_FALSE(setup.enabled.option);
    EXPECT_TRUE(setup.enabled.bus8 && setup.enabled.bus16 && setup.enabled.bus32);

    // "memList.txt": every catalogue name from row 0, one a line, exactly.
    std::istringstream list(ReadFileBytes(dir.File("memList.txt")));
    std::vector<std::string> lines;
    for (std::string line; std::getline(list, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), static_cast<size_t>(CFlashCatalogue::FlashDeviceCount()));
    EXPECT_EQ(lines[0], "NONE");
    EXPECT_EQ(lines[74], "AMD  Am29LV160BB (1M x 16)");

    // A list file that cannot be written: the dialog goes on without it.
    CSetup other{CSetup::SRecord()};
    EXPECT_FALSE(other.Open(dir.File("no-such-dir/memList.txt")));
    EXPECT_EQ(other.banksText, "1");
}

TEST(TargetMemorySetup, OpeningSelectsTheFirstEntryThatBeginsWithTheTypeIgnoringCase)
{
    EXPECT_EQ(CSetup::ListEntryFor("AMD  Am29LV160BB (1M x 16)"), 74);
    EXPECT_EQ(CSetup::ListEntryFor("amd  am29lv160bb (1m x 16)"), 74);
    EXPECT_EQ(CSetup::ListEntryFor("AMD  Am29LV160BB"), 73); // the (2M x 8) form comes first
    EXPECT_EQ(CSetup::ListEntryFor("Flash 3000"), 0);
    EXPECT_EQ(CSetup::ListEntryFor("NONE"), 0);
}

TEST(TargetMemorySetup, ControlsFollowTheDevicesProgramAlgorithm)
{
    struct SCase {
        const char* device;
        int startBus; // bus width before the device is chosen
        int bus;
        bool base, banks, bus8, bus16, bus32;
        bool algorithmEnabled, algorithmChecked, workspace;
    };
    const SCase cases[] = {
        // any other code, decided by the device width
        {"AMD  Am29F010", 2, 2, true, true, true, true, true, true, false, false},              // x8, code 2
        {"AMD  Am29LV160BB (1M x 16)", 0, 1, true, true, false, true, true, true, false, false}, // x16 from 8 bit
        {"AMD  Am29LV160BB (1M x 16)", 2, 2, true, true, false, true, true, true, false, false}, // x16 keeps 32
        {"AMD  Am29PL320DT (1M x 32)", 0, 2, true, true, false, false, true, true, false, false},
        {"Atmel  AT29C020", 1, 1, true, true, true, true, true, false, true, true},   // 27: algorithm required
        {"Atmel  AT29C1024", 0, 1, true, true, false, true, true, false, true, true}, // 28
        // fixed by the code
        {"MAC71x6 Program Flash (1M)", 0, 2, true, false, false, false, false, true, false, false}, // 40
        {"MAC7100 Data Flash (32K)", 0, 1, true, false, false, false, false, true, false, false},   // 41
        {"LPC2000 Flash (128K)", 2, 0, false, false, false, false, false, false, true, true},       // 42
        {"STA2051 Flash (256K)", 0, 2, true, false, false, false, false, true, false, false},       // 43
        {"ADuC7000 Flash", 2, 1, true, false, false, false, false, true, false, false},             // 44
        {"AT91SAM7S32 Flash", 1, 2, true, false, false, false, false, false, false, false},         // 46
        {"STR91xF Flash (32K)", 0, 1, true, false, false, false, false, true, false, false},        // 49
        {"NONE", 1, 1, true, true, true, true, true, false, false, false},
    };
    for (const SCase& c : cases) {
        CSetup::SRecord record;
        record.busWidth = c.startBus;
        record.baseAddress = 0x10000000;
        CSetup setup(record);
        setup.Open("");
        CScriptedMessageBox box;
        setup.SelectMemoryType(CSetup::ListEntryFor(c.device), box);
        SCOPED_TRACE(c.device);
        EXPECT_EQ(setup.Record().memoryType, c.device);
        EXPECT_EQ(setup.BusWidth(), c.bus);
        EXPECT_EQ(setup.enabled.baseAddress, c.base);
        EXPECT_EQ(setup.enabled.banks, c.banks);
        EXPECT_EQ(setup.enabled.bus8, c.bus8);
        EXPECT_EQ(setup.enabled.bus16, c.bus16);
        EXPECT_EQ(setup.enabled.bus32, c.bus32);
        EXPECT_EQ(setup.enabled.targetAlgorithm, c.algorithmEnabled);
        EXPECT_EQ(setup.targetAlgorithmChecked, c.algorithmChecked);
        EXPECT_EQ(setup.enabled.workspace, c.workspace);
        EXPECT_FALSE(setup.enabled.option);
    }
}

TEST(TargetMemorySetup, Lpc2000FixesBaseAndBusAndItsWorkspaceMustNotOverlap)
{
    CSetup setup = OpenNew();
    setup.baseField.SetValue(0x08000000);
    setup.banksText = "1";
    CScriptedMessageBox box;
    setup.SelectMemoryType(Row("LPC2000 Flash (128K)"), box);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(setup.BusWidth(), 0);
    EXPECT_EQ(setup.baseField.text, "00000000");
    EXPECT_FALSE(setup.enabled.baseAddress);
    EXPECT_FALSE(setup.enabled.banks);
    EXPECT_TRUE(setup.targetAlgorithmChecked);
    EXPECT_TRUE(setup.enabled.workspace);

    // Workspace 0 lies in the flash array, which starts at 0.
    EXPECT_FALSE(setup.Confirm(box));
    const auto* shown = Only(box);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text, "Current flash array overlaps with QDX workspace.\nPlease select another QDX workspace.");
    EXPECT_EQ(shown->caption, "Error");
    EXPECT_EQ(shown->icon, EMsgIcon::Stop);

    box.shown.clear();
    setup.workspaceField.SetValue(0x40000000);
    EXPECT_TRUE(setup.Confirm(box));
    EXPECT_TRUE(box.shown.empty());
}

TEST(TargetMemorySetup, Mac7100DataFlashSetsSixteenBitAndRemindsOfCfmclkd)
{
    CSetup setup = OpenNew();
    CScriptedMessageBox box;
    setup.SelectMemoryType(Row("MAC7100 Data Flash (32K)"), box);
    EXPECT_EQ(setup.BusWidth(), 1);
    const auto* shown = Only(box);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text, "Don't forget to setup CFMCLKD via an init list entry !");
    EXPECT_EQ(shown->caption, "");
    EXPECT_EQ(shown->icon, EMsgIcon::Information);
}

TEST(TargetMemorySetup, NumberOfBanksMustBeAnIntegerFromOneToSixteen)
{
    const struct {
        const char* text;
        const char* message; // nullptr: accepted
    } cases[] = {
        {"17", "Please enter an integer between 1 and 16."},
        {"0", "Please enter an integer between 1 and 16."},
        {"4294967296", "Please enter a positive integer."},
        {"-1", "Please enter a positive integer."},
        {"2x", "Please enter a positive integer."},
        {"", "Please enter a positive integer."},
        {" 16 ", nullptr},
        {"1", nullptr},
    };
    for (const auto& c : cases) {
        CSetup setup = OpenNew();
        CScriptedMessageBox box;
        setup.SelectMemoryType(Row("AMD  Am29F010"), box);
        setup.banksText = c.text;
        const bool ok = setup.Confirm(box);
        EXPECT_EQ(ok, c.message == nullptr) << '"' << c.text << '"';
        if (c.message) {
            const auto* shown = Only(box);
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->text, c.message);
            EXPECT_EQ(shown->icon, EMsgIcon::Exclamation);
        }
    }
}

TEST(TargetMemorySetup, FlashArrayMustFitBelowTheTopOfTheAddressSpace)
{
    // One 128 KiB x8 device on an 8-bit bus.
    const struct {
        uint32_t base;
        const char* banks;
        const char* message;
    } cases[] = {
        {0xFFFF0000, "1", "Out of maximum memory address !\n (Endaddress > 0xFFFFFFFF)"},
        {0xFFFE0000, "1", nullptr},
        {0xFFFE0000, "2", "Out of maximum memory address !\n (Endaddress > 0xFFFFFFFF)"},
        {0xFFFC0000, "2", nullptr},
    };
    for (const auto& c : cases) {
        CSetup setup = OpenNew();
        CScriptedMessageBox box;
        setup.SelectMemoryType(Row("AMD  Am29F010"), box);
        setup.SelectBusWidth(0);
        setup.baseField.SetValue(c.base);
        setup.banksText = c.banks;
        EXPECT_EQ(setup.Confirm(box), c.message == nullptr) << std::hex << c.base;
        if (c.message) {
            const auto* shown = Only(box);
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->text, c.message);
            EXPECT_EQ(shown->caption, "Invalid Input");
        } else {
            EXPECT_EQ(setup.Record().baseAddress, c.base);
        }
    }
}

TEST(TargetMemorySetup, WorkspaceMayTouchTheFlashArrayButNotOverlapIt)
{
    // 128 KiB at 0x10000 on an 8-bit bus; the target algorithm needs 2048 bytes.
    const struct {
        uint32_t base;
        uint32_t workspace;
        bool overlaps;
    } cases[] = {
        {0x10000, 0x10000 - 2048, false},    // ends exactly where the array begins
        {0x10000, 0x10000 - 2047, true},     // one byte more
        {0x10000, 0x30000, false},           // begins where the array ends
        {0x10000, 0x2FFFF, true},
        {0xFFFE0000, 0xFFFFFC00, true},      // runs past the top: no wrap-around hides it
        {0xFFFE0000, 0xFFFDF800, false},
    };
    for (const auto& c : cases) {
        CSetup setup = OpenNew();
        CScriptedMessageBox box;
        setup.SelectMemoryType(Row("AMD  Am29F010"), box);
        setup.SelectBusWidth(0);
        setup.SetTargetAlgorithm(true, box);
        EXPECT_TRUE(setup.enabled.workspace);
        setup.baseField.SetValue(c.base);
        setup.workspaceField.SetValue(c.workspace);
        EXPECT_EQ(setup.Confirm(box), !c.overlaps) << std::hex << c.workspace;
        EXPECT_EQ(box.shown.size(), c.overlaps ? 1u : 0u) << std::hex << c.workspace;
    }

    // Without the target algorithm there is no workspace to check.
    CSetup setup = OpenNew();
    CScriptedMessageBox box;
    setup.SelectMemoryType(Row("AMD  Am29F010"), box);
    setup.workspaceField.SetValue(0);
    EXPECT_TRUE(setup.Confirm(box));
}

TEST(TargetMemorySetup, OkPutsTheSetupIntoTheProject)
{
    CTempDir dir(true);
    CQpgDoc doc;
    doc.eraseMap.Resize(1, 3);
    CSetup setup(CSetup::RecordOf(doc));
    setup.Open("");
    CScriptedMessageBox box;
    setup.SelectMemoryType(Row("AMD  Am29LV160BB (1M x 16)"), box);
    setup.baseField.SetValue(0x08000000);
    setup.banksText = "2";
    setup.cpuIndex = 13;
    setup.clockIndex = 0;
    setup.bigEndianChecked = true;
    ASSERT_TRUE(setup.Confirm(box));
    setup.ApplyTo(doc);

    EXPECT_EQ(doc.memoryType, "AMD  Am29LV160BB (1M x 16)");
    EXPECT_EQ(doc.busWidth, 1);
    EXPECT_EQ(doc.bankCount, 2);
    EXPECT_EQ(doc.targetOptions, 0x00010D00u);
    EXPECT_EQ(doc.physicalRange, CMemoryRange(0x08000000, 0x00400000, 1)); // 2 MiB x 2 banks
    EXPECT_EQ(doc.image.GetBase(), 0x08000000u);
    EXPECT_EQ(doc.eraseMap.GetBanks(), 2);
    EXPECT_EQ(doc.eraseMap.GetSectors(), 35);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(doc.IsCommandEnabled(CQpgDoc::ECommand::Erase));

    // Back to "NONE": base and options are stored, the flash range keeps its
    // size and the erase map its dimensions.
    CSetup none(CSetup::RecordOf(doc));
    none.Open("");
    none.SelectMemoryType(0, box);
    none.baseField.SetValue(0x20000000);
    ASSERT_TRUE(none.Confirm(box));
    doc.SetModifiedFlag(false);
    none.ApplyTo(doc);
    EXPECT_EQ(doc.memoryType, "NONE");
    EXPECT_EQ(doc.physicalRange, CMemoryRange(0x20000000, 0x00400000, 1));
    EXPECT_EQ(doc.eraseMap.GetBanks(), 2);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(box.shown.empty());
}

TEST(TargetMemorySetup, FailedReadingKeepsThePreviousMemoryType)
{
    CSetup setup = OpenNew();
    CScriptedMessageBox box;
    setup.banksText = "99";
    setup.SelectMemoryType(Row("AMD  Am29F010"), box);
    const auto* shown = Only(box);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text, "Please enter an integer between 1 and 16.\n\n"
                           "\"AMD  Am29F010\" was not taken: the memory type stays \"NONE\".");
    EXPECT_EQ(setup.memoryIndex, 0);
    EXPECT_EQ(setup.Record().memoryType, "NONE");
    EXPECT_EQ(setup.banksText, "1"); // the copy is shown again
}
