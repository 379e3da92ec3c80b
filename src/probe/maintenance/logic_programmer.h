#pragma once

#include "probe/maintenance/jedec_file.h"

#include <cstdint>
#include <string>

class CMessageBox;
class COperationView;
class CProbeFrames;

// The steps that replace the probe logic's contents through the loader:
// read the JEDEC file, begin logic access, check the device, erase, program
// the rows and the signature (UES), verify both, end logic access. Each step
// returns true on success; on failure it has shown its message (a plain box
// under the application title) and returns false.
class CLogicProgrammer {
public:
    static constexpr size_t kUesFuses = 120;

    CLogicProgrammer(CProbeFrames& frames, COperationView& view, CMessageBox& box)
        : frames_(frames), view_(view), box_(box)
    {
    }

    // The signature text of a logic version: "B6001E8" and its three digits.
    static std::string SignatureText(uint16_t version);
    // The 120 signature fuses of a text: its first 15 bytes (zero bytes past
    // its end), eight fuses each, most significant bit first.
    static std::string SignatureBits(const std::string& text);

    bool ReadJedecFile(const std::string& path);
    bool BeginAccess();
    bool CheckDevice();
    bool Erase();
    bool Program(const std::string& signatureText);
    bool Verify(const std::string& signatureText);
    bool EndAccess();

    const CJedecFile::FuseMap& FuseMap() const { return map_; }

private:
    bool CommunicationFailed();
    void Fail(const std::string& text);

    CProbeFrames& frames_;
    COperationView& view_;
    CMessageBox& box_;
    CJedecFile::FuseMap map_;
};
