#include "sim/sim_flash_jedec.h"

CSimFlashJedec::CSimFlashJedec(const CSimFlashGeometry& geometry, const CSimFlashAlgorithm& algorithm,
                               const CSimFlashTiming& timing, CClock& clock)
    : CSimFlashDevice(geometry, timing, clock), failureBit_(algorithm.failureBit)
{
    // Byte mode halves the byte address; x16 chips count words, the x16/x32
    // family double words.
    queryShift_ = algorithm.family == ESimUnlockFamily::X16X32 ? 2 : algorithm.family == ESimUnlockFamily::ByteWord ? 1 : 0;
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
        if (c == 0x98 && IsCfiEntry(offset) && AnswersCfi()) {
            state_ = EState::Cfi;
            cfiFromAutoselect_ = false;
            return;
        }
        state_ = c == 0xAA && a == 1 ? EState::Unlock1 : EState::Read;
        return;
    case EState::Autoselect:
    case EState::Cfi:
    case EState::IdUnlock1:
    case EState::IdUnlock2:
        IdentityWrite(offset, c, a);
        return;
    case EState::Unlock1:
        state_ = c == 0x55 && a == 2 ? EState::Unlock2 : EState::Read;
        return;
    case EState::Unlock2:
        if (a == 1 && c == 0xA0)
            state_ = EState::ProgramData;
        else if (a == 1 && c == 0x80)
            state_ = EState::EraseSetup;
        else if (a == 1 && c == 0x90)
            state_ = EState::Autoselect;
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

bool CSimFlashJedec::IsCfiEntry(uint32_t offset) const
{
    return (offset & ((1u << queryShift_) - 1)) == 0 && ((offset >> queryShift_) & 0x7FF) == 0x55;
}

void CSimFlashJedec::IdentityWrite(uint32_t offset, uint8_t c, int a)
{
    const EState mode = state_ == EState::IdUnlock1 || state_ == EState::IdUnlock2 ? idMode_ : state_;
    const EState back = mode == EState::Cfi && cfiFromAutoselect_ ? EState::Autoselect : EState::Read;
    if (c == 0xF0) {
        state_ = back;
        return;
    }
    if (state_ == EState::Autoselect && c == 0x98 && IsCfiEntry(offset) && AnswersCfi()) {
        state_ = EState::Cfi;
        cfiFromAutoselect_ = true;
        return;
    }
    idMode_ = mode;
    if (state_ != EState::IdUnlock1 && c == 0xAA && a == 1)
        state_ = EState::IdUnlock1;
    else if (state_ == EState::IdUnlock1 && c == 0x55 && a == 2)
        state_ = EState::IdUnlock2;
    else
        state_ = mode; // anything else is ignored
}

uint32_t CSimFlashJedec::IdentityRead(uint32_t offset, EState mode) const
{
    const uint32_t index = offset >> queryShift_;
    const uint32_t byte = offset & ((1u << queryShift_) - 1);
    uint32_t word = 0;
    if (mode == EState::Cfi)
        word = CfiByte(index);
    else if ((index & 0xFF) == 0)
        word = Identity().manufacturer;
    else if ((index & 0xFF) == 1)
        word = Identity().device;
    word >>= 8 * byte;
    return Width() == 4 ? word : word & ((1u << (8 * Width())) - 1);
}

uint32_t CSimFlashJedec::ReadCycle(uint32_t offset)
{
    Settle();
    if (state_ == EState::Autoselect || state_ == EState::Cfi)
        return IdentityRead(offset, state_);
    if (state_ == EState::IdUnlock1 || state_ == EState::IdUnlock2) {
        // A read between the cycles of a reset sequence leaves it undone.
        state_ = idMode_;
        return IdentityRead(offset, state_);
    }
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
