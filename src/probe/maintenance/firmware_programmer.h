#pragma once

#include "probe/maintenance/firmware_image.h"

#include <cstdint>
#include <string>

class CProbeFrames;
class COperationView;

// Installs a flash-programming firmware through the probe's loader: erases
// the four firmware sectors, programs the image's records in file order and
// writes the start marker AA 55 55 AA at 0x01040000 as the very last write,
// so that an update that stops early leaves a probe whose loader will not
// start a half-written firmware (it then reports firmware version 0).
class CFirmwareProgrammer {
public:
    // The marker's sector (0x01040000) is erased first: an update that
    // stops after any erase leaves no start marker beside a firmware with a
    // sector missing.
    static constexpr uint32_t kSectors[4] = {0x01040000, 0x0100C000, 0x01080000, 0x010C0000};

    CFirmwareProgrammer(CProbeFrames& frames, COperationView& view) : frames_(frames), view_(view) {}

    // Programs an image read and checked whole before (CFirmwareImage), so
    // that a bad file never reaches the probe. 0 or the first failing
    // status (-1205, -1208, -1209 or a link error).
    int Program(const CFirmwareImage& image);
    // The status text for an image file with a bad record.
    static std::string BadRecordText(const std::string& path, const CFirmwareImage& image);

private:
    CProbeFrames& frames_;
    COperationView& view_;
    // The percentage shown last, kept from one update to the next.
    unsigned lastPercent_ = 0;
};
