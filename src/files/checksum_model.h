#pragma once

#include "common/hex_field.h"
#include "files/range_entry.h"
#include "project/memory_range.h"

#include <cstdint>
#include <string>

class CMemoryImage;
class CMessageBox;
class COperationView;

// The Checksum dialog's state and rules: the source range and unit, the
// destination address and unit, "&Calculate" and "Store to &Memory Image".
// Units are chosen by radio index: 0 byte, 1 word, 2 long.
class CChecksumModel {
public:
    // What "Store to &Memory Image" came to.
    enum class EStoreResult { Stored, Refused, Declined, NotCalculated, WriteFailed };

    CChecksumModel(CMemoryImage& image, const CMemoryRange& physical);

    void SetRange(const CMemoryRange& r);
    const CMemoryRange& Range() const { return range_; }

    // Changing a unit to a different one, or the entry mode, throws the sum away.
    // An index outside 0..2 (a damaged project file) is taken as 2 (long).
    void SetSourceUnitIndex(int index);
    void SetDestUnitIndex(int index);
    void SelectMode(int lengthMode);
    // The person edited the source range: the sum no longer belongs to it.
    void RangeEdited() { Invalidate(); }
    int SourceUnitIndex() const { return sourceUnitIndex_; }
    int DestUnitIndex() const { return destUnitIndex_; }

    // "&Calculate": reads the fields (a failed check stops), sums the range
    // little-endian in the source unit and shows the sum with 2, 4 or 8
    // digits for the destination unit. False when the fields were refused.
    bool Calculate(COperationView& view, CMessageBox& box);

    // "Store to &Memory Image": reads the fields, checks the destination
    // against the physical range, asks when it lies inside the source range,
    // and writes the kept sum's low byte, word or long little-endian.
    EStoreResult Store(CMessageBox& box);

    bool Calculated() const { return calculated_; }
    // "Store to &Memory Image" is enabled only after a calculation.
    bool StoreEnabled() const { return calculated_; }
    uint32_t Sum() const { return sum_; }
    // The read-only "C&hecksum:" field.
    const std::string& ChecksumText() const { return checksumText_; }

    CRangeEntry entry;
    CHexField dest{8};

private:
    void Invalidate();

    CMemoryImage& image_;
    CMemoryRange physical_;
    CMemoryRange range_{0, 0, 1};
    int sourceUnitIndex_ = 0;
    int destUnitIndex_ = 1;
    uint32_t sum_ = 0;
    bool calculated_ = false;
    std::string checksumText_;
};
