#pragma once

#include "common/clock.h"
#include "probe/link/link_transport.h"

#include <memory>
#include <string>

// A serial line to the probe: raw 8N1, no flow control, locked against a
// second user.
class CSerialPort {
public:
    // Opens `device` at `baud`: 0 and the transport (its waits on `clock`),
    // kStatusBaudNotSupported when the host cannot set that rate, or
    // kStatusPortOpenFailed.
    static int Open(const std::string& device, long baud, CClock& clock, std::unique_ptr<CLinkTransport>& transport);
    // Opens and configures the port like Open, then closes it again.
    static int Check(const std::string& device, long baud);
};
