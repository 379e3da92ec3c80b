#pragma once

#include "probe/link_transport.h"

// A transport over one file descriptor (a connected socket, a serial device
// or a pseudo-terminal). Owns the descriptor and closes it.
class CFdTransport final : public CLinkTransport {
public:
    // `isSocket`: writes use send() without SIGPIPE.
    CFdTransport(int fd, bool isSocket, bool usesChecksum, long bytesPerSecond);
    ~CFdTransport() override;
    CFdTransport(const CFdTransport&) = delete;
    CFdTransport& operator=(const CFdTransport&) = delete;

    long Write(const uint8_t* data, size_t length, Clock::time_point deadline) override;
    long Read(uint8_t* buffer, size_t capacity, Clock::time_point deadline) override;
    bool UsesChecksum() const override { return usesChecksum_; }
    long BytesPerSecond() const override { return bytesPerSecond_; }

private:
    // Waits for `events` until `deadline`: 1 ready, 0 deadline passed, < 0 failure.
    int Wait(short events, Clock::time_point deadline);

    int fd_;
    bool isSocket_;
    bool usesChecksum_;
    long bytesPerSecond_;
};
