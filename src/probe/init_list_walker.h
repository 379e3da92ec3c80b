#pragma once

#include "probe/probe_library.h"

#include <cstdint>
#include <functional>

// Walks an init list in the order the probe runs it. A LOOP entry repeats
// the two entries before it: on its first visit its loop counter is loaded
// from its value; while the counter is above 1 it is decremented, the LOOP's
// address is added to the offset of memory writes and the walk goes back two
// entries; then counter and offset are cleared and the walk goes on. A count
// of 0 or 1 repeats nothing.
class CInitListWalker {
public:
    // Called for every entry that is run (LOOP entries included) with the
    // offset in force; a nonzero result stops the walk and is returned.
    using Visit = std::function<int(const SInitListRecord& entry, uint32_t offset)>;

    // 0, the first nonzero result of `visit`, or kStatusInvalidArgument when
    // a LOOP would go back before the first entry or the walk takes more than
    // `maxSteps` entries.
    static int Walk(const SInitListRecord* records, int count, uint64_t maxSteps, const Visit& visit);

    // Milliseconds the probe spends in DELAY and EXEC entries of the list,
    // loops included (capped at `capMs`).
    static uint64_t PlannedDelayMs(const SInitListRecord* records, int count, uint64_t capMs);

    // Milliseconds a whole list may wait, loops included.
    static constexpr uint64_t kMaxTotalDelayMs = 600000;
    // kStatusInitListDelay when a DELAY or EXEC entry asks for more than
    // CCodeItem::kMaxDelayMs (the editor's bound, which a file or an import
    // may pass) or the list would wait more than kMaxTotalDelayMs in all;
    // otherwise 0. Checked before a list runs, so that nothing sleeps for weeks.
    static int CheckDelays(const SInitListRecord* records, int count);
};
