#pragma once

#include "common/clock.h"
#include "probe/link/link_transport.h"

// A transport over one file descriptor (a connected socket, a serial device
// or a pseudo-terminal). Owns the descriptor and closes it. Its deadlines are
// times of `clock`, which bounds every wait on the descriptor (see
// CClock::WaitUntil).
class CFdTransport final : public CLinkTransport {
public:
    // `isSocket`: writes use send() without SIGPIPE.
    CFdTransport(int fd, bool isSocket, bool usesChecksum, long bytesPerSecond, CClock& clock);
    ~CFdTransport() override;
    CFdTransport(const CFdTransport&) = delete;
    CFdTransport& operator=(const CFdTransport&) = delete;

    long Write(const uint8_t* data, size_t length, uint64_t deadline) override;
    long Read(uint8_t* buffer, size_t capacity, uint64_t deadline) override;
    bool UsesChecksum() const override { return usesChecksum_; }
    long BytesPerSecond() const override { return bytesPerSecond_; }

    // One wait of at most `micros` real microseconds for `events` on `fd`:
    // 1 ready (or an error the next call reports), 0 not yet (the time
    // passed, or a signal came), < 0 the descriptor failed.
    static int PollOnce(int fd, short events, uint64_t micros);

private:
    // Waits for `events` until `deadline`: 1 ready, 0 deadline passed, < 0 failure.
    int Wait(short events, uint64_t deadline);

    int fd_;
    bool isSocket_;
    bool usesChecksum_;
    long bytesPerSecond_;
    CClock& clock_;
};
