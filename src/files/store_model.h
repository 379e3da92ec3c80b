#pragma once

#include "files/range_entry.h"
#include "project/memory_range.h"

#include <cstdint>
#include <string>

class CMemoryImage;
class CMessageBox;
class COperationView;

// The Store dialog's state and rules: the range entry, the file name, the
// store itself and "Fit to &Memory Image".
class CStoreModel {
public:
    static constexpr const char* kFileFilter = "S-Record (*.sss) | *.sss||";

    CStoreModel(CMemoryImage& image, const CMemoryRange& physical);

    // Shows `r` in the range fields; Range() answers it until the next read.
    void SetRange(const CMemoryRange& r);
    // The range last shown or read: what goes back into the project.
    const CMemoryRange& Range() const { return range_; }

    // "S&tore": reads the fields with their checks, asks before replacing an
    // existing file and writes it. True when the file was written.
    bool Store(COperationView& view, CMessageBox& box);
    uint32_t StoredBytes() const { return storedBytes_; }

    // "Fit to &Memory Image": reads the fields (their check may speak), then
    // takes the image's used extent if it is not empty and lies inside the
    // physical range, else the physical range, shown in length mode.
    void FitToMemoryImage(CMessageBox& box);

    // "&Change...": the fields are read (their check may speak) before the
    // file chooser opens.
    void BeforeChooseFile(CMessageBox& box);

    // Reads the range fields into Range(); false (message shown) on bad input.
    bool ReadFields(CMessageBox* box);

    CRangeEntry entry;
    std::string fileName;
    // When set, Store writes the records to this open descriptor (the
    // command line's standard output) instead of the file: no question is
    // asked and the descriptor stays open.
    int streamFd = -1;

private:
    CMemoryImage& image_;
    CMemoryRange physical_;
    CMemoryRange range_{0, 0, 1};
    uint32_t storedBytes_ = 0;
};
