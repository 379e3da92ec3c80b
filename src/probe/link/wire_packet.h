#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One packet of the link protocol between the host and the probe (written
// down in docs/wire-protocol.md). Both directions use the same layout:
//
//   0  2  magic 0x51 0x58 ("QX")
//   2  1  operation code
//   3  1  flags: bit 0 set in replies
//   4  4  sequence number, big-endian; a reply repeats its request's number
//   8  4  payload length n, big-endian, at most kMaxWirePayload
//  12  n  payload
//       2  CRC-16 over bytes 0 .. 12+n-1, big-endian (serial lines only)

inline constexpr uint8_t kWireMagic0 = 0x51;
inline constexpr uint8_t kWireMagic1 = 0x58;
inline constexpr size_t kWireHeaderSize = 12;
inline constexpr size_t kWireChecksumSize = 2;
inline constexpr uint32_t kMaxWirePayload = 65536 + 64;
inline constexpr uint8_t kWireFlagReply = 0x01;
inline constexpr uint16_t kWireProtocolVersion = 1;

// Operation codes. The typed operations carry the number of the library
// operation they serve; Hello is the handshake of the open step.
enum EWireOp : uint8_t {
    kOpHello = 1,
    kOpTransact = 6,
    kOpStreamBegin = 8,
    kOpStreamBlock = 9,
    kOpStreamEnd = 10,
    kOpTargetDisconnect = 12,
    kOpTargetWriteRegisters = 14,
    kOpTargetReadBlock = 15,
    kOpTargetWriteBlock = 16,
    kOpTargetConnect = 26,
    kOpTargetLoadInitList = 32,
    kOpTargetWrite8 = 34,
    kOpTargetWrite16 = 35,
    kOpTargetWrite32 = 36,
    kOpTargetRead8 = 37,
    kOpTargetRead16 = 38,
    kOpTargetRead32 = 39,
};

struct SWirePacket {
    uint8_t op = 0;
    uint8_t flags = 0;
    uint32_t sequence = 0;
    std::vector<uint8_t> payload;

    bool IsReply() const { return (flags & kWireFlagReply) != 0; }
};

// CRC-16/CCITT-FALSE: polynomial 0x1021, initial value 0xFFFF, no reflection.
uint16_t WireCrc16(const uint8_t* data, size_t length, uint16_t crc = 0xFFFF);

// Appends the encoded packet to `out`.
void EncodeWirePacket(const SWirePacket& packet, bool withChecksum, std::vector<uint8_t>& out);
void EncodeWirePacket(uint8_t op, uint8_t flags, uint32_t sequence, const uint8_t* payload,
                     size_t payloadLength, bool withChecksum, std::vector<uint8_t>& out);

// Bytes a packet with `payloadLength` payload bytes occupies on the line.
inline size_t WirePacketSize(size_t payloadLength, bool withChecksum)
{
    return kWireHeaderSize + payloadLength + (withChecksum ? kWireChecksumSize : 0);
}
