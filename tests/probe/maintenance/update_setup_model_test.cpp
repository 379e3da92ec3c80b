// The update dialog's model against the simulated probe: connect to the
// loader, update firmware and logic from the files in a program directory,
// transmit the network setup, and every failure on the way.

#include "probe/maintenance/firmware_image.h"
#include "probe/maintenance/jedec_file.h"
#include "probe/link/link_library.h"
#include "probe/maintenance/logic_programmer.h"
#include "probe/maintenance/network_setup.h"
#include "probe/probe_frames.h"
#include "probe/probe_status.h"
#include "probe/maintenance/update_setup_model.h"
#include "sim/sim_probe_images.h"
#include "support/firmware_area.h"
#include "support/recording_operation_view.h"
#include "support/scripted_message_box.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kFirmwareStart = firmware_area::kStart;
constexpr uint32_t kFirmwareSize = firmware_area::kSize;

class UpdateSetup : public ::testing::Test {
protected:
    // Program directory with firmware 114 and logic 113 (the probe starts
    // with 113 and 112).
    void SetUp() override
    {
        WriteFirmware(114);
        WriteLogic("ARMJED70", 113);
    }

    void WriteFirmware(uint16_t version, const std::string& text = "")
    {
        WriteFileBytes(dir.File("QX7ARMFW." + std::to_string(version)),
                       text.empty() ? CSimProbeImages::FirmwareImage(version) : text);
    }
    void WriteLogic(const std::string& family, uint16_t version, const std::string& text = "")
    {
        WriteFileBytes(dir.File(family + "." + std::to_string(version)),
                       text.empty() ? CSimProbeImages::JedecFile(version) : text);
    }

    void Start(const CSimFixture::SOptions& options = CSimFixture::Tcp())
    {
        sim = std::make_unique<CSimFixture>("ram 0x40000000 4K\n", options);
        ASSERT_TRUE(sim->Ok()) << sim->Error();
        model = std::make_unique<CUpdateSetupModel>(library, view, box, dir.Path().string());
        model->channelOverride = sim->ChannelText();
        model->ipAddress = "192.168.1.10";
        model->subnetMask = "255.255.255.0";
        model->defaultGateway = "192.168.1.1";
        model->Open();
    }

    Bytes Flash(uint32_t address, size_t length)
    {
        auto lock = sim->Link().LockProbe();
        Bytes bytes;
        EXPECT_TRUE(sim->Probe().Loader().ReadFlash(address, length, bytes));
        return bytes;
    }
    bool Startable()
    {
        auto lock = sim->Link().LockProbe();
        return sim->Probe().Loader().FirmwareStartable();
    }
    std::string Row(int row)
    {
        auto lock = sim->Link().LockProbe();
        return sim->Probe().Loader().LogicRow(row);
    }
    std::string Ues()
    {
        auto lock = sim->Link().LockProbe();
        return sim->Probe().Loader().LogicUes();
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const auto& shown : box.shown)
            texts.push_back(shown.text);
        return texts;
    }
    bool StatusShown(const std::string& text) const
    {
        return std::find(view.statuses.begin(), view.statuses.end(), text) != view.statuses.end();
    }

    CTempDir dir;
    std::unique_ptr<CSimFixture> sim;
    CLinkLibrary library;
    CRecordingOperationView view;
    CScriptedMessageBox box;
    std::unique_ptr<CUpdateSetupModel> model;
};

TEST_F(UpdateSetup, OpeningScansTheProgramDirectoryAndEnablesOnlyConnect)
{
    Start();
    EXPECT_EQ(model->newestFirmware, 114);
    EXPECT_EQ(model->newestLogic, 113);
    EXPECT_EQ(model->firmwareVersion, 0);
    EXPECT_EQ(view.Status(), "");
    EXPECT_TRUE(model->ConnectEnabled());
    EXPECT_FALSE(model->CurrentEnabled());
    EXPECT_FALSE(model->UpdateEnabled());
    EXPECT_FALSE(model->TransmitEnabled());
}

TEST_F(UpdateSetup, FullUpdateReplacesFirmwareAndLogicAndTheProbeReportsTheNewVersions)
{
    Start();
    ASSERT_TRUE(model->Connect());
    EXPECT_EQ(view.Status(), "Connecting to QDX7000 Loader passed!");
    EXPECT_EQ(model->serialNumber, "1234560001");
    EXPECT_EQ(model->macAddress, "0A4D17123456");
    EXPECT_EQ(model->loaderVersion, 105);
    EXPECT_EQ(model->firmwareVersion, 113);
    EXPECT_EQ(model->logicVersion, 112);
    EXPECT_FALSE(model->ConnectEnabled());
    EXPECT_TRUE(model->CurrentEnabled());
    EXPECT_TRUE(model->TransmitEnabled());
    EXPECT_TRUE(model->UpdateEnabled());

    ASSERT_TRUE(model->Update()) << ::testing::PrintToString(Texts());
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(view.Status(), "Updating firmware and logic passed!");
    EXPECT_EQ(model->firmwareVersion, 114);
    EXPECT_EQ(model->logicVersion, 113);
    EXPECT_FALSE(model->UpdateEnabled()) << "nothing newer is left";
    EXPECT_EQ(view.cursorDepth, 0);

    // The probe's flash holds the image, the marker last; the logic device
    // holds the file's fuse map and the signature of version 113.
    EXPECT_TRUE(Flash(kFirmwareStart, kFirmwareSize) == firmware_area::Expected(114));
    EXPECT_TRUE(Startable());
    for (int row = 0; row < 134; ++row)
        ASSERT_EQ(Row(row), CSimProbeImages::FuseRow(113, row)) << "row " << row;
    EXPECT_EQ(Ues(), CLogicProgrammer::SignatureBits("B6001E8113"));

    // The texts of the way there, in order; the logic's percentages stop at
    // 99 (its last row), the firmware's reach 100 with the end record.
    const std::vector<std::string> steps = {"Logic: Reading JEDEC File ...", "Firmware: Erasing Flash ...",
                                            "Firmware: Programming Flash ...",
                                            "Firmware: Programming Flash ... passed!", "Logic: Erasing ...",
                                            "Logic: Programming ...", "Logic: Verifying ..."};
    auto at = view.statuses.begin();
    for (const std::string& step : steps) {
        at = std::find(at, view.statuses.end(), step);
        ASSERT_NE(at, view.statuses.end()) << step;
    }
    EXPECT_TRUE(StatusShown("Logic: Programming ... ( 99% )"));
    EXPECT_FALSE(StatusShown("Logic: Programming ... ( 100% )"));
    EXPECT_TRUE(StatusShown("Firmware: Programming Flash ... ( 99% )"));
    EXPECT_TRUE(StatusShown("Firmware: Programming Flash ... ( 100% )")) << "the end record follows the last data";
    // Typed progress: the firmware in file bytes, then the logic rows twice.
    const uint64_t fileLength = CSimProbeImages::FirmwareImage(114).size();
    ASSERT_FALSE(view.events.empty());
    EXPECT_EQ(view.events.front().kind, EOperationKind::ProbeFirmware);
    EXPECT_EQ(view.events.front().total, fileLength);
    EXPECT_EQ(view.events.back().done, 134u);
    EXPECT_EQ(view.events.back().total, 134u);
    for (const SProgressEvent& event : view.events)
        EXPECT_LE(event.done, event.total);
    EXPECT_EQ(view.progress.back(), 100) << "the bar ends full";

    // Current reads the same; OK starts the new firmware.
    ASSERT_TRUE(model->Current());
    EXPECT_EQ(view.Status(), "Reading current versions passed!");
    EXPECT_EQ(model->firmwareVersion, 114);
    ASSERT_TRUE(model->Finish(true));
    EXPECT_EQ(view.Status(), "Starting firmware please wait....");
    EXPECT_FALSE(sim->Probe().LoaderRunning());
    EXPECT_TRUE(model->ConnectEnabled());

    // The probe keeps what it got for the process's life: a new connection
    // finds the new versions and nothing to update.
    ASSERT_TRUE(model->Connect());
    EXPECT_EQ(model->firmwareVersion, 114);
    EXPECT_EQ(model->logicVersion, 113);
    EXPECT_FALSE(model->UpdateEnabled());
}

TEST_F(UpdateSetup, OnlyTheOutdatedPartIsProgrammedAndProbesMarkedCTakeTheOtherLogicFile)
{
    SProbeSimConfig config;
    config.firmwareVersion = 114;
    config.serialNumber = "123456789C";
    // The C file holds another design than the 70 file of the same version.
    WriteLogic("ARMJED71", 113, CSimProbeImages::JedecFile(200));
    Start(CSimFixture::Tcp({}, config));
    ASSERT_TRUE(model->Connect());
    const Bytes firmwareBefore = Flash(kFirmwareStart, kFirmwareSize);
    ASSERT_TRUE(model->Update()) << ::testing::PrintToString(Texts());
    EXPECT_FALSE(StatusShown("Firmware: Erasing Flash ..."));
    EXPECT_TRUE(Flash(kFirmwareStart, kFirmwareSize) == firmwareBefore);
    EXPECT_EQ(Row(0), CSimProbeImages::FuseRow(200, 0));
    EXPECT_EQ(Row(133), CSimProbeImages::FuseRow(200, 133));
    EXPECT_EQ(model->logicVersion, 113) << "the signature names the version scanned, not the design";
}

TEST_F(UpdateSetup, NoProbeAndNoLoaderFailTheConnectWithTheirTexts)
{
    {
        SSimFaults faults;
        faults.refuseConnection = true;
        Start(CSimFixture::Tcp(faults));
        EXPECT_FALSE(model->Connect());
        EXPECT_EQ(Texts(), std::vector<std::string>{"Cannot connect to QDX loader!"});
        EXPECT_EQ(view.Status(), "Connecting to QDX7000 loader failed!");
        EXPECT_TRUE(model->ConnectEnabled());
        EXPECT_FALSE(model->UpdateEnabled());
        EXPECT_FALSE(model->TransmitEnabled());
        EXPECT_EQ(view.cursorDepth, 0);
    }
    box.shown.clear();
    SProbeSimConfig config;
    config.loaderVersion = 0;
    Start(CSimFixture::Tcp({}, config));
    EXPECT_FALSE(model->Connect());
    EXPECT_EQ(Texts(), std::vector<std::string>{"There is no QDX7000 connected!"});
    EXPECT_EQ(view.Status(), "Connecting to QDX7000 loader failed!");
    EXPECT_FALSE(model->CurrentEnabled());
    // The link was closed: a frame now finds no link.
    CProbeFrames frames(library);
    SLoaderIdentity identity;
    EXPECT_EQ(frames.LoaderIdentify(identity), kStatusLinkNotOpen);
}

TEST_F(UpdateSetup, ConnectTriesASecondTimeWhenTheFirstIdentificationIsLost)
{
    // The first attempt's handshake, then the identification, whose reply
    // never comes.
    SSimFaults faults;
    faults.dropReplyTo = CSimFixture::HandshakeRequests() + 1;
    Start(CSimFixture::Tcp(faults));
    ASSERT_TRUE(model->Connect()) << ::testing::PrintToString(Texts());
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(model->loaderVersion, 105);
    EXPECT_EQ(sim->RequestsReceived(), 2 * CSimFixture::HandshakeRequests() + 2) << "a new open, a new query";
}

TEST_F(UpdateSetup, WithoutOverrideConnectOpensTheLoaderSerialPort)
{
    // No override: the serial port of channel and baud (COM4 at 57600),
    // which is pointed at a path that does not exist.
    library.Settings().Set(ESetting::SerialDevice4, dir.File("no-such-tty"));
    Start();
    model->channelOverride.clear();
    model->channel = 3;
    model->baud = 3;
    EXPECT_EQ(model->LoaderChannelText(), "COM4 57600");
    EXPECT_FALSE(model->Connect());
    EXPECT_EQ(Texts(), std::vector<std::string>{"Cannot connect to QDX loader!"});
}

TEST_F(UpdateSetup, InvalidIpAddressStopsEveryButtonBeforeTheProbe)
{
    Start();
    for (const char* ip : {"255.255.255.255", "0.0.0.0", "1.2.3", "1.2.3.256"}) {
        model->ipAddress = ip;
        const uint32_t before = sim->RequestsReceived();
        EXPECT_FALSE(model->Connect()) << ip;
        EXPECT_FALSE(model->Transmit()) << ip;
        EXPECT_FALSE(model->Finish(true)) << "OK keeps the dialog open: " << ip;
        EXPECT_EQ(sim->RequestsReceived(), before) << ip;
    }
    EXPECT_EQ(box.shown.size(), 12u);
    EXPECT_EQ(box.shown[0].text, "Invalid IP address!");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Exclamation);
    EXPECT_TRUE(model->Finish(false)) << "Cancel ends the dialog whatever the fields hold";
}

TEST_F(UpdateSetup, AnUpdateCutAfterItsFirstEraseLeavesAFirmwareThatDoesNotStart)
{
    // The requests up to a connected dialog; the update's first request is
    // its first sector erase.
    Start();
    ASSERT_TRUE(model->Connect());
    const uint32_t connected = sim->RequestsReceived();
    ASSERT_TRUE(Startable());

    SSimFaults faults;
    faults.cutAt = connected + 1; // the first erase is done, its reply never comes
    Start(CSimFixture::Tcp(faults));
    ASSERT_TRUE(model->Connect());
    EXPECT_FALSE(model->Update());
    EXPECT_EQ(view.Status(), "Updating firmware and logic failed!");
    // A sector of the old firmware is gone: the start marker must be gone
    // with it, so that the loader keeps the probe in the loader instead of
    // starting a firmware with a hole in it.
    EXPECT_FALSE(Startable());
    auto lock = sim->Link().LockProbe();
    EXPECT_EQ(sim->Probe().Loader().FirmwareVersion(), 0);
}

TEST_F(UpdateSetup, BadFirmwareRecordWritesNothingAndTheOldFirmwareStillStarts)
{
    std::string image = CSimProbeImages::FirmwareImage(114);
    // Line 5: one digit of a data record spoilt, so its checksum fails.
    size_t line5 = 0;
    for (int i = 0; i < 4; ++i)
        line5 = image.find('\n', line5) + 1;
    image[line5 + 20] = image[line5 + 20] == '0' ? '1' : '0';
    WriteFirmware(114, image);
    Start();
    ASSERT_TRUE(model->Connect());
    const Bytes before = Flash(kFirmwareStart, kFirmwareSize);
    const std::string rowBefore = Row(7);
    const uint32_t requests = sim->RequestsReceived();
    EXPECT_FALSE(model->Update());
    EXPECT_EQ(sim->RequestsReceived(), requests) << "nothing reached the probe";
    EXPECT_EQ(Texts(), std::vector<std::string>{"Firmware update failed!"});
    EXPECT_TRUE(StatusShown("Firmware: bad record in QX7ARMFW.114, line 5: checksum wrong"));
    EXPECT_EQ(view.Status(), "Updating firmware and logic failed!");
    EXPECT_EQ(model->firmwareVersion, 0);
    EXPECT_EQ(model->logicVersion, 0);
    EXPECT_TRUE(model->UpdateEnabled()) << "a failed update leaves Update as it was";
    EXPECT_TRUE(Flash(kFirmwareStart, kFirmwareSize) == before);
    EXPECT_EQ(Row(7), rowBefore) << "the logic is not touched either";
    ASSERT_TRUE(model->Finish(true));
    EXPECT_FALSE(sim->Probe().LoaderRunning()) << "the old firmware starts";
}

TEST_F(UpdateSetup, ErasedMarkerBytesGoInAndBytesPastTheProbesFlashAreRefusedByTheLoader)
{
    struct SCase {
        const char* name;
        const char* record;
        bool passes;
    };
    const SCase cases[] = {
        {"0xFF on the marker's word", "S30901040000FFFFFFFFF5\n", true},
        {"past the probe's flash", "S3090110000001020304DB\n", false},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        box.shown.clear();
        view.statuses.clear();
        std::string image = CSimProbeImages::FirmwareImage(114);
        image.insert(image.rfind("S7"), c.record);
        WriteFirmware(114, image);
        Start();
        ASSERT_TRUE(model->Connect());
        EXPECT_EQ(model->Update(), c.passes) << ::testing::PrintToString(Texts());
        EXPECT_EQ(Startable(), c.passes);
        if (c.passes) {
            EXPECT_EQ(model->firmwareVersion, 114);
            EXPECT_TRUE(Flash(kFirmwareStart, kFirmwareSize) == firmware_area::Expected(114));
        } else {
            EXPECT_EQ(Texts(), std::vector<std::string>{"Firmware update failed!"});
            EXPECT_TRUE(StatusShown("Firmware: Programming Flash ... failed!"));
        }
    }
}

TEST_F(UpdateSetup, AProbeWithoutAFirmwareThatStartsAndNoImageOnDiskFailsTheUpdate)
{
    // Before, such a probe with its logic up to date had Update disabled
    // (nothing newer on disk), and with an older logic the update passed
    // without a firmware that starts.
    struct SCase {
        const char* name;
        uint16_t probeLogic;
    };
    const SCase cases[] = {{"logic up to date", 113}, {"logic older", 112}};
    std::filesystem::remove(dir.File("QX7ARMFW.114"));
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        box.shown.clear();
        view.statuses.clear();
        SProbeSimConfig config;
        config.logicVersion = c.probeLogic;
        Start(CSimFixture::Tcp({}, config));
        ASSERT_TRUE(model->Connect());
        // The firmware's marker sector erased: the loader starts nothing.
        ASSERT_EQ(CProbeFrames(library).EraseProbeSector(0x01040000), kStatusOk);
        ASSERT_TRUE(model->Current());
        EXPECT_EQ(model->firmwareVersion, 0);
        EXPECT_EQ(model->newestFirmware, 0);
        EXPECT_TRUE(model->UpdateEnabled()) << "the probe needs a firmware";
        const std::string rowBefore = Row(3);

        EXPECT_FALSE(model->Update());
        const std::string why = "Firmware: the probe holds no firmware that starts, and there is no file "
                                "QX7ARMFW.nnn in " + dir.Path().string();
        ASSERT_EQ(Texts(), std::vector<std::string>{"Firmware update failed!"});
        EXPECT_EQ(box.shown[0].details, why);
        EXPECT_TRUE(StatusShown(why)) << ::testing::PrintToString(view.statuses);
        EXPECT_EQ(view.Status(), "Updating firmware and logic failed!");
        EXPECT_EQ(Row(3), rowBefore) << "the logic waits for the firmware, as it comes after it";
        EXPECT_FALSE(Startable());
    }
}

// A logic whose version the loader cannot tell is never up to date: with no
// logic file on disk the update fails on it and names the missing file,
// after the firmware has gone in.
TEST_F(UpdateSetup, ALogicOfUnknownVersionAndNoLogicFileOnDiskFailsTheUpdate)
{
    std::filesystem::remove(dir.File("ARMJED70.113"));
    SProbeSimConfig config;
    config.logicVersion = 0;
    Start(CSimFixture::Tcp({}, config));
    ASSERT_TRUE(model->Connect());
    EXPECT_EQ(model->logicVersion, 0);
    EXPECT_EQ(model->newestLogic, 0);
    EXPECT_TRUE(model->UpdateEnabled()) << "an unknown logic is not up to date";

    EXPECT_FALSE(model->Update());
    EXPECT_EQ(Texts(), std::vector<std::string>{"Logic: Cannot open JEDEC file!"});
    EXPECT_TRUE(StatusShown("Logic: the probe's logic version is unknown, and there is no file ARMJED70.nnn in " +
                            dir.Path().string()))
        << ::testing::PrintToString(view.statuses);
    EXPECT_EQ(view.Status(), "Updating firmware and logic failed!");
    auto lock = sim->Link().LockProbe();
    EXPECT_EQ(sim->Probe().Loader().FirmwareVersion(), 114) << "the firmware went in first";
}

TEST_F(UpdateSetup, MalformedJedecFileLeavesTheLogicAloneButTheFirmwareGoesIn)
{
    struct SCase {
        const char* name;
        std::string text;
        std::string message;
        std::string status;
    };
    std::string shortRow = CSimProbeImages::JedecFile(113);
    // Row 3's second line loses its last fuse (line 8 + 3 * 4 + 1 = 21).
    size_t line = 0;
    for (int i = 0; i < 20; ++i)
        line = shortRow.find('\n', line) + 1;
    shortRow.erase(line + 59, 1);
    std::string noStart = CSimProbeImages::JedecFile(113);
    noStart.replace(noStart.find("*L00000\n"), 8, "*L00000 \n");
    const std::vector<SCase> cases = {
        {"row", shortRow, "Illegal JEDEC file format!",
         "Logic: JEDEC file line 20: fuse row 3 holds 239 fuses, not 240"},
        {"start", noStart, "Logic: Illegal JEDEC file format!",
         "Logic: JEDEC file: no line \"*L00000\" starts the fuse map"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        box.shown.clear();
        view.statuses.clear();
        WriteLogic("ARMJED70", 113, c.text);
        Start();
        ASSERT_TRUE(model->Connect());
        const std::string rowBefore = Row(3);
        EXPECT_FALSE(model->Update());
        EXPECT_EQ(Texts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(StatusShown(c.status)) << ::testing::PrintToString(view.statuses);
        EXPECT_EQ(view.Status(), "Updating firmware and logic failed!");
        // The good firmware went in; the logic was not touched.
        EXPECT_TRUE(StatusShown("Firmware: Programming Flash ... passed!"));
        EXPECT_TRUE(Startable());
        EXPECT_EQ(Row(3), rowBefore);
        auto lock = sim->Link().LockProbe();
        EXPECT_FALSE(sim->Probe().Loader().LogicAccessOpen()) << "logic access was never entered";
    }
}

TEST_F(UpdateSetup, LogicFailuresShowTheStepsMessageAndEndLogicAccess)
{
    struct SCase {
        const char* name;
        SProbeSimConfig config;
        std::string message;
        bool erased;
    };
    SProbeSimConfig stuck;
    stuck.stuckFuseRow = 17;
    // A fuse that the design clears.
    stuck.stuckFuse = static_cast<int>(CSimProbeImages::FuseRow(113, 17).find('0'));
    SProbeSimConfig unknown;
    unknown.logicDeviceCode = 0x14;
    SProbeSimConfig weak;
    weak.weakFuseRow = 80;
    weak.weakFuse = 3;
    SProbeSimConfig stuckUes;
    // The signature's last byte is zero padding: every signature clears it.
    stuckUes.stuckUesFuse = 119;
    const std::vector<SCase> cases = {
        {"verify", stuck, "Logic: Fuse map programmed verification failed!", true},
        {"erased-margin read", weak, "Logic: Fuse map erased verification failed!", true},
        {"signature", stuckUes, "Logic: UES verify failed!", true},
        {"device", unknown, "Logic: Unknown ispLSI device type!", false},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        box.shown.clear();
        Start(CSimFixture::Tcp({}, c.config));
        ASSERT_TRUE(model->Connect());
        const std::string ues = Ues();
        EXPECT_FALSE(model->Update());
        EXPECT_EQ(Texts(), std::vector<std::string>{c.message});
        EXPECT_EQ(view.Status(), "Updating firmware and logic failed!");
        EXPECT_EQ(model->firmwareVersion, 0);
        EXPECT_EQ(model->logicVersion, 0);
        EXPECT_FALSE(sim->Probe().Loader().LogicAccessOpen());
        EXPECT_EQ(Ues() != ues, c.erased);
        EXPECT_TRUE(Startable()) << "the firmware went in before the logic";
    }
}

TEST_F(UpdateSetup, NoFirmwareImageOnDiskFailsTheUpdateOfVersionZero)
{
    std::filesystem::remove(dir.File("QX7ARMFW.114"));
    Start();
    EXPECT_EQ(model->newestFirmware, 0);
    ASSERT_TRUE(model->Connect());
    EXPECT_TRUE(model->UpdateEnabled());
    const uint32_t requests = sim->RequestsReceived();
    EXPECT_FALSE(model->Update());
    EXPECT_EQ(Texts(), std::vector<std::string>{"Firmware update failed!"});
    EXPECT_EQ(sim->RequestsReceived(), requests);
    EXPECT_TRUE(Startable());
}

TEST_F(UpdateSetup, LinkDroppedMidUpdateLeavesAProbeWhoseLoaderAsksForTheUpdateAgain)
{
    // The model's handshake, the identification, four sector erases, then
    // the 20th record.
    SSimFaults faults;
    faults.dropReplyTo = CSimFixture::HandshakeRequests() + 1 + 4 + 20;
    Start(CSimFixture::Tcp(faults));
    ASSERT_TRUE(model->Connect());
    EXPECT_FALSE(model->Update());
    EXPECT_EQ(Texts(), std::vector<std::string>{"Firmware update failed!"});
    EXPECT_TRUE(StatusShown("Firmware: Programming Flash ... failed!"));
    EXPECT_EQ(view.Status(), "Updating firmware and logic failed!");
    EXPECT_FALSE(Startable()) << "no start marker after a broken update";
    ASSERT_TRUE(model->Finish(false));
    EXPECT_TRUE(sim->Probe().LoaderRunning()) << "the loader does not start a half-written firmware";

    // The loader says so plainly: firmware version 0, Update enabled; a
    // second Update brings the probe back.
    ASSERT_TRUE(model->Connect());
    EXPECT_EQ(model->firmwareVersion, 0);
    EXPECT_TRUE(model->UpdateEnabled());
    ASSERT_TRUE(model->Update()) << ::testing::PrintToString(Texts());
    EXPECT_EQ(model->firmwareVersion, 114);
    EXPECT_TRUE(Startable());
    ASSERT_TRUE(model->Finish(true));
    EXPECT_FALSE(sim->Probe().LoaderRunning());
}

TEST_F(UpdateSetup, TransmitWritesTheSetupRecordThatReadsBack)
{
    Start();
    ASSERT_TRUE(model->Connect());
    model->subnetMask = "255.255.255.0";
    model->defaultGateway = "192.168.1.254";
    ASSERT_TRUE(model->Transmit());
    EXPECT_EQ(view.Status(), "Writing setup data passed");
    const Bytes expected = {0x0A, 0x4D, 0x17, 0x12, 0x34, 0x56, 0xFF, 0xFF, 192, 168,
                            1,    10,   255,  255,  255,  0,    192,  168,  1,   254};
    EXPECT_EQ(Flash(0x01008000, 20), expected);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(UpdateSetup, AnInvalidMaskOrGatewayIsRefusedBeforeTheProbesFlashIsTouched)
{
    Start();
    ASSERT_TRUE(model->Connect());
    const Bytes before = Flash(0x01008000, 20);
    const struct {
        const char* mask;
        const char* gateway;
        const char* refusal;
    } cases[] = {
        {"abc", "192.168.1.1", "Invalid subnet mask!"},
        {"255.0.255.0", "192.168.1.1", "Invalid subnet mask!"},
        {"255.255.255.255", "192.168.1.1", "Invalid subnet mask!"},
        {"255.255.255.0", "not an address", "Invalid default gateway!"},
        {"255.255.255.0", "", "Invalid default gateway!"},
    };
    for (const auto& c : cases) {
        box.shown.clear();
        view.statuses.clear();
        model->subnetMask = c.mask;
        model->defaultGateway = c.gateway;
        EXPECT_FALSE(model->Transmit()) << c.mask << " " << c.gateway;
        EXPECT_EQ(Texts(), std::vector<std::string>{c.refusal}) << c.mask << " " << c.gateway;
        EXPECT_TRUE(view.statuses.empty()) << "nothing was begun";
    }
    EXPECT_EQ(Flash(0x01008000, 20), before);
    EXPECT_TRUE(model->TransmitEnabled()) << "the link stays";
    for (const char* mask : {"255.255.240.0", "128.0.0.0", "255.255.255.254"}) {
        model->subnetMask = mask;
        model->defaultGateway = "10.0.0.1";
        EXPECT_TRUE(model->TakeNetworkValues()) << mask;
    }
}

TEST_F(UpdateSetup, SetupThatReadsBackDifferentlyFailsTheTransfer)
{
    SProbeSimConfig config;
    config.weakSetupByte = 9;
    Start(CSimFixture::Tcp({}, config));
    ASSERT_TRUE(model->Connect());
    CProbeFrames frames(library);
    std::string serial;
    EXPECT_EQ(CNetworkSetup::Write(frames, "10.0.0.2", "255.0.0.0", "10.0.0.1", serial), kStatusSetupReadBack);
    EXPECT_EQ(serial, "1234560001");
    EXPECT_FALSE(model->Transmit());
    EXPECT_EQ(view.Status(), "Writing setup data failed!");
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Transfer failed!");
    EXPECT_EQ(box.shown[0].caption, "Error");
    EXPECT_EQ(box.shown[0].icon, EMsgIcon::Exclamation);
}

TEST_F(UpdateSetup, CurrentReportsALostLink)
{
    Start();
    ASSERT_TRUE(model->Connect());
    library.LinkClose();
    EXPECT_FALSE(model->Current());
    EXPECT_EQ(Texts(), std::vector<std::string>{"Communication with QDX failed!"});
    EXPECT_EQ(view.Status(), "Reading current versions failed!");
    EXPECT_EQ(model->firmwareVersion, 113) << "the values shown stay";
    EXPECT_EQ(model->macAddress, "0A4D17123456");
}

} // namespace
