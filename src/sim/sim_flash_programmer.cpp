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
constexpr uint64_t kBlockingEraseMicros = 2000000;  // codes 40 and 41 wait this long at most
constexpr uint32_t kAlgorithmCodeWord = 0xE1A00000; // what the workspace holds once the code is loaded

bool IsPowerOfTwo(uint64_t v)
{
    return v != 0 && (v & (v - 1)) == 0;
}

} // namespace

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

bool CSimFlashProgrammer::BusRead(uint32_t address, int widthBytes, uint32_t& value)
{
    return board_.HeldBusRead(address, widthBytes, value);
}

bool CSimFlashProgrammer::BusWrite(uint32_t address, int widthBytes, uint32_t value)
{
    return board_.HeldBusWrite(address, widthBytes, value);
}

CFlashProgramCycles CSimFlashProgrammer::Cycles()
{
    return CFlashProgramCycles(*algorithm_, busBytes_, p1_, board_.Clock());
}

int CSimFlashProgrammer::ProgramJedec(uint32_t address, const uint8_t* data, uint32_t length,
                                      uint32_t& failAddress)
{
    // Every cycle of the call lands in the bank the range starts in (the
    // bank's start, its unlock addresses and the range's bus units) when the
    // range stays in that bank: then one look-up finds the route for all.
    const CFlashProgramCycles cycles = Cycles();
    uint32_t unlock1 = 0, unlock2 = 0;
    cycles.UnlockOffsets(unlock1, unlock2);
    const uint32_t bank = address & p1_;
    const uint32_t lastUnit = uint32_t(uint64_t(address) + length - 1) & ~(busBytes_ - 1);
    const uint64_t highest = std::max<uint64_t>(lastUnit, uint64_t(bank) + std::max(unlock1, unlock2));
    if ((lastUnit & p1_) == bank && (unlock1 | unlock2) % busBytes_ == 0 && highest <= 0xFFFFFFFFu)
        if (CSimFlashArray* array = board_.FlashAt(bank))
            if (auto port = CSimFlashBankPort::Open(*array, busBytes_, bank, uint32_t(highest)))
                return cycles.ProgramJedec(*port, unlock1, unlock2, address, data, length, failAddress);
    CBoardCycles bus(*this, int(busBytes_));
    return cycles.ProgramJedec(bus, unlock1, unlock2, address, data, length, failAddress);
}

int CSimFlashProgrammer::ProgramIntel(uint32_t address, const uint8_t* data, uint32_t length,
                                      uint32_t& failAddress)
{
    CBoardCycles bus(*this, int(busBytes_));
    return Cycles().ProgramIntel(bus, address, data, length, failAddress);
}

int CSimFlashProgrammer::ProgramPages(uint32_t address, const uint8_t* data, uint32_t length,
                                      uint32_t& failAddress)
{
    CBoardCycles bus(*this, int(busBytes_));
    return Cycles().ProgramPages(bus, address, data, length, failAddress);
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
