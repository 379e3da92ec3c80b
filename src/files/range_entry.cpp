#include "files/range_entry.h"

void CRangeEntry::Show(const CMemoryRange& range)
{
    lengthMode_ = range.IsLengthMode() ? 1 : 0;
    start.SetValue(range.GetStart());
    second.SetValue(lengthMode_ ? range.GetSize() : range.GetEnd());
}

void CRangeEntry::SetFields(uint32_t startValue, uint32_t secondValue, int lengthMode)
{
    lengthMode_ = lengthMode ? 1 : 0;
    start.SetValue(startValue);
    second.SetValue(secondValue);
}

bool CRangeEntry::Read(const CMemoryRange& physical, CMessageBox* owner, CMemoryRange& out)
{
    const uint32_t s = start.Value();
    const uint32_t v = second.Value();
    if (!CMemoryRange::ValidateRange(s, v, lengthMode_, owner)) {
        failed_ = EField::Second;
        return false;
    }
    CMemoryRange range(s, v, lengthMode_);
    if (!range.CheckInside(physical, "", owner)) {
        failed_ = EField::Start;
        return false;
    }
    failed_ = EField::None;
    out = range;
    return true;
}

bool CRangeEntry::SelectMode(int lengthMode)
{
    const int mode = lengthMode ? 1 : 0;
    if (mode == lengthMode_)
        return false;
    const CMemoryRange range(start.Value(), second.Value(), lengthMode_);
    second.SetValue(mode ? range.GetSize() : range.GetEnd());
    lengthMode_ = mode;
    return true;
}
