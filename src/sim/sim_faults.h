#pragma once

#include "probe/link/wire_packet.h"

#include <chrono>
#include <cstdint>
#include <string>

// Faults of the simulated link, chosen per run. Request numbers count every
// request frame the simulator receives since it started (1 is the first, the
// handshake of the first open included); 0 switches a fault off.
struct SSimFaults {
    bool refuseConnection = false;   // TCP connections are refused
    uint32_t dropReplyTo = 0;        // no reply to this request
    uint32_t delayReplyTo = 0;       // the reply to this request comes late
    uint32_t delayMs = 0;            //   by this many milliseconds
    uint32_t wrongEchoTo = 0;        // reply's first byte wrong (command frames) or wrong operation
    uint32_t wrongLengthTo = 0;      // reply one byte too long
    uint32_t silentFrom = 0;         // no reply to this request nor to any later one: the probe hangs
    uint32_t cutAt = 0;              // the connection is cut instead of answering this request
    double bandwidth = 0;            // bytes per second each way; 0: unlimited
    double roundTripMs = 0;          // time there and back, not counting the bytes' own time
};

// Applies the reply faults to the reply of one request.
class CSimFaults {
public:
    explicit CSimFaults(const SSimFaults& faults) : faults_(faults) {}

    // Changes `reply` of request number `requestNumber` as the faults say;
    // false when the reply is to be dropped. `delay` receives the extra wait.
    bool Apply(uint32_t requestNumber, SWirePacket& reply, std::chrono::milliseconds& delay) const;
    // Whether the link is cut instead of answering request `requestNumber`.
    bool CutsAt(uint32_t requestNumber) const { return faults_.cutAt != 0 && faults_.cutAt == requestNumber; }

    const SSimFaults& Settings() const { return faults_; }

    // Reads "N" / "N:MS" option values; false for bad text.
    static bool ParseCount(const std::string& text, uint32_t& value);
    static bool ParseDelay(const std::string& text, uint32_t& frame, uint32_t& ms);

private:
    SSimFaults faults_;
};
