#include "sim/sim_flash_page_write.h"

#include <algorithm>

CSimFlashPageWrite::CSimFlashPageWrite(const CSimFlashGeometry& geometry, const CSimFlashTiming& timing,
                                       CClock& clock)
    : CSimFlashDevice(geometry, timing, clock), shift_(geometry.deviceWidth == 2 ? 1 : 0)
{
}

int CSimFlashPageWrite::Decode(uint32_t offset) const
{
    uint32_t a = (offset >> shift_) & 0x7FFF;
    return a == 0x5555 ? 1 : a == 0x2AAA ? 2 : 0;
}

void CSimFlashPageWrite::WriteCycle(uint32_t offset, uint32_t value)
{
    if (state_ == EState::Busy && Over(end_))
        state_ = EState::Read;
    const uint8_t c = uint8_t(value);
    const int a = Decode(offset);
    switch (state_) {
    case EState::Busy:
        return;
    case EState::Read:
        state_ = c == 0xAA && a == 1 ? EState::Unlock1 : EState::Read;
        return;
    case EState::Unlock1:
        state_ = c == 0x55 && a == 2 ? EState::Unlock2 : EState::Read;
        return;
    case EState::Unlock2:
        if (c == 0xA0 && a == 1) {
            state_ = EState::Load;
            page_ = -1;
            loaded_.reset();
        } else {
            state_ = EState::Read;
        }
        return;
    case EState::Load: {
        int64_t page = offset / kPageSize;
        if (page_ < 0)
            page_ = page;
        if (page != page_)
            return; // a write outside the page being loaded is ignored
        uint32_t at = offset % kPageSize;
        for (uint32_t i = 0; i < Width() && at + i < kPageSize; ++i) {
            buffer_[at + i] = uint8_t(value >> (8 * i));
            loaded_.set(at + i);
        }
        last7_ = c & 0x80;
        return;
    }
    }
}

uint32_t CSimFlashPageWrite::ReadCycle(uint32_t offset)
{
    if (state_ == EState::Load) {
        if (loaded_.none()) {
            state_ = EState::Read;
        } else {
            std::array<uint8_t, kPageSize> page;
            for (uint32_t i = 0; i < kPageSize; ++i)
                page[i] = loaded_.test(i) ? buffer_[i] : 0xFF;
            uint32_t start = uint32_t(page_) * kPageSize;
            ReplaceBytes(start, page.data(), uint32_t(std::min<uint64_t>(kPageSize, Size() - start)));
            end_ = EndAfter(timing_.programMicrosPerByte * kPageSize);
            state_ = EState::Busy;
        }
    }
    if (state_ == EState::Busy && Over(end_))
        state_ = EState::Read;
    if (state_ != EState::Busy)
        return ArrayWord(offset);
    uint32_t status = (last7_ ^ 0x80) | (toggle_ ? 0x40 : 0);
    toggle_ = !toggle_;
    return status;
}
