#pragma once

#include "flash/target_operation.h"

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
    uint32_t busWidthBytes = 0;

    // "S&tart...": checks, then the sequence around VerifyRange.
    ETargetResult Start();

private:
    CMemoryImage& image_;
};
