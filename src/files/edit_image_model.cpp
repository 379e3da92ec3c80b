#include "files/edit_image_model.h"

#include "common/operation_view.h"
#include "common/text_format.h"
#include "project/memory_image.h"

namespace {

int UnitOfIndex(int index)
{
    return index == 0 ? 1 : index == 1 ? 2 : 4;
}

int64_t Align16(int64_t a)
{
    return a & ~int64_t{15};
}

} // namespace

CEditImageModel::CEditImageModel(CMemoryImage& image, const CMemoryRange& physical, bool littleEndian,
                                 int unitIndex, uint32_t storedAddress)
    : image_(image), physical_(physical), littleEndian_(littleEndian), unit_(UnitOfIndex(unitIndex))
{
    data.SetDigits(2 * unit_);
    const uint32_t size = physical_.GetSize();
    if (!Bounded()) {
        scrollMax_ = 0;
    } else if (size < kPage) {
        scrollMax_ = static_cast<int>(kPage);
    } else if (size < 30000) {
        scrollMax_ = static_cast<int>(size - (kPage - 1));
    } else {
        scrollMax_ = 100;
        scrollStep_ = (size - (kPage - 1)) / 100 + 1;
    }
    const uint32_t usedStart = image_.GetUsedRange(1).GetStart();
    top_ = usedStart & ~uint32_t{15};
    if (Bounded() && (usedStart & ~uint32_t{3}) > physical_.GetEnd())
        top_ = physical_.GetStart();
    address.SetValue(storedAddress);
    GoTo();
    focus_ = EFocus::Unchanged;
}

uint32_t CEditImageModel::ReadUnit(uint32_t a) const
{
    switch (unit_) {
    case 1: return image_.ReadByte(a);
    case 2: return image_.ReadWord(a, littleEndian_);
    default: return image_.ReadLong(a, littleEndian_);
    }
}

std::string CEditImageModel::AddressLine(int row) const
{
    return Format(" %08lX", static_cast<unsigned long>(top_ + static_cast<uint32_t>(kBytesPerRow * row)));
}

uint32_t CEditImageModel::ItemAddress(int row, int column) const
{
    return top_ + static_cast<uint32_t>(kBytesPerRow * row + unit_ * column);
}

std::string CEditImageModel::ItemText(int row, int column) const
{
    const uint32_t v = ReadUnit(ItemAddress(row, column));
    switch (unit_) {
    case 1: return Format(" %02X", static_cast<unsigned>(v));
    case 2: return Format(" %04X", static_cast<unsigned>(v));
    default: return Format(" %08lX", static_cast<unsigned long>(v));
    }
}

void CEditImageModel::ShowAddress(uint32_t a)
{
    address.SetValue(a);
    data.SetValue(ReadUnit(a));
}

int64_t CEditImageModel::FirstTop() const
{
    return Align16(physical_.GetStart());
}

int64_t CEditImageModel::LastTop() const
{
    // The last page may pass the end by up to 15 bytes, never start below the range.
    const int64_t end = int64_t{physical_.GetStart()} + physical_.GetSize() - 1;
    int64_t t = end + 16 - int64_t{kPage};
    if (t < int64_t{physical_.GetStart()})
        t = physical_.GetStart();
    return Align16(t);
}

void CEditImageModel::GoTo()
{
    const uint32_t a = address.Value();
    ShowAddress(a);
    int64_t top = Align16(a);
    if (Bounded()) {
        if (top < int64_t{physical_.GetStart()})
            top = FirstTop();
        const int64_t end = int64_t{physical_.GetStart()} + physical_.GetSize() - 1;
        if (top + kPage - 1 > end)
            top = LastTop();
    } else if (top + kPage - 1 > 0xFFFFFFFF) {
        top = 0x100000000 - kPage;
    }
    top_ = static_cast<uint32_t>(top);
}

void CEditImageModel::Store(COperationView& view)
{
    const uint32_t a = address.Value();
    const uint32_t v = data.Value();
    CWaitCursor cursor(view);
    switch (unit_) {
    case 1: image_.WriteByte(a, static_cast<uint8_t>(v)); break;
    case 2: image_.WriteWord(a, static_cast<uint16_t>(v), littleEndian_); break;
    default: image_.WriteLong(a, v, littleEndian_); break;
    }
    ShowAddress(a + static_cast<uint32_t>(unit_));
    focus_ = EFocus::Data;
}

void CEditImageModel::SetUnitIndex(int index)
{
    const int unit = UnitOfIndex(index);
    if (unit == unit_)
        return;
    unit_ = unit;
    data.SetDigits(2 * unit_);
    data.SetValue(ReadUnit(address.Value()));
}

void CEditImageModel::ClickAddressLine(int row)
{
    if (row < 0 || row >= kRows)
        return;
    ShowAddress(top_ + static_cast<uint32_t>(kBytesPerRow * row));
    focus_ = EFocus::Address;
}

void CEditImageModel::ClickDataItem(int row, int column)
{
    if (row < 0 || row >= kRows || column < 0 || column >= Columns())
        return;
    ShowAddress(ItemAddress(row, column));
    focus_ = EFocus::Data;
}

int CEditImageModel::ScrollPosition() const
{
    if (!Bounded())
        return 0;
    const int64_t pos = (int64_t{top_} - physical_.GetStart()) / scrollStep_;
    return pos < 0 ? 0 : pos > scrollMax_ ? scrollMax_ : static_cast<int>(pos);
}

void CEditImageModel::Scroll(EScroll code, int position)
{
    if (!Bounded())
        return;
    const int64_t start = physical_.GetStart();
    const int64_t end = start + physical_.GetSize() - 1;
    int64_t top = top_;
    switch (code) {
    case EScroll::LineUp:
        if (top - 16 >= FirstTop())
            top -= 16;
        break;
    case EScroll::LineDown:
        if (top + 16 <= LastTop())
            top += 16;
        break;
    case EScroll::PageUp:
        top -= kPage;
        if (top < start)
            top = FirstTop();
        break;
    case EScroll::PageDown:
    case EScroll::ThumbPosition:
        if (code == EScroll::PageDown)
            top += kPage;
        else
            top = Align16(start + int64_t{position < 0 ? 0 : position} * scrollStep_);
        if (top + kPage - 1 > end) {
            const int64_t last = Align16(end + 16 - int64_t{kPage});
            top = last < int64_t{top_} ? int64_t{top_} : last;
        }
        break;
    default:
        return;
    }
    top_ = static_cast<uint32_t>(top);
}
