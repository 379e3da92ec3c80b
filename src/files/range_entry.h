#pragma once

#include "common/hex_field.h"
#include "project/memory_range.h"

class CMessageBox;

// The range entry every range dialog shares: "&Startaddress:", the
// "&Length:" / "&Endaddress:" radio pair and one edit for the length or the
// end address, all 8-digit hexadecimal fields.
class CRangeEntry {
public:
    // Which field a failed read leaves the focus on.
    enum class EField { None, Start, Second };

    // Shows `range` in the mode it was entered in: its size in length mode,
    // its end address (GetEnd) in end mode.
    void Show(const CMemoryRange& range);
    // Puts numbers into the fields as a person types them, with the mode's
    // radio button set: nothing is converted or clipped before Read.
    void SetFields(uint32_t startValue, uint32_t secondValue, int lengthMode);

    // Reads the fields the way every range dialog does: ValidateRange, then
    // Set, then CheckInside against `physical` (empty prefix), both checks
    // showing their message through `owner`. On success `out` holds the range.
    bool Read(const CMemoryRange& physical, CMessageBox* owner, CMemoryRange& out);
    // The field a failed Read points at.
    EField FailedField() const { return failed_; }

    // Clicking a radio button: 1 "&Length:", 0 "&Endaddress:". Switching
    // converts the shown number; clicking the current mode does nothing.
    // Returns true when the mode changed.
    bool SelectMode(int lengthMode);
    int LengthMode() const { return lengthMode_; }

    CHexField start{8};
    CHexField second{8};

private:
    int lengthMode_ = 1;
    EField failed_ = EField::None;
};
