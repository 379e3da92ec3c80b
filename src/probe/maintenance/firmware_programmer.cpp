#include "probe/maintenance/firmware_programmer.h"

#include "common/operation_view.h"
#include "common/text_format.h"
#include "probe/probe_frames.h"
#include "probe/probe_status.h"

#include <algorithm>
#include <filesystem>

namespace {

const uint8_t kStartMarker[4] = {0xAA, 0x55, 0x55, 0xAA};

} // namespace

std::string CFirmwareProgrammer::BadRecordText(const std::string& path, const CFirmwareImage& image)
{
    return "Firmware: bad record in " + std::filesystem::path(path).filename().string() + ", " + image.detail;
}

int CFirmwareProgrammer::Readable(uint32_t address)
{
    uint8_t byte = 0;
    const int status = frames_.ReadProbeMemory(address, 1, &byte);
    if (status == kStatusOk)
        return 1;
    // The loader answers a read it refuses with a short reply.
    return status == kStatusUnexpectedReply ? 0 : status;
}

int CFirmwareProgrammer::CheckFits(const CFirmwareImage& image)
{
    problem_.clear();
    uint32_t top = 0;
    for (const CFirmwareImage::SBlock& block : image.Blocks())
        if (!block.data.empty())
            top = std::max(top, static_cast<uint32_t>(block.address + (block.data.size() - 1)));
    if (top < CFirmwareImage::kAreaStart)
        return kStatusOk; // nothing to program (the image refuses data below the area)
    int readable = Readable(top);
    if (readable < 0)
        return readable;
    if (readable == 1)
        return kStatusOk; // the probe's flash runs on without a gap from the area's start
    // The last byte the loader reads, between the area's start and `top`.
    uint64_t lastGood = uint64_t{CFirmwareImage::kAreaStart} - 1;
    uint64_t firstBad = top;
    while (firstBad - lastGood > 1) {
        const uint64_t middle = lastGood + (firstBad - lastGood) / 2;
        readable = Readable(static_cast<uint32_t>(middle));
        if (readable < 0)
            return readable;
        (readable == 1 ? lastGood : firstBad) = middle;
    }
    for (const CFirmwareImage::SBlock& block : image.Blocks()) {
        const uint64_t end = uint64_t{block.address} + block.data.size() - 1;
        if (block.data.empty() || end <= lastGood)
            continue;
        problem_ = Format("line %zu: data at 0x%08lX..0x%08lX lies beyond the probe's flash, which ends at 0x%08lX",
                          block.line, static_cast<unsigned long>(block.address), static_cast<unsigned long>(end),
                          static_cast<unsigned long>(lastGood));
        break;
    }
    return kStatusFirmwareFileBad;
}

int CFirmwareProgrammer::Program(const CFirmwareImage& image)
{
    if (const int fits = CheckFits(image); fits != kStatusOk) {
        view_.SetStatus(problem_.empty() ? std::string("Firmware: Erasing Flash ... failed!")
                                         : "Firmware: " + problem_ + "; nothing was erased");
        return fits;
    }
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
