#pragma once

#include "flash/target_operation.h"

#include <vector>

class CMemoryImage;

// The Verify command: compares target flash over a range with the memory image.
class CVerifyOperation final : public CTargetOperation {
public:
    CVerifyOperation(CProbeLibrary& library, CMessageBox& box, COperationView& view, std::string channelText,
                     CMemoryImage& image, CClock& clock = CSystemClock::Instance())
        : CTargetOperation(library, box, view, std::move(channelText), clock), image_(image)
    {
    }

    CMemoryRange physical;
    CMemoryRange range;
    // When not empty: the spans verified in turn over one connection, in
    // place of `range`.
    std::vector<CMemoryRange> spans;
    uint32_t busWidthBytes = 0;
    // The flash array's place, to name the sectors a failed verify found.
    uint32_t flashBase = 0;
    uint32_t banks = 1;

    // "S&tart...": checks, then the sequence around VerifyRange.
    ETargetResult Start();
    // The same sequence around a comparison of each span that does not stop
    // at a difference: `matching[i]` says whether span i already holds the
    // image (see CTransfer::Matching).
    ETargetResult Check(std::vector<bool>& matching);

private:
    CMemoryImage& image_;
};
