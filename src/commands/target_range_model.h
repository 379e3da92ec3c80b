#pragma once

#include "files/range_entry.h"
#include "project/memory_range.h"

#include <cstdint>

class CMemoryImage;
class CMessageBox;

// The range entry of the Program, Verify and Dump dialogs over the range their
// operation works on: the fields show that range, a read checks the fields
// and makes them the range, and "Fit To Memory Image" replaces it.
class CTargetRangeModel {
public:
    // What "Fit To Memory Image" takes.
    enum class EFit {
        UsedRange, // the image's used range aligned to `alignment`, when inside the physical range
        Physical,  // the physical memory range
    };

    CTargetRangeModel(CMemoryRange& range, const CMemoryRange& physical, const CMemoryImage& image, EFit fit,
                      uint32_t alignment);

    // The range into the fields, in the mode it was entered in.
    void Show();
    // The fields into the range: ValidateRange, Set, CheckInside against the
    // physical range, each failure shown through `box` (none: silently). On a
    // failure the range keeps its last good value.
    bool Read(CMessageBox* box);
    // What the Program command says when the memory image holds nothing.
    static constexpr const char* kNothingLoaded =
        "Nothing is loaded: the memory image is empty. Load a program file first.";

    // "Fit To Memory Image": the rule of `fit` becomes the range and is
    // shown. For the image's used range, an empty image has nothing to fit:
    // the range stays and the answer is false (the caller says
    // kNothingLoaded); the whole flash is never taken for a file.
    bool FitToMemoryImage();

    const CMemoryRange& Range() const { return range_; }

    CRangeEntry entry;

private:
    CMemoryRange& range_;
    const CMemoryRange& physical_;
    const CMemoryImage& image_;
    EFit fit_;
    uint32_t alignment_;
};
