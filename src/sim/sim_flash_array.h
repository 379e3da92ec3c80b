#pragma once

#include "common/clock.h"
#include "sim/sim_flash_algorithm.h"
#include "sim/sim_flash_device.h"
#include "sim/sim_flash_geometry.h"
#include "sim/sim_flash_timing.h"

#include <cstdint>
#include <memory>
#include <vector>

// The flash of one board file line: banks one after another from the base,
// each bank a row of devices side by side on the data bus (lanes = bus width
// / device width). Device `lane` drives bus bytes lane*width .. lane*width +
// width-1 of every bus word (little-endian lanes); bus word k of a bank is
// word k of each of its devices, so bus offset = device byte offset x lanes.
//
// A bus cycle narrower than the bus reaches only the devices whose lanes it
// touches; bytes of a device word that the cycle does not drive read back
// as 0xFF on a write. A cycle wider than the bus is split into bus-wide
// cycles, lowest address first.
class CSimFlashArray {
public:
    CSimFlashArray(const CSimFlashGeometry& geometry, const CSimFlashAlgorithm& algorithm, uint32_t base,
                   uint32_t busBytes, uint32_t banks, const CSimFlashTiming& timing, CClock& clock);

    const CSimFlashGeometry& Geometry() const { return geometry_; }
    const CSimFlashAlgorithm& Algorithm() const { return algorithm_; }
    uint32_t Base() const { return base_; }
    uint32_t BusBytes() const { return busBytes_; }
    uint32_t Lanes() const { return lanes_; }
    uint32_t Banks() const { return banks_; }
    uint64_t BankSize() const { return uint64_t(geometry_.size) * lanes_; }
    uint64_t Size() const { return BankSize() * banks_; }

    CSimFlashDevice& Device(uint32_t bank, uint32_t lane) { return *devices_[bank * lanes_ + lane]; }

    // What every chip of the array says about itself (its CFI table is built
    // from the geometry). The chips start with DefaultSimFlashIdentity.
    void SetIdentity(const CSimFlashIdentity& identity);

    // Bus cycles at `offset` from the base; the caller has checked that the
    // access lies inside the array and is aligned to its width.
    uint32_t Read(uint64_t offset, int widthBytes);
    void Write(uint64_t offset, int widthBytes, uint32_t value);

    // The device holding the byte at `offset`, and that byte's device offset.
    CSimFlashDevice& Locate(uint64_t offset, uint32_t& deviceOffset, uint32_t* bank = nullptr,
                            uint32_t* lane = nullptr);

    // Where a bus cycle at `offset` from the base lands: its bank, the first
    // bus byte lane it drives, and the device offset of the device words it
    // reaches (the same in every lane).
    struct CRoute {
        uint32_t bank;
        uint32_t firstByte;
        uint32_t deviceOffset;
    };
    CRoute Route(uint64_t offset) const
    {
        // Banks of a power-of-two size (all real chips) are found by shifts:
        // a cycle per bus word while programming makes divisions show.
        const uint32_t bank = uint32_t(bankShift_ >= 0 ? offset >> bankShift_ : offset / bankSize_);
        const uint64_t inBank = bankShift_ >= 0 ? offset & (bankSize_ - 1) : offset % bankSize_;
        return {bank, uint32_t(inBank & (busBytes_ - 1)), DeviceOffset(inBank)};
    }
    // The device offset of the bus word at `inBank` from its bank's start.
    uint32_t DeviceOffset(uint64_t inBank) const { return uint32_t((inBank >> busShift_) * deviceWidth_); }
    // The bits of a device word.
    uint32_t WordMask() const { return wordMask_; }

private:
    uint32_t Cycle(uint64_t offset, int widthBytes, bool write, uint32_t value);

    CSimFlashGeometry geometry_;
    CSimFlashAlgorithm algorithm_;
    uint32_t base_;
    uint32_t busBytes_;
    uint32_t lanes_;
    uint32_t banks_;
    std::vector<std::unique_ptr<CSimFlashDevice>> devices_;
    // Cycle's arithmetic, worked out once: the bank size, its shift when it
    // is a power of two (all real chips; -1 otherwise), the bus width's
    // shift (1, 2 or 4 bytes) and the device width.
    uint64_t bankSize_;
    int bankShift_;
    int busShift_;
    uint32_t deviceWidth_;
    uint32_t wordMask_;
};
