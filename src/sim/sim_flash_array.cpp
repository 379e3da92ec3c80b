#include "sim/sim_flash_array.h"

#include "sim/sim_flash_intel.h"
#include "sim/sim_flash_jedec.h"
#include "sim/sim_flash_on_chip.h"
#include "sim/sim_flash_page_write.h"

#include <bit>

namespace {

std::unique_ptr<CSimFlashDevice> MakeDevice(const CSimFlashGeometry& geometry, const CSimFlashAlgorithm& algorithm,
                                            const CSimFlashTiming& timing, CClock& clock)
{
    switch (algorithm.commandSet) {
    case ESimCommandSet::Jedec:
        return std::make_unique<CSimFlashJedec>(geometry, algorithm, timing, clock);
    case ESimCommandSet::Intel:
        return std::make_unique<CSimFlashIntel>(geometry, timing, clock);
    case ESimCommandSet::PageWrite:
        return std::make_unique<CSimFlashPageWrite>(geometry, timing, clock);
    case ESimCommandSet::OnChip:
        break;
    }
    return std::make_unique<CSimFlashOnChip>(geometry, timing, clock);
}

} // namespace

CSimFlashArray::CSimFlashArray(const CSimFlashGeometry& geometry, const CSimFlashAlgorithm& algorithm,
                               uint32_t base, uint32_t busBytes, uint32_t banks, const CSimFlashTiming& timing,
                               CClock& clock)
    : geometry_(geometry), algorithm_(algorithm), base_(base), busBytes_(busBytes),
      lanes_(busBytes / geometry.deviceWidth), banks_(banks)
{
    bankSize_ = BankSize();
    bankShift_ = (bankSize_ & (bankSize_ - 1)) == 0 ? std::countr_zero(bankSize_) : -1;
    busShift_ = std::countr_zero(busBytes_);
    deviceWidth_ = geometry_.deviceWidth;
    wordMask_ = deviceWidth_ == 4 ? 0xFFFFFFFFu : (1u << (8 * deviceWidth_)) - 1;
    for (uint32_t i = 0; i < banks_ * lanes_; ++i)
        devices_.push_back(MakeDevice(geometry_, algorithm_, timing, clock));
    SetIdentity(DefaultSimFlashIdentity(geometry_));
}

void CSimFlashArray::SetIdentity(const CSimFlashIdentity& identity)
{
    const std::vector<uint8_t> table = BuildSimCfiTable(geometry_, algorithm_);
    for (auto& device : devices_)
        device->SetIdentity(identity, table);
}

CSimFlashDevice& CSimFlashArray::Locate(uint64_t offset, uint32_t& deviceOffset, uint32_t* bank, uint32_t* lane)
{
    const CRoute route = Route(offset);
    const uint32_t l = route.firstByte / deviceWidth_;
    deviceOffset = route.deviceOffset + route.firstByte % deviceWidth_;
    if (bank)
        *bank = route.bank;
    if (lane)
        *lane = l;
    return Device(route.bank, l);
}

uint32_t CSimFlashArray::Cycle(uint64_t offset, int widthBytes, bool write, uint32_t value)
{
    const auto [bank, first, deviceOffset] = Route(offset);
    // One past the last bus byte lane driven.
    const uint32_t last = first + uint32_t(widthBytes);
    const uint32_t width = deviceWidth_;
    // One device as wide as the bus, driven whole: the word passes as it is.
    if (lanes_ == 1 && first == 0 && uint32_t(widthBytes) == width) {
        CSimFlashDevice& device = Device(bank, 0);
        if (!write)
            return device.ReadCycle(deviceOffset) & wordMask_;
        device.WriteCycle(deviceOffset, value & wordMask_);
        return 0;
    }
    uint32_t result = 0;
    for (uint32_t lane = 0; lane < lanes_; ++lane) {
        const uint32_t laneFirst = lane * width, laneLast = laneFirst + width;
        if (laneLast <= first || laneFirst >= last)
            continue;
        CSimFlashDevice& device = Device(bank, lane);
        if (write) {
            uint32_t word = 0;
            for (uint32_t i = 0; i < width; ++i) {
                uint32_t busByte = laneFirst + i;
                uint32_t byte = busByte >= first && busByte < last ? (value >> (8 * (busByte - first))) & 0xFF : 0xFF;
                word |= byte << (8 * i);
            }
            device.WriteCycle(deviceOffset, word);
        } else {
            uint32_t word = device.ReadCycle(deviceOffset);
            for (uint32_t i = 0; i < width; ++i) {
                uint32_t busByte = laneFirst + i;
                if (busByte >= first && busByte < last)
                    result |= ((word >> (8 * i)) & 0xFF) << (8 * (busByte - first));
            }
        }
    }
    return result;
}

uint32_t CSimFlashArray::Read(uint64_t offset, int widthBytes)
{
    if (uint32_t(widthBytes) <= busBytes_)
        return Cycle(offset, widthBytes, false, 0);
    uint32_t value = 0;
    for (uint32_t done = 0; done < uint32_t(widthBytes); done += busBytes_)
        value |= Cycle(offset + done, int(busBytes_), false, 0) << (8 * done);
    return value;
}

void CSimFlashArray::Write(uint64_t offset, int widthBytes, uint32_t value)
{
    if (uint32_t(widthBytes) <= busBytes_) {
        Cycle(offset, widthBytes, true, value);
        return;
    }
    for (uint32_t done = 0; done < uint32_t(widthBytes); done += busBytes_)
        Cycle(offset + done, int(busBytes_), true, value >> (8 * done));
}
