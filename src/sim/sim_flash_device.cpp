#include "sim/sim_flash_device.h"

CSimFlashDevice::CSimFlashDevice(const CSimFlashGeometry& geometry, const CSimFlashTiming& timing,
                                 CClock& clock)
    : timing_(timing), clock_(clock), geometry_(geometry), store_(geometry.size, 0xFF)
{
}

void CSimFlashDevice::SetStuckBit(uint32_t offset, int bit, int value)
{
    auto& [mask, bits] = stuck_[offset];
    uint8_t b = uint8_t(1u << bit);
    mask |= b;
    bits = value ? uint8_t(bits | b) : uint8_t(bits & ~b);
    store_.Set(offset, ApplyStuck(offset, store_.Get(offset)));
}

void CSimFlashDevice::ClearFaults()
{
    stuck_.clear();
    eraseFailures_.clear();
    eraseHangs_.clear();
}

uint8_t CSimFlashDevice::ApplyStuck(uint32_t offset, uint8_t value) const
{
    if (stuck_.empty())
        return value;
    auto it = stuck_.find(offset);
    if (it == stuck_.end())
        return value;
    auto [mask, bits] = it->second;
    return uint8_t((value & ~mask) | (bits & mask));
}

uint64_t CSimFlashDevice::EraseMicros(const std::vector<int>& sectors) const
{
    return sectors.empty() ? timing_.chipEraseMicros : timing_.sectorEraseMicros * sectors.size();
}

CSimFlashDevice::EEraseResult CSimFlashDevice::EraseSectors(const std::vector<int>& sectors, int& failedSector)
{
    std::vector<int> all;
    const std::vector<int>* list = &sectors;
    if (sectors.empty()) {
        for (int s = 0; s < int(geometry_.sectorStarts.size()); ++s)
            all.push_back(s);
        list = &all;
    }
    for (int s : *list) {
        if (eraseHangs_.count(s)) {
            failedSector = s;
            return EEraseResult::Hangs;
        }
    }
    bool failed = false;
    for (int s : *list) {
        bool sectorFails = eraseFailures_.count(s) != 0;
        uint32_t begin = geometry_.SectorStart(s), end = geometry_.SectorEnd(s);
        if (!sectorFails) {
            store_.Fill(begin, end, 0xFF);
            for (auto it = stuck_.lower_bound(begin); it != stuck_.end() && it->first < end; ++it) {
                uint8_t now = ApplyStuck(it->first, 0xFF);
                store_.Set(it->first, now);
                sectorFails |= now != 0xFF;
            }
        }
        if (sectorFails && !failed) {
            failed = true;
            failedSector = s;
        }
    }
    return failed ? EEraseResult::Failed : EEraseResult::Done;
}

bool CSimFlashDevice::ProgramWord(uint32_t offset, uint32_t data)
{
    if (stuck_.empty()) {
        // No stuck bit anywhere: the word is ANDed in as a whole.
        const int width = int(Width());
        const uint32_t want = width == 4 ? data : data & ((1u << (8 * width)) - 1);
        const uint32_t now = store_.GetWord(offset, width) & want;
        store_.SetWord(offset, width, now);
        return now == want;
    }
    bool ok = true;
    for (uint32_t i = 0; i < Width(); ++i) {
        uint8_t want = uint8_t(data >> (8 * i));
        uint8_t now = ApplyStuck(offset + i, store_.Get(offset + i) & want);
        store_.Set(offset + i, now);
        ok &= now == want;
    }
    return ok;
}

bool CSimFlashDevice::ProgramBytes(uint32_t offset, const uint8_t* data, uint32_t length, uint32_t& failOffset)
{
    bool ok = true;
    for (uint32_t i = 0; i < length; ++i) {
        uint8_t now = ApplyStuck(offset + i, store_.Get(offset + i) & data[i]);
        store_.Set(offset + i, now);
        if (ok && now != data[i]) {
            ok = false;
            failOffset = offset + i;
        }
    }
    return ok;
}

bool CSimFlashDevice::ReplaceBytes(uint32_t offset, const uint8_t* data, uint32_t length)
{
    bool ok = true;
    for (uint32_t i = 0; i < length; ++i) {
        uint8_t now = ApplyStuck(offset + i, data[i]);
        store_.Set(offset + i, now);
        ok &= now == data[i];
    }
    return ok;
}
