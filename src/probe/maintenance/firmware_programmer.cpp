#include "probe/maintenance/firmware_programmer.h"

#include "common/operation_view.h"
#include "probe/probe_frames.h"
#include "probe/probe_status.h"

#include <filesystem>

namespace {

const uint8_t kStartMarker[4] = {0xAA, 0x55, 0x55, 0xAA};

} // namespace

std::string CFirmwareProgrammer::BadRecordText(const std::string& path, const CFirmwareImage& image)
{
    return "Firmware: bad record in " + std::filesystem::path(path).filename().string() + ", " + image.detail;
}

int CFirmwareProgrammer::Program(const CFirmwareImage& image)
{
    view_.SetStatus("Firmware: Erasing Flash ...");
    for (uint32_t sector : kSectors) {
        if (const int status = frames_.EraseProbeSector(sector); status != kStatusOk) {
            view_.SetStatus("Firmware: Erasing Flash ... failed!");
            return status;
        }
    }
    view_.SetStatus("Firmware: Programming Flash ...");
    // The share of the file read so far; the records after the last data
    // record (the end record) are read too, so the whole file ends at 100 %.
    const auto report = [this, &image](uint64_t filePosition) {
        view_.Progress({EOperationKind::ProbeFirmware, filePosition, image.FileLength()});
        const unsigned percent =
            image.FileLength() ? static_cast<uint16_t>(filePosition * 100 / image.FileLength()) : 0;
        if (percent != lastPercent_) {
            lastPercent_ = percent;
            view_.SetStatus("Firmware: Programming Flash ... ( " + std::to_string(percent) + "% )");
            view_.SetProgress(static_cast<int>(percent));
        }
    };
    uint32_t value = 0;
    for (const CFirmwareImage::SBlock& block : image.Blocks()) {
        const int status =
            frames_.ProgramProbeMemory(block.address, static_cast<uint16_t>(block.data.size()), block.data.data(), value);
        if (status != kStatusOk) {
            view_.SetStatus("Firmware: Programming Flash ... failed!");
            return status;
        }
        report(block.filePosition);
    }
    report(image.FileLength());
    const int status = frames_.ProgramProbeMemory(CFirmwareImage::kMarkerAddress, 4, kStartMarker, value);
    view_.SetStatus(status == kStatusOk ? "Firmware: Programming Flash ... passed!"
                                        : "Firmware: Programming Flash ... failed!");
    return status;
}
