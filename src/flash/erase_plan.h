#pragma once

#include "catalogue/flash_algorithm.h"
#include "flash/erase_target.h"

#include <cstdint>
#include <string>
#include <vector>

// The walk of one erase, computed as plain values before anything is sent:
// which family erases the device, and for the families that the host drives
// (JEDEC and Intel command sets) every pass with its bus cycles, where it
// polls, its timeout and its texts; for the on-chip families the FlashErase
// requests the probe's firmware gets. CEraseFlash carries a plan out over the
// probe library; tests check plans without a probe.

// How a host-driven pass waits for its device.
enum class EPollRule {
    // JEDEC: done when a read is all ones; failed when a device lane that
    // showed bit 5 (DQ5) reads anything but all ones next time.
    JedecFailureBit,
    // JEDEC without a failure bit (22, 23, 24): all ones or the timeout.
    JedecNoFailureBit,
    // JEDEC without a failure bit, with a dropped read of the sector address
    // XOR 4 before every poll read (37, 38).
    JedecDummyRead,
    // Intel status under the lane mask: bit 7 clear in any lane is busy,
    // then any of bits 3 to 6 is a failure, else done.
    IntelStatus,
    // 16-bit status (49): bit 7 with bit 5 failed, bit 7 alone done, else busy.
    Intel16Status,
};

// When the closing cycles of a pass (JEDEC reset, Intel clear status and read
// array) are written, and whether their statuses count.
enum class EFinishRule {
    Always,            // after every pass; statuses ignored
    AfterTimeout,      // only after a timed-out pass; statuses ignored
    AlwaysCounted,     // after every pass; a failing cycle fails the pass
};

// One bus cycle of the host, with the bus width of the plan (Intel16Status:
// 16 bits). A read's value is dropped.
struct SBusCycle {
    bool read = false;
    uint32_t address = 0;
    uint32_t value = 0;

    bool operator==(const SBusCycle&) const = default;
};

// One erase command of the host and its wait: a whole bank (sector -1) or
// one sector.
struct SErasePass {
    uint32_t bank = 0;
    int sector = -1;
    // Whether the pass's texts name its bank (16-bit bank-0 erases name the sector only).
    bool namesBank = true;
    std::vector<SBusCycle> commands;
    uint32_t pollAddress = 0;
    uint32_t dummyReadAddress = 0; // JedecDummyRead only
    uint64_t timeoutMs = 0;        // from the time taken before the first command
    std::vector<SBusCycle> finish;
    uint32_t progressStep = 1;     // sectors this pass accounts for
};

// One FlashErase request of an on-chip family.
struct SOnChipRequest {
    uint8_t mode = 0;
    uint32_t p1 = 0;
    uint32_t p2 = 0;
    uint32_t p3 = 0;
    uint32_t p4 = 0;

    bool operator==(const SOnChipRequest&) const = default;
};

// How an on-chip family waits for each request.
enum class EOnChipPoll {
    Once,      // 40, 41: the request waits for the erase; one FlashEraseStatus
    WhileBusy, // 42 to 46: FlashEraseStatus again while the state is 2
};

// Which erase time the on-chip success text shows.
enum class EOnChipTime {
    None,  // "Memory successful erased"
    Sum,   // 40, 41: the values of all requests added up
    Last,  // 43, 45: the value of the last request
};

class CErasePlan {
public:
    // Whole-bank JEDEC erases get 300000 ms, a sector 60000 ms.
    static constexpr uint64_t kEraseAllTimeoutMs = 300000;
    static constexpr uint64_t kSectorTimeoutMs = 60000;
    // Bound on waiting for an on-chip erase that stays busy (state 2).
    static constexpr uint64_t kOnChipTimeoutMs = 300000;

    // The family of an erase algorithm code.
    static EEraseFamily FamilyOf(uint32_t eraseAlgorithm);
    // A command byte in every byte of a bus word of `widthBytes`.
    static uint32_t Replicate(uint8_t command, uint32_t widthBytes);

    // Plans the erase of `target`. A target whose geometry the family cannot
    // handle (bus narrower than the device, a width the family does not
    // define, banks outside 1..16, a bad sector table, banks past the end of
    // the address space, sectors beyond an on-chip bit mask) gives false and
    // the text for the status line in `error`; `plan` is then unspecified.
    static bool Build(const SEraseTarget& target, CErasePlan& plan, std::string& error);

    EEraseFamily family = EEraseFamily::None;
    uint32_t algorithm = 0;

    // ---- Host-driven families (JEDEC, Intel) -------------------------------
    // Bytes of every bus cycle and poll read: the bus width (2 for code 49).
    uint32_t accessWidth = 0;
    EPollRule pollRule = EPollRule::JedecFailureBit;
    EFinishRule finishRule = EFinishRule::Always;
    // Whether the cycles before a pass's start cycle may go out in one batch
    // behind the closing cycles of the pass before (rule Always only). JEDEC:
    // the unlock cycles change nothing without the start cycle, and the reset
    // among the closing cycles ends a sequence left half done. Not Intel: its
    // erase setup followed by anything but the confirm sets error bits that
    // stay until a clear status.
    bool leadFollowsFinish = false;
    // Width in bytes of one device lane on the bus (JEDEC polling).
    uint32_t laneWidth = 0;
    // Intel lane mask M: the bus bytes whose devices are addressed.
    uint32_t laneMask = 0;
    std::vector<SErasePass> passes;
    // The progress total: the sectors all passes account for.
    uint64_t progressTotal = 0;

    // ---- On-chip families --------------------------------------------------
    std::vector<SOnChipRequest> requests;
    EOnChipPoll onChipPoll = EOnChipPoll::WhileBusy;
    EOnChipTime onChipTime = EOnChipTime::None;
    // 40, 41: the failure text names the value of the failing status.
    bool failureNamesAddress = false;
};
