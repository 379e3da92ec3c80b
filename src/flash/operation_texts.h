#pragma once

#include "flash/operation_result.h"

#include <string>
#include <vector>

struct SErasePass;

// Every text the erase and the transfers show, formatted from their values
// in this one place.
class COperationTexts {
public:
    // Transfers shorter than this show no rate (kB/s is 1000 bytes a second).
    static constexpr uint64_t kShortestRatedMs = 100;

    // A host-driven erase pass: as it starts, when the device reports a
    // failure, when it does not finish in time.
    static std::string PassStarted(const SErasePass& pass);
    static std::string PassFailed(const SErasePass& pass);
    static std::string PassTimedOut(const SErasePass& pass);
    // The bus access of a pass that the probe could not make, named in front
    // of the probe's reason: "Erasing bank  0 sector  3, writing at address 0x80008AAA".
    static std::string PassAccess(const SErasePass& pass, uint32_t address, bool read);

    // A stop asked for while a pass erases: the pass runs to its end (a chip
    // erase cannot be stopped at all once begun, a sector finishes first).
    static std::string StopWaits(const SErasePass& pass);
    // The result of an erase stopped after the passes in `erased` (of
    // `passes` planned): what is erased, and that the rest is not.
    static std::string Stopped(const std::vector<const SErasePass*>& erased, size_t passes);

    // The result line of an erase, a program, a verify or a dump that ended
    // Done, EmptyRange, CompareFailed, ImageWriteFailed or Cancelled. Probe
    // errors are named by the target connection's status texts; erase
    // failures of a pass by the pass texts above.
    static std::string Result(const SOperationResult& result);

    // The details of a failure, for a failure box's details area: what a
    // failed verify found on reading the target back; empty when there are none.
    static std::string Details(const SOperationResult& result);

    // The program result line for `size` bytes in `elapsedMs`: kB/s when the
    // rate is 3 bytes per millisecond or more, else Byte/s; no rate at all
    // under kShortestRatedMs.
    static std::string ProgramRate(uint64_t size, uint64_t elapsedMs);

    // The status line while a program, verify or dump runs: the bytes done of
    // the total, the percentage and the rate since the transfer's first
    // block ("Programming 24576 of 65536 bytes (37 %), 41 kB/s"); the rate is
    // left out until time has passed. Empty for any other kind of event.
    static std::string Running(const SProgressEvent& event, uint64_t bytesSinceStart, uint64_t elapsedMs);
};
