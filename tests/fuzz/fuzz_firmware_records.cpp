// Firmware image files: every line a good record with its data inside the
// firmware area (from its first sector up, the start marker's word erased), or the file refused with the line at fault.
#include "probe/maintenance/firmware_image.h"
#include "probe/maintenance/firmware_record.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The first line alone, as the record parser sees it.
    const size_t newline = text.find('\n');
    uint32_t address = 0;
    std::vector<uint8_t> bytes;
    std::string error;
    const CFirmwareRecord::EKind kind =
        CFirmwareRecord::Parse(text.substr(0, newline), newline != std::string::npos, address, bytes, error);
    if (kind == CFirmwareRecord::EKind::Bad && error.empty())
        std::abort();

    CFirmwareImage image;
    if (image.ReadText(text) == CFirmwareImage::EResult::Ok) {
        if (image.Blocks().empty())
            std::abort();
        for (const CFirmwareImage::SBlock& block : image.Blocks()) {
            const uint64_t end = uint64_t{block.address} + block.data.size();
            if (block.address < CFirmwareImage::kAreaStart || end > (uint64_t{1} << 32) ||
                block.data.size() % 4 != 0 || block.filePosition > text.size())
                std::abort();
            for (uint64_t at = block.address; at < end; ++at) {
                if (at >= CFirmwareImage::kMarkerAddress && at < CFirmwareImage::kMarkerAddress + 4 &&
                    block.data[at - block.address] != 0xFF)
                    std::abort();
            }
        }
    } else if (image.detail.empty()) {
        std::abort();
    }
    return 0;
}
