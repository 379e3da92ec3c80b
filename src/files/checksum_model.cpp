#include "files/checksum_model.h"

#include "common/message_box.h"
#include "common/operation_view.h"
#include "common/text_format.h"
#include "files/fill_model.h"
#include "project/memory_image.h"

CChecksumModel::CChecksumModel(CMemoryImage& image, const CMemoryRange& physical)
    : image_(image), physical_(physical)
{
    SetRange(range_);
}

void CChecksumModel::SetRange(const CMemoryRange& r)
{
    range_ = r;
    entry.Show(r);
}

void CChecksumModel::Invalidate()
{
    checksumText_.clear();
    calculated_ = false;
}

void CChecksumModel::SetSourceUnitIndex(int index)
{
    index = CFillModel::ValidUnitIndex(index);
    if (index != sourceUnitIndex_) {
        sourceUnitIndex_ = index;
        Invalidate();
    }
}

void CChecksumModel::SetDestUnitIndex(int index)
{
    index = CFillModel::ValidUnitIndex(index);
    if (index != destUnitIndex_) {
        destUnitIndex_ = index;
        Invalidate();
    }
}

void CChecksumModel::SelectMode(int lengthMode)
{
    if (entry.SelectMode(lengthMode))
        Invalidate();
}

bool CChecksumModel::Calculate(COperationView& view, CMessageBox& box)
{
    if (!entry.Read(physical_, &box, range_))
        return false;
    CWaitCursor cursor(view);
    checksumText_.clear();
    sum_ = image_.Checksum(range_, CFillModel::UnitOfIndex(sourceUnitIndex_), true);
    checksumText_ = CHexField::Text(sum_, 2 * CFillModel::UnitOfIndex(destUnitIndex_));
    calculated_ = true;
    return true;
}

CChecksumModel::EStoreResult CChecksumModel::Store(CMessageBox& box)
{
    if (!calculated_)
        return EStoreResult::NotCalculated;
    if (!entry.Read(physical_, &box, range_))
        return EStoreResult::Refused;
    const uint32_t destination = dest.Value();
    const uint32_t unit = static_cast<uint32_t>(CFillModel::UnitOfIndex(destUnitIndex_));
    const CMemoryRange destRange(destination, unit, 1);
    // A unit that would run past 0xFFFFFFFF is clipped by the range type and
    // could pass the check; it cannot be written, so it is refused the same way.
    if (uint64_t{destination} + unit - 1 > 0xFFFFFFFFull) {
        box.Show(Format("Destination address is out of physical memory range !\n (Base: %08lX, Size: %08lx)",
                        static_cast<unsigned long>(physical_.GetStart()),
                        static_cast<unsigned long>(physical_.GetSize())),
                 "Invalid Input", EMsgIcon::Exclamation, EMsgButtons::Ok);
        return EStoreResult::Refused;
    }
    if (!destRange.CheckInside(physical_, "Destination address is ", &box))
        return EStoreResult::Refused;
    const bool overlaps = uint64_t{range_.GetStart()} < uint64_t{destination} + unit && destination <= range_.GetEnd();
    if (overlaps &&
        box.Show("The checksum store address is inside the calculated checksum range !\nDo you wish to store it ?",
                 "Information", EMsgIcon::Exclamation, EMsgButtons::YesNo) != EMsgResult::Yes)
        return EStoreResult::Declined;
    int r = 0;
    if (unit == 1)
        r = image_.WriteByte(destination, static_cast<uint8_t>(sum_));
    else if (unit == 2)
        r = image_.WriteWord(destination, static_cast<uint16_t>(sum_), true);
    else
        r = image_.WriteLong(destination, sum_, true);
    return r == 0 ? EStoreResult::Stored : EStoreResult::WriteFailed;
}
