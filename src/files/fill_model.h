#pragma once

#include "common/hex_field.h"
#include "files/range_entry.h"
#include "project/memory_range.h"

#include <cstdint>

class CMemoryImage;
class CMessageBox;
class COperationView;

// The Fill dialog's state and rules: the range entry, the pattern and its
// size ("&Byte" / "&Word" / "L&ong", radio index 0, 1, 2) and the fill.
class CFillModel {
public:
    CFillModel(CMemoryImage& image, const CMemoryRange& physical);

    void SetRange(const CMemoryRange& r);
    const CMemoryRange& Range() const { return range_; }

    // Pattern size by radio index; the pattern keeps its value and is shown
    // masked to the new digit count (2, 4 or 8).
    void SetUnitIndex(int index);
    int UnitIndex() const { return unitIndex_; }
    int UnitBytes() const { return UnitOfIndex(unitIndex_); }
    // Shows `value` in the pattern field.
    void SetPattern(uint32_t value) { pattern.SetValue(value); }
    uint32_t PatternValue() const { return pattern.Value(); }

    // "&Fill": reads the fields (a failed check stops), then writes the
    // pattern, least significant byte first, over whole units of the range;
    // a final partial unit is left as it was. False when the fields were refused.
    bool Fill(COperationView& view, CMessageBox& box);

    static int UnitOfIndex(int index) { return index == 0 ? 1 : index == 1 ? 2 : 4; }
    // A unit index as the dialogs show and use it: a project file can hold any
    // 16-bit value, and everything outside 0..2 counts as 2 (long).
    static int ValidUnitIndex(int index) { return index >= 0 && index <= 2 ? index : 2; }

    CRangeEntry entry;
    CHexField pattern{8};

private:
    CMemoryImage& image_;
    CMemoryRange physical_;
    CMemoryRange range_{0, 0, 1};
    int unitIndex_ = 2;
};
