#pragma once

#include "common/clock.h"
#include "probe/link/link_transport.h"

#include <cstdint>
#include <memory>
#include <string>

// Opens a TCP connection to a probe.
class CTcpConnector {
public:
    // Connects to `host` (an IPv4 address or a name) at `port` within
    // `timeoutMs` of `clock`. 0 and the transport (its waits on `clock`), or
    // kStatusConnectionRefused, kStatusHostUnreachable or kStatusTimeout.
    static int Connect(const std::string& host, uint16_t port, int timeoutMs, CClock& clock,
                       std::unique_ptr<CLinkTransport>& transport);
};
