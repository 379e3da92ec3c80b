#pragma once

#include <cstdint>
#include <string>

// A channel text taken apart: "COM<n> <baud>" names serial port n at a baud
// rate, "NETWORK <host>[:<port>] 1" (or " 2") a probe on the network.
struct SLinkChannel {
    enum class EKind { Serial, Network };
    EKind kind = EKind::Serial;
    int comNumber = 0;      // serial: 1 for COM1
    long baud = 0;          // serial: 0 when the text names none
    std::string host;       // network
    uint16_t port = 0;      // network: 0 when the text names none
};

// 0, kStatusBaudNotSupported for a serial channel without a usable baud
// rate, or kStatusBadChannel.
int ParseLinkChannel(const std::string& text, SLinkChannel& channel);

// Baud rate of a baud index (0..4 = 9600..115200), 0 for any other index.
long BaudOfIndex(int baudIndex);

// Strict dotted-quad IPv4 text ("192.168.1.10"): four groups of one to three
// decimal digits, each at most 255, nothing else. False for anything else and
// for 0.0.0.0, which names no probe.
bool ParseIpv4(const std::string& text, uint32_t& address);
