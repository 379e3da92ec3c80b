#include "sim/sim_flash_intel.h"

CSimFlashIntel::CSimFlashIntel(const CSimFlashGeometry& geometry, const CSimFlashTiming& timing,
                               CClock& clock)
    : CSimFlashDevice(geometry, timing, clock)
{
    // x16 chips count words; the x8 form of the x8/x16 J3 chips (code 29)
    // drops address bit 0 in byte mode.
    queryShift_ = geometry.deviceWidth == 4 ? 2 : (geometry.deviceWidth == 2 || geometry.programAlgorithm == 29) ? 1 : 0;
}

uint32_t CSimFlashIntel::IdentityRead(uint32_t offset) const
{
    const uint32_t index = offset >> queryShift_;
    uint32_t word = 0;
    if (mode_ == EMode::Query)
        word = CfiByte(index);
    else if ((index & 0xFF) == 0)
        word = Identity().manufacturer;
    else if ((index & 0xFF) == 1)
        word = Identity().device;
    if (Width() == 1)
        return word & 0xFF;
    return Width() == 4 ? word : word & 0xFFFF;
}

void CSimFlashIntel::Settle()
{
    if (mode_ != EMode::Busy || hangs_ || !Over(end_))
        return;
    if (fails_)
        status_ |= erasing_ ? 0x20 : 0x10;
    mode_ = EMode::Status;
}

void CSimFlashIntel::WriteCycle(uint32_t offset, uint32_t value)
{
    Settle();
    const uint8_t c = uint8_t(value);
    switch (mode_) {
    case EMode::Busy:
        if (hangs_ && c == 0xFF)
            mode_ = EMode::Array;
        return;
    case EMode::EraseSetup:
        if (c != 0xD0) {
            status_ |= 0x30;
            mode_ = EMode::Status;
            return;
        }
        {
            int failed = -1;
            std::vector<int> sector{Geometry().SectorOf(offset)};
            EEraseResult result = EraseSectors(sector, failed);
            fails_ = result == EEraseResult::Failed;
            hangs_ = result == EEraseResult::Hangs;
            erasing_ = true;
            end_ = EndAfter(EraseMicros(sector));
            mode_ = EMode::Busy;
        }
        return;
    case EMode::ProgramSetup:
        fails_ = !ProgramWord(offset, value);
        hangs_ = false;
        erasing_ = false;
        end_ = EndAfter(timing_.programMicrosPerByte * Width());
        mode_ = EMode::Busy;
        return;
    case EMode::Array:
    case EMode::Status:
    case EMode::Identifier:
    case EMode::Query:
        switch (c) {
        case 0x90:
            mode_ = EMode::Identifier;
            break;
        case 0x98:
            if (AnswersCfi())
                mode_ = EMode::Query;
            break;
        case 0x20:
            mode_ = EMode::EraseSetup;
            break;
        case 0x40:
        case 0x10:
            mode_ = EMode::ProgramSetup;
            break;
        case 0x50:
            status_ = 0x80;
            break;
        case 0x70:
            mode_ = EMode::Status;
            break;
        case 0xFF:
            mode_ = EMode::Array;
            break;
        default:
            break;
        }
        return;
    }
}

uint32_t CSimFlashIntel::ReadCycle(uint32_t offset)
{
    Settle();
    switch (mode_) {
    case EMode::Array:
        return ArrayWord(offset);
    case EMode::Busy:
        return status_ & 0x7F;
    case EMode::Identifier:
    case EMode::Query:
        return IdentityRead(offset);
    default:
        return status_;
    }
}
