#include "probe/link/link_channel.h"

#include "probe/probe_status.h"

#include <cctype>

namespace {

bool AllDigits(const std::string& s)
{
    if (s.empty())
        return false;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// Decimal number of at most `maxDigits` digits.
bool ParseDecimal(const std::string& s, size_t maxDigits, long& value)
{
    if (!AllDigits(s) || s.size() > maxDigits)
        return false;
    value = std::stol(s);
    return true;
}

} // namespace

long BaudOfIndex(int baudIndex)
{
    static const long bauds[] = {9600, 19200, 38400, 57600, 115200};
    return baudIndex >= 0 && baudIndex < 5 ? bauds[baudIndex] : 0;
}

bool ParseIpv4(const std::string& text, uint32_t& address)
{
    uint32_t value = 0;
    size_t pos = 0;
    for (int group = 0; group < 4; ++group) {
        size_t end = pos;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
            ++end;
        long part = 0;
        if (!ParseDecimal(text.substr(pos, end - pos), 3, part) || part > 255)
            return false;
        value = (value << 8) | static_cast<uint32_t>(part);
        if (group < 3) {
            if (end >= text.size() || text[end] != '.')
                return false;
            pos = end + 1;
        } else if (end != text.size()) {
            return false;
        }
    }
    if (value == 0)
        return false;
    address = value;
    return true;
}

int ParseLinkChannel(const std::string& text, SLinkChannel& channel)
{
    SLinkChannel parsed;
    if (text.rfind("COM", 0) == 0) {
        const size_t space = text.find(' ');
        const std::string number = text.substr(3, space == std::string::npos ? std::string::npos : space - 3);
        long com = 0;
        if (!ParseDecimal(number, 2, com) || com < 1)
            return kStatusBadChannel;
        parsed.kind = SLinkChannel::EKind::Serial;
        parsed.comNumber = static_cast<int>(com);
        if (space == std::string::npos) {
            // "COM2" without a baud rate: the project's baud setting is out of range.
            channel = parsed;
            return kStatusBaudNotSupported;
        }
        long baud = 0;
        if (!ParseDecimal(text.substr(space + 1), 7, baud))
            return kStatusBadChannel;
        if (baud <= 0) {
            channel = parsed;
            return kStatusBaudNotSupported;
        }
        parsed.baud = baud;
        channel = parsed;
        return kStatusOk;
    }
    if (text.rfind("NETWORK ", 0) == 0) {
        std::string rest = text.substr(8);
        // The trailing interface number (" 1" or " 2") is optional.
        const size_t space = rest.find(' ');
        if (space != std::string::npos) {
            const std::string tail = rest.substr(space + 1);
            if (tail != "1" && tail != "2")
                return kStatusBadChannel;
            rest = rest.substr(0, space);
        }
        const size_t colon = rest.rfind(':');
        std::string host = rest;
        if (colon != std::string::npos) {
            long port = 0;
            if (!ParseDecimal(rest.substr(colon + 1), 5, port) || port < 1 || port > 65535)
                return kStatusBadChannel;
            parsed.port = static_cast<uint16_t>(port);
            host = rest.substr(0, colon);
        }
        if (host.empty())
            return kStatusBadChannel;
        for (char c : host) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-')
                return kStatusBadChannel;
        }
        parsed.kind = SLinkChannel::EKind::Network;
        parsed.host = host;
        channel = parsed;
        return kStatusOk;
    }
    return kStatusBadChannel;
}
