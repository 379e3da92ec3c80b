#include "probe/maintenance/update_setup_model.h"

#include "common/channel_text.h"
#include "common/message_box.h"
#include "common/operation_view.h"
#include "probe/channel_text.h"
#include "probe/maintenance/firmware_image.h"
#include "probe/ip_text.h"
#include "probe/maintenance/logic_programmer.h"
#include "probe/maintenance/network_setup.h"
#include "probe/maintenance/network_setup_record.h"
#include "probe/probe_library.h"
#include "probe/probe_status.h"


CUpdateSetupModel::CUpdateSetupModel(CProbeLibrary& library, COperationView& view, CMessageBox& box,
                                     std::string programDirectory)
    : library_(library),
      view_(view),
      box_(box),
      frames_(library),
      files_(std::move(programDirectory)),
      firmware_(frames_, view)
{
}

CUpdateSetupModel::~CUpdateSetupModel() = default;

void CUpdateSetupModel::Open()
{
    view_.SetStatus("");
    loaderVersion = 0;
    firmwareVersion = 0;
    logicVersion = 0;
    serialNumber.clear();
    macAddress.clear();
    newestFirmware = files_.Newest(CProbeImageFiles::kFirmwareFamily);
    newestLogic = files_.Newest(CProbeImageFiles::kLogicFamily);
    connected_ = false;
    updateEnabled_ = false;
}

bool CUpdateSetupModel::TakeValues()
{
    if (CIpText::IsValid(ipAddress))
        return true;
    box_.Show("Invalid IP address!", "", EMsgIcon::Exclamation, EMsgButtons::Ok);
    return false;
}

std::string CUpdateSetupModel::LoaderChannelText() const
{
    return channelOverride.empty() ? ChannelTextFor("", channel, baud, "") : channelOverride;
}

const char* CUpdateSetupModel::LogicFamilyFor(const std::string& serialNumber)
{
    return serialNumber.size() == 10 && serialNumber[9] == 'C' ? CProbeImageFiles::kLogicFamilyC
                                                                : CProbeImageFiles::kLogicFamily;
}

bool CUpdateSetupModel::Identify(SLoaderIdentity& identity)
{
    return frames_.LoaderIdentify(identity) == kStatusOk;
}

void CUpdateSetupModel::TakeIdentity(const SLoaderIdentity& identity)
{
    loaderVersion = identity.loaderVersion;
    firmwareVersion = identity.firmwareVersion;
    logicVersion = identity.logicVersion;
    serialNumber = identity.serialNumber;
    macAddress = CNetworkSetupRecord::MacText(serialNumber);
}

bool CUpdateSetupModel::Connect()
{
    if (!TakeValues())
        return false;
    bool attempted = false;
    // What an earlier connection showed belongs to that probe, not to the
    // one asked now; the bar of an earlier update starts again.
    ForgetProbe();
    view_.SetProgress(0);
    {
        CWaitCursor cursor(view_);
        view_.SetStatus("Connecting to QDX7000 Loader ...");
        for (int attempt = 0; attempt < 2 && !attempted; ++attempt) {
            // The module-wide channel text of the probe library's interface.
            SetChannelText(channel, baud, "");
            SLoaderIdentity identity;
            if (library_.LinkOpen(LoaderChannelText()) == kStatusOk && Identify(identity)) {
                TakeIdentity(identity);
                attempted = true;
            } else {
                library_.LinkClose();
            }
        }
    }
    if (!attempted || loaderVersion == 0) {
        library_.LinkClose();
        ForgetProbe();
        box_.Show(attempted ? "There is no QDX7000 connected!" : "Cannot connect to QDX loader!", "",
                  EMsgIcon::None, EMsgButtons::Ok);
        view_.SetStatus("Connecting to QDX7000 loader failed!");
        connected_ = false;
        return false;
    }
    view_.SetStatus("Connecting to QDX7000 Loader passed!");
    connected_ = true;
    updateEnabled_ = NewestDiffers();
    return true;
}

bool CUpdateSetupModel::Current()
{
    if (!TakeValues())
        return false;
    bool ok = false;
    {
        CWaitCursor cursor(view_);
        view_.SetStatus("Reading current versions, please wait.");
        SLoaderIdentity identity;
        ok = Identify(identity);
        if (ok)
            TakeIdentity(identity);
        macAddress = CNetworkSetupRecord::MacText(serialNumber);
    }
    if (!ok) {
        box_.Show("Communication with QDX failed!", "", EMsgIcon::None, EMsgButtons::Ok);
        view_.SetStatus("Reading current versions failed!");
        DropLostLink();
        return false;
    }
    view_.SetStatus("Reading current versions passed!");
    updateEnabled_ = NewestDiffers();
    return true;
}

bool CUpdateSetupModel::Update()
{
    if (!TakeValues())
        return false;
    CWaitCursor cursor(view_);
    view_.SetProgress(0);
    const bool ok = RunUpdate();
    if (ok) {
        view_.SetProgress(100);
        view_.SetStatus("Updating firmware and logic passed!");
        updateEnabled_ = NewestDiffers();
    } else {
        view_.SetStatus("Updating firmware and logic failed!");
        firmwareVersion = 0;
        logicVersion = 0;
        // A file refused before anything was sent says nothing about the link.
        if (probeReached_)
            DropLostLink();
    }
    return ok;
}

bool CUpdateSetupModel::RunUpdate()
{
    auto firmwareFailed = [this](const std::string& why = "") {
        if (!why.empty())
            view_.SetStatus(why);
        box_.ShowDetailed("Firmware update failed!", "", EMsgIcon::None, EMsgButtons::Ok, why);
        return false;
    };
    probeReached_ = false;
    // A probe whose loader reports firmware version 0 holds no firmware that
    // starts: it needs one, even when no image was found on disk (version 0
    // too); the update then fails and says so, and is never "passed!" with
    // nothing for the probe to run.
    const bool firmwareNeeded = FirmwareNeeded();
    const bool logicNeeded = LogicNeeded();

    // Each file is read and checked whole before its own part of the probe
    // is touched, so that a bad file never leaves that part half written.
    CFirmwareImage image;
    if (firmwareNeeded) {
        const std::string path = files_.Path(CProbeImageFiles::kFirmwareFamily, newestFirmware);
        if (newestFirmware == 0)
            return firmwareFailed(std::string("Firmware: ") +
                                  (firmwareVersion == 0 ? "the probe holds no firmware that starts, and there is "
                                                        : "there is ") +
                                  MissingFileText(CProbeImageFiles::kFirmwareFamily));
        const CFirmwareImage::EResult read = image.Read(path);
        if (read == CFirmwareImage::EResult::BadRecord)
            return firmwareFailed(CFirmwareProgrammer::BadRecordText(path, image));
        if (read != CFirmwareImage::EResult::Ok)
            return firmwareFailed("Firmware: " + image.detail);
    }
    CLogicProgrammer logic(frames_, view_, box_);
    const std::string signature = CLogicProgrammer::SignatureText(newestLogic);
    // A missing or bad logic file stops only the logic: a good firmware
    // still goes in, as firmware comes before logic.
    const bool logicFileOk = !logicNeeded || logic.ReadJedecFile(files_.Path(LogicFamilyFor(serialNumber), newestLogic));
    if (!logicFileOk && newestLogic == 0)
        view_.SetStatus(std::string("Logic: ") +
                        (logicVersion == 0 ? "the probe's logic version is unknown, and there is " : "there is ") +
                        MissingFileText(CProbeImageFiles::kLogicFamily));

    if (firmwareNeeded) {
        probeReached_ = true;
        if (firmware_.Program(image) != kStatusOk)
            return firmwareFailed();
    }
    if (!logicFileOk)
        return false;
    probeReached_ = true;
    if (logicNeeded) {
        const bool done = logic.BeginAccess() && logic.CheckDevice() && logic.Erase() && logic.Program(signature) &&
                          logic.Verify(signature);
        // Leaving logic access is the last logic step: when it fails (its
        // box is shown) the logic may still be held for programming, so the
        // update has not succeeded, however well the verification went.
        const bool left = logic.EndAccess();
        if (!done || !left)
            return false;
    }
    SLoaderIdentity identity;
    if (!Identify(identity)) {
        box_.Show("Communication with QDX failed!", "", EMsgIcon::None, EMsgButtons::Ok);
        return false;
    }
    TakeIdentity(identity);
    return true;
}

std::string CUpdateSetupModel::MissingFileText(const char* family) const
{
    return std::string("no file ") + family + ".nnn in " + files_.Directory();
}

bool CUpdateSetupModel::TakeNetworkValues()
{
    if (!TakeValues())
        return false;
    const char* refused = !CIpText::IsValidMask(subnetMask)      ? "Invalid subnet mask!"
                          : !CIpText::IsValid(defaultGateway) ? "Invalid default gateway!"
                                                               : nullptr;
    if (!refused)
        return true;
    box_.Show(refused, "", EMsgIcon::Exclamation, EMsgButtons::Ok);
    return false;
}

void CUpdateSetupModel::ForgetProbe()
{
    serialNumber.clear();
    macAddress.clear();
    loaderVersion = 0;
    firmwareVersion = 0;
    logicVersion = 0;
}

bool CUpdateSetupModel::Transmit()
{
    if (!TakeNetworkValues())
        return false;
    int status = kStatusOk;
    {
        CWaitCursor cursor(view_);
        view_.SetStatus("Writing setup data ....");
        std::string serial;
        status = CNetworkSetup::Write(frames_, ipAddress, subnetMask, defaultGateway, serial);
    }
    if (status != kStatusOk) {
        view_.SetStatus("Writing setup data failed!");
        box_.Show("Transfer failed!", "Error", EMsgIcon::Exclamation, EMsgButtons::Ok);
        DropLostLink();
        return false;
    }
    view_.SetStatus("Writing setup data passed");
    return true;
}

void CUpdateSetupModel::DropLostLink()
{
    if (!connected_)
        return;
    SLoaderIdentity identity;
    if (Identify(identity))
        return;
    library_.LinkClose();
    connected_ = false;
    updateEnabled_ = false;
}

bool CUpdateSetupModel::Finish(bool accepted)
{
    if (accepted && !TakeValues())
        return false;
    {
        CWaitCursor cursor(view_);
        view_.SetStatus("Starting firmware please wait....");
        frames_.StartFirmware();
        library_.LinkClose();
    }
    connected_ = false;
    updateEnabled_ = false;
    return true;
}
