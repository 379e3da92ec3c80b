// Project files that are well formed but hold values no dialog would write:
// every index and width at 0xFFFF, bank counts of 0 and 17, a base address at
// the top of the address space. Each value is kept as read (the file saves
// back byte for byte), and every command ends in its message or a clamped
// view; none indexes a table or shifts by the value (the sanitizer build runs
// this).
#include "commands/checksum_command.h"
#include "commands/comm_setup_command.h"
#include "commands/dump_command.h"
#include "commands/edit_image_command.h"
#include "commands/erase_command.h"
#include "commands/fill_command.h"
#include "commands/probe_update_command.h"
#include "commands/program_command.h"
#include "commands/target_setup_command.h"
#include "commands/verify_command.h"
#include "probe/link/link_library.h"
#include "project/qpg_doc.h"
#include "report/pdf_report_canvas.h"
#include "report/report_content.h"
#include "report/report_layout.h"
#include "report/text_report_canvas.h"
#include "support/hostile_project_cases.h"
#include "support/recording_operation_view.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <vector>

namespace {

constexpr const char* kDevice = "AMD  Am29LV160MB (1M x 16)";
// Nothing listens here: a command that gets as far as connecting fails to.
constexpr const char* kNowhere = "NETWORK 127.0.0.1:1 1";

// The values a command may only read (the ranges, addresses and patterns the
// dialogs hand back are theirs to change).
std::vector<uint64_t> Kept(const CQpgDoc& d)
{
    return {static_cast<uint64_t>(d.targetBaud), static_cast<uint64_t>(d.targetChannel),
            static_cast<uint64_t>(d.loaderBaud), static_cast<uint64_t>(d.loaderChannel),
            static_cast<uint64_t>(d.fillUnit), static_cast<uint64_t>(d.checksumType),
            static_cast<uint64_t>(d.checksumDestType), static_cast<uint64_t>(d.editUnit),
            static_cast<uint64_t>(d.bankCount), static_cast<uint64_t>(d.busWidth), d.targetOptions,
            d.physicalRange.GetStart(), d.physicalRange.GetSize(), static_cast<uint64_t>(d.eraseMap.GetBanks()),
            static_cast<uint64_t>(d.eraseMap.GetSectors())};
}

class HostileProject : public ::testing::TestWithParam<SHostileCase> {
protected:
    HostileProject()
    {
        EXPECT_EQ(written.image.Open(0, dir.Path().string()), 0);
        written.memoryType = kDevice;
        written.busWidth = 1;
        written.physicalRange.Set(0x80000000, 0x200000, 1);
        written.programRange.Set(0x80000000, 0x100, 1);
        GetParam().set(written);
        file = written.SaveToBytes();
        EXPECT_EQ(doc.image.Open(0, dir.Path().string()), 0);
        std::string error;
        EXPECT_TRUE(doc.ReadFromBytes(file, error)) << error;
    }

    CTempDir dir;
    CQpgDoc written{false};
    CQpgDoc doc{false};
    std::vector<uint8_t> file;
    CLinkLibrary library;
    CScriptedMessageBox box;
    CRecordingOperationView view;
};

TEST_P(HostileProject, IsKeptAsReadAndEveryCommandEndsInItsMessageOrAClampedView)
{
    EXPECT_EQ(doc.SaveToBytes(), file) << "read and saved again, the file is what it was";
    const STargetContext context{library, box, view, kNowhere};

    // The image commands show units 0..2 only; the project keeps its value.
    CFillCommand fill(doc);
    EXPECT_GE(fill.model.UnitIndex(), 0);
    EXPECT_LE(fill.model.UnitIndex(), 2);
    fill.Fill(view, box);
    fill.StoreBack();
    CChecksumCommand checksum(doc);
    EXPECT_GE(checksum.model.SourceUnitIndex(), 0);
    EXPECT_LE(checksum.model.SourceUnitIndex(), 2);
    EXPECT_GE(checksum.model.DestUnitIndex(), 0);
    EXPECT_LE(checksum.model.DestUnitIndex(), 2);
    if (checksum.model.Calculate(view, box)) {
        EXPECT_EQ(checksum.model.ChecksumText().size(), 2u * (1u << checksum.model.DestUnitIndex()));
    }
    checksum.StoreBack();
    CEditImageCommand edit(doc);
    EXPECT_GE(edit.model.UnitIndex(), 0);
    EXPECT_LE(edit.model.UnitIndex(), 2);
    edit.StoreBack();
    EXPECT_EQ(doc.fillUnit, written.fillUnit);
    EXPECT_EQ(doc.checksumType, written.checksumType);
    EXPECT_EQ(doc.checksumDestType, written.checksumDestType);
    EXPECT_EQ(doc.editUnit, written.editUnit);

    // The target commands: refused with a box before the probe is touched,
    // or they get as far as the (absent) probe.
    box.shown.clear();
    CProgramCommand program(doc, context);
    EXPECT_EQ(program.Start(), GetParam().program);
    EXPECT_FALSE(box.shown.empty());
    CEraseCommand erase(doc, context);
    box.shown.clear();
    EXPECT_EQ(erase.EraseAll(), GetParam().erase);
    EXPECT_FALSE(box.shown.empty());
    CVerifyCommand verify(doc, context);
    verify.Start();
    CDumpCommand dump(doc, context);
    dump.Start();

    // The setup commands open on the values without indexing by them.
    CCommSetupCommand comm(doc, library, box);
    EXPECT_EQ(comm.settings.channel, doc.targetChannel);
    comm.StoreBack(false);
    CProbeUpdateCommand update(doc, library, view, box, dir.Path().string());
    update.StoreBack(false);
    CTargetSetupCommand setup(doc);
    EXPECT_LT(setup.setup.clockIndex, CTargetMemorySetup::kJtagClockCount);
    EXPECT_LT(setup.setup.cpuIndex, CTargetMemorySetup::kCpuTypeCount);
    EXPECT_EQ(Kept(doc), Kept(written)) << "no command changed an index, width or count it did not show";

    // The setup report names what it can and lays out every page; it only reads.
    const std::vector<uint8_t> before = doc.SaveToBytes();
    CReportLayout layout(CReportContent(doc, "hostile.tvl", "11.12.2026"));
    CPdfReportCanvas pdf;
    CTextReportCanvas text(pdf);
    EXPECT_GE(layout.PrintAll(text), 1);
    EXPECT_NE(text.Text().find("Target Memory Setup"), std::string::npos);
    EXPECT_TRUE(doc.SaveToBytes() == before);
}

INSTANTIATE_TEST_SUITE_P(Fields, HostileProject, ::testing::ValuesIn(kHostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
