#include "sim/sim_faults.h"

#include <cerrno>
#include <cstdlib>

bool CSimFaults::Apply(uint32_t requestNumber, SWirePacket& reply, std::chrono::milliseconds& delay) const
{
    delay = std::chrono::milliseconds(0);
    if (requestNumber == 0)
        return true;
    if (faults_.dropReplyTo == requestNumber)
        return false;
    if (faults_.silentFrom != 0 && requestNumber >= faults_.silentFrom)
        return false;
    if (faults_.delayReplyTo == requestNumber)
        delay = std::chrono::milliseconds(faults_.delayMs);
    if (faults_.wrongEchoTo == requestNumber) {
        // A command frame's reply comes after the 4-byte status: spoil its
        // first byte; any other reply gets the wrong operation code.
        if (reply.op == kOpTransact && reply.payload.size() > 4)
            reply.payload[4] ^= 0xFF;
        else
            reply.op ^= 0x80;
    }
    if (faults_.wrongLengthTo == requestNumber)
        reply.payload.push_back(0);
    return true;
}

bool CSimFaults::ParseCount(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9)
        return false;
    value = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
    return true;
}

bool CSimFaults::ParseDelay(const std::string& text, uint32_t& frame, uint32_t& ms)
{
    const size_t colon = text.find(':');
    return colon != std::string::npos && ParseCount(text.substr(0, colon), frame) &&
           ParseCount(text.substr(colon + 1), ms);
}
