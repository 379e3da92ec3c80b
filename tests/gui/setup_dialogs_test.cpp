// The Setup menu's dialogs driven as a person does: Target Memory Setup,
// Communication Setup with its link test, and the probe update dialog
// against the simulated probe; checked by what reaches the project and the
// boxes shown.
#include "catalogue/flash_catalogue.h"
#include "commands/comm_setup_command.h"
#include "commands/target_setup_command.h"
#include "common/settings.h"
#include "gui/dialogs/comm_setup_dialog.h"
#include "gui/dialogs/probe_update_dialog.h"
#include "gui/dialogs/target_setup_dialog.h"
#include "gui/gui_test_support.h"
#include "commands/probe_update_command.h"
#include "probe/channel_text.h"
#include "probe/link/link_library.h"
#include "project/qpg_doc.h"
#include "sim/sim_probe_images.h"
#include "support/scripted_message_box.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool Enabled(QWidget* window, const char* name)
{
    return Child<QWidget>(window, name)->isEnabled();
}
bool Checked(QWidget* window, const char* name)
{
    return Child<QAbstractButton>(window, name)->isChecked();
}

// ---- Target Memory Setup ------------------------------------------------------------

class TargetSetupDialog : public ::testing::Test {
protected:
    std::unique_ptr<CTargetSetupDialog> Open()
    {
        command = std::make_unique<CTargetSetupCommand>(doc);
        auto dialog = std::make_unique<CTargetSetupDialog>(*command, SDialogServices{&box, nullptr});
        dialog->beep = [this] { ++beeps; };
        ShowForTest(dialog.get());
        return dialog;
    }
    // Chooses a device in "Memory Type:" as the keyboard does: typing its name.
    static void ChooseDevice(QWidget* dialog, const char* name)
    {
        auto* memory = Child<QComboBox>(dialog, "memoryTypeCombo");
        const int row = memory->findText(QString::fromLatin1(name));
        ASSERT_GE(row, 0) << name;
        memory->setFocus();
        memory->setCurrentIndex(row); // what a pick from the drop-down list does
    }

    CQpgDoc doc{false};
    CScriptedMessageBox box;
    std::unique_ptr<CTargetSetupCommand> command;
    int beeps = 0;
};

TEST_F(TargetSetupDialog, ANewProjectOpensWithItsDefaults)
{
    auto dialog = Open();
    QWidget* d = dialog.get();
    EXPECT_EQ(Child<QComboBox>(d, "memoryTypeCombo")->currentText(), "NONE");
    EXPECT_EQ(Child<QComboBox>(d, "memoryTypeCombo")->count(), CFlashCatalogue::FlashDeviceCount());
    EXPECT_TRUE(Checked(d, "bus16Radio"));
    EXPECT_EQ(Text(d, "banksEdit"), "1");
    EXPECT_EQ(Text(d, "baseEdit"), "00000000");
    EXPECT_EQ(Text(d, "workspaceEdit"), "00000000");
    EXPECT_EQ(Child<QComboBox>(d, "cpuTypeCombo")->currentText(), "ARM7TDMI");
    EXPECT_EQ(Child<QComboBox>(d, "jtagClockCombo")->currentText(), "8 MHz");
    EXPECT_FALSE(Checked(d, "bigEndianCheck"));
    EXPECT_FALSE(Enabled(d, "targetAlgorithmCheck"));
    EXPECT_FALSE(Checked(d, "targetAlgorithmCheck"));
    EXPECT_FALSE(Enabled(d, "workspaceEdit"));
    EXPECT_FALSE(Enabled(d, "optionButton"));
}

TEST_F(TargetSetupDialog, AnLpc2000DeviceNeedsAWorkspaceOutsideItsArray)
{
    auto dialog = Open();
    QWidget* d = dialog.get();
    ChooseDevice(d, "LPC2000 Flash (128K)");
    EXPECT_TRUE(Checked(d, "bus8Radio"));
    EXPECT_FALSE(Enabled(d, "bus16Radio"));
    EXPECT_FALSE(Enabled(d, "baseEdit"));
    EXPECT_EQ(Text(d, "baseEdit"), "00000000");
    EXPECT_FALSE(Enabled(d, "banksEdit"));
    EXPECT_FALSE(Enabled(d, "targetAlgorithmCheck"));
    EXPECT_TRUE(Checked(d, "targetAlgorithmCheck"));
    EXPECT_TRUE(Enabled(d, "workspaceEdit"));

    Click(d, "okButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Current flash array overlaps with QDX workspace.\nPlease select another QDX workspace.");
    EXPECT_EQ(box.shown[0].caption, "Error");
    EXPECT_TRUE(d->isVisible());

    Type(d, "workspaceEdit", "40000000");
    Click(d, "okButton");
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(box.shown.size(), 1u);
    EXPECT_TRUE(command->StoreBack());
    EXPECT_EQ(doc.memoryType, "LPC2000 Flash (128K)");
    EXPECT_EQ(doc.workspace, 0x40000000u);
    EXPECT_TRUE(doc.useTargetAlgorithm);
    EXPECT_EQ(doc.physicalRange.GetSize(), 128u * 1024u);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(TargetSetupDialog, AMac7100DeviceBeepsAndRemindsOfCfmclkd)
{
    auto dialog = Open();
    ChooseDevice(dialog.get(), "MAC7100 Data Flash (32K)");
    EXPECT_TRUE(Checked(dialog.get(), "bus16Radio"));
    EXPECT_TRUE(box.shown.empty()) << "not while the list may still be moving";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !box.shown.empty(); }, 5000));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Don't forget to setup CFMCLKD via an init list entry !");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Information);
    EXPECT_EQ(beeps, 1);
}

TEST_F(TargetSetupDialog, TypeAheadRemindsOnceWhenTheTypingPauses)
{
    auto dialog = Open();
    auto* memory = Child<QComboBox>(dialog.get(), "memoryTypeCombo");
    memory->setFocus();
    // "M" already stops on "MAC71x6 Program Flash (1M)", which wants the
    // reminder; the word goes on to the data flash.
    QTest::keyClicks(memory, "MAC7100");
    EXPECT_EQ(memory->currentText(), "MAC7100 Data Flash (32K)");
    EXPECT_TRUE(box.shown.empty()) << "not in the middle of the word: " << box.shown[0].text;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !box.shown.empty(); }, 5000));
    QTest::qWait(dialog->ReminderTimer().interval() + 100);
    EXPECT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(beeps, 1);
}

TEST_F(TargetSetupDialog, AnOnChipDeviceHasOneBank)
{
    doc.memoryType = "AMD  Am29F010";
    doc.bankCount = 3;
    auto dialog = Open();
    QWidget* d = dialog.get();
    EXPECT_EQ(Text(d, "banksEdit"), "3");
    ChooseDevice(d, "MAC7100 Data Flash (32K)");
    EXPECT_FALSE(Enabled(d, "banksEdit"));
    EXPECT_EQ(Text(d, "banksEdit"), "1");
    dialog->ReminderTimer().stop();
    Click(d, "okButton");
    ASSERT_FALSE(d->isVisible());
    EXPECT_TRUE(command->StoreBack());
    EXPECT_EQ(doc.bankCount, 1);
    EXPECT_EQ(doc.eraseMap.GetBanks(), 1);
    EXPECT_EQ(doc.physicalRange.GetSize(), 32u * 1024u);

    // A project saved with 3 banks of an on-chip device opens with 1.
    doc.bankCount = 3;
    dialog.reset();
    dialog = Open();
    EXPECT_EQ(Text(dialog.get(), "banksEdit"), "1");
}

TEST_F(TargetSetupDialog, ARefusedDeviceSaysTheChoiceWasUndone)
{
    doc.memoryType = "AMD  Am29F010";
    doc.busWidth = 0;
    doc.physicalRange.SetStart(0xFFFE0000);
    auto dialog = Open();
    ChooseDevice(dialog.get(), "AMD  Am29LV160BB (1M x 16)");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Out of maximum memory address !\n (Endaddress > 0xFFFFFFFF)\n\n"
                                 "\"AMD  Am29LV160BB (1M x 16)\" was not taken: the memory type stays "
                                 "\"AMD  Am29F010\".");
    EXPECT_EQ(Child<QComboBox>(dialog.get(), "memoryTypeCombo")->currentText(), "AMD  Am29F010");
}

TEST_F(TargetSetupDialog, RefusesABankCountOutside1To16)
{
    for (const char* banks : {"0", "17"}) {
        box.shown.clear();
        auto dialog = Open();
        Type(dialog.get(), "banksEdit", banks);
        Click(dialog.get(), "okButton");
        ASSERT_EQ(box.shown.size(), 1u) << banks;
        EXPECT_EQ(box.shown[0].text, "Please enter an integer between 1 and 16.");
        EXPECT_TRUE(dialog->isVisible());
        Click(dialog.get(), "cancelButton");
        EXPECT_FALSE(command->StoreBack());
        EXPECT_FALSE(doc.IsModified());
    }
}

TEST_F(TargetSetupDialog, AWorkspaceMayEndWhereTheArrayBeginsAndOkSizesRangeAndEraseMap)
{
    const struct {
        const char* workspace;
        bool overlaps;
    } cases[] = {{"0000F801", true}, {"0000F800", false}};
    for (const auto& c : cases) {
        box.shown.clear();
        auto dialog = Open();
        QWidget* d = dialog.get();
        ChooseDevice(d, "AMD  Am29F010");
        Click(d, "bus8Radio");
        Type(d, "banksEdit", "2");
        Click(d, "targetAlgorithmCheck");
        EXPECT_TRUE(Enabled(d, "workspaceEdit"));
        Type(d, "baseEdit", "10000");
        Type(d, "workspaceEdit", c.workspace);
        Click(d, "okButton");
        EXPECT_EQ(d->isVisible(), c.overlaps) << c.workspace;
        EXPECT_EQ(box.shown.size(), c.overlaps ? 1u : 0u) << c.workspace;
        if (c.overlaps)
            continue;
        ASSERT_TRUE(command->StoreBack());
        EXPECT_EQ(doc.physicalRange.GetStart(), 0x10000u);
        EXPECT_EQ(doc.physicalRange.GetSize(), 2u * 128u * 1024u);
        EXPECT_EQ(doc.image.GetBase(), 0x10000u);
        EXPECT_EQ(doc.eraseMap.GetBanks(), 2);
        EXPECT_EQ(doc.busWidth, 0);
        EXPECT_EQ(doc.workspace, 0xF800u);
    }
}

// ---- Communication Setup -------------------------------------------------------------

// A loopback port on which nothing listens.
uint16_t ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

class CommSetupDialog : public ::testing::Test {
protected:
    std::unique_ptr<CCommSetupDialog> Open(uint16_t probePort)
    {
        settings.SetInt(ESetting::ProbePort, probePort);
        library = std::make_unique<CLinkLibrary>(settings);
        command = std::make_unique<CCommSetupCommand>(doc, *library, box);
        auto dialog = std::make_unique<CCommSetupDialog>(*command, SDialogServices{&box, nullptr});
        ShowForTest(dialog.get());
        return dialog;
    }

    CQpgDoc doc{false};
    CScriptedMessageBox box;
    CSettings settings;
    std::unique_ptr<CLinkLibrary> library;
    std::unique_ptr<CCommSetupCommand> command;
};

TEST_F(CommSetupDialog, RefusesAnInvalidIpAddressForTheNetwork)
{
    auto dialog = Open(ClosedPort());
    Click(dialog.get(), "networkRadio");
    Type(dialog.get(), "ipEdit", "192.168.1.256");
    Click(dialog.get(), "okButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Invalid IP address!");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Exclamation);
    EXPECT_TRUE(dialog->isVisible());

    Type(dialog.get(), "ipEdit", "192.168.1.25");
    Click(dialog.get(), "okButton");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_TRUE(command->StoreBack(true));
    EXPECT_EQ(doc.targetChannel, 4);
    EXPECT_EQ(doc.probeAddress, "192.168.1.25");
    EXPECT_EQ(doc.ChannelText(), "NETWORK 192.168.1.25 1");
    EXPECT_EQ(GetChannelText(), "NETWORK 192.168.1.25 1");
}

TEST_F(CommSetupDialog, TestPassesAgainstTheSimulatedProbeAndStoresNothing)
{
    CSimFixture sim("ram 0x40000000 4K\n", CSimFixture::Tcp());
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    auto dialog = Open(sim.Port());
    Click(dialog.get(), "networkRadio");
    Type(dialog.get(), "ipEdit", "127.0.0.1");
    Click(dialog.get(), "testButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Link to QDX successful tested!");
    EXPECT_EQ(box.shown[0].caption, "Communication Test");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Information);

    // Cancel: the project keeps its channel, and so does the link.
    Click(dialog.get(), "cancelButton");
    EXPECT_FALSE(command->StoreBack(false));
    EXPECT_EQ(doc.targetChannel, 0);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(GetChannelText(), doc.ChannelText());
}

TEST_F(CommSetupDialog, TestFailsWithTheLinksErrorWhenNothingListens)
{
    auto dialog = Open(ClosedPort());
    Click(dialog.get(), "networkRadio");
    Type(dialog.get(), "ipEdit", "127.0.0.1");
    Click(dialog.get(), "testButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text.rfind("Link test failed with error -", 0), 0u) << box.shown[0].text;
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Exclamation);
    EXPECT_TRUE(dialog->isVisible());
}

// ---- QDX7000 Update/Setup ------------------------------------------------------------

class ProbeUpdateDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Firmware 114 and logic 113 on disk; the probe holds 113 and 112.
        WriteFileBytes(dir.File("QX7ARMFW.114"), CSimProbeImages::FirmwareImage(114));
        WriteFileBytes(dir.File("ARMJED70.113"), CSimProbeImages::JedecFile(113));
        sim = std::make_unique<CSimFixture>("ram 0x40000000 4K\n", CSimFixture::Tcp());
        ASSERT_TRUE(sim->Ok()) << sim->Error();
        doc.probeAddress = "192.168.1.10";
        doc.subnetMask = "255.255.255.0";
        doc.gateway = "192.168.1.1";
        dialog = std::make_unique<CProbeUpdateDialog>(doc, library, dir.Path().string(),
                                                      SDialogServices{&box, nullptr});
        // The loader is reached on the simulator's port instead of a serial line.
        dialog->Command().model.channelOverride = sim->ChannelText();
        ShowForTest(dialog.get());
    }
    std::string Buttons() const
    {
        std::string states;
        for (const char* name : {"connectButton", "currentButton", "updateButton", "transmitButton"})
            states += Enabled(dialog.get(), name) ? '1' : '0';
        return states;
    }

    CTempDir dir;
    CQpgDoc doc{false};
    CScriptedMessageBox box;
    std::unique_ptr<CSimFixture> sim;
    CLinkLibrary library;
    std::unique_ptr<CProbeUpdateDialog> dialog;
};

TEST_F(ProbeUpdateDialog, ConnectsUpdatesAndTransmits)
{
    QWidget* d = dialog.get();
    EXPECT_EQ(Buttons(), "1000");
    EXPECT_EQ(Text(d, "firmwareNewestLabel"), "1.14");
    EXPECT_EQ(Text(d, "logicNewestLabel"), "1.13");
    EXPECT_EQ(Text(d, "firmwareCurrentLabel"), "unknown");
    EXPECT_EQ(Text(d, "serialLabel"), "");

    Click(d, "connectButton");
    EXPECT_EQ(Text(d, "statusLine"), "Connecting to QDX7000 Loader passed!");
    EXPECT_EQ(Text(d, "serialLabel"), "1234560001");
    EXPECT_EQ(Text(d, "macLabel"), "0A4D17123456");
    EXPECT_EQ(Text(d, "loaderCurrentLabel"), "1.05");
    EXPECT_EQ(Text(d, "firmwareCurrentLabel"), "1.13");
    EXPECT_EQ(Buttons(), "0111");

    Click(d, "updateButton");
    EXPECT_EQ(Text(d, "statusLine"), "Updating firmware and logic passed!");
    EXPECT_EQ(Text(d, "firmwareCurrentLabel"), "1.14");
    EXPECT_EQ(Text(d, "logicCurrentLabel"), "1.13");
    EXPECT_EQ(Child<QProgressBar>(d, "progressBar")->value(), 100);
    EXPECT_EQ(Buttons(), "0101");

    Click(d, "transmitButton");
    EXPECT_EQ(Text(d, "statusLine"), "Writing setup data passed");
    EXPECT_TRUE(box.shown.empty()) << box.shown[0].text;

    Type(d, "subnetMaskEdit", "255.255.0.0");
    Click(d, "okButton");
    EXPECT_FALSE(d->isVisible());
    EXPECT_TRUE(dialog->Command().StoreBack(true));
    EXPECT_EQ(doc.subnetMask, "255.255.0.0");
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(ProbeUpdateDialog, AfterALostLinkConnectCanBeUsedAgain)
{
    QWidget* d = dialog.get();
    Click(d, "connectButton");
    ASSERT_EQ(Buttons(), "0111");
    sim.reset(); // the probe goes away
    Click(d, "currentButton");
    ASSERT_FALSE(box.shown.empty());
    EXPECT_EQ(box.shown[0].text, "Communication with QDX failed!");
    EXPECT_EQ(Text(d, "statusLine"), "Reading current versions failed!");
    EXPECT_EQ(Buttons(), "1000");

    box.shown.clear();
    Click(d, "connectButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Cannot connect to QDX loader!");
    EXPECT_EQ(Buttons(), "1000");
}

TEST_F(ProbeUpdateDialog, EnterAfterTypingAnIpAddressStartsNoUpdate)
{
    QWidget* d = dialog.get();
    Click(d, "connectButton");
    ASSERT_EQ(Buttons(), "0111") << "an update is offered";
    Type(d, "ipEdit", "192.168.1.20");
    QTest::keyClick(Child<QLineEdit>(d, "ipEdit"), Qt::Key_Return);
    // Enter is Ok's: the dialog ends with the address, the probe keeps its firmware.
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(Text(d, "statusLine"), "Starting firmware please wait....");
    {
        auto lock = sim->Link().LockProbe();
        EXPECT_EQ(sim->Probe().Loader().FirmwareVersion(), 113);
    }
    EXPECT_TRUE(dialog->Command().StoreBack(true));
    EXPECT_EQ(doc.probeAddress, "192.168.1.20");
}

TEST_F(ProbeUpdateDialog, InputDuringAnUpdateIsDroppedNotQueued)
{
    QWidget* d = dialog.get();
    Click(d, "connectButton");
    ASSERT_EQ(Buttons(), "0111");
    Type(d, "subnetMaskEdit", "abc"); // Transmit would refuse it with a box
    // Clicks on Cancel and Transmit and an Escape, pressed while the update
    // runs: they wait in the event queue as a person's input does.
    int during = 0;
    std::vector<bool> enabledDuring;
    QObject::connect(dialog.get(), &CProbeUpdateDialog::busyChanged, d, [&](bool busy) {
        if (!busy)
            return;
        ++during;
        for (const char* name : {"cancelButton", "transmitButton", "okButton", "ipEdit", "com2Radio"})
            enabledDuring.push_back(Enabled(d, name));
        for (const char* name : {"cancelButton", "transmitButton"}) {
            QWidget* button = Child<QWidget>(d, name);
            const QPointF at = QRectF(button->rect()).center();
            for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QCoreApplication::postEvent(button, new QMouseEvent(type, at, button->mapToGlobal(at), Qt::LeftButton,
                                                                     type == QEvent::MouseButtonPress ? Qt::LeftButton
                                                                                                      : Qt::NoButton,
                                                                     Qt::NoModifier));
        }
        QCoreApplication::postEvent(d, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    Click(d, "updateButton");
    QCoreApplication::processEvents(); // anything still queued comes through now
    EXPECT_EQ(during, 1);
    EXPECT_EQ(enabledDuring, std::vector<bool>(5, false));
    EXPECT_TRUE(d->isVisible()) << "Cancel and Escape were dropped";
    EXPECT_EQ(Text(d, "statusLine"), "Updating firmware and logic passed!") << "Transmit did not run afterwards";
    EXPECT_TRUE(box.shown.empty()) << box.shown[0].text;
    EXPECT_EQ(Child<QProgressBar>(d, "progressBar")->value(), 100);
    EXPECT_EQ(Buttons(), "0101");
    EXPECT_TRUE(Enabled(d, "cancelButton"));
}

TEST_F(ProbeUpdateDialog, AFailedConnectForgetsTheProbeShownBeforeAndResetsTheBar)
{
    QWidget* d = dialog.get();
    Click(d, "connectButton");
    Click(d, "updateButton");
    ASSERT_EQ(Child<QProgressBar>(d, "progressBar")->value(), 100);
    sim.reset(); // the probe goes away
    Click(d, "currentButton"); // finds the link lost
    ASSERT_EQ(Buttons(), "1000");
    box.shown.clear();
    Click(d, "connectButton");
    EXPECT_EQ(Text(d, "statusLine"), "Connecting to QDX7000 loader failed!");
    EXPECT_EQ(Child<QProgressBar>(d, "progressBar")->value(), 0);
    for (const char* name : {"serialLabel", "macLabel"})
        EXPECT_EQ(Text(d, name), "") << name;
    for (const char* name : {"loaderCurrentLabel", "firmwareCurrentLabel", "logicCurrentLabel"})
        EXPECT_EQ(Text(d, name), "unknown") << name;
}

TEST_F(ProbeUpdateDialog, TransmitRefusesAnInvalidMaskBeforeWriting)
{
    QWidget* d = dialog.get();
    Click(d, "connectButton");
    Type(d, "subnetMaskEdit", "abc");
    Click(d, "transmitButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Invalid subnet mask!");
    EXPECT_EQ(Text(d, "statusLine"), "Connecting to QDX7000 Loader passed!");
    EXPECT_EQ(Buttons(), "0111");
}

TEST_F(ProbeUpdateDialog, AnInvalidIpAddressStopsEveryButton)
{
    Type(dialog.get(), "ipEdit", "0.0.0.0");
    Click(dialog.get(), "connectButton");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Invalid IP address!");
    EXPECT_EQ(Buttons(), "1000");
    Click(dialog.get(), "okButton");
    EXPECT_TRUE(dialog->isVisible());
    Click(dialog.get(), "cancelButton");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(dialog->Command().StoreBack(false));
    EXPECT_EQ(doc.probeAddress, "192.168.1.10");
}

} // namespace
