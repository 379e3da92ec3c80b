#pragma once

#include "flash/target_operation.h"

class CMemoryImage;

// The Program command: writes a range of the memory image into target flash.
class CProgramOperation final : public CTargetOperation {
public:
    // Devices of this program algorithm keep their security bits in the two
    // low bits of the byte at kSecurityAddress; 10 binary is "not secured".
    static constexpr uint32_t kSecurityAlgorithm = 40;
    static constexpr uint32_t kSecurityAddress = 0xFC100417;

    CProgramOperation(CProbeLibrary& library, CMessageBox& box, COperationView& view, std::string channelText,
                      CMemoryImage& image, CClock& clock = CSystemClock::Instance())
        : CTargetOperation(library, box, view, std::move(channelText), clock), image_(image)
    {
    }

    CMemoryRange physical;
    CMemoryRange range;
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
