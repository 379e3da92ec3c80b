#pragma once

#include "common/message_box.h"
#include "common/operation_view.h"

#include <string>

class CProbeLibrary;

// The channel settings of the Communication Setup dialog.
struct SCommSettings {
    int channel = 0; // 0..3 COM1..COM4, 4 network
    int baud = 0;    // 0..4: 9600, 19200, 38400, 57600, 115200
    std::string ipAddress;
};

// The rules of the Communication Setup dialog apart from its controls:
// what OK accepts, and the link test of its Test button.
class CCommSetup {
public:
    static constexpr int kNetworkChannel = 4;
    static constexpr int kMaxBaudIndex = 4;
    static constexpr size_t kMaxIpLength = 15;

    CCommSetup(CProbeLibrary& library, CMessageBox& box) : library_(library), box_(box) {}

    // Values the dialog's controls can hold: a channel 0..4, a baud index
    // 0..4, an IP text of at most 15 characters.
    static bool ControlsValid(const SCommSettings& settings);
    // OK: a network channel needs a valid IP address ("Invalid IP address!"),
    // a serial channel a port that opens at the baud rate ("Selected baudrate
    // not supported on this computer!" / "Cannot open communication port!").
    // False (warning shown) keeps the dialog open.
    bool Accept(const SCommSettings& settings);
    // Test: rebuilds the channel text from the settings, opens the link on it
    // (or on `channelOverride` when not empty: a probe named on the command
    // line), reports the result in a "Communication Test" box and closes the
    // link again. True when the link opened.
    bool TestLink(const SCommSettings& settings, COperationView& view, const std::string& channelOverride = "");

private:
    CProbeLibrary& library_;
    CMessageBox& box_;
};
