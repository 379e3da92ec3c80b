// Every link fault the simulated probe offers, against every button of the
// probe's update dialog (Connect, Current, Update, Transmit, OK), driven
// through the Firmware command as the desktop front end drives it. The fault
// hits the middle request of the button (a clean run counts them); Update is
// also hit in the middle of its firmware records and where it leaves logic
// access. For each: the operation fails with the dialog's own message (or,
// where the dialog retries by design or the reply hit is one the protocol
// does not examine, succeeds with the probe as it should be), no call waits
// past its timeout, the project is unchanged, the link is closed once the
// dialog is left, and once a passing fault is over the same button succeeds:
// an update broken off halfway and done again leaves the probe exactly as
// the files say, with a firmware that starts.

#include "commands/probe_update_command.h"
#include "probe/maintenance/firmware_image.h"
#include "probe/maintenance/logic_programmer.h"
#include "probe/maintenance/network_setup_record.h"
#include "project/qpg_doc.h"
#include "sim/sim_probe_images.h"
#include "support/fault_cycle.h"
#include "support/firmware_area.h"
#include "support/recording_operation_view.h"
#include "support/scripted_message_box.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

namespace {

using fault_cycle::CTimedLibrary;
using fault_cycle::kMarginMs;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kNewFirmware = 114; // the probe starts with 113
constexpr uint16_t kNewLogic = 113;    // and 112
constexpr uint32_t kFirmwareStart = firmware_area::kStart;
constexpr uint32_t kFirmwareSize = firmware_area::kSize;
// Later than every timeout of the requests a fault can hit here (loader
// query, probe memory, logic, start: 1 s at most; the 10 s sector erase is
// never hit), and short enough to keep the suite quick.
constexpr uint32_t kLateMs = 1500;

enum class EButton { Connect, Current, Update, Transmit, Ok };

struct SLinkFault {
    const char* name;
    std::function<void(SSimFaults&, uint32_t)> arm; // at request n
    bool passes;                                    // over after one request
};

const std::vector<SLinkFault>& LinkFaults()
{
    static const std::vector<SLinkFault> faults = {
        {"refused connection", [](SSimFaults& f, uint32_t) { f.refuseConnection = true; }, false},
        {"dropped reply", [](SSimFaults& f, uint32_t n) { f.dropReplyTo = n; }, true},
        {"late reply", [](SSimFaults& f, uint32_t n) { f.delayReplyTo = n; f.delayMs = kLateMs; }, true},
        {"wrong reply", [](SSimFaults& f, uint32_t n) { f.wrongEchoTo = n; }, true},
        {"over-long reply", [](SSimFaults& f, uint32_t n) { f.wrongLengthTo = n; }, true},
        {"link cut mid-stream", [](SSimFaults& f, uint32_t n) { f.cutAt = n; }, true},
        {"probe stops answering", [](SSimFaults& f, uint32_t n) { f.silentFrom = n; }, false},
    };
    return faults;
}

// What a button shows when it fails: its box and its last status line.
struct SFailureTexts {
    std::vector<std::string> boxes;
    std::string status;
};
SFailureTexts FailureTexts(EButton button)
{
    switch (button) {
    case EButton::Connect: return {{"Cannot connect to QDX loader!"}, "Connecting to QDX7000 loader failed!"};
    case EButton::Current: return {{"Communication with QDX failed!"}, "Reading current versions failed!"};
    case EButton::Update:
        // The firmware's box, or the one a logic step or the closing query shows.
        return {{"Firmware update failed!", "Communication with QDX failed!"}, "Updating firmware and logic failed!"};
    case EButton::Transmit: return {{"Transfer failed!"}, "Writing setup data failed!"};
    case EButton::Ok: return {};
    }
    return {};
}

struct SOutcome {
    bool done = false;
    std::string message; // the last box and the last status line
};

// One simulated probe on the network, a project, and the Firmware command's
// dialog opened on them as the front end opens it.
class CRig {
public:
    CRig(const CTempDir& programDir, const SSimFaults& faults) : sim(kBoard, CSimFixture::Tcp(faults)), programDir_(programDir)
    {
        doc.loaderChannel = 1;
        doc.loaderBaud = 3;
        doc.probeAddress = "192.168.1.10";
        doc.subnetMask = "255.255.255.0";
        doc.gateway = "192.168.1.1";
        OpenDialog();
    }

    void OpenDialog()
    {
        dialog = std::make_unique<CProbeUpdateCommand>(doc, library, view, box, programDir_.Path().string());
        dialog->model.channelOverride = sim.ChannelText();
    }
    // Leaves the dialog (OK or Cancel) as the front end does: the button,
    // then the values back into the project.
    void LeaveDialog(bool accepted)
    {
        EXPECT_TRUE(dialog->model.Finish(accepted));
        dialog->StoreBack(accepted);
    }

    SOutcome Press(EButton button)
    {
        box.shown.clear();
        view.statuses.clear();
        CUpdateSetupModel& model = dialog->model;
        SOutcome outcome;
        switch (button) {
        case EButton::Connect: outcome.done = model.Connect(); break;
        case EButton::Current: outcome.done = model.Current(); break;
        case EButton::Update: outcome.done = model.Update(); break;
        case EButton::Transmit: outcome.done = model.Transmit(); break;
        case EButton::Ok:
            outcome.done = model.Finish(true);
            dialog->StoreBack(true);
            break;
        }
        outcome.message = box.shown.empty() ? "" : box.shown.back().text;
        std::string why;
        for (const std::string& status : view.statuses)
            if (!status.empty())
                why = status;
        if (!why.empty())
            outcome.message += (outcome.message.empty() ? "" : " / ") + why;
        return outcome;
    }

    Bytes Flash(uint32_t address, size_t length)
    {
        auto lock = sim.Link().LockProbe();
        Bytes bytes;
        EXPECT_TRUE(sim.Probe().Loader().ReadFlash(address, length, bytes));
        return bytes;
    }
    // The probe holds firmware and logic exactly as the program directory's
    // files say, and its loader will start that firmware.
    void ExpectUpdated()
    {
        auto lock = sim.Link().LockProbe();
        const CSimLoader& loader = sim.Probe().Loader();
        Bytes area;
        ASSERT_TRUE(loader.ReadFlash(kFirmwareStart, kFirmwareSize, area));
        EXPECT_TRUE(area == firmware_area::Expected(kNewFirmware)) << "the firmware area holds the image";
        EXPECT_TRUE(loader.FirmwareStartable());
        for (int row = 0; row < CSimLoader::kRows; ++row)
            ASSERT_EQ(loader.LogicRow(row), CSimProbeImages::FuseRow(kNewLogic, row)) << "row " << row;
        EXPECT_EQ(loader.LogicUes(), CLogicProgrammer::SignatureBits(CLogicProgrammer::SignatureText(kNewLogic)));
        EXPECT_FALSE(loader.LogicAccessOpen());
    }
    bool LoaderRunning()
    {
        auto lock = sim.Link().LockProbe();
        return sim.Probe().LoaderRunning();
    }

    static constexpr const char* kBoard = "ram 0x40000000 4K\n";
    CSimFixture sim;
    CQpgDoc doc{false};
    CTimedLibrary library; // after the probe: closes its link before the probe stops
    CRecordingOperationView view;
    CScriptedMessageBox box;
    std::unique_ptr<CProbeUpdateCommand> dialog;

private:
    const CTempDir& programDir_;
};

class MaintenanceFaultInjection : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override
    {
        WriteFileBytes(programDir.File("QX7ARMFW." + std::to_string(kNewFirmware)),
                       CSimProbeImages::FirmwareImage(kNewFirmware));
        WriteFileBytes(programDir.File("ARMJED70." + std::to_string(kNewLogic)), CSimProbeImages::JedecFile(kNewLogic));
    }

    CTempDir programDir;
};

// Where in a button's requests the fault is armed.
enum class EPoint {
    Middle,         // the middle request of the button (for Update: the write of a logic row)
    FirmwareRecord, // Update only: the write of the middle record of the firmware image
    LeaveLogic,     // Update only: leaving logic access after the logic was verified
};
struct SCase {
    EButton button;
    EPoint point;
    const char* name;
};
const SCase kCases[] = {
    {EButton::Connect, EPoint::Middle, "connect"},
    {EButton::Current, EPoint::Middle, "current"},
    {EButton::Update, EPoint::FirmwareRecord, "update (firmware record)"},
    {EButton::Update, EPoint::Middle, "update (middle: logic row)"},
    {EButton::Update, EPoint::LeaveLogic, "update (leaving logic access)"},
    {EButton::Transmit, EPoint::Middle, "transmit"},
    {EButton::Ok, EPoint::Middle, "finish (OK)"},
};

size_t FirmwareRecords()
{
    CFirmwareImage image;
    EXPECT_EQ(image.ReadText(CSimProbeImages::FirmwareImage(kNewFirmware)), CFirmwareImage::EResult::Ok);
    return image.Blocks().size();
}

TEST_P(MaintenanceFaultInjection, FailsCleanlyAndTheProbeRecovers)
{
    const SLinkFault& fault = LinkFaults()[GetParam()];
    for (const SCase& c : kCases) {
        SCOPED_TRACE(std::string(fault.name) + " / " + c.name);
        const EButton button = c.button;
        const bool needsConnection = button != EButton::Connect && button != EButton::Ok;
        // Where the button's requests lie: a clean run counts them.
        uint32_t before = 0, after = 0;
        {
            CRig clean(programDir, {});
            ASSERT_TRUE(clean.sim.Ok()) << clean.sim.Error();
            if (button != EButton::Connect) {
                ASSERT_TRUE(clean.Press(EButton::Connect).done);
            }
            before = clean.sim.RequestsReceived();
            const SOutcome outcome = clean.Press(button);
            ASSERT_TRUE(outcome.done) << outcome.message;
            after = clean.sim.RequestsReceived();
        }
        ASSERT_GT(after, before);
        uint32_t at = before + 1 + (after - before) / 2;
        // Whether the reply of the request hit is one the loader protocol
        // does not examine (a logic row write, leaving logic access): a
        // spoilt reply to it is harmless.
        bool unexamined = false;
        if (button == EButton::Update) {
            // The read of the image's top byte (the probe can hold it), four
            // sector erases, the records, the start marker; logic access,
            // device code, erase, the rows, the signature; the rows and the
            // signature read back; leaving logic access; the closing query.
            const uint32_t records = static_cast<uint32_t>(FirmwareRecords());
            const uint32_t firstRow = before + 1 + 4 + records + 1 + 3 + 1;
            const uint32_t leaveLogic = firstRow + 2 * (CSimLoader::kRows + 1);
            ASSERT_EQ(after, leaveLogic + 1);
            if (c.point == EPoint::FirmwareRecord) {
                at = before + 1 + 4 + 1 + records / 2;
            } else if (c.point == EPoint::LeaveLogic) {
                at = leaveLogic;
                unexamined = true;
            } else {
                ASSERT_GE(at, firstRow);
                ASSERT_LT(at, firstRow + CSimLoader::kRows);
                unexamined = true;
            }
        }
        SSimFaults faults;
        fault.arm(faults, at);
        const bool spoilt = faults.wrongEchoTo != 0 || faults.wrongLengthTo != 0;

        CRig rig(programDir, faults);
        ASSERT_TRUE(rig.sim.Ok()) << rig.sim.Error();
        const std::vector<uint8_t> project = rig.doc.SaveToBytes();
        CUpdateSetupModel* model = &rig.dialog->model;
        if (button != EButton::Connect) {
            const SOutcome connect = rig.Press(EButton::Connect);
            ASSERT_EQ(connect.done, !faults.refuseConnection) << connect.message;
        }

        if (needsConnection && !model->Connected()) {
            // No probe to reach: the front end keeps the button disabled.
            const bool enabled = button == EButton::Current    ? model->CurrentEnabled()
                                 : button == EButton::Update   ? model->UpdateEnabled()
                                                               : model->TransmitEnabled();
            std::printf("| %s | %s | disabled (no connection) | - | %ld |\n", fault.name, c.name,
                        rig.library.worstOverrunMs);
            EXPECT_FALSE(enabled);
            EXPECT_FALSE(rig.library.link.IsOpen());
            rig.LeaveDialog(false);
            EXPECT_TRUE(rig.doc.SaveToBytes() == project);
            continue;
        }
        const Bytes setupBefore = rig.Flash(CNetworkSetupRecord::kAddress, CNetworkSetupRecord::kSize);
        const uint16_t firmwareShown = model->firmwareVersion;

        const SOutcome outcome = rig.Press(button);
        // Connect tries twice, so a fault that passes is over by the second
        // attempt; OK ends the dialog whatever the start's reply said.
        const bool succeeds = (button == EButton::Connect && fault.passes) || button == EButton::Ok ||
                              (unexamined && spoilt);
        const char* shown = !outcome.done                 ? "failed"
                            : button == EButton::Ok       ? "dialog ended"
                            : button == EButton::Connect  ? "done (second attempt)"
                                                          : "done (reply not examined; verified)";
        std::printf("| %s | %s | %s | %s | %ld |\n", fault.name, c.name, shown, outcome.message.c_str(),
                    rig.library.worstOverrunMs);

        EXPECT_EQ(outcome.done, succeeds) << outcome.message;
        EXPECT_LE(rig.library.worstOverrunMs, kMarginMs) << rig.library.worstCall;
        EXPECT_EQ(rig.view.cursorDepth, 0);
        if (!outcome.done) {
            const SFailureTexts texts = FailureTexts(button);
            // One box; a logic step's failure may be followed by that of
            // leaving logic access, which shows the same text.
            ASSERT_FALSE(rig.box.shown.empty()) << outcome.message;
            for (const auto& box : rig.box.shown)
                EXPECT_NE(std::find(texts.boxes.begin(), texts.boxes.end(), box.text), texts.boxes.end()) << box.text;
            EXPECT_EQ(rig.view.Status(), texts.status);
        } else if (button != EButton::Ok) {
            EXPECT_TRUE(rig.box.shown.empty()) << outcome.message;
        }
        switch (button) {
        case EButton::Connect:
            EXPECT_EQ(rig.library.link.IsOpen(), outcome.done) << "a failed connect closes the link";
            if (outcome.done) {
                EXPECT_EQ(model->loaderVersion, 105);
                EXPECT_EQ(model->firmwareVersion, 113);
                EXPECT_EQ(model->serialNumber, "1234560001");
            }
            break;
        case EButton::Current:
            EXPECT_EQ(model->firmwareVersion, firmwareShown) << "the values shown stay";
            break;
        case EButton::Update:
            if (outcome.done) {
                rig.ExpectUpdated();
            } else {
                EXPECT_EQ(model->firmwareVersion, 0) << "a failed update shows the versions unknown";
                EXPECT_EQ(model->logicVersion, 0);
                // It can be repeated: at once, or after connecting again
                // when the loader no longer answered (the link was lost).
                EXPECT_NE(model->UpdateEnabled(), model->ConnectEnabled()) << "and can be repeated";
            }
            break;
        case EButton::Transmit: {
            // A failed transmit may leave the sector erased, never a record
            // other than the old one or the one it meant to write.
            const Bytes setup = rig.Flash(CNetworkSetupRecord::kAddress, CNetworkSetupRecord::kSize);
            const CNetworkSetupRecord::Bytes meant =
                CNetworkSetupRecord::Build("1234560001", rig.doc.probeAddress, rig.doc.subnetMask, rig.doc.gateway);
            EXPECT_TRUE(setup == setupBefore || setup == Bytes(setup.size(), 0xFF) ||
                        setup == Bytes(meant.begin(), meant.end()));
            break;
        }
        case EButton::Ok:
            EXPECT_FALSE(rig.library.link.IsOpen());
            EXPECT_TRUE(model->ConnectEnabled());
            break;
        }
        const bool again = fault.passes && !outcome.done;
        if (!again || !rig.library.link.IsOpen()) {
            // The dialog is left (Cancel) with the link closed and the project
            // as it was.
            if (button != EButton::Ok)
                rig.LeaveDialog(false);
            EXPECT_FALSE(rig.library.link.IsOpen()) << "the dialog is left with its link closed";
            EXPECT_TRUE(rig.doc.SaveToBytes() == project) << "the project is unchanged";
            EXPECT_FALSE(rig.doc.IsModified());
            EXPECT_LE(rig.library.worstOverrunMs, kMarginMs) << rig.library.worstCall;
            if (!fault.passes)
                continue;
            // A new dialog, as the user opens it once the link is back.
            rig.OpenDialog();
            model = &rig.dialog->model;
            if (button != EButton::Connect) {
                ASSERT_TRUE(rig.Press(EButton::Connect).done);
            }
        } else if (faults.delayReplyTo != 0) {
            // The same dialog, still connected, once the late reply has come.
            std::this_thread::sleep_for(std::chrono::milliseconds(kLateMs));
        }

        // The fault is over: the same button succeeds (an update that went
        // through all but its last steps may have left nothing to update).
        if (button == EButton::Update && !model->UpdateEnabled()) {
            EXPECT_EQ(model->firmwareVersion, kNewFirmware);
        } else if (again || button == EButton::Ok) {
            const SOutcome retry = rig.Press(button);
            EXPECT_TRUE(retry.done) << retry.message;
            EXPECT_TRUE(rig.box.shown.empty()) << retry.message;
        }
        if (button == EButton::Update) {
            EXPECT_EQ(model->firmwareVersion, kNewFirmware);
            EXPECT_EQ(model->logicVersion, kNewLogic);
            rig.ExpectUpdated();
        }
        if (button == EButton::Transmit) {
            const CNetworkSetupRecord::Bytes meant =
                CNetworkSetupRecord::Build("1234560001", rig.doc.probeAddress, rig.doc.subnetMask, rig.doc.gateway);
            EXPECT_TRUE(rig.Flash(CNetworkSetupRecord::kAddress, CNetworkSetupRecord::kSize) ==
                        Bytes(meant.begin(), meant.end()));
        }
        if (model->Connected())
            rig.LeaveDialog(true);
        EXPECT_FALSE(rig.library.link.IsOpen());
        EXPECT_FALSE(rig.LoaderRunning()) << "OK started the firmware";
        EXPECT_TRUE(rig.doc.SaveToBytes() == project);
        EXPECT_LE(rig.library.worstOverrunMs, kMarginMs) << rig.library.worstCall;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLinkFault, MaintenanceFaultInjection, ::testing::Range<size_t>(0, LinkFaults().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             std::string name = LinkFaults()[info.param].name;
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
