#pragma once

#include "flash/operation_result.h"
#include "flash/sector_cover.h"
#include "project/memory_range.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How one step ended on one probe (or, for an image step, once): what the
// --json record and the gang's table say about it.
struct SCliStepReport {
    std::string step;  // the step's name
    int index = 0;     // its place on the command line, from 1
    std::string probe; // empty for an image step
    int exitCode = 0;
    std::string message; // the failure's text, else the last status line
    double seconds = 0;  // wall time of the step
    // The target operations the step ran, in order (a flash step: erase,
    // program, verify), and the spans they covered.
    std::vector<SOperationResult> results;
    std::vector<CMemoryRange> spans;
    // For each of `results`: the sectors an erase erased (empty otherwise).
    std::vector<std::vector<SFlashSector>> erasedSectors;
    // flash --changed-only: the sectors that already held the image.
    std::optional<std::vector<SFlashSector>> skippedSectors;

    // "passed", "failed" or "stopped" (Ctrl-C).
    [[nodiscard]] const char* Status() const;
    // Bytes the step did: programmed when it programmed, else verified or
    // dumped, else erased; as far as it got when it failed or stopped.
    [[nodiscard]] uint64_t Bytes() const;
    // Bytes per second of the transfers that passed (program, verify,
    // dump) over their own time; none when they took under 0.1 s in all.
    [[nodiscard]] std::optional<double> Rate() const;
    // What an operation did: its bytes when it passed, else as far as it got.
    [[nodiscard]] static uint64_t DoneBytes(const SOperationResult& result);
    // The first operation that did not pass, or nullptr.
    [[nodiscard]] const SOperationResult* Failure() const;

    [[nodiscard]] nlohmann::json ToJson() const;
};
