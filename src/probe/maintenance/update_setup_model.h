#pragma once

#include "probe/maintenance/firmware_programmer.h"
#include "probe/probe_frames.h"
#include "probe/maintenance/probe_image_files.h"

#include <cstdint>
#include <string>

class CMessageBox;
class COperationView;
class CProbeLibrary;

// The state and rules of the "QDX7000 Update/Setup" dialog: it connects to
// the probe's loader on a serial port, shows the serial number, the MAC
// address and the current and newest versions of loader, firmware and logic,
// updates firmware and logic to the newest files in the program directory,
// transmits the network setup, and on leaving starts the firmware.
//
// The front end fills the public fields from its controls before each button
// and shows them afterwards; the enabling of the buttons is asked from the
// *Enabled() functions. Long steps write their progress into the view's
// status line; failures end in a message box.
class CUpdateSetupModel {
public:
    CUpdateSetupModel(CProbeLibrary& library, COperationView& view, CMessageBox& box, std::string programDirectory);
    ~CUpdateSetupModel();
    CUpdateSetupModel(const CUpdateSetupModel&) = delete;
    CUpdateSetupModel& operator=(const CUpdateSetupModel&) = delete;

    // Loader port: 0..3 = COM1..COM4, baud 0..3 = 9600..57600.
    int channel = 0;
    int baud = 0;
    std::string ipAddress;
    std::string subnetMask;
    std::string defaultGateway;
    // The link to open instead of the serial port (a probe on the network or a
    // simulated probe); empty: the serial port of channel and baud.
    std::string channelOverride;

    std::string serialNumber;
    std::string macAddress;
    uint16_t loaderVersion = 0;
    uint16_t firmwareVersion = 0;
    uint16_t logicVersion = 0;
    uint16_t newestFirmware = 0;
    uint16_t newestLogic = 0;

    // Opening the dialog: empties the status line and the current versions,
    // scans the program directory for the newest versions.
    void Open();
    // Checks the values taken from the controls: an IP address that fails the
    // IP text rule shows "Invalid IP address!" and gives false.
    bool TakeValues();
    // TakeValues, then the subnet mask and the default gateway, which go
    // into the probe's setup record: a mask that is not a valid IP text or
    // not a run of ones from the top shows "Invalid subnet mask!", a gateway
    // that is not a valid IP text "Invalid default gateway!"; false then,
    // before anything is written.
    bool TakeNetworkValues();
    // The buttons. Each starts with TakeValues and answers whether it
    // succeeded. Connect starts the bar at 0 and forgets what an earlier
    // connection showed, so a failed one leaves no stale serial number or
    // versions on screen.
    bool Connect();
    bool Current();
    // Update: the bar starts at 0 and ends at 100 on success.
    bool Update();
    // Transmit checks with TakeNetworkValues.
    bool Transmit();
    // OK (accepted) or Cancel: starts the firmware and closes the link; true
    // when the dialog ends. OK with an invalid IP address keeps the dialog
    // open and the link as it is.
    bool Finish(bool accepted);

    bool ConnectEnabled() const { return !connected_; }
    bool CurrentEnabled() const { return connected_; }
    bool UpdateEnabled() const { return connected_ && updateEnabled_; }
    bool TransmitEnabled() const { return connected_; }
    bool Connected() const { return connected_; }
    // After a failed Current, Update or Transmit the loader is asked once
    // more; when it does not answer, the link is taken for lost: it is
    // closed and the dialog is back in its not-connected state, so that
    // Connect can be used again.

    // The channel text a connect attempt opens.
    std::string LoaderChannelText() const;
    // The JEDEC file family for the probe's serial number: "ARMJED71" when it
    // is ten characters long and ends in "C", else "ARMJED70".
    static const char* LogicFamilyFor(const std::string& serialNumber);
    const CProbeImageFiles& Files() const { return files_; }

private:
    bool Identify(SLoaderIdentity& identity);
    // Empties serial number, MAC address and current versions.
    void ForgetProbe();
    void TakeIdentity(const SLoaderIdentity& identity);
    // The firmware is to be programmed: a newer (or older) image is on disk,
    // or the probe holds no firmware that starts (version 0).
    bool FirmwareNeeded() const { return newestFirmware != firmwareVersion || firmwareVersion == 0; }
    // Update's enabled state after Connect, Current and a passed Update.
    // A logic whose version the loader cannot tell (0: unknown, e.g. erased
    // by a failed update) is never taken for up to date either.
    bool LogicNeeded() const { return newestLogic != logicVersion || logicVersion == 0; }
    bool NewestDiffers() const { return FirmwareNeeded() || LogicNeeded(); }
    // "no file FAMILY.nnn in DIRECTORY".
    std::string MissingFileText(const char* family) const;
    // The work of Update under the wait cursor; true on success.
    bool RunUpdate();
    void DropLostLink();

    CProbeLibrary& library_;
    COperationView& view_;
    CMessageBox& box_;
    CProbeFrames frames_;
    CProbeImageFiles files_;
    CFirmwareProgrammer firmware_;
    bool connected_ = false;
    bool updateEnabled_ = false;
    bool probeReached_ = false; // the running Update has sent to the probe
};
