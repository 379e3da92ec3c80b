#pragma once

#include "common/clock.h"
#include "probe/link/link_transport.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

// One connection to a GDB server: packets sent and acknowledged, replies
// received, checked and acknowledged. A packet the server answers with '-'
// (or does not acknowledge in time) is sent again, a reply whose checksum is
// wrong is asked for again, each at most kMaxRetries times; then the
// exchange fails with the link's status codes (probe_status.h), so the texts
// a person reads are those of the probe link: a timeout, a lost connection, a
// framing error.
class CGdbRemoteSession {
public:
    static constexpr int kMaxRetries = 3;
    // The longest reply taken, expanded; longer ones fail the exchange.
    static constexpr size_t kMaxPayload = size_t(1) << 20;

    CGdbRemoteSession(std::unique_ptr<CLinkTransport> transport, CClock& clock);

    // Sends `request` and waits for its reply: `timeoutMs` for the
    // acknowledgement and again for the reply. Console output packets that
    // come before the reply ("O" and hexadecimal text, e.g. of a monitor
    // command) are appended to `output` when given, else dropped.
    int Transact(std::string_view request, std::string& reply, int timeoutMs, std::string* output = nullptr);
    // Sends `request` and waits for its acknowledgement only (a continue,
    // whose answer is the stop that comes later).
    int Send(std::string_view request, int timeoutMs);
    // Waits for the next reply packet, as Transact does after sending.
    int Receive(std::string& reply, int timeoutMs, std::string* output = nullptr);
    // Sends the interrupt byte that asks a running target to stop.
    int Interrupt(int timeoutMs);

    // Packets sent again and replies asked for again since the session began.
    int Retries() const { return retries_; }

private:
    enum class EEvent { Ack, Nak, Packet, BadPacket };

    int WriteBytes(std::string_view bytes, uint64_t deadline);
    // The next acknowledgement or packet from the server, until `deadline`.
    int NextEvent(EEvent& event, std::string& payload, uint64_t deadline);
    uint64_t DeadlineAfter(int timeoutMs);

    std::unique_ptr<CLinkTransport> transport_;
    CClock& clock_;
    std::string pending_;  // bytes read and not yet taken
    int retries_ = 0;
};
