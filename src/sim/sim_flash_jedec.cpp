#include "sim/sim_flash_jedec.h"

CSimFlashJedec::CSimFlashJedec(const CSimFlashGeometry& geometry, const CSimFlashAlgorithm& algorithm,
                               const CSimFlashTiming& timing, CClock& clock)
    : CSimFlashDevice(geometry, timing, clock), failureBit_(algorithm.failureBit)
{
    switch (algorithm.family) {
    case ESimUnlockFamily::ByteWord:
        if (geometry.deviceWidth == 1) {
            shift_ = 0;
            mask_ = 0xFFF;
            unlock1_ = 0xAAA;
            unlock2_ = 0x555;
            return;
        }
        shift_ = 1;
        break;
    case ESimUnlockFamily::X16X32:
        shift_ = 2;
        break;
    default:
        shift_ = 0;
        break;
    }
    mask_ = 0x7FF;
    unlock1_ = 0x555;
    unlock2_ = 0x2AA;
}

int CSimFlashJedec::Decode(uint32_t offset) const
{
    if (offset & ((1u << shift_) - 1))
        return 0;
    uint32_t a = (offset >> shift_) & mask_;
    return a == unlock1_ ? 1 : a == unlock2_ ? 2 : 0;
}

void CSimFlashJedec::Settle()
{
    if (state_ != EState::Busy || hangs_ || !Over(end_))
        return;
    if (!fails_ || !failureBit_)
        state_ = EState::Read;
}

void CSimFlashJedec::StartErase(const std::vector<int>& sectors)
{
    int failed = -1;
    EEraseResult result = EraseSectors(sectors, failed);
    state_ = EState::Busy;
    erasing_ = true;
    fails_ = result == EEraseResult::Failed;
    hangs_ = result == EEraseResult::Hangs;
    end_ = EndAfter(EraseMicros(sectors));
}

void CSimFlashJedec::WriteCycle(uint32_t offset, uint32_t value)
{
    Settle();
    const uint8_t c = uint8_t(value);
    const int a = Decode(offset);
    switch (state_) {
    case EState::Busy:
        // Only a hung or failed operation can be left, by a reset.
        if (c == 0xF0 && (hangs_ || Over(end_)))
            state_ = EState::Read;
        return;
    case EState::Read:
        state_ = c == 0xAA && a == 1 ? EState::Unlock1 : EState::Read;
        return;
    case EState::Unlock1:
        state_ = c == 0x55 && a == 2 ? EState::Unlock2 : EState::Read;
        return;
    case EState::Unlock2:
        if (a == 1 && c == 0xA0)
            state_ = EState::ProgramData;
        else if (a == 1 && c == 0x80)
            state_ = EState::EraseSetup;
        else
            state_ = EState::Read;
        return;
    case EState::ProgramData:
        fails_ = !ProgramWord(offset, value);
        hangs_ = false;
        erasing_ = false;
        data7_ = uint8_t(value) & 0x80;
        end_ = EndAfter(timing_.programMicrosPerByte * Width());
        state_ = EState::Busy;
        return;
    case EState::EraseSetup:
        state_ = c == 0xAA && a == 1 ? EState::EraseUnlock1 : EState::Read;
        return;
    case EState::EraseUnlock1:
        state_ = c == 0x55 && a == 2 ? EState::EraseUnlock2 : EState::Read;
        return;
    case EState::EraseUnlock2:
        if (c == 0x10 && a == 1)
            StartErase({});
        else if (c == 0x30)
            StartErase({Geometry().SectorOf(offset)});
        else
            state_ = EState::Read;
        return;
    }
}

uint32_t CSimFlashJedec::ReadCycle(uint32_t offset)
{
    Settle();
    if (state_ != EState::Busy)
        return ArrayWord(offset);
    uint32_t status = erasing_ ? 0x08 : (data7_ ^ 0x80);
    if (toggle_)
        status |= 0x40;
    toggle_ = !toggle_;
    if (fails_ && !hangs_ && Over(end_))
        status |= 0x20;
    return status;
}
