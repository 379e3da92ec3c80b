#pragma once

#include "probe/firmware/firmware_bus.h"
#include "probe/probe_library.h"

#include <cstdint>
#include <vector>

// Runs a main init list as the probe does when it receives one: memory
// writes and reads become bus cycles (writes at the address plus the loop
// offset, reads without it), register writes go to the core, DELAY waits,
// EXEC runs code, MMAP and NOP do nothing, LOOP repeats the two entries
// before it (CInitListWalker). A list that would wait longer than the
// walker allows is refused before anything runs.
class CInitListRunner {
public:
    // An init list may run at most this many entries (loops counted).
    static constexpr uint64_t kMaxSteps = 10'000'000;

    // 0, kStatusTargetAccessError for a bus cycle that nothing answered,
    // kStatusInitListFailed when the probe is stopped, the bus's status for a
    // register write or EXEC it could not do, or the walker's status.
    static int Run(const std::vector<SInitListRecord>& list, CFirmwareBus& bus);
};
