#pragma once

#include "probe/probe_library.h"
#include "probe/link/wire_payload.h"
#include "sim/sim_board.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct SSimFirmwareConfig {
    uint16_t firmwareKind = kFirmwareKindFlashProgramming;
    uint16_t firmwareVersion = 113;
    std::string serialNumber = "1234560001";
};

// The probe's flash-programming firmware: the typed target operations of the
// link and the firmware's command frames (140 to 145), carried out on the
// board through CSimBoard.
//
// The main init list handed over by TargetLoadInitList is kept and run at
// once by the firmware's init list runner (CInitListRunner); EXEC waits its
// milliseconds, as the board has no core to run code.
class CSimFirmware {
public:
    CSimFirmware(CSimBoard& board, const SSimFirmwareConfig& config, const std::atomic<bool>& abort);

    // Answers a command frame 140..145; false for any other code.
    bool HandleCommand(const uint8_t* request, size_t length, std::vector<uint8_t>& reply);
    // Answers a typed operation (its request payload in `in`) into `out`;
    // false when `op` is none of the firmware's.
    bool HandleOperation(uint8_t op, CWireReader& in, CWireWriter& out);

    // The firmware has just been started: no stream, no init list.
    void Reset();

    const SSimFirmwareConfig& Config() const { return config_; }
    uint32_t TargetOptions() const { return targetOptions_; }
    const std::vector<SInitListRecord>& InitList() const { return initList_; }

private:
    int RunInitList();
    // Sleeps up to `ms`, ending early when the simulator stops.
    void Wait(uint32_t ms) const;
    int ReadBlock(uint32_t address, uint32_t length, CWireWriter& out);
    int WriteBlock(uint32_t address, const uint8_t* data, size_t length);

    CSimBoard& board_;
    SSimFirmwareConfig config_;
    const std::atomic<bool>& abort_;

    bool streamOpen_ = false;
    int streamStatus_ = 0;
    uint32_t streamFailAddress_ = 0;
    uint32_t targetOptions_ = 0;
    std::vector<SInitListRecord> initList_;
};
