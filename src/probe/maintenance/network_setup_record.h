#pragma once

#include <array>
#include <cstdint>
#include <string>

// The probe's network setup as it lies in probe flash (20 bytes at the setup
// sector): the MAC address 0A 4D 17 and three bytes from the serial number,
// FF FF, then the IP address, subnet mask and default gateway, big-endian.
class CNetworkSetupRecord {
public:
    static constexpr size_t kSize = 20;
    static constexpr uint32_t kAddress = 0x01008000;
    using Bytes = std::array<uint8_t, kSize>;

    // The record for a serial number and the three address texts (each read
    // by the IP text rule; an invalid text is written as FF FF FF FF). The
    // serial number's first six characters, in pairs, give MAC bytes 3 to 5:
    // (first - '0') * 16 + (second - '0'), modulo 256. Characters missing from
    // a shorter serial number count as "0", so that the record never holds
    // bytes from beyond the text.
    static Bytes Build(const std::string& serialNumber, const std::string& ipAddress,
                       const std::string& subnetMask, const std::string& gateway);
    // The MAC address as the update dialog shows it: "0A4D17" and the serial
    // number's first six characters (fewer when it is shorter).
    static std::string MacText(const std::string& serialNumber);
};
