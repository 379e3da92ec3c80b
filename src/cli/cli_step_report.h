#pragma once

#include "flash/operation_result.h"
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

    // "passed", "failed" or "stopped" (Ctrl-C).
    [[nodiscard]] const char* Status() const;
    // Bytes the step's spans hold.
    [[nodiscard]] uint64_t Bytes() const;
    // Bytes per second of the transfers that passed (program, verify,
    // dump) over their own time; 0 when none did.
    [[nodiscard]] double Rate() const;
    // The first operation that did not pass, or nullptr.
    [[nodiscard]] const SOperationResult* Failure() const;

    [[nodiscard]] nlohmann::json ToJson() const;
};
