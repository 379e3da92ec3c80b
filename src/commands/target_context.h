#pragma once

#include "common/clock.h"
#include "flash/device_check.h"

#include <string>

class CMessageBox;
class COperationView;
class CProbeLibrary;
class CQpgDoc;
class CTargetOperation;

// What a front end hands a target command: the probe library, the person's
// message box and operation view, and the channel the link opens on.
struct STargetContext {
    CProbeLibrary& library;
    CMessageBox& box;
    COperationView& view;
    // Empty: the project's channel text. A front end that reaches the probe
    // elsewhere (tarvel-cli --probe / --sim) names that channel here.
    std::string channelText = {};
    CClock& clock = CSystemClock::Instance();
    // What erase and program do with a flash that is not the project's
    // device: the desktop asks; tarvel-cli refuses, or with
    // --no-device-check does not look.
    EDeviceCheck deviceCheck = EDeviceCheck::Ask;

    const std::string& ChannelFor(const CQpgDoc& doc) const;
};

// What every target command takes from the project: the target configuration
// word, the main init list and the device's catalogue name.
void TakeTargetSettings(const CQpgDoc& doc, CTargetOperation& operation);
// The probe workspace of the project: 0xFFFFFFFF when the target algorithm is off.
uint32_t ProjectWorkspace(const CQpgDoc& doc);
