#include "sim/sim_flash_programmer.h"

#include "sim/sim_board_model.h"
#include "sim/sim_flash_array.h"
#include "sim/sim_flash_bank_port.h"
#include "sim/sim_flash_on_chip.h"
#include "sim/sim_flash_page_write.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kProgramFailed = -1206;
constexpr int kNoSession = -4102;
constexpr uint64_t kWriteTimeoutMicros = 1000000;   // one bus word or page
constexpr uint64_t kBlockingEraseMicros = 2000000;  // codes 40 and 41 wait this long at most
constexpr uint32_t kAlgorithmCodeWord = 0xE1A00000; // what the workspace holds once the code is loaded

bool IsPowerOfTwo(uint64_t v)
{
    return v != 0 && (v & (v - 1)) == 0;
}

} // namespace

uint32_t CSimFlashProgrammer::Replicate(uint8_t command) const
{
    uint32_t value = 0;
    for (uint32_t i = 0; i < busBytes_; ++i)
        value |= uint32_t(command) << (8 * i);
    return value;
}

// The bytes of the bus word that carry a command to each device: the low
// byte of every device lane.
uint32_t CSimFlashProgrammer::LaneMask() const
{
    uint32_t mask = 0;
    for (uint32_t lane = 0; lane < busBytes_ / algorithm_->deviceWidth; ++lane)
        mask |= 0xFFu << (8 * lane * algorithm_->deviceWidth);
    return mask;
}

int CSimFlashProgrammer::CheckWorkspace(ESimWorkspace rule, uint32_t workspace)
{
    if (rule == ESimWorkspace::NotUsed)
        return 0;
    if (rule == ESimWorkspace::Optional && workspace == kNoWorkspace)
        return 0;
    return board_.IsRam(workspace, kWorkspaceSize) ? 0 : 3;
}

int CSimFlashProgrammer::Setup(uint8_t algorithm, uint8_t busWidth, uint32_t p1, uint32_t p2, uint32_t)
{
    if (algorithm == 0) {
        session_ = ESession::None;
        return 0;
    }
    if (algorithm == 1) {
        session_ = ESession::Verify;
        return 0;
    }
    session_ = ESession::None;
    const CSimFlashAlgorithm* a = FindSimFlashAlgorithm(algorithm);
    if (!a)
        return 1;
    if ((busWidth != 1 && busWidth != 2 && busWidth != 4) || busWidth < a->deviceWidth ||
        (a->fixedBusWidth && busWidth != a->fixedBusWidth))
        return 4;
    if (a->sizeInP1) {
        if (p1 == 0)
            return 4;
    } else if (a->commandSet == ESimCommandSet::Jedec || a->commandSet == ESimCommandSet::PageWrite) {
        uint64_t bankSize = (uint64_t(~p1) + 1) & 0xFFFFFFFFULL;
        if (!IsPowerOfTwo(bankSize) || bankSize < busWidth)
            return 4;
    }
    if (int status = CheckWorkspace(a->workspace, p2))
        return status;
    if (a->workspace != ESimWorkspace::NotUsed && p2 != kNoWorkspace)
        for (uint32_t i = 0; i < kWorkspaceSize; i += 4)
            BusWrite(p2 + i, 4, kAlgorithmCodeWord);
    session_ = ESession::Program;
    algorithm_ = a;
    busBytes_ = busWidth;
    p1_ = p1;
    return 0;
}

int CSimFlashProgrammer::Program(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress)
{
    if (length == 0)
        return session_ == ESession::None ? kNoSession : 0;
    if (uint64_t(address) + length > 0x100000000ULL) {
        failAddress = address;
        return kProgramFailed;
    }
    switch (session_) {
    case ESession::None:
        return kNoSession;
    case ESession::Verify:
        return Verify(address, data, length, failAddress);
    case ESession::Program:
        break;
    }
    switch (algorithm_->commandSet) {
    case ESimCommandSet::Jedec:
        return ProgramJedec(address, data, length, failAddress);
    case ESimCommandSet::Intel:
        return ProgramIntel(address, data, length, failAddress);
    case ESimCommandSet::PageWrite:
        return ProgramPages(address, data, length, failAddress);
    case ESimCommandSet::OnChip:
        break;
    }
    return ProgramOnChip(address, data, length, failAddress);
}

int CSimFlashProgrammer::Verify(uint32_t address, const uint8_t* data, uint32_t length, uint32_t& failAddress)
{
    for (uint32_t i = 0; i < length; ++i) {
        uint32_t value = 0;
        if (!BusRead(address + i, 1, value) || value != data[i]) {
            failAddress = address + i;
            return kProgramFailed;
        }
    }
    return 0;
}

template <class TBus>
bool CSimFlashProgrammer::PollToggle(TBus& bus, uint32_t address, uint32_t want)
{
    // The clock is read only once the chip is found busy: a chip without
    // program times is done at the first look.
    uint64_t start = 0;
    bool timing = false;
    const uint32_t width = algorithm_->deviceWidth;
    const uint32_t lanes = busBytes_ / width;
    uint64_t step = 1;
    for (;;) {
        uint32_t v1 = 0, v2 = 0;
        if (!bus.Read(address, v1) || !bus.Read(address, v2))
            return false;
        if (v1 == v2)
            return v2 == want;
        if (algorithm_->failureBit) {
            for (uint32_t lane = 0; lane < lanes; ++lane) {
                uint32_t shift = 8 * lane * width;
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
            start = board_.Clock().NowMicros();
            timing = true;
        } else if (board_.Clock().NowMicros() - start > kWriteTimeoutMicros) {
            return false;
        }
        board_.Clock().Wait(step);
        step = std::min<uint64_t>(step * 2, 1000);
    }
}

bool CSimFlashProgrammer::BusRead(uint32_t address, int widthBytes, uint32_t& value)
{
    return board_.HeldBusRead(address, widthBytes, value);
}

bool CSimFlashProgrammer::BusWrite(uint32_t address, int widthBytes, uint32_t value)
{
    return board_.HeldBusWrite(address, widthBytes, value);
}

template <class TBus>
bool CSimFlashProgrammer::FirstMismatch(TBus& bus, uint32_t unit, uint32_t lo, uint32_t hi, uint32_t address,
                                        const uint8_t* data, uint32_t& failAddress)
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

template <class TBus, class TWrite>
int CSimFlashProgrammer::ProgramUnits(TBus& bus, uint32_t address, const uint8_t* data, uint32_t length,
                                      uint32_t& failAddress, TWrite write)
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
            uint32_t shift = 8 * (a - u);
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

int CSimFlashProgrammer::ProgramJedec(uint32_t address, const uint8_t* data, uint32_t length,
                                      uint32_t& failAddress)
{
    // Every cycle of the call lands in the bank the range starts in (the
    // bank's start, its unlock addresses and the range's bus units) when the
    // range stays in that bank: then one look-up finds the route for all.
    uint32_t unlock1 = 0, unlock2 = 0;
    SimUnlockAddresses(*algorithm_, unlock1, unlock2);
    const uint32_t lanes = busBytes_ / algorithm_->deviceWidth;
    unlock1 *= lanes;
    unlock2 *= lanes;
    const uint32_t bank = address & p1_;
    const uint32_t lastUnit = uint32_t(uint64_t(address) + length - 1) & ~(busBytes_ - 1);
    const uint64_t highest = std::max<uint64_t>(lastUnit, uint64_t(bank) + std::max(unlock1, unlock2));
    if ((lastUnit & p1_) == bank && (unlock1 | unlock2) % busBytes_ == 0 && highest <= 0xFFFFFFFFu)
        if (CSimFlashArray* array = board_.FlashAt(bank))
            if (auto port = CSimFlashBankPort::Open(*array, busBytes_, bank, uint32_t(highest)))
                return ProgramJedecOn(*port, unlock1, unlock2, address, data, length, failAddress);
    CBoardCycles bus(*this, int(busBytes_));
    return ProgramJedecOn(bus, unlock1, unlock2, address, data, length, failAddress);
}

template <class TBus>
int CSimFlashProgrammer::ProgramJedecOn(TBus& bus, uint32_t unlock1, uint32_t unlock2, uint32_t address,
                                        const uint8_t* data, uint32_t length, uint32_t& failAddress)
{
    const uint32_t aa = Replicate(0xAA), x55 = Replicate(0x55), a0 = Replicate(0xA0);
    bus.Write(address & p1_, Replicate(0xF0));
    return ProgramUnits(bus, address, data, length, failAddress, [&](uint32_t u, uint32_t want) {
        const uint32_t bank = u & p1_;
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

int CSimFlashProgrammer::ProgramIntel(uint32_t address, const uint8_t* data, uint32_t length,
                                      uint32_t& failAddress)
{
    const uint32_t mask = LaneMask();
    const uint32_t ready = Replicate(0x80) & mask;
    const uint32_t errors = Replicate(0x78) & mask;
    const uint32_t first = address & ~(busBytes_ - 1);
    BusWrite(first, int(busBytes_), Replicate(0x50) & mask);
    BusWrite(first, int(busBytes_), mask);
    CBoardCycles bus(*this, int(busBytes_));
    return ProgramUnits(bus, address, data, length, failAddress, [&](uint32_t u, uint32_t want) {
        bool ok = BusWrite(u, int(busBytes_), Replicate(0x40) & mask) && BusWrite(u, int(busBytes_), want);
        uint32_t status = 0;
        uint64_t start = 0; // read once the chip is found busy
        bool timing = false;
        uint64_t step = 1;
        while (ok) {
            if (!BusRead(u, int(busBytes_), status)) {
                ok = false;
                break;
            }
            if ((status & ready) == ready)
                break;
            if (!timing) {
                start = board_.Clock().NowMicros();
                timing = true;
            } else if (board_.Clock().NowMicros() - start > kWriteTimeoutMicros) {
                ok = false;
                break;
            }
            board_.Clock().Wait(step);
            step = std::min<uint64_t>(step * 2, 1000);
        }
        ok = ok && (status & errors) == 0;
        BusWrite(u, int(busBytes_), Replicate(0x50) & mask);
        BusWrite(u, int(busBytes_), mask);
        return ok;
    });
}

int CSimFlashProgrammer::ProgramPages(uint32_t address, const uint8_t* data, uint32_t length,
                                      uint32_t& failAddress)
{
    uint32_t unlock1 = 0, unlock2 = 0;
    SimUnlockAddresses(*algorithm_, unlock1, unlock2);
    const uint32_t lanes = busBytes_ / algorithm_->deviceWidth;
    const uint32_t pageBytes = CSimFlashPageWrite::kPageSize * lanes;
    const uint64_t end = uint64_t(address) + length;
    std::vector<uint8_t> page(pageBytes);
    CBoardCycles bus(*this, int(busBytes_));
    uint64_t pageStart = (address & p1_) + uint64_t((address - (address & p1_)) / pageBytes) * pageBytes;
    for (; pageStart < end; pageStart += pageBytes) {
        const uint32_t p = uint32_t(pageStart);
        const uint32_t lo = std::max<uint32_t>(address, p);
        const uint32_t hi = uint32_t(std::min<uint64_t>(end, pageStart + pageBytes));
        // Read the page and merge the new bytes, so that bytes outside the
        // range keep their contents when the chip rewrites the page.
        for (uint32_t i = 0; i < pageBytes; i += busBytes_) {
            uint32_t word = 0;
            if (!BusRead(p + i, int(busBytes_), word)) {
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
        const uint32_t bank = p & p1_;
        bool ok = BusWrite(bank + unlock1 * lanes, int(busBytes_), Replicate(0xAA)) &&
                  BusWrite(bank + unlock2 * lanes, int(busBytes_), Replicate(0x55)) &&
                  BusWrite(bank + unlock1 * lanes, int(busBytes_), Replicate(0xA0));
        uint32_t last = 0;
        for (uint32_t i = 0; ok && i < pageBytes; i += busBytes_) {
            last = 0;
            for (uint32_t b = 0; b < busBytes_; ++b)
                last |= uint32_t(page[i + b]) << (8 * b);
            ok = BusWrite(p + i, int(busBytes_), last);
        }
        ok = ok && PollToggle(bus, p + pageBytes - busBytes_, last);
        for (uint32_t a = lo; a < hi; a += busBytes_ - (a % busBytes_)) {
            uint32_t unit = a & ~(busBytes_ - 1);
            if (FirstMismatch(bus, unit, a, std::min(hi, unit + busBytes_), address, data,
                              failAddress))
                return kProgramFailed;
        }
        if (!ok) {
            failAddress = lo;
            return kProgramFailed;
        }
    }
    return 0;
}

int CSimFlashProgrammer::ProgramOnChip(uint32_t address, const uint8_t* data, uint32_t length,
                                       uint32_t& failAddress)
{
    uint32_t done = 0;
    while (done < length) {
        const uint32_t at = address + done;
        CSimFlashArray* array = board_.FlashAt(at);
        if (!array || array->Algorithm().code != algorithm_->code) {
            failAddress = at;
            return kProgramFailed;
        }
        const uint32_t offset = at - array->Base();
        const uint32_t n = uint32_t(std::min<uint64_t>(length - done, array->Size() - offset));
        CSimFlashDevice& device = array->Device(0, 0);
        uint32_t failOffset = 0;
        bool ok = device.ProgramBytes(offset, data + done, n, failOffset);
        board_.Clock().Wait(device.ProgramMicros(n));
        if (!ok) {
            failAddress = array->Base() + failOffset;
            return kProgramFailed;
        }
        done += n;
    }
    return 0;
}

int CSimFlashProgrammer::Erase(uint8_t algorithm, uint8_t mode, uint32_t p1, uint32_t p2, uint32_t p3, uint32_t)
{
    const CSimFlashAlgorithm* a = FindSimFlashAlgorithm(algorithm);
    if (!a || a->commandSet != ESimCommandSet::OnChip)
        return 1;
    const uint32_t code = a->code;
    const bool byMask = code == 42 || code == 43 || code == 45;
    if (byMask ? mode != 0 : mode > 1)
        return 1;
    if (eraseArray_) {
        int sector = 0;
        uint64_t micros = 0;
        auto& running = static_cast<CSimFlashOnChip&>(eraseArray_->Device(0, 0));
        if (running.EraseState(sector, micros) == CSimFlashOnChip::EJobState::Busy)
            return 4;
    }
    if (int status = CheckWorkspace(a->workspace, p3))
        return status;

    // The device: by the address for sector requests, by the size for mask
    // requests, else the first on-chip flash of this code.
    CSimFlashArray* array = nullptr;
    for (CSimFlashArray* candidate : board_.FlashArrays()) {
        if (candidate->Algorithm().code != code || board_.FlashAt(candidate->Base()) != candidate)
            continue;
        const uint64_t end = candidate->Base() + candidate->Size();
        bool fits;
        if (byMask || code == 46)
            fits = candidate->Geometry().size == p1 && (byMask || mode == 0 || (p2 >= candidate->Base() && p2 < end));
        else
            fits = mode == 0 || (p2 >= candidate->Base() && p2 < end);
        if (fits) {
            array = candidate;
            break;
        }
    }
    if (!array)
        return 4;
    const CSimFlashGeometry& geometry = array->Geometry();
    std::vector<int> sectors;
    if (byMask) {
        const int count = int(geometry.sectorStarts.size());
        const int shift = (code != 42 && count < 3) ? 16 : 0;
        uint32_t rest = p2;
        for (int s = 0; s < count; ++s) {
            if (p2 & (1u << (s + shift))) {
                sectors.push_back(s);
                rest &= ~(1u << (s + shift));
            }
        }
        if (sectors.empty() || rest != 0)
            return 4;
        if (int(sectors.size()) == count)
            sectors.clear();
    } else if (mode == 1) {
        const uint32_t offset = p2 - array->Base();
        const int s = geometry.SectorOf(offset);
        if (geometry.SectorStart(s) != offset)
            return 4;
        sectors.push_back(s);
    }

    auto& device = static_cast<CSimFlashOnChip&>(array->Device(0, 0));
    device.BeginErase(sectors);
    eraseArray_ = array;
    eraseAddress_ = array->Base() + (sectors.empty() ? 0 : geometry.SectorStart(sectors.front()));
    if (code == 40 || code == 41) {
        const uint64_t start = board_.Clock().NowMicros();
        int failed = 0;
        uint64_t micros = 0;
        while (device.EraseState(failed, micros) == CSimFlashOnChip::EJobState::Busy &&
               board_.Clock().NowMicros() - start < kBlockingEraseMicros)
            board_.Clock().Wait(1000);
    }
    return 0;
}

void CSimFlashProgrammer::EraseStatus(uint8_t& state, uint32_t& value)
{
    state = 0;
    value = 0;
    if (!eraseArray_)
        return;
    auto& device = static_cast<CSimFlashOnChip&>(eraseArray_->Device(0, 0));
    int failed = -1;
    uint64_t micros = 0;
    switch (device.EraseState(failed, micros)) {
    case CSimFlashOnChip::EJobState::Idle:
        return;
    case CSimFlashOnChip::EJobState::Busy:
        state = 2;
        value = eraseAddress_;
        return;
    case CSimFlashOnChip::EJobState::Failed:
        state = 1;
        value = eraseArray_->Base() + eraseArray_->Geometry().SectorStart(failed);
        return;
    case CSimFlashOnChip::EJobState::Done:
        value = uint32_t(micros / 1000);
        return;
    }
}
