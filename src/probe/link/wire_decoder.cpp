#include "probe/link/wire_decoder.h"


namespace {

uint32_t ReadBe32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

} // namespace

void CWireDecoder::Feed(const uint8_t* data, size_t length)
{
    Compact();
    buffer_.insert(buffer_.end(), data, data + length);
}

void CWireDecoder::Reset()
{
    buffer_.clear();
    start_ = 0;
    skipped_ = 0;
}

void CWireDecoder::Skip(size_t n)
{
    start_ += n;
    skipped_ += n;
}

void CWireDecoder::Compact()
{
    if (start_ == 0)
        return;
    if (start_ >= buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 4096 && start_ * 2 > buffer_.size()) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
}

bool CWireDecoder::Next(SWirePacket& packet)
{
    for (;;) {
        // Find the magic; a lone first magic byte at the end may be the start
        // of a packet still arriving.
        while (Available() > 0) {
            const uint8_t* p = buffer_.data() + start_;
            if (p[0] != kWireMagic0 || (Available() > 1 && p[1] != kWireMagic1))
                Skip(1);
            else
                break;
        }
        if (Available() < kWireHeaderSize)
            return false;
        const uint8_t* p = buffer_.data() + start_;
        const uint32_t length = ReadBe32(p + 8);
        if (length > kMaxWirePayload) {
            Skip(1);
            continue;
        }
        const size_t total = WirePacketSize(length, withChecksum_);
        if (Available() < total)
            return false;
        if (withChecksum_) {
            const uint16_t crc = WireCrc16(p, kWireHeaderSize + length);
            const uint16_t sent = static_cast<uint16_t>((p[kWireHeaderSize + length] << 8) |
                                                        p[kWireHeaderSize + length + 1]);
            if (crc != sent) {
                Skip(1);
                continue;
            }
        }
        packet.op = p[2];
        packet.flags = p[3];
        packet.sequence = ReadBe32(p + 4);
        packet.payload.assign(p + kWireHeaderSize, p + kWireHeaderSize + length);
        start_ += total;
        return true;
    }
}

size_t CWireDecoder::MissingBytes() const
{
    if (Available() < kWireHeaderSize)
        return 0;
    const uint8_t* p = buffer_.data() + start_;
    if (p[0] != kWireMagic0 || p[1] != kWireMagic1)
        return 0;
    const uint32_t length = ReadBe32(p + 8);
    if (length > kMaxWirePayload)
        return 0;
    const size_t total = WirePacketSize(length, withChecksum_);
    return total > Available() ? total - Available() : 0;
}

size_t CWireDecoder::PendingFrame(bool& headerIn, uint32_t& sequence) const
{
    headerIn = false;
    if (Available() == 0)
        return 0;
    const uint8_t* p = buffer_.data() + start_;
    if (p[0] != kWireMagic0 || (Available() > 1 && p[1] != kWireMagic1))
        return 0;
    if (Available() < kWireHeaderSize)
        return kWireHeaderSize;
    const uint32_t length = ReadBe32(p + 8);
    if (length > kMaxWirePayload)
        return 0;
    headerIn = true;
    sequence = ReadBe32(p + 4);
    return WirePacketSize(length, withChecksum_);
}
