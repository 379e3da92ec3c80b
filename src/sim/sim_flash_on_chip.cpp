#include "sim/sim_flash_on_chip.h"

void CSimFlashOnChip::BeginErase(const std::vector<int>& sectors)
{
    failedSector_ = -1;
    result_ = EraseSectors(sectors, failedSector_);
    duration_ = EraseMicros(sectors);
    end_ = EndAfter(duration_);
    started_ = true;
}

CSimFlashOnChip::EJobState CSimFlashOnChip::EraseState(int& failedSector, uint64_t& micros)
{
    if (!started_)
        return EJobState::Idle;
    failedSector = failedSector_;
    micros = duration_;
    if (result_ == EEraseResult::Hangs || !Over(end_))
        return EJobState::Busy;
    return result_ == EEraseResult::Failed ? EJobState::Failed : EJobState::Done;
}
