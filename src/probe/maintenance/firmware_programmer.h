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
    // that a bad file never reaches the probe. First CheckFits: an image
    // the probe cannot hold is refused before the first erase. 0 or the
    // first failing status (-1205, -1207, -1208, -1209 or a link error).
    int Program(const CFirmwareImage& image);

    // Whether every data byte of `image` lies in the probe's flash, asked of
    // the probe with reads alone (its loader answers a read inside its flash
    // and refuses one beyond): one read of the image's highest byte, and
    // only when that is refused a search for the flash's last byte. 0 when
    // it fits; -1207 with Problem() naming the first record (in file order)
    // that does not; a link failure's status as it came.
    int CheckFits(const CFirmwareImage& image);
    // After CheckFits refused: "line N: ..." with the record's address and
    // the end of the probe's flash.
    const std::string& Problem() const { return problem_; }
    // The status text for an image file with a bad record.
    static std::string BadRecordText(const std::string& path, const CFirmwareImage& image);

private:
    CProbeFrames& frames_;
    COperationView& view_;
    // Reads one byte at `address`: 1 when the loader answers, 0 when it
    // refuses (beyond its flash), a negative link status otherwise.
    int Readable(uint32_t address);

    // The percentage shown last, kept from one update to the next.
    unsigned lastPercent_ = 0;
    std::string problem_;
};
