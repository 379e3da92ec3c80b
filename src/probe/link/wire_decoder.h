#pragma once

#include "probe/link/wire_packet.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Cuts a byte stream into packets. Bytes that cannot start a valid packet
// (wrong magic, a length above the limit, a checksum that does not match) are
// skipped one at a time, so that the decoder finds the next packet after
// noise or a lost byte on a serial line; the skipped bytes are counted.
class CWireDecoder {
public:
    explicit CWireDecoder(bool withChecksum) : withChecksum_(withChecksum) {}

    void Feed(const uint8_t* data, size_t length);
    // The next complete packet, if one has arrived.
    bool Next(SWirePacket& packet);
    // Bytes still missing for the packet whose header has arrived (0 when no
    // header is waiting).
    size_t MissingBytes() const;
    // The packet that has begun to arrive, after Next() found no complete
    // one: its whole size on the line and, once its header is in,
    // `headerIn` and its sequence number. 0 when no packet has begun (a
    // header not yet complete counts as a header's size).
    size_t PendingFrame(bool& headerIn, uint32_t& sequence) const;

    // Bytes received and not yet handed out or skipped.
    size_t BufferedBytes() const { return Available(); }
    size_t SkippedBytes() const { return skipped_; }
    void ClearSkipped() { skipped_ = 0; }
    void Reset();

private:
    size_t Available() const { return buffer_.size() - start_; }
    void Skip(size_t n);
    void Compact();

    bool withChecksum_;
    std::vector<uint8_t> buffer_;
    size_t start_ = 0;
    size_t skipped_ = 0;
};
