// The command classes open from the project as a dialog would be filled, and
// hand their values back the way the document's command handlers do: only
// a change marks the project modified.
#include "commands/checksum_command.h"
#include "commands/comm_setup_command.h"
#include "commands/edit_image_command.h"
#include "commands/erase_command.h"
#include "commands/fill_command.h"
#include "commands/init_list_command.h"
#include "commands/load_command.h"
#include "commands/program_command.h"
#include "commands/store_command.h"
#include "commands/verify_command.h"
#include "probe/link/link_library.h"
#include "project/qpg_doc.h"
#include "support/recording_operation_view.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

constexpr const char* kDevice = "AMD  Am29LV160MB (1M x 16)";

class CommandsTest : public ::testing::Test {
protected:
    CommandsTest()
    {
        EXPECT_EQ(doc.image.Open(0, dir.Path().string()), 0);
        doc.memoryType = kDevice;
        doc.busWidth = 1;
        doc.physicalRange.Set(0x80000000, 0x200000, 1);
        doc.image.SetBase(0x80000000);
        doc.SetModifiedFlag(false);
    }

    CTempDir dir;
    CQpgDoc doc{false};
    CScriptedMessageBox box;
    CRecordingOperationView view;
};

TEST_F(CommandsTest, ImageCommandsOpenWithTheProjectsValuesAndStoreBackOnlyChanges)
{
    doc.fillRange.Set(0x80000010, 0x20, 1);
    doc.fillPattern = 0x1234;
    doc.fillUnit = 1;
    {
        CFillCommand fill(doc);
        EXPECT_EQ(fill.model.Range(), doc.fillRange);
        EXPECT_EQ(fill.model.PatternValue(), 0x1234u);
        EXPECT_EQ(fill.model.UnitIndex(), 1);
        EXPECT_FALSE(fill.StoreBack());
        EXPECT_FALSE(doc.IsModified());
        ASSERT_TRUE(fill.Fill(view, box));
        EXPECT_EQ(doc.image.ReadByte(0x80000010), 0x34);
        fill.model.SetPattern(0xBEEF);
        EXPECT_TRUE(fill.StoreBack());
        EXPECT_EQ(doc.fillPattern, 0xBEEFu);
        EXPECT_TRUE(doc.IsModified());
    }
    doc.SetModifiedFlag(false);
    doc.checksumRange.Set(0x80000010, 0x20, 1);
    doc.checksumDest = 0x80000100;
    doc.checksumType = 1;
    doc.checksumDestType = 2;
    {
        CChecksumCommand checksum(doc);
        EXPECT_EQ(checksum.model.SourceUnitIndex(), 1);
        EXPECT_EQ(checksum.model.DestUnitIndex(), 2);
        EXPECT_EQ(checksum.model.dest.Value(), 0x80000100u);
        EXPECT_FALSE(checksum.StoreBack());
        EXPECT_FALSE(doc.IsModified());
    }
    doc.storeFileName = dir.File("out.s19");
    {
        CStoreCommand store(doc);
        EXPECT_EQ(store.model.fileName, doc.storeFileName);
        EXPECT_TRUE(store.Store(view, box)) << view.LastStatus();
    }
    doc.editUnit = 2;
    doc.editAddress = 0x80000010;
    {
        CEditImageCommand edit(doc);
        EXPECT_EQ(edit.model.UnitIndex(), 2);
        EXPECT_EQ(edit.model.CurrentAddress(), 0x80000010u);
        doc.SetModifiedFlag(false);
        EXPECT_FALSE(edit.StoreBack());
    }
}

TEST_F(CommandsTest, LoadTakesTheProjectsFileAndStoresBackWhatWasUsed)
{
    std::ofstream(dir.File("fw.s19")) << "S1070000AABBCCDDEA\n";
    doc.loadFileName = dir.File("fw.s19");
    doc.loadOffset = 0x80000000;
    CLoadCommand load(doc);
    EXPECT_EQ(load.model.fileName, doc.loadFileName);
    EXPECT_EQ(load.model.offset.Value(), 0x80000000u);
    load.model.offset.SetValue(0x80000100);
    load.Load(view, box);
    EXPECT_EQ(doc.image.ReadByte(0x80000100), 0xAA);
    EXPECT_TRUE(load.StoreBack());
    EXPECT_EQ(doc.loadOffset, 0x80000100u);
}

TEST_F(CommandsTest, TargetCommandsTakeTheProjectsDescription)
{
    CLinkLibrary library;
    doc.programRange.Set(0x80000000, 0x100, 1);
    doc.preProgramList.Add(CCodeItem(CCodeItem::Delay, 0, 1, ""));
    doc.workspace = 0x40000000;
    doc.useTargetAlgorithm = false;
    doc.targetOptions = 0x00010203;
    {
        CProgramCommand program(doc, STargetContext{library, box, view, "NETWORK 127.0.0.1:1 1"});
        EXPECT_EQ(program.operation.range, doc.programRange);
        EXPECT_EQ(program.operation.physical, doc.physicalRange);
        EXPECT_EQ(program.operation.flashDevice, kDevice);
        EXPECT_EQ(program.operation.flashBase, 0x80000000u);
        EXPECT_EQ(program.operation.busWidthBytes, 2u);
        EXPECT_EQ(program.operation.targetOptions, 0x00010203u);
        EXPECT_TRUE(program.operation.preList == doc.preProgramList);
        // No workspace while the target algorithm is off.
        EXPECT_EQ(program.operation.workspace, 0xFFFFFFFFu);
        program.operation.range.Set(0x80000000, 0x80, 1);
        EXPECT_TRUE(program.StoreBack());
        EXPECT_EQ(doc.programRange.GetSize(), 0x80u);
    }
    doc.useTargetAlgorithm = true;
    CProgramCommand program(doc, STargetContext{library, box, view});
    EXPECT_EQ(program.operation.workspace, 0x40000000u);

    // A range outside the physical range is refused before anything is sent.
    CVerifyCommand verify(doc, STargetContext{library, box, view, "NETWORK 127.0.0.1:1 1"});
    verify.operation.range.Set(0x70000000, 0x10, 1);
    EXPECT_EQ(verify.Start(), ETargetResult::InvalidRange);
}

TEST_F(CommandsTest, EraseMapAndInitListsGoBackOnlyWhenChanged)
{
    CLinkLibrary library;
    doc.eraseMap.Resize(1, 35);
    doc.eraseMap.ClearModified();
    CEraseCommand erase(doc, STargetContext{library, box, view});
    EXPECT_FALSE(erase.StoreBack());
    EXPECT_FALSE(doc.IsModified());
    std::string error;
    ASSERT_TRUE(erase.eraseMap.SetSelection("0/3", error)) << error;
    EXPECT_TRUE(erase.StoreBack());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.eraseMap.CountSelected(), 1);

    doc.SetModifiedFlag(false);
    CInitListCommand list(doc, CQpgDoc::MainList);
    std::string errors;
    EXPECT_FALSE(list.Import("not an entry\n", errors));
    EXPECT_FALSE(errors.empty());
    EXPECT_EQ(list.list.GetCount(), 0u);
    EXPECT_FALSE(list.StoreBack());
    EXPECT_FALSE(doc.IsModified());

    CCommSetupCommand comm(doc, library, box);
    EXPECT_EQ(comm.settings.channel, doc.targetChannel);
    comm.settings.channel = 4;
    comm.settings.ipAddress = "10.1.2.3";
    EXPECT_FALSE(comm.StoreBack(false));
    EXPECT_NE(doc.targetChannel, 4);
    EXPECT_TRUE(comm.StoreBack(true));
    EXPECT_EQ(doc.ChannelText(), "NETWORK 10.1.2.3 1");
}

} // namespace
