#include "flash/verify_diagnosis.h"

#include "common/text_format.h"

#include <algorithm>
#include <bit>

namespace {

unsigned long Ul(uint64_t v)
{
    return static_cast<unsigned long>(v);
}

// The sector holding `address` among `flash` (address order), or nullptr.
const SFlashSector* SectorAt(const std::vector<SFlashSector>& flash, uint32_t address)
{
    auto it = std::upper_bound(flash.begin(), flash.end(), address,
                               [](uint32_t a, const SFlashSector& s) { return a < s.start; });
    if (it == flash.begin())
        return nullptr;
    --it;
    return it->Holds(address) ? &*it : nullptr;
}

} // namespace

void SVerifyDiagnosis::Add(uint32_t address, const uint8_t* image, const uint8_t* target, uint32_t length,
                           const std::vector<SFlashSector>& flash)
{
    bytesRead += length;
    for (uint32_t i = 0; i < length; ++i) {
        if (image[i] == target[i])
            continue;
        const uint32_t at = address + i;
        ++differingBytes;
        if (first.size() < kListed)
            first.push_back({at, image[i], target[i]});
        bitsReadZero += static_cast<unsigned>(std::popcount(static_cast<uint8_t>(image[i] & ~target[i])));
        bitsReadOne += static_cast<unsigned>(std::popcount(static_cast<uint8_t>(~image[i] & target[i])));
        const SFlashSector* sector = SectorAt(flash, at);
        if (sector && (sectors.empty() || sectors.back().start != sector->start))
            sectors.push_back(*sector);
    }
}

std::string SVerifyDiagnosis::Text() const
{
    std::string text = Format("Read back %lu of %lu bytes from address %08lX: %lu bytes differ.",
                              Ul(bytesRead), Ul(rangeBytes), Ul(from), Ul(differingBytes));
    if (!Complete())
        text += "\nThe read back ended early: " + stoppedBy + " The counts cover the bytes read.";
    if (!first.empty()) {
        text += differingBytes > first.size() ? Format("\nThe first %lu differences:", Ul(first.size()))
                                              : std::string("\nDifferences:");
        for (const SByteDifference& d : first)
            text += Format("\n  %08lX  Image = %02X, Target = %02X", Ul(d.address),
                           static_cast<unsigned>(d.imageByte), static_cast<unsigned>(d.targetByte));
    }
    text += Format("\nBits reading 0 where the image has 1: %lu (not erased)", Ul(bitsReadZero));
    text += Format("\nBits reading 1 where the image has 0: %lu (not programmed)", Ul(bitsReadOne));
    if (!sectors.empty()) {
        text += sectors.size() == 1 ? "\nSector affected:"
                                    : Format("\n%lu sectors affected:", Ul(sectors.size()));
        for (const SFlashSector& s : sectors)
            text += Format("\n  bank %lu sector %lu (%08lX..%08lX)", Ul(s.bank), Ul(s.sector), Ul(s.start),
                           Ul(s.start + s.size - 1));
    }
    return text;
}
