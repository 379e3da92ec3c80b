#pragma once

#include "common/clock.h"
#include "probe/firmware/firmware_algorithm.h"

#include <algorithm>
#include <cstdint>
#include <vector>

// The probe firmware's program loops for the chips that are programmed by
// bus cycles (JEDEC, Intel and page-write command sets), written once for
// every bus they run on: the simulated board (and its bank port) and a real
// board behind a GDB server. A bus is any class with
//     bool Read(uint32_t address, uint32_t& value);
//     bool Write(uint32_t address, uint32_t value);
// carrying one cycle of the session's bus width (false: nothing answered).
//
// JEDEC chips get their unlock cycles and A0 per bus word and are polled by
// the toggle bit (DQ5 for failure); Intel chips get 40 and their status
// register; page-write chips get whole 256-byte pages. Bus words not fully
// covered by the data keep their other bytes (the word is read and merged),
// words that would not change are skipped, and every programmed byte is read
// back: the first byte that differs is the failing address.
class CFlashProgramCycles {
public:
    static constexpr int kProgramFailed = -1206;
    static constexpr uint64_t kWriteTimeoutMicros = 1000000;  // one bus word or page
    static constexpr uint32_t kPageBytes = 256;               // one page-write device's page

    // `bankMask`: the two's complement of the bank size (a bank starts at
    // address & bankMask).
    CFlashProgramCycles(const SFirmwareAlgorithm& algorithm, uint32_t busBytes, uint32_t bankMask, CClock& clock)
        : algorithm_(algorithm), busBytes_(busBytes), bankMask_(bankMask), clock_(clock)
    {
    }

    // `command` in the low byte of every byte of the bus word.
    uint32_t Replicate(uint8_t command) const
    {
        uint32_t value = 0;
        for (uint32_t i = 0; i < busBytes_; ++i)
            value |= uint32_t(command) << (8 * i);
        return value;
    }
    // The bytes of the bus word that carry a command to each device: the low
    // byte of every device lane.
    uint32_t LaneMask() const
    {
        uint32_t mask = 0;
        for (uint32_t lane = 0; lane < busBytes_ / algorithm_.deviceWidth; ++lane)
            mask |= 0xFFu << (8 * lane * algorithm_.deviceWidth);
        return mask;
    }
    // The unlock cycles' offsets from a bank's start on this bus (device
    // addresses times the devices side by side); false for families without.
    bool UnlockOffsets(uint32_t& unlock1, uint32_t& unlock2) const
    {
        if (!FirmwareUnlockAddresses(algorithm_, unlock1, unlock2))
            return false;
        const uint32_t lanes = busBytes_ / algorithm_.deviceWidth;
        unlock1 *= lanes;
        unlock2 *= lanes;
        return true;
    }

    // A JEDEC program of `length` bytes at `address`; unlock offsets from
    // UnlockOffsets. 0, or kProgramFailed with `failAddress`.
    template <class TBus>
    int ProgramJedec(TBus& bus, uint32_t unlock1, uint32_t unlock2, uint32_t address, const uint8_t* data,
                     uint32_t length, uint32_t& failAddress) const
    {
        const uint32_t aa = Replicate(0xAA), x55 = Replicate(0x55), a0 = Replicate(0xA0);
        bus.Write(address & bankMask_, Replicate(0xF0));
        return ProgramUnits(bus, address, data, length, failAddress, [&](uint32_t u, uint32_t want) {
            const uint32_t bank = u & bankMask_;
            const uint32_t u1 = bank + unlock1, u2 = bank + unlock2;
            const bool ok = bus.Write(u1, aa) && bus.Write(u2, x55) && bus.Write(u1, a0) && bus.Write(u, want) &&
                            PollToggle(bus, u, want);
            if (!ok) {
                bus.Write(u1, aa);
                bus.Write(u2, x55);
                bus.Write(u1, Replicate(0xF0));
            }
            return ok;
        });
    }

    template <class TBus>
    int ProgramIntel(TBus& bus, uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress) const
    {
        const uint32_t mask = LaneMask();
        const uint32_t ready = Replicate(0x80) & mask;
        const uint32_t errors = Replicate(0x78) & mask;
        const uint32_t first = address & ~(busBytes_ - 1);
        bus.Write(first, Replicate(0x50) & mask);
        bus.Write(first, mask);
        return ProgramUnits(bus, address, data, length, failAddress, [&](uint32_t u, uint32_t want) {
            bool ok = bus.Write(u, Replicate(0x40) & mask) && bus.Write(u, want);
            uint32_t status = 0;
            uint64_t start = 0;  // read once the chip is found busy
            bool timing = false;
            uint64_t step = 1;
            while (ok) {
                if (!bus.Read(u, status)) {
                    ok = false;
                    break;
                }
                if ((status & ready) == ready)
                    break;
                if (!timing) {
                    start = clock_.NowMicros();
                    timing = true;
                } else if (clock_.NowMicros() - start > kWriteTimeoutMicros) {
                    ok = false;
                    break;
                }
                clock_.Wait(step);
                step = std::min<uint64_t>(step * 2, 1000);
            }
            ok = ok && (status & errors) == 0;
            bus.Write(u, Replicate(0x50) & mask);
            bus.Write(u, mask);
            return ok;
        });
    }

    template <class TBus>
    int ProgramPages(TBus& bus, uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress) const
    {
        uint32_t unlock1 = 0, unlock2 = 0;
        UnlockOffsets(unlock1, unlock2);
        const uint32_t lanes = busBytes_ / algorithm_.deviceWidth;
        const uint32_t pageBytes = kPageBytes * lanes;
        const uint64_t end = uint64_t(address) + length;
        std::vector<uint8_t> page(pageBytes);
        uint64_t pageStart =
            (address & bankMask_) + uint64_t((address - (address & bankMask_)) / pageBytes) * pageBytes;
        for (; pageStart < end; pageStart += pageBytes) {
            const uint32_t p = uint32_t(pageStart);
            const uint32_t lo = std::max<uint32_t>(address, p);
            const uint32_t hi = uint32_t(std::min<uint64_t>(end, pageStart + pageBytes));
            // Read the page and merge the new bytes, so that bytes outside the
            // range keep their contents when the chip rewrites the page.
            for (uint32_t i = 0; i < pageBytes; i += busBytes_) {
                uint32_t word = 0;
                if (!bus.Read(p + i, word)) {
                    failAddress = std::max(lo, p + i);
                    return kProgramFailed;
                }
                for (uint32_t b = 0; b < busBytes_; ++b)
                    page[i + b] = uint8_t(word >> (8 * b));
            }
            bool changes = false;
            for (uint32_t a = lo; a < hi; ++a) {
                changes |= page[a - p] != data[a - address];
                page[a - p] = data[a - address];
            }
            if (!changes)
                continue;
            const uint32_t bank = p & bankMask_;
            bool ok = bus.Write(bank + unlock1, Replicate(0xAA)) && bus.Write(bank + unlock2, Replicate(0x55)) &&
                      bus.Write(bank + unlock1, Replicate(0xA0));
            uint32_t last = 0;
            for (uint32_t i = 0; ok && i < pageBytes; i += busBytes_) {
                last = 0;
                for (uint32_t b = 0; b < busBytes_; ++b)
                    last |= uint32_t(page[i + b]) << (8 * b);
                ok = bus.Write(p + i, last);
            }
            ok = ok && PollToggle(bus, p + pageBytes - busBytes_, last);
            for (uint32_t a = lo; a < hi; a += busBytes_ - (a % busBytes_)) {
                const uint32_t unit = a & ~(busBytes_ - 1);
                if (FirstMismatch(bus, unit, a, std::min(hi, unit + busBytes_), address, data, failAddress))
                    return kProgramFailed;
            }
            if (!ok) {
                failAddress = lo;
                return kProgramFailed;
            }
        }
        return 0;
    }

private:
    // Finds the first byte of [lo, hi) of the bus unit at `unit` that does
    // not read back as `data` (which starts at `address`).
    template <class TBus>
    bool FirstMismatch(TBus& bus, uint32_t unit, uint32_t lo, uint32_t hi, uint32_t address, const uint8_t* data,
                       uint32_t& failAddress) const
    {
        uint32_t now = 0;
        if (!bus.Read(unit, now)) {
            failAddress = lo;
            return true;
        }
        for (uint32_t a = lo; a < hi; ++a) {
            if (uint8_t(now >> (8 * (a - unit))) != data[a - address]) {
                failAddress = a;
                return true;
            }
        }
        return false;
    }

    // Programs bus unit after bus unit of the range: reads the unit, merges
    // the new bytes, hands a unit that changes to `write` (false: the write
    // failed) and then checks the unit's bytes.
    template <class TBus, class TWrite>
    int ProgramUnits(TBus& bus, uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress,
                     TWrite write) const
    {
        const uint64_t end = uint64_t(address) + length;
        for (uint64_t unit = address & ~uint64_t(busBytes_ - 1); unit < end; unit += busBytes_) {
            const uint32_t u = uint32_t(unit);
            const uint32_t lo = std::max<uint32_t>(address, u);
            const uint32_t hi = uint32_t(std::min<uint64_t>(end, unit + busBytes_));
            uint32_t current = 0;
            if (!bus.Read(u, current)) {
                failAddress = lo;
                return kProgramFailed;
            }
            uint32_t want = current;
            for (uint32_t a = lo; a < hi; ++a) {
                const uint32_t shift = 8 * (a - u);
                want = (want & ~(0xFFu << shift)) | (uint32_t(data[a - address]) << shift);
            }
            if (want == current)
                continue;
            const bool ok = write(u, want);
            if (FirstMismatch(bus, u, lo, hi, address, data, failAddress))
                return kProgramFailed;
            if (!ok) {
                failAddress = lo;
                return kProgramFailed;
            }
        }
        return 0;
    }

    // Polls a JEDEC or page-write bus word until the toggle bit stops (true
    // when it then reads `want`), DQ5 reports a failure, or the time is up.
    // The clock is read only once the chip is found busy: a chip without
    // program times is done at the first look.
    template <class TBus>
    bool PollToggle(TBus& bus, uint32_t address, uint32_t want) const
    {
        uint64_t start = 0;
        bool timing = false;
        const uint32_t width = algorithm_.deviceWidth;
        const uint32_t lanes = busBytes_ / width;
        uint64_t step = 1;
        for (;;) {
            uint32_t v1 = 0, v2 = 0;
            if (!bus.Read(address, v1) || !bus.Read(address, v2))
                return false;
            if (v1 == v2)
                return v2 == want;
            if (algorithm_.failureBit) {
                for (uint32_t lane = 0; lane < lanes; ++lane) {
                    const uint32_t shift = 8 * lane * width;
                    if (((v1 ^ v2) >> shift & 0x40) && (v2 >> shift & 0x20)) {
                        // DQ5 while still toggling: the chip gave up unless it has just finished.
                        if (!bus.Read(address, v1) || !bus.Read(address, v2))
                            return false;
                        if ((v1 ^ v2) >> shift & 0x40)
                            return false;
                    }
                }
            }
            if (!timing) {
                start = clock_.NowMicros();
                timing = true;
            } else if (clock_.NowMicros() - start > kWriteTimeoutMicros) {
                return false;
            }
            clock_.Wait(step);
            step = std::min<uint64_t>(step * 2, 1000);
        }
    }

    const SFirmwareAlgorithm& algorithm_;
    uint32_t busBytes_;
    uint32_t bankMask_;
    CClock& clock_;
};
