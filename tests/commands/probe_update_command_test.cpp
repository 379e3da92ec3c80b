// The Firmware command: the dialog's model is filled from the project and
// its values go back on OK only.
#include "commands/probe_update_command.h"
#include "probe/link/link_library.h"
#include "project/qpg_doc.h"
#include "support/recording_operation_view.h"
#include "support/scripted_message_box.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

TEST(ProbeUpdateCommand, FillsTheModelAndStoresBackOnOkOnly)
{
    CTempDir programDir;
    WriteFileBytes(programDir.File("QX7ARMFW.120"), "");
    WriteFileBytes(programDir.File("ARMJED70.118"), "");
    CQpgDoc doc;
    doc.loaderChannel = 2;
    doc.loaderBaud = 3;
    doc.probeAddress = "10.1.2.3";
    doc.subnetMask = "255.255.0.0";
    doc.gateway = "10.1.0.1";
    const std::string channelText = doc.ChannelText();
    CLinkLibrary library;
    CRecordingOperationView view;
    CScriptedMessageBox box;

    CProbeUpdateCommand command(doc, library, view, box, programDir.Path().string());
    EXPECT_EQ(command.model.channel, 2);
    EXPECT_EQ(command.model.baud, 3);
    EXPECT_EQ(command.model.ipAddress, "10.1.2.3");
    EXPECT_EQ(command.model.subnetMask, "255.255.0.0");
    EXPECT_EQ(command.model.defaultGateway, "10.1.0.1");
    EXPECT_EQ(command.model.newestFirmware, 120) << "the dialog was opened";
    EXPECT_EQ(command.model.newestLogic, 118);
    EXPECT_EQ(command.model.LoaderChannelText(), "COM3 57600");

    command.model.subnetMask = "255.255.255.0";
    EXPECT_FALSE(command.StoreBack(false));
    EXPECT_EQ(doc.subnetMask, "255.255.0.0");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.ChannelText(), channelText);

    EXPECT_TRUE(command.StoreBack(true));
    EXPECT_EQ(doc.subnetMask, "255.255.255.0");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.ChannelText(), channelText) << "the project's own channel, not the loader port";
}

} // namespace
