#pragma once

#include "probe/link/wire_packet.h"
#include "sim/sim_board.h"
#include "sim/sim_firmware.h"
#include "sim/sim_loader.h"

#include <atomic>
#include <cstdint>
#include <string>

// Who the simulated probe is.
struct SProbeSimConfig {
    uint16_t loaderVersion = 105;
    uint16_t firmwareVersion = 113;
    uint16_t logicVersion = 112;
    std::string serialNumber = "1234560001";
    // What TargetConnect reports as the running firmware's kind (10: the
    // flash-programming firmware).
    uint16_t firmwareKind = kFirmwareKindFlashProgramming;
    // Power up into the loader instead of the firmware.
    bool startInLoader = false;
    // Faults of the loader's devices (SSimLoaderConfig).
    uint8_t logicDeviceCode = 19;
    int stuckFuseRow = -1;
    int stuckFuse = 0;
    int weakFuseRow = -1;
    int weakFuse = 0;
    int stuckUesFuse = -1;
    int weakSetupByte = -1;
};

// The simulated QDX7000 on the message level: answers each request frame of
// the link protocol the way the probe does. Either its loader or its
// flash-programming firmware runs:
// - the firmware answers the target operations and the firmware commands
//   (140..145); the loader's identification query (100) hands control back to
//   the loader, which answers it; other loader commands are refused;
// - the loader answers its commands (100..113) and TargetConnect (with
//   firmware kind 1, the loader); StartFirmware (113) starts the firmware when
//   the start marker is in the probe's flash; other target operations and
//   firmware commands are refused.
// A refusal is the status kStatusNotSupported.
class CProbeSim {
public:
    CProbeSim(CSimBoard& board, const SProbeSimConfig& config = {});

    // The reply to one request (same operation and sequence number).
    SWirePacket Handle(const SWirePacket& request);

    bool LoaderRunning() const { return loaderRunning_; }
    CSimLoader& Loader() { return loader_; }
    CSimFirmware& Firmware() { return firmware_; }
    CSimBoard& Board() { return board_; }

    // Makes waits inside the probe (init list delays) end at once, for shutdown.
    void Abort() { abort_ = true; }

private:
    void Transact(const std::vector<uint8_t>& payload, CWireWriter& out);
    void Operation(uint8_t op, const std::vector<uint8_t>& payload, CWireWriter& out);

    CSimBoard& board_;
    SProbeSimConfig config_;
    std::atomic<bool> abort_{false};
    CSimLoader loader_;
    CSimFirmware firmware_;
    bool loaderRunning_;
};
