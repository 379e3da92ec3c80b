#pragma once

#include <cstddef>
#include <cstdint>

// A byte carrier between the host and the probe: a TCP connection or a
// serial line. Every wait ends at its deadline, in microseconds of the
// link's clock (CClock::NowMicros).
class CLinkTransport {
public:
    virtual ~CLinkTransport() = default;

    // Writes all `length` bytes before `deadline`. Returns the number of
    // bytes written: `length` on success, fewer when the deadline passed
    // first, or a negative status when the carrier failed.
    virtual long Write(const uint8_t* data, size_t length, uint64_t deadline) = 0;
    // Reads what has arrived, waiting until `deadline` for the first byte.
    // Returns the byte count (> 0), 0 when the deadline passed, or a negative
    // status when the carrier failed or the other side closed it.
    virtual long Read(uint8_t* buffer, size_t capacity, uint64_t deadline) = 0;

    // Serial lines carry a checksum in every packet; TCP has its own.
    virtual bool UsesChecksum() const = 0;
    // Bytes per second of the line when known (serial), 0 otherwise. Waits
    // for replies are lengthened by the time the bytes need on such a line.
    virtual long BytesPerSecond() const = 0;
};
