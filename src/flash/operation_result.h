#pragma once

#include "common/operation_view.h"
#include "flash/verify_diagnosis.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// How an erase or a transfer ended.
enum class EOperationStatus {
    Done,
    EmptyRange,       // nothing to do: the range is empty
    ProbeError,       // the library or the probe gave `probeStatus`
    ProgramFailed,    // the probe could not program the byte at `address`
    CompareFailed,    // verify: the byte at `address` differs (imageByte / targetByte)
    ImageWriteFailed, // dump: the image could not keep the block at `address`
    DeviceFailed,     // erase: the device reported a failure (bank / sector, or `address`)
    TimedOut,         // erase: the device did not finish in time
    NotPossible,      // erase: the target's geometry does not fit the algorithm
    Cancelled,        // the person stopped it
};

// The outcome of one erase or transfer as values; the texts the person sees
// are formatted from it (COperationTexts).
struct SOperationResult {
    EOperationKind kind = EOperationKind::Other;
    EOperationStatus status = EOperationStatus::Done;
    int probeStatus = 0;
    uint32_t address = 0;
    uint64_t bytes = 0;     // bytes of the range (transfers)
    uint64_t doneBytes = 0; // bytes done when a transfer was cancelled
    uint64_t elapsedMs = 0; // transfers: from the setup to the end; erase: the probe's erase time when reported
    uint8_t imageByte = 0;
    uint8_t targetByte = 0;
    int bank = -1;   // erase: the failing pass's bank, -1 when none
    int sector = -1; // erase: the failing pass's sector, -1 for a whole bank
    uint32_t spans = 0; // transfers over several spans: how many were started
    // A transfer ended by a probe or link error: the last byte the probe
    // had acknowledged, when it had any.
    std::optional<uint32_t> lastAcknowledged = std::nullopt;
    // A host-driven erase: the passes it completed, as (bank, sector), the
    // sector -1 for a whole bank; elapsedMs is then the erase's own time.
    std::vector<std::pair<int, int>> erasedPasses = {};
    // A failed verify: what reading back the target found (its Text() is the
    // failure's details).
    std::optional<SVerifyDiagnosis> diagnosis = std::nullopt;

    [[nodiscard]] bool Ok() const { return status == EOperationStatus::Done; }
    explicit operator bool() const { return Ok(); }
};
