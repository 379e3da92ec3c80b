#include "commands/target_range_model.h"

#include "project/memory_image.h"

CTargetRangeModel::CTargetRangeModel(CMemoryRange& range, const CMemoryRange& physical, const CMemoryImage& image,
                                     EFit fit, uint32_t alignment)
    : range_(range), physical_(physical), image_(image), fit_(fit), alignment_(alignment == 0 ? 1 : alignment)
{
    Show();
}

void CTargetRangeModel::Show()
{
    entry.Show(range_);
}

bool CTargetRangeModel::Read(CMessageBox* box)
{
    return entry.Read(physical_, box, range_);
}

bool CTargetRangeModel::FitToMemoryImage()
{
    if (fit_ == EFit::UsedRange && image_.IsEmpty())
        return false;
    CMemoryRange fitted = physical_;
    if (fit_ == EFit::UsedRange) {
        const CMemoryRange used = image_.GetUsedRange(alignment_);
        if (used.GetSize() != 0 && used.CheckInside(physical_, "", nullptr))
            fitted = used;
    }
    range_ = fitted;
    Show();
    return true;
}
