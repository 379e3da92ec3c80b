#pragma once

#include "flash/target_operation.h"

#include <vector>

class CMemoryImage;

// The Dump command: reads target memory of a range into the memory image.
class CDumpOperation final : public CTargetOperation {
public:
    CDumpOperation(CProbeLibrary& library, CMessageBox& box, COperationView& view, std::string channelText,
                   CMemoryImage& image, CClock& clock = CSystemClock::Instance())
        : CTargetOperation(library, box, view, std::move(channelText), clock), image_(image)
    {
    }

    CMemoryRange physical;
    CMemoryRange range;
    // When not empty: the spans read in turn over one connection, in place
    // of `range`.
    std::vector<CMemoryRange> spans;

    // "S&tart...": checks, then the sequence around DumpRange.
    ETargetResult Start();

private:
    CMemoryImage& image_;
};
