#pragma once

#include <cstdint>

// How the poll of one erase pass ended.
enum class EPollOutcome { Done, Failed, TimedOut, LibraryError, Cancelled };

// What polling an erase pass needs of the erase that runs it: reads of the
// target (the erase remembers the address for its failure text), the pass's
// timeout and the person's cancel request.
class CErasePollBus {
public:
    virtual ~CErasePollBus() = default;
    // One read of `widthBytes`; the library status.
    virtual int Read(uint32_t address, uint32_t widthBytes, uint32_t& value) = 0;
    // Whether more than `timeoutMs` passed since `startMs` (the clock's milliseconds).
    virtual bool TimedOut(uint64_t startMs, uint64_t timeoutMs) = 0;
    virtual bool CancelRequested() = 0;
};
