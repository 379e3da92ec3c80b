#include "files/fill_model.h"

#include "common/operation_view.h"
#include "project/memory_image.h"

#include <cstring>

CFillModel::CFillModel(CMemoryImage& image, const CMemoryRange& physical) : image_(image), physical_(physical)
{
    SetRange(range_);
    SetUnitIndex(2);
}

void CFillModel::SetRange(const CMemoryRange& r)
{
    range_ = r;
    entry.Show(r);
}

void CFillModel::SetUnitIndex(int index)
{
    const uint32_t value = pattern.Value();
    unitIndex_ = ValidUnitIndex(index);
    pattern.SetDigits(2 * UnitBytes());
    pattern.SetValue(value);
}

bool CFillModel::Fill(COperationView& view, CMessageBox& box)
{
    if (!entry.Read(physical_, &box, range_))
        return false;
    const uint32_t value = pattern.Value();
    CWaitCursor cursor(view);
    const uint32_t unit = static_cast<uint32_t>(UnitBytes());
    uint32_t length = range_.GetSize();
    if (length < unit)
        return true;

    // The pattern is written once and read back: what the image holds there
    // is what gets repeated.
    const uint32_t start = range_.GetStart();
    if (unit == 1)
        image_.WriteByte(start, static_cast<uint8_t>(value));
    else if (unit == 2)
        image_.WriteWord(start, static_cast<uint16_t>(value), true);
    else
        image_.WriteLong(start, value, true);
    uint8_t unitBytes[4];
    image_.ReadBlock(start, unitBytes, unit);

    // Every chunk starts on a whole unit, so one buffer serves them all.
    constexpr uint32_t kChunk = 4096;
    uint8_t chunk[kChunk];
    for (uint32_t i = 0; i < kChunk; i += unit)
        std::memcpy(chunk + i, unitBytes, unit);
    length -= length % unit;
    uint32_t address = start;
    while (length > 0) {
        const uint32_t n = length < kChunk ? length : kChunk;
        image_.WriteBlock(address, chunk, n);
        address += n;
        length -= n;
    }
    return true;
}
