#pragma once

#include "common/hex_field.h"
#include "project/memory_range.h"

#include <cstdint>
#include <string>

class CMemoryImage;
class COperationView;

// The Edit Memory Image dialog's state and rules: a page of 8 rows of 16
// bytes from `Top()`, shown as bytes, words or longs in the target's byte
// order, the "&Address:" and "&Data:" fields, "&Go to", "&Store", clicks on
// the grid and the vertical scroll bar.
//
// With an empty physical range there is nothing to keep the page inside: the
// page then follows "&Go to" anywhere in the address space and the scroll bar
// is disabled (range 0 to 0, every scroll code does nothing).
class CEditImageModel {
public:
    static constexpr int kRows = 8;
    static constexpr int kBytesPerRow = 16;
    static constexpr uint32_t kPage = kRows * kBytesPerRow;

    enum class EFocus { Unchanged, Address, Data };
    enum class EScroll { LineUp, LineDown, PageUp, PageDown, ThumbTrack, ThumbPosition, Top, Bottom, EndScroll };

    // Opens the editor: unit from the stored radio index (0 byte, 1 word,
    // 2 long), the first page at the image's used extent, then "&Go to" the
    // stored address.
    CEditImageModel(CMemoryImage& image, const CMemoryRange& physical, bool littleEndian, int unitIndex,
                    uint32_t storedAddress);

    // The grid: 8 address lines " %08lX" and 16 / unit columns of items
    // " %02X", " %04X" or " %08lX".
    std::string AddressLine(int row) const;
    int Columns() const { return kBytesPerRow / unit_; }
    std::string ItemText(int row, int column) const;
    uint32_t ItemAddress(int row, int column) const;

    // "&Go to" the address field's address.
    void GoTo();
    // "&Store": writes the data field's value at the address field's address
    // and moves on to the next unit.
    void Store(COperationView& view);
    // Unit radio buttons by index; the data field is read again at the new width.
    void SetUnitIndex(int index);
    void ClickAddressLine(int row);
    void ClickDataItem(int row, int column);
    void Scroll(EScroll code, int position = 0);

    int ScrollMin() const { return 0; }
    int ScrollMax() const { return scrollMax_; }
    int ScrollPosition() const;

    uint32_t Top() const { return top_; }
    int Unit() const { return unit_; }
    int UnitIndex() const { return unit_ == 1 ? 0 : unit_ == 2 ? 1 : 2; }
    // Where the last action put the keyboard focus.
    EFocus Focus() const { return focus_; }
    // "Close": the address the document keeps.
    uint32_t CurrentAddress() const { return address.Value(); }

    CHexField address{8};
    CHexField data{4};

private:
    void ShowAddress(uint32_t a);
    uint32_t ReadUnit(uint32_t a) const;
    int64_t FirstTop() const;
    int64_t LastTop() const;
    bool Bounded() const { return physical_.GetSize() != 0; }

    CMemoryImage& image_;
    CMemoryRange physical_;
    bool littleEndian_;
    int unit_;
    uint32_t top_ = 0;
    int scrollMax_ = 0;
    uint32_t scrollStep_ = 1;
    EFocus focus_ = EFocus::Unchanged;
};
