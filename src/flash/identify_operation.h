#pragma once

#include "flash/device_check.h"
#include "flash/target_operation.h"

#include <vector>

// Identify: what the flash of each bank says about itself (the JEDEC codes
// and the CFI query), read after the main init list over one connection,
// and how it compares with the project's device. Without a device in the
// project bank 0 is asked at every address step the query may answer at.
class CIdentifyOperation final : public CTargetOperation {
public:
    using CTargetOperation::CTargetOperation;

    uint32_t flashBase = 0;
    uint32_t busWidthBytes = 0;

    ETargetResult Start();

    // After Done: one entry per bank read (none for a family that has no
    // identity, `skipped` then says why).
    const std::vector<SFlashIdentity>& Banks() const { return banks_; }
    const std::string& Skipped() const { return skipped_; }
    // The comparison with the project's device (outcome Off without one).
    const SDeviceCheckResult& Comparison() const { return comparison_; }
    // Catalogue rows that fit bank 0, in catalogue order.
    std::vector<const SFlashDevice*> Fits() const;
    // What was found, as lines: per bank the codes, the geometry and the
    // rows that fit, then how the project's device compares.
    std::string Report() const;

private:
    std::vector<SFlashIdentity> banks_;
    std::string skipped_;
    SDeviceCheckResult comparison_;
};
