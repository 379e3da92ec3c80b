#include "sim/sim_flash_intel.h"

CSimFlashIntel::CSimFlashIntel(const CSimFlashGeometry& geometry, const CSimFlashTiming& timing,
                               CClock& clock)
    : CSimFlashDevice(geometry, timing, clock)
{
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
        switch (c) {
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
    default:
        return status_;
    }
}
