#pragma once

#include "probe/firmware_image.h"

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
    static constexpr uint32_t kSectors[4] = {0x0100C000, 0x01040000, 0x01080000, 0x010C0000};

    CFirmwareProgrammer(CProbeFrames& frames, COperationView& view) : frames_(frames), view_(view) {}

    // Reads and checks the image file, then programs it. A file that cannot
    // be opened (an empty path too) gives -1207 without touching the probe or
    // the status line; a bad record gives -1207 with the line in the status
    // line, also before anything reaches the probe. Otherwise 0 or the first
    // failing status (-1205, -1208, -1209 or a link error).
    int Program(const std::string& path);
    // Programs an image already read and checked.
    int Program(const CFirmwareImage& image);

    // The last image's failure detail ("" when it was read).
    const std::string& Detail() const { return detail_; }

private:
    CProbeFrames& frames_;
    COperationView& view_;
    std::string detail_;
    // The percentage shown last, kept from one update to the next.
    unsigned lastPercent_ = 0;
};
