#pragma once

#include <cstdint>

// How the poll of one erase pass ended.
enum class EPollOutcome { Done, Failed, TimedOut, LibraryError, Cancelled };

// What polling an erase pass needs of the erase that runs it: reads of the
// target (the erase remembers the address for its failure text), the pass's
// timeout, and a place to take the person's stop request: a pass once
// started is polled to its end (a flash device cannot be stopped in the
// middle of an erase), so the stop is only noted and shown there and taken
// before the next pass.
class CErasePollBus {
public:
    virtual ~CErasePollBus() = default;
    // One read of `widthBytes`; the library status.
    virtual int Read(uint32_t address, uint32_t widthBytes, uint32_t& value) = 0;
    // Whether more than `timeoutMs` passed since `startMs` (the clock's milliseconds).
    virtual bool TimedOut(uint64_t startMs, uint64_t timeoutMs) = 0;
    // Asked between polls: shows, once, that a stop waits for the pass.
    virtual void NoteStop() = 0;
};
