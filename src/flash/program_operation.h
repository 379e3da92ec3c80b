#pragma once

#include "catalogue/flash_algorithm.h"
#include "flash/target_operation.h"

#include <vector>

class CMemoryImage;

// The Program command: writes a range of the memory image into target flash.
class CProgramOperation final : public CTargetOperation {
public:
    static constexpr uint32_t kSecurityAddress = CFlashAlgorithms::kSecurityAddress;

    CProgramOperation(CProbeLibrary& library, CMessageBox& box, COperationView& view, std::string channelText,
                      CMemoryImage& image, CClock& clock = CSystemClock::Instance())
        : CTargetOperation(library, box, view, std::move(channelText), clock), image_(image)
    {
    }

    CMemoryRange physical;
    CMemoryRange range;
    // When not empty: the spans programmed in turn over one connection, in
    // place of `range` (a scattered file's written ranges).
    std::vector<CMemoryRange> spans;
    CCodeList preList;
    CCodeList postList;
    uint32_t flashBase = 0;
    uint32_t workspace = 0xFFFFFFFF;
    uint32_t busWidthBytes = 0;

    // "S&tart...": checks, the security bits question, then the sequence
    // around ProgramRange.
    ETargetResult Start();

private:
    CMemoryImage& image_;
};
