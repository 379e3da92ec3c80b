#include "probe/link/wire_packet.h"

uint16_t WireCrc16(const uint8_t* data, size_t length, uint16_t crc)
{
    for (size_t i = 0; i < length; ++i) {
        crc ^= static_cast<uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : static_cast<uint16_t>(crc << 1);
    }
    return crc;
}

void EncodeWirePacket(const SWirePacket& packet, bool withChecksum, std::vector<uint8_t>& out)
{
    EncodeWirePacket(packet.op, packet.flags, packet.sequence, packet.payload.data(), packet.payload.size(),
                    withChecksum, out);
}

void EncodeWirePacket(uint8_t op, uint8_t flags, uint32_t sequence, const uint8_t* payload,
                     size_t payloadLength, bool withChecksum, std::vector<uint8_t>& out)
{
    const size_t begin = out.size();
    const uint32_t n = static_cast<uint32_t>(payloadLength);
    const uint8_t header[kWireHeaderSize] = {
        kWireMagic0, kWireMagic1, op, flags,
        static_cast<uint8_t>(sequence >> 24), static_cast<uint8_t>(sequence >> 16),
        static_cast<uint8_t>(sequence >> 8), static_cast<uint8_t>(sequence),
        static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
        static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n),
    };
    out.insert(out.end(), header, header + kWireHeaderSize);
    if (payloadLength > 0)
        out.insert(out.end(), payload, payload + payloadLength);
    if (withChecksum) {
        const uint16_t crc = WireCrc16(out.data() + begin, out.size() - begin);
        out.push_back(static_cast<uint8_t>(crc >> 8));
        out.push_back(static_cast<uint8_t>(crc));
    }
}
